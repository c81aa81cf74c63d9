#pragma once

#include <array>
#include <string>

namespace mivo {

/// The window's values when 作成 was pressed: a snapshot the Make run reads instead of the
/// controls. Fields are named after the controls and globals they come from.
struct MakeSettings {
    std::string programFolder; // holds html/ (the templates)

    int OptionMenu = 1;       // selected mode option: 0 menu mode, 1 single mode
    int OptionSamH = 1;       // 0 full-size pictures as thumbnails, 1 thumbnail folder
    int CheckUseFileList = 0; // 1 use filelist.csv
    int OptionStart = 0;      // 0 open on the list view, 1 on the index view
    int CheckSlideShow = 1;

    std::string gstrPicPath;
    std::string gstrSamPath;
    std::string gstrIndexPath;
    std::string gstrHtmlPath;
    std::string gstrMenuPath;
    std::string gstrMenuHtmlPath;
    std::string gstrStartName;

    std::string DirIndex; // folder shown in DirIndex (single mode's index folder)
    std::string DirMenu;  // folder shown in DirMenu (menu mode's menu folder)

    std::string TextTitle;
    std::string TextTitleS;
    std::string TextBody;
    std::string TextFilelistWidth = "0";
    std::string TextFilelistHeight = "0";
    std::string TextSlideTime = "5";
    std::string TextSamWidth = "160";
    std::string TextSamHeight = "160";
    std::string TextAllListWidth = "4";
    std::array<std::string, 3> TextLinkName;
    std::array<std::string, 3> TextLinkURL;

    int pictureWorkers = 0; // threads reading picture headers; 0 picks a number from the hardware

    bool menuMode() const { return OptionMenu == 0; }
};

} // namespace mivo
