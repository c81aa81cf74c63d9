#include "settings/settings_table.h"

#include <array>
#include <limits>

#include "common/overloaded.h"
#include "common/text.h"
#include "common/translate.h"

namespace mivo {

namespace {

using K = SettingKind;
using D = DefaultFrom;
constexpr long long kAny = std::numeric_limits<long long>::max();
/// Window places and sizes in pixels: far beyond any desktop, well inside an int.
constexpr long long kPlace = 1000000;

#define MIVO_SLOT(member) [](Settings& s) -> SettingSlot { return &s.member; }

// clang-format off
constexpr SettingRow kRows[] = {
// section     key          kind            default                                    from              log name            min      max     clamp  save  group  slot
{"Log",      "Level",     K::WholeNumber, "0",                                       D::Text,          "LogLevel",         -32768,  32767,  false, -1,   0,     MIVO_SLOT(LogLevel)},
{"Ini",      "Mode",      K::OptionIndex, "1",                                       D::Text,          "gstrModeF",        0,       2,      false, 1,    0,     MIVO_SLOT(OptionMenu)},
{"Path",     "Pic",       K::Path,        "",                                        D::ProgramFolder, "PicPath",          0,       0,      false, 2,    0,     MIVO_SLOT(gstrPicPath)},
{"Path",     "Thum",      K::Path,        "",                                        D::PicPath,       "SamPath",          0,       0,      false, 3,    0,     MIVO_SLOT(gstrSamPath)},
{"Path",     "Index",     K::Path,        "",                                        D::PicIndexPage,  "IndexPath",        0,       0,      false, 4,    0,     MIVO_SLOT(gstrIndexPath)},
{"Path",     "Html",      K::SubFolder,   "",                                        D::Text,          "HtmlPath",         0,       0,      false, 5,    0,     MIVO_SLOT(gstrHtmlPath)},
{"Path",     "Menu",      K::Path,        "",                                        D::PicIndexPage,  "MenuPath",         0,       0,      false, 6,    0,     MIVO_SLOT(gstrMenuPath)},
{"Path",     "MenuH",     K::SubFolder,   "",                                        D::Text,          "MenuHtmlPath",     0,       0,      false, 7,    0,     MIVO_SLOT(gstrMenuHtmlPath)},
{"Path",     "Start",     K::Text,        "",                                        D::Text,          "StartName",        0,       0,      false, 8,    0,     MIVO_SLOT(gstrStartName)},
{"Html",     "Body",      K::Text,        "<body bgcolor=\"white\" text=\"black\">", D::Text,          "Body",             0,       0,      false, 11,   0,     MIVO_SLOT(TextBody)},
{"Html",     "Title",     K::Text,        "アルバム",                                    D::Text,          "Title",            0,       0,      false, 9,    0,     MIVO_SLOT(TextTitle)},
{"Html",     "TitleS",    K::Text,        "写真",                                      D::Text,          nullptr,            0,       0,      false, 10,   0,     MIVO_SLOT(TextTitleS)},
{"Html",     "Start",     K::OptionIndex, "0",                                       D::Text,          "gstrStartTypeF",   0,       1,      false, 12,   0,     MIVO_SLOT(OptionStart)},
{"Filelist", "Use",       K::Flag,        "0",                                       D::Text,          "gstrUseFilelistF", 0,       1,      false, 13,   0,     MIVO_SLOT(CheckUseFileList)},
{"Filelist", "Width",     K::WholeNumber, "0",                                       D::Text,          "gstrFilelistWF",   0,       kAny,   false, 14,   0,     MIVO_SLOT(TextFilelistWidth)},
{"Filelist", "Height",    K::WholeNumber, "0",                                       D::Text,          "gstrFilelistHF",   0,       kAny,   false, 15,   0,     MIVO_SLOT(TextFilelistHeight)},
{"Html",     "Slide",     K::Flag,        "1",                                       D::Text,          "gstrUseSlideF",    0,       1,      false, 16,   0,     MIVO_SLOT(CheckSlideShow)},
{"Html",     "Time",      K::Text,        "5",                                       D::Text,          "gstrSlideTimeF",   0,       0,      false, 17,   0,     MIVO_SLOT(TextSlideTime)},
{"Html",     "TUse",      K::OptionIndex, "1",                                       D::Text,          "gstrSamUseF",      0,       1,      false, 18,   0,     MIVO_SLOT(OptionSamD)},
{"Html",     "TWidth",    K::WholeNumber, "160",                                     D::Text,          "gstrSamWidthF",    1,       100000, true,  19,   0,     MIVO_SLOT(TextSamWidth)},
{"Html",     "THeight",   K::WholeNumber, "160",                                     D::Text,          "gstrSamHeightF",   1,       100000, true,  20,   0,     MIVO_SLOT(TextSamHeight)},
{"Html",     "LWidth",    K::Text,        "4",                                       D::Text,          "gstrAllListF",     0,       0,      false, 21,   0,     MIVO_SLOT(TextAllListWidth)},
{"Link",     "Name1",     K::Text,        "メニュー",                                    D::Text,          nullptr,            0,       0,      false, 22,   1,     MIVO_SLOT(TextLinkName[0])},
{"Link",     "Url1",      K::Text,        "../index.html",                           D::Text,          "gstrLink1",        0,       0,      false, 23,   1,     MIVO_SLOT(TextLinkURL[0])},
{"Link",     "Name2",     K::Text,        "戻る",                                      D::Text,          nullptr,            0,       0,      false, 24,   2,     MIVO_SLOT(TextLinkName[1])},
{"Link",     "Url2",      K::Text,        "../index.html",                           D::Text,          "gstrLink2",        0,       0,      false, 25,   2,     MIVO_SLOT(TextLinkURL[1])},
{"Link",     "Name3",     K::Text,        "進む",                                      D::Text,          nullptr,            0,       0,      false, 26,   3,     MIVO_SLOT(TextLinkName[2])},
{"Link",     "Url3",      K::Text,        "../index.html",                           D::Text,          "gstrLink3",        0,       0,      false, 27,   3,     MIVO_SLOT(TextLinkURL[2])},
{"Launcher", "Name1",     K::Text,        translatable("機能1"),                       D::WindowText,    nullptr,            0,       0,      false, 28,   4,     MIVO_SLOT(TextOpenName[0])},
{"Launcher", "Use1",      K::Flag,        "1",                                       D::Text,          nullptr,            0,       1,      false, 29,   4,     MIVO_SLOT(CheckOpen[0])},
{"Launcher", "Path1",     K::Text,        "",                                        D::Text,          "gstrLaunch1",      0,       0,      false, 30,   4,     MIVO_SLOT(TextOpen[0])},
{"Launcher", "Name2",     K::Text,        translatable("機能2"),                       D::WindowText,    nullptr,            0,       0,      false, 31,   5,     MIVO_SLOT(TextOpenName[1])},
{"Launcher", "Use2",      K::Flag,        "1",                                       D::Text,          nullptr,            0,       1,      false, 32,   5,     MIVO_SLOT(CheckOpen[1])},
{"Launcher", "Path2",     K::Text,        "",                                        D::Text,          "gstrLaunch2",      0,       0,      false, 33,   5,     MIVO_SLOT(TextOpen[1])},
{"Launcher", "Name3",     K::Text,        translatable("機能3"),                       D::WindowText,    nullptr,            0,       0,      false, 34,   6,     MIVO_SLOT(TextOpenName[2])},
{"Launcher", "Use3",      K::Flag,        "1",                                       D::Text,          nullptr,            0,       1,      false, 35,   6,     MIVO_SLOT(CheckOpen[2])},
{"Launcher", "Path3",     K::Text,        "",                                        D::Text,          "gstrLaunch3",      0,       0,      false, 36,   6,     MIVO_SLOT(TextOpen[2])},
{"Launcher", "Name4",     K::Text,        translatable("機能4"),                       D::WindowText,    nullptr,            0,       0,      false, 37,   7,     MIVO_SLOT(TextOpenName[3])},
{"Launcher", "Use4",      K::Flag,        "1",                                       D::Text,          nullptr,            0,       1,      false, 38,   7,     MIVO_SLOT(CheckOpen[3])},
{"Launcher", "Path4",     K::Text,        "",                                        D::Text,          "gstrLaunch4",      0,       0,      false, 39,   7,     MIVO_SLOT(TextOpen[3])},
{"Html",     "Exif",      K::Flag,        "1",                                       D::Text,          nullptr,            0,       1,      false, 40,   0,     MIVO_SLOT(CheckExif)},
{"Html",     "Reduce",    K::Flag,        "0",                                       D::Text,          nullptr,            0,       1,      false, 41,   0,     MIVO_SLOT(CheckReduce)},
{"Html",     "Media",     K::Flag,        "0",                                       D::Text,          nullptr,            0,       1,      false, 42,   0,     MIVO_SLOT(CheckMedia)},
{"Window",   "Left",      K::WholeNumber, "0",                                       D::Text,          nullptr,            -kPlace, kPlace, false, 43,   8,     MIVO_SLOT(WindowLeft)},
{"Window",   "Top",       K::WholeNumber, "0",                                       D::Text,          nullptr,            -kPlace, kPlace, false, 44,   8,     MIVO_SLOT(WindowTop)},
{"Window",   "Width",     K::WholeNumber, "0",                                       D::Text,          nullptr,            0,       kPlace, false, 45,   8,     MIVO_SLOT(WindowWidth)},
{"Window",   "Height",    K::WholeNumber, "0",                                       D::Text,          nullptr,            0,       kPlace, false, 46,   8,     MIVO_SLOT(WindowHeight)},
{"Window",   "Maximized", K::Flag,        "0",                                       D::Text,          nullptr,            0,       1,      false, 47,   8,     MIVO_SLOT(WindowMaximized)},
{"Ini",      "Language",  K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 48,   0,     MIVO_SLOT(Language)},
{"Recent",   "Pic1",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 49,   0,     MIVO_SLOT(RecentPictureFolders[0])},
{"Recent",   "Pic2",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 50,   0,     MIVO_SLOT(RecentPictureFolders[1])},
{"Recent",   "Pic3",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 51,   0,     MIVO_SLOT(RecentPictureFolders[2])},
{"Recent",   "Pic4",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 52,   0,     MIVO_SLOT(RecentPictureFolders[3])},
{"Recent",   "Pic5",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 53,   0,     MIVO_SLOT(RecentPictureFolders[4])},
{"Recent",   "Pic6",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 54,   0,     MIVO_SLOT(RecentPictureFolders[5])},
{"Recent",   "Pic7",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 55,   0,     MIVO_SLOT(RecentPictureFolders[6])},
{"Recent",   "Pic8",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 56,   0,     MIVO_SLOT(RecentPictureFolders[7])},
{"Recent",   "Pic9",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 57,   0,     MIVO_SLOT(RecentPictureFolders[8])},
{"Recent",   "Pic10",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 58,   0,     MIVO_SLOT(RecentPictureFolders[9])},
{"Recent",   "Page1",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 59,   0,     MIVO_SLOT(RecentPageFolders[0])},
{"Recent",   "Page2",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 60,   0,     MIVO_SLOT(RecentPageFolders[1])},
{"Recent",   "Page3",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 61,   0,     MIVO_SLOT(RecentPageFolders[2])},
{"Recent",   "Page4",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 62,   0,     MIVO_SLOT(RecentPageFolders[3])},
{"Recent",   "Page5",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 63,   0,     MIVO_SLOT(RecentPageFolders[4])},
{"Recent",   "Page6",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 64,   0,     MIVO_SLOT(RecentPageFolders[5])},
{"Recent",   "Page7",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 65,   0,     MIVO_SLOT(RecentPageFolders[6])},
{"Recent",   "Page8",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 66,   0,     MIVO_SLOT(RecentPageFolders[7])},
{"Recent",   "Page9",     K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 67,   0,     MIVO_SLOT(RecentPageFolders[8])},
{"Recent",   "Page10",    K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 68,   0,     MIVO_SLOT(RecentPageFolders[9])},
{"Publish",  "Transport", K::Text,        "rsync",                                   D::Text,          nullptr,            0,       0,      false, 69,   0,     MIVO_SLOT(PublishTransportName)},
{"Publish",  "Host",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 70,   0,     MIVO_SLOT(PublishHost)},
{"Publish",  "User",      K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 71,   0,     MIVO_SLOT(PublishUser)},
{"Publish",  "Port",      K::WholeNumber, "0",                                       D::Text,          nullptr,            0,       65535,  false, 72,   0,     MIVO_SLOT(PublishPort)},
{"Publish",  "Folder",    K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 73,   0,     MIVO_SLOT(PublishFolder)},
{"Publish",  "SshConfig", K::Path,        "",                                        D::Text,          nullptr,            0,       0,      false, 74,   0,     MIVO_SLOT(PublishSshConfig)},
{"Publish",  "RcloneRemote", K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 75,   0,     MIVO_SLOT(PublishRcloneRemote)},
{"Publish",  "RclonePath", K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 76,   0,     MIVO_SLOT(PublishRclonePath)},
{"Publish",  "Address",   K::Text,        "",                                        D::Text,          nullptr,            0,       0,      false, 77,   0,     MIVO_SLOT(PublishAddress)},
{"Publish",  "Originals", K::OptionIndex, "0",                                       D::Text,          nullptr,            0,       2,      false, 78,   0,     MIVO_SLOT(PublishOriginals)},
// Captions the pictures hold.
{"Html",     "Caption",   K::Flag,        "1",                                       D::Text,          nullptr,            0,       1,      false, 79,   0,     MIVO_SLOT(CheckCaption)},
// Live Photos: a still and its motion as one item.
{"Html",     "LivePhoto", K::Flag,        "1",                                       D::Text,          nullptr,            0,       1,      false, 80,   0,     MIVO_SLOT(CheckLivePhoto)},
{"Ini",      "TreeOrder", K::OptionIndex, "0",                                       D::Text,          nullptr,            0,       1,      false, 81,   0,     MIVO_SLOT(OptionTreeOrder)},
};
// clang-format on

#undef MIVO_SLOT

} // namespace

std::string SettingRow::storedText(const Settings& settings) const {
    // The slot only reads here.
    auto& record = const_cast<Settings&>(settings);
    return std::visit(Overloaded{[](std::string* v) { return *v; },
                                 [](long long* v) { return std::to_string(*v); },
                                 [](bool* v) { return std::string(*v ? "1" : "0"); },
                                 [](int* v) { return std::to_string(*v); }},
                      slot(record));
}

const void* SettingRow::address(const Settings& settings) const {
    // The slot only takes the member's address here.
    auto& record = const_cast<Settings&>(settings);
    return std::visit([](auto* member) -> const void* { return member; }, slot(record));
}

bool SettingRow::parse(const std::string& text, Settings& settings) const {
    const SettingSlot target = slot(settings);
    if (auto* const* str = std::get_if<std::string*>(&target)) {
        **str = text;
        return true;
    }
    long long value = 0;
    if (!parseWholeNumber(text, value)) {
        return false;
    }
    if (value < min || value > max) {
        if (!clamp) {
            return false;
        }
        value = value < min ? min : max;
    }
    std::visit(Overloaded{[](std::string*) {}, [&](long long* v) { *v = value; },
                          [&](bool* v) { *v = value == 1; },
                          [&](int* v) { *v = static_cast<int>(value); }},
               target);
    return true;
}

std::span<const SettingRow> settingRows() {
    return kRows;
}

const SettingRow* findSettingRow(const std::string& section, const std::string& key) {
    for (const SettingRow& row : kRows) {
        if (section == row.section && key == row.key) {
            return &row;
        }
    }
    return nullptr;
}

const SettingRow* findSettingRow(const Settings& values, const void* member) {
    for (const SettingRow& row : kRows) {
        if (row.address(values) == member) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace mivo
