#pragma once

#include <array>
#include <functional>
#include <string>

namespace mivo {

/// Every setting as loaded from Mivo.ini (defaults filled in). Loaded values never change
/// after the load; the window keeps the current values in its globals and controls.
struct Settings {
    short LogLevel = 0;
    std::string gstrModeF;        // [Ini] Mode: "0" menu mode, "1" single mode
    std::string gstrPicPath;      // [Path] Pic
    std::string gstrSamPath;      // [Path] Thum
    std::string gstrIndexPath;    // [Path] Index
    std::string gstrHtmlPath;     // [Path] Html
    std::string gstrMenuPath;     // [Path] Menu
    std::string gstrMenuHtmlPath; // [Path] MenuH
    std::string gstrStartName;    // [Path] Start
    std::string gstrBodyF;        // [Html] Body
    std::string gstrTitleF;       // [Html] Title
    std::string gstrTitleSF;      // [Html] TitleS
    std::string gstrStartTypeF;   // [Html] Start: "0" list view, "1" index view
    std::string gstrUseFilelistF; // [Filelist] Use
    std::string gstrFilelistWF;   // [Filelist] Width
    std::string gstrFilelistHF;   // [Filelist] Height
    std::string gstrUseSlideF;    // [Html] Slide
    std::string gstrSlideTimeF;   // [Html] Time
    std::string gstrSamUseF;      // [Html] TUse: "0" full-size pictures, "1" thumbnails
    std::string gstrSamWidthF;    // [Html] TWidth
    std::string gstrSamHeightF;   // [Html] THeight
    std::string gstrAllListF;     // [Html] LWidth
    std::array<std::string, 3> gstrLinkName;
    std::array<std::string, 3> gstrLinkUrl;
    std::array<std::string, 4> gstrLaunchName;
    std::array<std::string, 4> gstrLaunchUse;
    std::array<std::string, 4> gstrLaunchPath;
};

/// The values current at exit, as the window's globals and controls hold them.
struct CurrentSettings {
    int OptionMenu = 1; // index of the selected mode option
    std::string gstrPicPath;
    std::string gstrSamPath;
    std::string gstrIndexPath;
    std::string gstrHtmlPath;
    std::string gstrMenuPath;
    std::string gstrMenuHtmlPath;
    std::string gstrStartName;
    std::string TextTitle;
    std::string TextTitleS;
    std::string TextBody;
    int OptionStart = 0; // index of the selected start-view option
    int CheckUseFileList = 0;
    std::string TextFilelistWidth;
    std::string TextFilelistHeight;
    int CheckSlideShow = 1;
    std::string TextSlideTime;
    int OptionSamD = 1; // index of the selected thumbnail option
    std::string TextSamWidth;
    std::string TextSamHeight;
    std::string TextAllListWidth;
    std::array<std::string, 3> TextLinkName;
    std::array<std::string, 3> TextLinkURL;
    std::array<std::string, 4> TextOpenName;
    std::array<int, 4> CheckOpen{1, 1, 1, 1};
    std::array<std::string, 4> TextOpen;
};

/// The numeric value of an option or check setting; a text that is not a whole number, or a
/// number outside [0, maxValue], gives the default.
int cmOptionValue(const std::string& text, int defaultValue, int maxValue);

/// Key-table rows 13 to 22 whose controls the window sets while loading, in the order read.
enum class IniControlRow {
    StartType = 13,
    UseFilelist = 14,
    FilelistWidth = 15,
    FilelistHeight = 16,
    UseSlide = 17,
    SlideTime = 18,
    SamUse = 19,
    SamWidth = 20,
    SamHeight = 21,
    AllList = 22,
};

/// Loads every row of the key table in order from the INI file at `iniPath`, logging as the
/// load does (banner, entry, each value). `programFolder` is the default picture folder.
/// `applyRow`, when given, is called right after each of rows 13 to 22 is read and before its
/// log line, so the window can set its control there. Sets the log threshold.
void mainGetIni(const std::string& iniPath, const std::string& programFolder, Settings& out,
                const std::function<void(IniControlRow, const Settings&)>& applyRow = {});

/// Writes, in the save order, exactly the settings whose current value differs from the
/// loaded one. Nothing changed: the file is not touched (and not created).
void mainSetIni(const std::string& iniPath, const Settings& loaded, const CurrentSettings& current);

} // namespace mivo
