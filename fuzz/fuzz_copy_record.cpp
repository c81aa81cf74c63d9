// Any bytes as the record of a gallery's copies (thumbs/.mivo-copies), which a picture folder
// shared with the user may carry: read, written back, and acted on by a run with no pictures,
// which removes every copy the record names. Nothing outside the copy folders may go.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "generation/copies/web_sizes.h"

namespace {

namespace fs = std::filesystem;

/// A page folder of its own for the process, removed when the fuzzer exits.
struct PageFolder {
    std::string path;
    PageFolder() {
        const auto folder =
            fs::temp_directory_path() / ("mivo_fuzz_copy_record_" + std::to_string(::getpid()));
        std::error_code ec;
        fs::create_directories(folder, ec);
        path = folder.string();
    }
    ~PageFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const std::string& pageFolder() {
    static const PageFolder folder;
    return folder.path;
}

void writeFile(const std::string& path, std::string_view bytes) {
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // What is read is written back the same, and read back the same.
    std::vector<std::string> ignored;
    const mivo::CopyRecord record = mivo::parseCopyRecord(bytes, &ignored);
    std::string text = mivo::copyRecordHeader();
    for (const auto& [name, made] : record) {
        if (name.empty() || name.find_first_of("/\t\n") != std::string::npos || name == "." ||
            name == "..") {
            std::abort(); // a name outside the folders came through
        }
        text += mivo::copyRecordLine(name, made);
    }
    if (mivo::parseCopyRecord(text) != record) {
        std::abort();
    }

    // A gallery that shows nothing now: every copy on record is removed, and nothing else.
    const std::string page = pageFolder() + "/page";
    std::error_code ec;
    fs::remove_all(page, ec);
    fs::create_directories(page + "/thumbs/2x", ec);
    fs::create_directories(page + "/view", ec);
    fs::create_directories(page + "/outside", ec);
    // Files beside and above the copy folders, and one a link in a copy folder points at.
    const std::vector<std::string> keep = {page + "/index.html", page + "/outside/a.jpg",
                                           page + "/a.jpg", pageFolder() + "/victim.jpg"};
    for (const std::string& path : keep) {
        writeFile(path, "keep");
    }
    fs::create_symlink(page + "/outside", page + "/view/link", ec);
    writeFile(page + "/thumbs/.mivo-copies", bytes);
    mivo::PictureList none;
    mivo::CopyJob job;
    job.pageFolder = page;
    job.workers = 1;
    job.progress = [](std::size_t, const mivo::Item&, const std::string&) {};
    mivo::WebSizesReport report;
    std::string folderError;
    mivo::makeWebSizes(job, none, report, folderError);
    for (const std::string& path : keep) {
        if (!exists(path)) {
            std::abort();
        }
    }
    return 0;
}
