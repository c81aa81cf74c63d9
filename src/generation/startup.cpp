#include "generation/startup.h"

#include "common/paths.h"
#include "common/program.h"
#include "generation/template.h"

namespace mivo {

namespace {

/// The folder a folder box shows for a stored page path: the page's folder when it exists,
/// else the folder the box starts at, the program folder.
std::string shownFolder(const std::string& pagePath, const std::string& programFolder) {
    if (!pagePath.empty()) {
        std::string folder;
        std::string name;
        cmSplitPath(pagePath, true, kPathSeparator, folder, name);
        // A page right below the root has the root as its folder.
        const std::string shown = folder.empty() ? std::string(kPathSeparator) : folder;
        if (cmIsFolder(shown)) {
            return shown;
        }
    }
    return programFolder;
}

} // namespace

MakeSettings cmStartupMakeSettings(const Settings& loaded, const std::string& programFolder) {
    MakeSettings s;
    s.programFolder = programFolder;
    s.OptionMenu = cmOptionValue(loaded.gstrModeF, 1, 1);
    s.OptionSamH = cmOptionValue(loaded.gstrSamUseF, 1, 1);
    s.CheckUseFileList = cmOptionValue(loaded.gstrUseFilelistF, 0, 1);
    s.OptionStart = cmOptionValue(loaded.gstrStartTypeF, 0, 1);
    s.CheckSlideShow = cmOptionValue(loaded.gstrUseSlideF, 1, 1);

    // A stored folder that has gone is forgotten, as the folder boxes cannot show it.
    s.gstrPicPath = cmIsFolder(loaded.gstrPicPath) ? loaded.gstrPicPath : std::string();
    s.gstrSamPath = cmIsFolder(loaded.gstrSamPath) ? loaded.gstrSamPath : std::string();
    s.gstrIndexPath = loaded.gstrIndexPath;
    s.gstrHtmlPath = loaded.gstrHtmlPath;
    s.gstrMenuPath = loaded.gstrMenuPath;
    s.gstrMenuHtmlPath = loaded.gstrMenuHtmlPath;
    s.gstrStartName = loaded.gstrStartName;
    s.DirIndex = shownFolder(loaded.gstrIndexPath, programFolder);
    s.DirMenu = shownFolder(loaded.gstrMenuPath, programFolder);

    s.TextTitle = loaded.gstrTitleF;
    s.TextTitleS = loaded.gstrTitleSF;
    s.TextBody = loaded.gstrBodyF;
    s.TextFilelistWidth = loaded.gstrFilelistWF;
    s.TextFilelistHeight = loaded.gstrFilelistHF;
    s.TextSlideTime = loaded.gstrSlideTimeF;
    s.TextSamWidth = loaded.gstrSamWidthF;
    s.TextSamHeight = loaded.gstrSamHeightF;
    s.TextAllListWidth = loaded.gstrAllListF;
    s.TextLinkName = loaded.gstrLinkName;
    s.TextLinkURL = loaded.gstrLinkUrl;
    return s;
}

void cmLoadStartup(const ProgramFiles& files, MakeSettings& outSettings,
                   std::vector<GalleryEntry>& outRows) {
    Settings loaded;
    mainGetIni(files.iniPath(), files.programFolder, loaded);
    outSettings = cmStartupMakeSettings(loaded, files.programFolder);
    setTemplateFolders(outSettings, files);
    outRows.clear();
    mainGetList(files.listPath(), outRows);
}

} // namespace mivo
