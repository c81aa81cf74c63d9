#include "generation/check.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/filelist.h"
#include "generation/status.h"
#include "generation/template.h"

namespace mivo {

namespace {

constexpr const char* kRoutine = "mainCheckMake";

/// True when both paths lead to the same place once made absolute, normalized and resolved
/// through symlinks: "//", "/./", a link or the trailing separator that an empty page folder
/// leaves must not hide the program's own templates.
bool samePlace(const std::string& a, const std::string& b) {
    const std::string left = cmCanonicalPath(a);
    return !left.empty() && left == cmCanonicalPath(b);
}

bool isPictureName(const std::string& name) {
    const std::string ext = cmGetExt(name);
    return ext == "jpg" || ext == "jpeg" || ext == "gif" || ext == "bmp";
}

/// A thumbnail counts only as a plain, visible file of exactly the picture's name.
bool hasThumbnail(const std::string& samPath, const std::string& name) {
    if (name.empty() || name[0] == '.') {
        return false;
    }
    return cmIsFile(cmAddPath(samPath, name, kPathSeparator));
}

/// Creates the page folder (one level) when nothing of its name exists. false when it is not
/// a usable folder afterwards: the parent is missing or read-only, or a file is in the way.
bool preparePageFolder(const std::string& pageFolder) {
    if (!cmExists(pageFolder)) {
        std::error_code ec;
        std::filesystem::create_directory(pageFolder, ec);
    }
    return cmIsFolder(pageFolder);
}

bool refuse(MakeContext& ctx, const std::string& message) {
    mainSetStatus(ctx.status, true, message, 0, 0);
    return false;
}

bool runCheck(MakeContext& ctx, GalleryJob& job, bool inblnChackIndex,
              PictureList& outcolFileDatas) {
    const Settings& settings = ctx.settings;
    const std::string& instrPicPath = job.picPath;
    const std::string& instrSamPath = job.samPath;
    mainSetStatus(ctx.status, true, "チェック中です", 0, 0);

    if (inblnChackIndex) {
        // Both the shipped templates and a user's copy of them are guarded.
        const std::vector<std::string> guarded = templateFolders(ctx.files);
        const bool menu = settings.menuMode();

        const std::string& topPage = menu ? settings.gstrMenuPath : settings.gstrIndexPath;
        for (const std::string& folder : guarded) {
            if (samePlace(topPage, cmAddPath(folder, "index.html", kPathSeparator))) {
                return refuse(ctx, "Indexファイル用のフォルダの指定先が無効です");
            }
        }

        const std::string pageFolder = pageFolderOf(settings);
        for (const std::string& folder : guarded) {
            if (samePlace(pageFolder, folder)) {
                return refuse(ctx, "Html保存フォルダの指定先が無効です");
            }
        }
        if (!preparePageFolder(pageFolder)) {
            return refuse(ctx, "フォルダを作成できません [" + pageFolder + "]");
        }
    }

    // A folder that is not there (an unplugged disk) is named, not reported as empty.
    if (!cmIsFolder(instrPicPath)) {
        return refuse(ctx, "画像フォルダが見つかりません [" + instrPicPath + "]");
    }
    if (job.useThumbnails && instrSamPath.empty()) {
        return refuse(ctx, "サムネイルフォルダの指定がありません");
    }
    if (job.useThumbnails && !cmIsFolder(instrSamPath)) {
        return refuse(ctx, "サムネイルフォルダが見つかりません [" + instrSamPath + "]");
    }

    std::vector<std::string> files;
    cmGetAllFile(instrPicPath, files);
    const long count = cmCountArray(files);
    int pictures = 0;
    for (long i = 0; i < count; ++i) {
        if (isPictureName(files[i])) {
            ClassFileData item;
            item.strName = files[i];
            outcolFileDatas.add(item);
            ++pictures;
        }
    }
    if (pictures == 0) {
        return refuse(ctx, "画像フォルダに画像がありません");
    }

    if (job.useThumbnails) {
        if (instrSamPath == instrPicPath) {
            return refuse(ctx, "画像フォルダとサムネイルフォルダが同じです");
        }
        for (const ClassFileData& item : outcolFileDatas) {
            if (!hasThumbnail(instrSamPath, item.strName)) {
                return refuse(ctx, "サムネイルフォルダに該当画像がありません " + item.strName);
            }
        }
    }

    if (job.useFilelist) {
        bool read = false;
        mainCheckFilelist(ctx, job, outcolFileDatas, read);
        job.useFilelist = read;
    }
    return true;
}

} // namespace

std::string pageFolderOf(const Settings& settings) {
    const bool menu = settings.menuMode();
    std::string folder;
    std::string name;
    cmSplitPath(menu ? settings.gstrMenuPath : settings.gstrIndexPath, true, kPathSeparator, folder,
                name);
    // A page right below the root has the root as its folder.
    if (folder.empty()) {
        folder = kPathSeparator;
    }
    return cmAddPath(folder, menu ? settings.gstrMenuHtmlPath : settings.gstrHtmlPath,
                     kPathSeparator);
}

bool mainCheckMake(MakeContext& ctx, GalleryJob& ioJob, bool inblnChackIndex,
                   PictureList& outcolFileDatas) {
    cmWriteLog(kRoutine, 1, "▽Start Method▽");
    outcolFileDatas.clear();
    const bool result = runCheck(ctx, ioJob, inblnChackIndex, outcolFileDatas);
    cmWriteLog(kRoutine, 1, std::string("△End Method△ ") + cmBoolText(result));
    return result;
}

} // namespace mivo
