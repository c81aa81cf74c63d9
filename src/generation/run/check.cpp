#include "generation/run/check.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/system_reason.h"
#include "common/text.h"
#include "common/translate.h"
#include "generation/pages/template.h"
#include "generation/pictures/live_photo.h"
#include "generation/pictures/moving_picture.h"
#include "generation/plan/folder_names.h"
#include "generation/plan/item_kind.h"
#include "generation/plan/status.h"
#include "generation/run/filelist.h"
#include "generation/run/run_messages.h"

namespace mivo {

namespace {

constexpr const char* kRoutine = "mainCheckMake";

/// True when both paths lead to the same place once made absolute, normalized and resolved
/// through symlinks: "//", "/./", a link or the trailing separator that an empty page folder
/// leaves must not hide the program's own templates.
bool samePlace(const std::string& a, const std::string& b) {
    const std::string left = canonicalPath(a);
    return !left.empty() && left == canonicalPath(b);
}

/// A thumbnail counts only as a plain, visible file of exactly the picture's name.
bool hasThumbnail(const std::string& samPath, const std::string& name) {
    if (name.empty() || isHiddenName(name)) {
        return false;
    }
    return isPlainFile(cmAddPath(samPath, name, kPathSeparator));
}

/// Why a folder cannot be listed, for the user: empty when it can.
UserText folderProblem(const std::string& folder) {
    // A folder that opens for listing has no problem: told by one open, without reading its
    // entries, which are listed right after (an album of a tree is checked this way each run).
    const int fd = folder.empty() ? -1 : ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(folder, ec);
    if (folder.empty() || !std::filesystem::exists(status)) {
        return userText(ec == std::errc::permission_denied
                            ? translatable("アクセスが許可されていません")
                            : translatable("フォルダがありません"));
    }
    if (!std::filesystem::is_directory(status)) {
        return userText(translatable("フォルダではありません"));
    }
    std::filesystem::directory_iterator probe(folder, ec);
    if (ec) {
        return userText(ec == std::errc::permission_denied
                            ? translatable("アクセスが許可されていません")
                            : systemReasonText(ec.value()));
    }
    return {};
}

/// Makes a folder and its missing parents when nothing of its name exists. false when it is
/// not a usable folder afterwards: a file is in the way, or the system refused (logged with
/// its reason). An empty folder is the root (or the working folder) and always there.
bool prepareFolder(const std::string& folder) {
    if (folder.empty()) {
        return true;
    }
    if (!pathExists(folder)) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            cmWriteLog(kRoutine, 4, "MakeFolderError [" + folder + "] " + ec.message());
        } else {
            cmWriteLog(kRoutine, 2, "MakeFolder [" + folder + "]");
        }
    }
    return isFolder(folder);
}

/// A top page may only replace a page: its name ends in ".html" or ".htm", letters in any
/// case. This also keeps Mivo.ini, Mivo.csv, Mivo.log and every picture out of reach.
bool isPageName(const std::string& path) {
    std::string folder;
    std::string name;
    cmSplitPath(path, true, kPathSeparator, folder, name);
    const std::string lower = asciiLower(name);
    const auto endsWith = [&lower](std::string_view ext) {
        return lower.size() > ext.size() && lower.ends_with(ext);
    };
    return endsWith(".html") || endsWith(".htm");
}

bool refuse(const RunServices& run, const UserText& message) {
    mainSetStatus(run.status, true, message, 0, 0);
    return false;
}

/// The folder part of a page path (its last part is always taken as the file name); the root
/// for a page right below it.
std::string folderOfPage(const std::string& pagePath) {
    std::string folder;
    std::string name;
    cmSplitPath(pagePath, true, kPathSeparator, folder, name);
    return folder.empty() ? std::string(kPathSeparator) : folder;
}

/// The top page and the page folder: never a template (neither the shipped ones nor a user's
/// copy), never a file that is not a page, both folders made where the settings put them.
bool checkOutput(const RunServices& run, const TopPage& top) {
    const std::vector<std::string> guarded = templateFolders(run.files);
    const std::string& topPage = top.page;
    const std::string topFolder = folderOfPage(normalizedPath(topPage));
    const std::string pageFolder = pageFolderOf(top);
    // The most particular refusal first: the top page being a template's own index.html, then
    // the page folder on a template folder (a top page there with no page folder of its own is
    // told that the page folder is wrong), and only then any other top page among the templates.
    for (const std::string& folder : guarded) {
        if (samePlace(normalizedPath(topPage), cmAddPath(folder, "index.html", kPathSeparator))) {
            return refuse(run,
                          userText(translatable("Indexファイル用のフォルダの指定先が無効です")));
        }
    }
    for (const std::string& folder : guarded) {
        if (samePlace(pageFolder, folder)) {
            return refuse(run, userText(translatable("Html保存フォルダの指定先が無効です")));
        }
    }
    for (const std::string& folder : guarded) {
        if (samePlace(topFolder, folder)) {
            return refuse(run,
                          userText(translatable("Indexファイル用のフォルダの指定先が無効です")));
        }
    }
    if (!isPageName(topPage)) {
        return refuse(
            run, userText(translatable("%1には .html か .htm のファイルを指定してください [%2]"),
                          {userText(top.setting), topPage}));
    }
    if (!prepareFolder(topFolder)) {
        return refuse(run, cannotMakeFolderMessage(topFolder));
    }
    if (!prepareFolder(pageFolder)) {
        return refuse(run, cannotMakeFolderMessage(pageFolder));
    }
    return true;
}

/// Writes the check's last log line, with its result, on every way out.
struct CheckEnd {
    bool result = false;
    CheckEnd() = default;
    CheckEnd(const CheckEnd&) = delete;
    CheckEnd& operator=(const CheckEnd&) = delete;
    ~CheckEnd() { cmWriteLog(kRoutine, 1, std::string("△End Method△ ") + boolText(result)); }
};

} // namespace

bool checkTopPage(const RunServices& run, const TopPage& top) {
    return checkOutput(run, top);
}

bool mainCheckMake(const RunServices& run, const TopPage& top, Album& album, bool inblnChackIndex) {
    cmWriteLog(kRoutine, 1, "▽Start Method▽");
    CheckEnd end;
    AlbumJob& job = album.job;
    PictureList& outcolFileDatas = album.items;
    outcolFileDatas.clear();
    const std::string& instrPicPath = job.picPath;
    const std::string& instrSamPath = job.samPath;
    mainSetStatus(run.status, true, translatable("チェック中です"), 0, 0);

    if (inblnChackIndex && !checkOutput(run, top)) {
        return false;
    }

    // A folder that cannot be listed (an unplugged disk) is named with the reason, not
    // reported as empty.
    const UserText picProblem = folderProblem(instrPicPath);
    if (!picProblem.logged.empty()) {
        return refuse(run, userText(translatable("画像フォルダを開けません [%1] %2"),
                                    {instrPicPath, picProblem}));
    }
    std::vector<std::string> files;
    cmGetAllFile(instrPicPath, files);
    const long count = cmCountArray(files);
    long pictures = 0;
    for (long i = 0; i < count; ++i) {
        // Each item is made here, once for the whole run: what it is, and where.
        Item item;
        item.kind = itemKindOf(files[i], job.media);
        if (item.kind == ItemKind::None) {
            continue;
        }
        item.path = cmAddPath(instrPicPath, files[i], kPathSeparator);
        item.file.strName = std::move(files[i]);
        outcolFileDatas.add(std::move(item));
        ++pictures;
    }
    if (pictures == 0) {
        return refuse(run, userText(translatable("画像フォルダに画像がありません")));
    }
    if (job.naturalOrder) {
        outcolFileDatas.sortBy(
            [](const Item& a, const Item& b) { return naturalLess(a.name(), b.name()); });
    }
    if (job.livePhotos) {
        // A Live Photo's still and motion are one item from here on.
        pairLivePhotos(outcolFileDatas);
    }
    if (job.makeCopies) {
        // A moving GIF or WebP gets a still copy like any picture, and moves in the viewer.
        for (Item& item : outcolFileDatas) {
            const std::string ext = cmGetExt(item.name());
            if (ext == "gif" || ext == "webp") {
                item.moves = readPictureMoves(item.path, item.bytes);
            }
        }
    }

    if (job.useThumbnails) {
        // Thumbnails chosen need their folder; an empty setting is not "none".
        if (instrSamPath.empty()) {
            return refuse(run, userText(translatable("サムネイルフォルダの指定がありません")));
        }
        if (instrSamPath == instrPicPath) {
            return refuse(run,
                          userText(translatable("画像フォルダとサムネイルフォルダが同じです")));
        }
        const UserText samProblem = folderProblem(instrSamPath);
        if (!samProblem.logged.empty()) {
            return refuse(run, userText(translatable("サムネイルフォルダを開けません [%1] %2"),
                                        {instrSamPath, samProblem}));
        }
        for (const Item& item : outcolFileDatas) {
            if (!hasThumbnail(instrSamPath, item.name())) {
                return refuse(run,
                              userText(translatable("サムネイルフォルダに該当画像がありません %1"),
                                       {item.name()}));
            }
        }
    }

    if (job.useFilelist) {
        // One rule for the window and mivo-make: a folder without filelist.csv is made
        // without it (the window cannot even tick the box there; a tick kept from another
        // folder means nothing here).
        bool present = false;
        mainExistFilelist(instrPicPath, present);
        if (!present) {
            job.useFilelist = false;
            end.result = true;
            return true;
        }
        bool read = false;
        mainCheckFilelist(run.status, job, outcolFileDatas, album.filelistHead, read);
        job.useFilelist = read;
        // A filelist.csv that is there but cannot be used stops an album that needs it (the
        // single folder), its own message in the status line; another goes on without it.
        if (!read && job.strictFilelist) {
            return false;
        }
    }
    end.result = true;
    return true;
}

} // namespace mivo
