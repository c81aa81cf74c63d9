#include "generation/run/filelist.h"

#include <cstddef>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/text_file.h"
#include "generation/plan/status.h"
#include "generation/run/filelist_csv.h"

namespace mivo {

namespace {

constexpr const char* kFilelistName = "filelist.csv";

/// Reads filelist.csv of the folder as UTF-8 lines. false when there is no regular file of
/// that name (a folder called filelist.csv does not count) or it cannot be read.
bool readFilelist(const std::string& folder, std::vector<std::string>& fileLines) {
    if (folder.empty()) {
        return false;
    }
    const std::string path = cmAddPath(folder, kFilelistName, kPathSeparator);
    return isPlainFile(path) && readTextLines(path, fileLines);
}

void readRows(const std::vector<FilelistRecord>& records, PictureList& pictures) {
    for (std::size_t i = 1; i < records.size(); ++i) {
        const FilelistRecord& record = records[i];
        if (!record.usable) {
            continue;
        }
        Item* picture = pictures.find(record.name);
        if (picture != nullptr) {
            picture->file.strInfo = record.info;
            picture->file.infoFields = record.fields;
            picture->file.infoQuoted = record.quoted;
        }
    }
}

} // namespace

void mainCheckFilelist(RunStatus& status, const AlbumJob& job, PictureList& pictures,
                       std::string& head, bool& filelistRead) {
    cmWriteLog("mainCheckFilelist", 1, "▽Start Method▽");
    filelistRead = false;
    // An album that needs its filelist.csv says why it cannot be used; another goes on quietly.
    const bool single = job.strictFilelist;
    const std::string& instrPicPath = job.picPath;

    std::vector<std::string> lines;
    if (!readFilelist(instrPicPath, lines)) {
        if (single) {
            mainSetStatus(status, true, translatable("filelist.csvを使用できません"), 0, 0);
        }
    } else {
        const std::vector<FilelistRecord> records = readFilelistRecords(lines);
        const std::string header = records.empty() ? std::string() : records.front().info;
        if (header.empty()) {
            if (single) {
                mainSetStatus(status, true, translatable("filelist.csvの内容が不正です"), 0, 0);
            }
        } else {
            head = header;
            readRows(records, pictures);
            filelistRead = true;
        }
    }
    cmWriteLog("mainCheckFilelist", 1, std::string("△End Method△ ") + boolText(filelistRead));
}

void mainExistFilelist(const std::string& instrDirPath, bool& found) {
    cmWriteLog("mainExistFilelist", 1, "▽Start Method▽");
    // An empty folder path names no folder; it must not probe the root folder.
    found = !instrDirPath.empty() &&
            isPlainFile(cmAddPath(instrDirPath, kFilelistName, kPathSeparator));
    if (found) {
        cmWriteLog("mainExistFilelist", 1, "exist filelist.csv");
    }
    cmWriteLog("mainExistFilelist", 1, std::string("△End Method△ ") + boolText(found));
}

} // namespace mivo
