#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace mivo::test {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = (std::filesystem::temp_directory_path() /
                 ("mivo-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                    .string();
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        std::filesystem::create_directories(path_, ec);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    /// Writes exact bytes to a file below the folder, creating its parent folders.
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string full = *this / name;
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path(), ec);
        std::ofstream(full, std::ios::binary) << bytes;
        return full;
    }
    std::string mkdir(const std::string& name) const {
        const std::string full = *this / name;
        std::error_code ec;
        std::filesystem::create_directories(full, ec);
        return full;
    }

  private:
    std::string path_;
};

/// The whole content of a file, or "<missing>".
inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef MIVO_SOURCE_DIR
/// The four shipped templates, copied into the folder `folder` of `dir` (a program's html/).
inline void writeShippedTemplates(TempDir& dir, const std::string& folder) {
    for (const char* name : {"index.html", "list.html", "pict.html", "menu.html"}) {
        dir.write(folder + "/" + name, readBytes(std::string(MIVO_SOURCE_DIR) + "/html/" + name));
    }
}
#endif

} // namespace mivo::test
