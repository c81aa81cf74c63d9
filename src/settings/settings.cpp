#include "settings/settings.h"

#include <limits>
#include <string>

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/text.h"
#include "settings/ini_file.h"

namespace mivo {
namespace {

constexpr const char* kGetIni = "mainGetIni";
constexpr const char* kSetIni = "mainSetIni";

/// The threshold as stored; a text that is not a whole 16-bit number leaves the log off.
short logLevelValue(const std::string& text) {
    long long value = 0;
    if (!cmParseWholeNumber(text, value) || value < std::numeric_limits<short>::min() ||
        value > std::numeric_limits<short>::max()) {
        return 0;
    }
    return static_cast<short>(value);
}

/// Reads an option or check value. A text that names no option is replaced by the default,
/// so the window and the save both see a valid choice.
std::string readOption(const std::string& iniPath, const std::string& section,
                       const std::string& key, int defaultValue) {
    const std::string defaultText = std::to_string(defaultValue);
    const std::string text = cmGetIni(iniPath, section, key, defaultText);
    long long value = 0;
    if (!cmParseWholeNumber(text, value) || value < 0 || value > 1) {
        return defaultText;
    }
    return text;
}

void logValue(const std::string& name, const std::string& value) {
    cmWriteLog(kGetIni, 1, name + "=[" + value + "]");
}

/// Mivo.log lies beside Mivo.ini, wherever the user's state files are kept. Plain text
/// work: cmSplitPath would already write log lines, to whatever log was open before.
std::string logPathBeside(const std::string& iniPath) {
    const std::size_t slash = iniPath.rfind(kPathSeparator);
    if (slash == std::string::npos) {
        return std::string(kAppTitle) + ".log";
    }
    return cmLogPath(slash == 0 ? std::string(kPathSeparator) : iniPath.substr(0, slash));
}

} // namespace

int cmOptionValue(const std::string& text, int defaultValue, int maxValue) {
    long long value = 0;
    if (!cmParseWholeNumber(text, value) || value < 0 || value > maxValue) {
        return defaultValue;
    }
    return static_cast<int>(value);
}

void mainGetIni(const std::string& iniPath, const std::string& programFolder, Settings& out,
                const std::function<void(IniControlRow, const Settings&)>& applyRow) {
    cmSetLogPath(logPathBeside(iniPath));
    const auto apply = [&](IniControlRow row) {
        if (applyRow) {
            applyRow(row, out);
        }
    };

    out.LogLevel = logLevelValue(cmGetIni(iniPath, "Log", "Level", "0"));
    cmSetLogLevel(out.LogLevel);
    if (out.LogLevel == 1 || out.LogLevel == 2) {
        cmWriteLog(kGetIni, 2, "▼▼▼Start Mivo Var." + cmVersionText() + "▼▼▼");
        cmWriteLog(kGetIni, 1, "▽Start Method▽");
        logValue("LogLevel", std::to_string(out.LogLevel));
    }

    out.gstrModeF = readOption(iniPath, "Ini", "Mode", 1);
    logValue("gstrModeF", out.gstrModeF);

    out.gstrPicPath = cmGetIni(iniPath, "Path", "Pic", programFolder);
    logValue("PicPath", out.gstrPicPath);
    out.gstrSamPath = cmGetIni(iniPath, "Path", "Thum", out.gstrPicPath);
    logValue("SamPath", out.gstrSamPath);
    const std::string defaultPage = cmAddPath(out.gstrPicPath, "index.html", kPathSeparator);
    out.gstrIndexPath = cmGetIni(iniPath, "Path", "Index", defaultPage);
    logValue("IndexPath", out.gstrIndexPath);
    out.gstrHtmlPath = cmGetIni(iniPath, "Path", "Html", "");
    logValue("HtmlPath", out.gstrHtmlPath);
    out.gstrMenuPath = cmGetIni(iniPath, "Path", "Menu", defaultPage);
    logValue("MenuPath", out.gstrMenuPath);
    out.gstrMenuHtmlPath = cmGetIni(iniPath, "Path", "MenuH", "");
    logValue("MenuHtmlPath", out.gstrMenuHtmlPath);
    out.gstrStartName = cmGetIni(iniPath, "Path", "Start", "");
    logValue("StartName", out.gstrStartName);

    out.gstrBodyF = cmGetIni(iniPath, "Html", "Body", "<body bgcolor=\"white\" text=\"black\">");
    logValue("Body", out.gstrBodyF);
    out.gstrTitleF = cmGetIni(iniPath, "Html", "Title", "アルバム");
    logValue("Title", out.gstrTitleF);
    out.gstrTitleSF = cmGetIni(iniPath, "Html", "TitleS", "写真");

    out.gstrStartTypeF = readOption(iniPath, "Html", "Start", 0);
    apply(IniControlRow::StartType);
    logValue("gstrStartTypeF", out.gstrStartTypeF);
    out.gstrUseFilelistF = readOption(iniPath, "Filelist", "Use", 0);
    apply(IniControlRow::UseFilelist);
    logValue("gstrUseFilelistF", out.gstrUseFilelistF);
    out.gstrFilelistWF = cmGetIni(iniPath, "Filelist", "Width", "0");
    apply(IniControlRow::FilelistWidth);
    logValue("gstrFilelistWF", out.gstrFilelistWF);
    out.gstrFilelistHF = cmGetIni(iniPath, "Filelist", "Height", "0");
    apply(IniControlRow::FilelistHeight);
    logValue("gstrFilelistHF", out.gstrFilelistHF);
    out.gstrUseSlideF = readOption(iniPath, "Html", "Slide", 1);
    apply(IniControlRow::UseSlide);
    logValue("gstrUseSlideF", out.gstrUseSlideF);
    out.gstrSlideTimeF = cmGetIni(iniPath, "Html", "Time", "5");
    apply(IniControlRow::SlideTime);
    logValue("gstrSlideTimeF", out.gstrSlideTimeF);
    out.gstrSamUseF = readOption(iniPath, "Html", "TUse", 1);
    apply(IniControlRow::SamUse);
    logValue("gstrSamUseF", out.gstrSamUseF);
    out.gstrSamWidthF = cmGetIni(iniPath, "Html", "TWidth", "160");
    apply(IniControlRow::SamWidth);
    logValue("gstrSamWidthF", out.gstrSamWidthF);
    out.gstrSamHeightF = cmGetIni(iniPath, "Html", "THeight", "160");
    apply(IniControlRow::SamHeight);
    logValue("gstrSamHeightF", out.gstrSamHeightF);
    out.gstrAllListF = cmGetIni(iniPath, "Html", "LWidth", "4");
    apply(IniControlRow::AllList);
    logValue("gstrAllListF", out.gstrAllListF);

    static constexpr const char* kLinkNames[3] = {"メニュー", "戻る", "進む"};
    for (std::size_t i = 0; i < out.gstrLinkName.size(); ++i) {
        const std::string k = std::to_string(i + 1);
        out.gstrLinkName[i] = cmGetIni(iniPath, "Link", "Name" + k, kLinkNames[i]);
        out.gstrLinkUrl[i] = cmGetIni(iniPath, "Link", "Url" + k, "../index.html");
        cmWriteLog(kGetIni, 1,
                   "gstrLink" + k + "=[" + out.gstrLinkName[i] + "," + out.gstrLinkUrl[i] + ",]");
    }
    for (std::size_t i = 0; i < out.gstrLaunchName.size(); ++i) {
        const std::string k = std::to_string(i + 1);
        out.gstrLaunchName[i] = cmGetIni(iniPath, "Launcher", "Name" + k, "機能" + k);
        out.gstrLaunchUse[i] = readOption(iniPath, "Launcher", "Use" + k, 1);
        out.gstrLaunchPath[i] = cmGetIni(iniPath, "Launcher", "Path" + k, "");
        cmWriteLog(kGetIni, 1,
                   "gstrLaunch" + k + "=[" + out.gstrLaunchName[i] + "," + out.gstrLaunchUse[i] +
                       "," + out.gstrLaunchPath[i] + ",]");
    }
    cmWriteLog(kGetIni, 1, "△End Method△");
}

void mainSetIni(const std::string& iniPath, const Settings& loaded,
                const CurrentSettings& current) {
    cmWriteLog(kSetIni, 1, "▽Start Method▽");
    const auto writeIfChanged = [&](const char* section, const std::string& key,
                                    const std::string& now, const std::string& was) {
        if (now != was) {
            cmSetIni(iniPath, section, key, now);
        }
    };
    // An option pair: written when the selected option is no longer the loaded one.
    const auto writeOption = [&](const char* section, const char* key, int selected,
                                 const std::string& loadedText, int defaultValue) {
        if (selected != cmOptionValue(loadedText, defaultValue, 1)) {
            cmSetIni(iniPath, section, key, selected == 0 ? "0" : "1");
        }
    };
    // A check box: written as its number when it differs from the loaded number.
    const auto writeCheck = [&](const char* section, const std::string& key, int value,
                                const std::string& loadedText, int defaultValue) {
        if (value != cmOptionValue(loadedText, defaultValue, 1)) {
            cmSetIni(iniPath, section, key, std::to_string(value));
        }
    };

    writeOption("Ini", "Mode", current.OptionMenu, loaded.gstrModeF, 1);

    writeIfChanged("Path", "Pic", current.gstrPicPath, loaded.gstrPicPath);
    writeIfChanged("Path", "Thum", current.gstrSamPath, loaded.gstrSamPath);
    writeIfChanged("Path", "Index", current.gstrIndexPath, loaded.gstrIndexPath);
    writeIfChanged("Path", "Html", current.gstrHtmlPath, loaded.gstrHtmlPath);
    writeIfChanged("Path", "Menu", current.gstrMenuPath, loaded.gstrMenuPath);
    writeIfChanged("Path", "MenuH", current.gstrMenuHtmlPath, loaded.gstrMenuHtmlPath);
    writeIfChanged("Path", "Start", current.gstrStartName, loaded.gstrStartName);

    writeIfChanged("Html", "Title", current.TextTitle, loaded.gstrTitleF);
    writeIfChanged("Html", "TitleS", current.TextTitleS, loaded.gstrTitleSF);
    writeIfChanged("Html", "Body", current.TextBody, loaded.gstrBodyF);

    writeOption("Html", "Start", current.OptionStart, loaded.gstrStartTypeF, 0);
    writeCheck("Filelist", "Use", current.CheckUseFileList, loaded.gstrUseFilelistF, 0);
    writeIfChanged("Filelist", "Width", current.TextFilelistWidth, loaded.gstrFilelistWF);
    writeIfChanged("Filelist", "Height", current.TextFilelistHeight, loaded.gstrFilelistHF);
    writeCheck("Html", "Slide", current.CheckSlideShow, loaded.gstrUseSlideF, 1);
    writeIfChanged("Html", "Time", current.TextSlideTime, loaded.gstrSlideTimeF);
    writeOption("Html", "TUse", current.OptionSamD, loaded.gstrSamUseF, 1);
    writeIfChanged("Html", "TWidth", current.TextSamWidth, loaded.gstrSamWidthF);
    writeIfChanged("Html", "THeight", current.TextSamHeight, loaded.gstrSamHeightF);
    writeIfChanged("Html", "LWidth", current.TextAllListWidth, loaded.gstrAllListF);

    for (std::size_t i = 0; i < loaded.gstrLinkName.size(); ++i) {
        const std::string k = std::to_string(i + 1);
        if (current.TextLinkURL[i] != loaded.gstrLinkUrl[i] ||
            current.TextLinkName[i] != loaded.gstrLinkName[i]) {
            cmSetIni(iniPath, "Link", "Name" + k, current.TextLinkName[i]);
            cmSetIni(iniPath, "Link", "Url" + k, current.TextLinkURL[i]);
        }
    }
    for (std::size_t i = 0; i < loaded.gstrLaunchName.size(); ++i) {
        const std::string k = std::to_string(i + 1);
        if (current.TextOpenName[i] != loaded.gstrLaunchName[i] ||
            current.TextOpen[i] != loaded.gstrLaunchPath[i] ||
            current.CheckOpen[i] != cmOptionValue(loaded.gstrLaunchUse[i], 1, 1)) {
            cmSetIni(iniPath, "Launcher", "Name" + k, current.TextOpenName[i]);
            cmSetIni(iniPath, "Launcher", "Use" + k, std::to_string(current.CheckOpen[i]));
            cmSetIni(iniPath, "Launcher", "Path" + k, current.TextOpen[i]);
        }
    }
    cmWriteLog(kSetIni, 1, "△End Method△");
}

} // namespace mivo
