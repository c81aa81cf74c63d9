// Any bytes as a CSV line, as a text file's lines, and as a picture folder's filelist.csv.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "common/codepage.h"
#include "common/program_files.h"
#include "common/text.h"
#include "common/text_file.h"
#include "generation/plan/album.h"
#include "generation/plan/item.h"
#include "generation/plan/status.h"
#include "generation/run/filelist.h"
#include "settings/settings.h"

namespace {

/// A folder of its own for the process, removed when the fuzzer exits.
struct PictureFolder {
    std::string path;
    PictureFolder() {
        const auto folder = std::filesystem::temp_directory_path() /
                            ("mivo_fuzz_csv_" + std::to_string(::getpid()));
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        path = folder.string();
    }
    ~PictureFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& pictureFolder() {
    static const PictureFolder folder;
    return folder.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    mivo::cmSplitCsv(std::string(bytes));
    for (const std::string& line : mivo::splitLines(mivo::decodeText(bytes))) {
        mivo::cmSplitCsv(line);
    }

    const std::string path = pictureFolder() + "/filelist.csv";
    // A fresh file each time: truncating one that holds data makes ext4 flush it on close.
    std::remove(path.c_str());
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    mivo::RunStatus status;
    mivo::PictureList pictures;
    for (const char* name : {"a.jpg", "B.JPG", "b.jpg", "写真.jpg", "\"q\".gif"}) {
        pictures.add(mivo::listedItem(pictureFolder(), name, mivo::ItemKind::Picture));
    }
    bool result = false;
    mivo::AlbumJob job;
    job.picPath = pictureFolder();
    job.useFilelist = true;
    std::string head;
    mivo::mainCheckFilelist(status, job, pictures, head, result);
    return 0;
}
