#include "generation/check.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/text.h"
#include "generation/filelist.h"
#include "generation/status.h"

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

bool runCheck(MakeContext& ctx, int inintNo, bool inblnChackIndex, const std::string& instrPicPath,
              const std::string& instrSamPath, std::string& iostrFilelistCsv,
              PictureList& outcolFileDatas) {
    const MakeSettings& settings = ctx.settings;
    mainSetStatus(ctx.status, true, "チェック中です", 0, 0);

    if (inblnChackIndex) {
        const std::string templateFolder =
            cmAddPath(settings.programFolder, "html", kPathSeparator);
        const std::string templateIndex = cmAddPath(templateFolder, "index.html", kPathSeparator);
        const bool menu = settings.menuMode();

        const std::string& topPage = menu ? settings.gstrMenuPath : settings.gstrIndexPath;
        if (samePlace(topPage, templateIndex)) {
            return refuse(ctx, "Indexファイル用のフォルダの指定先が無効です");
        }

        const std::string pageFolder =
            cmAddPath(menu ? settings.DirMenu : settings.DirIndex,
                      menu ? settings.gstrMenuHtmlPath : settings.gstrHtmlPath, kPathSeparator);
        if (samePlace(pageFolder, templateFolder)) {
            return refuse(ctx, "Html保存フォルダの指定先が無効です");
        }
        if (!preparePageFolder(pageFolder)) {
            return refuse(ctx, "フォルダを作成できません [" + pageFolder + "]");
        }
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

    if (!instrSamPath.empty()) {
        if (instrSamPath == instrPicPath) {
            return refuse(ctx, "画像フォルダとサムネイルフォルダが同じです");
        }
        for (const ClassFileData& item : outcolFileDatas) {
            if (!hasThumbnail(instrSamPath, item.strName)) {
                return refuse(ctx, "サムネイルフォルダに該当画像がありません " + item.strName);
            }
        }
    }

    if (iostrFilelistCsv == "1") {
        bool read = false;
        mainCheckFilelist(ctx, inintNo, instrPicPath, outcolFileDatas, read);
        if (!read) {
            iostrFilelistCsv = "0";
        }
    }
    return true;
}

} // namespace

bool mainCheckMake(MakeContext& ctx, int inintNo, bool inblnChackIndex,
                   const std::string& instrPicPath, const std::string& instrSamPath,
                   std::string& iostrFilelistCsv, PictureList& outcolFileDatas) {
    cmWriteLog(kRoutine, 1, "▽Start Method▽");
    outcolFileDatas.clear();
    const bool result = runCheck(ctx, inintNo, inblnChackIndex, instrPicPath, instrSamPath,
                                 iostrFilelistCsv, outcolFileDatas);
    cmWriteLog(kRoutine, 1, std::string("△End Method△ ") + cmBoolText(result));
    return result;
}

} // namespace mivo
