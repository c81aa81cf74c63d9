#pragma once

#include <array>
#include <functional>
#include <string>

namespace mivo {

/// Every setting of the program, typed: flags are bool, numbers whole numbers, option pairs
/// the index of the chosen option. Members are named after the global or control that holds
/// the setting's current value in the window. A new record holds zeros and empty texts, not the
/// defaults: defaults, INI keys, load log lines and the save order are the rows of the settings
/// table (settings/settings_table.h), and `defaultSettings` fills a record from it.
struct Settings {
    int LogLevel{};            // [Log] Level: 0 no log, n lines of level n and above; never written
    int OptionMenu{};          // [Ini] Mode: 0 menu mode, 1 single mode, 2 folder tree
    std::string gstrPicPath{}; // [Path] Pic
    std::string gstrSamPath{}; // [Path] Thum
    std::string gstrIndexPath{};    // [Path] Index
    std::string gstrHtmlPath{};     // [Path] Html
    std::string gstrMenuPath{};     // [Path] Menu
    std::string gstrMenuHtmlPath{}; // [Path] MenuH
    std::string gstrStartName{};    // [Path] Start
    std::string TextBody{};         // [Html] Body
    std::string TextTitle{};        // [Html] Title
    std::string TextTitleS{};       // [Html] TitleS
    int OptionStart{};              // [Html] Start: 0 list view, 1 index view
    bool CheckUseFileList{};        // [Filelist] Use
    long long TextFilelistWidth{};  // [Filelist] Width: field number, 0 = none
    long long TextFilelistHeight{}; // [Filelist] Height
    bool CheckSlideShow{};          // [Html] Slide
    std::string TextSlideTime{};    // [Html] Time: seconds, as typed ("1.5" stays "1.5")
    int OptionSamD{};               // [Html] TUse: 0 full-size pictures, 1 thumbnail folder
    long long TextSamWidth{};       // [Html] TWidth: thumbnail box
    long long TextSamHeight{};      // [Html] THeight
    std::string TextAllListWidth{}; // [Html] LWidth: pictures per row, 0 = fit the window
    bool CheckExif{};               // [Html] Exif: the picture view shows the shooting data
    bool CheckReduce{};             // [Html] Reduce: Mivo makes thumbnails and display copies
    bool CheckMedia{};              // [Html] Media: with the copies, HEIC, PNG, WebP, videos too
    // [Html] Caption: a picture without a caption in filelist.csv shows its own description
    // (XMP, IPTC or EXIF).
    bool CheckCaption{};
    // [Html] LivePhoto: with the media, a still and its short video of the same name (a Live
    // Photo) are one item
    bool CheckLivePhoto{};
    std::array<std::string, 3> TextLinkName{}; // [Link] Name1..3
    std::array<std::string, 3> TextLinkURL{};  // [Link] Url1..3
    std::array<std::string, 4> TextOpenName{}; // [Launcher] Name1..4
    std::array<bool, 4> CheckOpen{};           // [Launcher] Use1..4
    std::array<std::string, 4> TextOpen{};     // [Launcher] Path1..4
    // Where the window was when it was last closed, in pixels (its place and size when not
    // maximized); a width or height of 0: no place kept, the window opens at its design size.
    // Only the window reads and writes them; mivo-make ignores them.
    long long WindowLeft{};   // [Window] Left
    long long WindowTop{};    // [Window] Top
    long long WindowWidth{};  // [Window] Width
    long long WindowHeight{}; // [Window] Height
    bool WindowMaximized{};   // [Window] Maximized
    // The language of the window and of mivo-make's messages: "" the desktop's, "ja", "en"
    // (kLanguageSettings). Read once at start-up, before the window is built.
    std::string Language{}; // [Ini] Language
    // The folders used lately, the latest first (empty texts after the last), offered by the
    // window's folder choosers: picture and thumbnail folders, and the folders of the pages.
    std::array<std::string, 10> RecentPictureFolders{}; // [Recent] Pic1..10
    std::array<std::string, 10> RecentPageFolders{};    // [Recent] Page1..10
    // Where 公開 (mivo-make --publish) sends the site. Never a password: rsync logs in with the
    // user's own SSH keys and agent, rclone with what `rclone config` holds. The 公開先 tab of
    // the window shows them.
    std::string PublishTransportName{}; // [Publish] Transport: "rsync" (or empty) or "rclone"
    std::string PublishHost{};          // [Publish] Host: the SSH server (rsync)
    std::string PublishUser{};          // [Publish] User: empty: what ssh's configuration says
    long long PublishPort{};            // [Publish] Port: 0: what ssh's configuration says
    std::string PublishFolder{};        // [Publish] Folder: on the server; empty: home folder
    std::string PublishSshConfig{};     // [Publish] SshConfig: ssh -F; empty: ~/.ssh/config
    std::string PublishRcloneRemote{};  // [Publish] RcloneRemote: a remote of `rclone config`
    std::string PublishRclonePath{};    // [Publish] RclonePath: the folder in that remote
    std::string PublishAddress{};       // [Publish] Address: the site's public address
    /// [Publish] Originals: where the pages' links to originals (元の画像/保存, videos and
    /// pictures shown as they are) lead: 0 into the picture folder, as they always did;
    /// 1 to copies placed in the site, so that the page folder holds all a page links to;
    /// 2 nowhere: downloads give the display copy, videos their web copy.
    int PublishOriginals{};
    int OptionTreeOrder{}; // [Ini] TreeOrder: a folder tree's albums and items 0 by name, 1 by
                           // date taken

    bool menuMode() const { return OptionMenu == 0; }
    /// The picture folder and every folder below it that holds pictures: a tree of albums.
    bool treeMode() const { return OptionMenu == 2; }
    /// Single mode shows the pictures of the thumbnail folder rather than the pictures.
    bool useThumbnailFolder() const { return OptionSamD == 1; }

    bool operator==(const Settings&) const = default;
};

struct SettingRow;

/// Every setting at its default. `programFolder` is the default picture folder; the other
/// path defaults follow from it.
Settings defaultSettings(const std::string& programFolder);

/// Called by mainGetIni right after each row was read and before its load log line is written
/// (the window shows some settings in their controls there, as the load reads them).
using SettingRowHook = std::function<void(const SettingRow&, const Settings&)>;

/// Loads every row of the settings table in order from Mivo.ini (read once), logging as the
/// load does: the banner, the entry line, each value as the table says. Sets the log
/// threshold. `onRow` lets the window set a control while the rows are read. A relative
/// folder or page path ([Path] Pic, Thum, Index, Menu) is taken from the folder that holds
/// Mivo.ini, never from the working folder. false when the file exists but cannot be read:
/// the defaults are used, and the file must not be replaced.
bool mainGetIni(const std::string& iniPath, const std::string& programFolder, Settings& out,
                const SettingRowHook& onRow = {});

/// Writes, in the save order, exactly the settings whose current value differs from the loaded
/// one, with one replace of the file. Nothing changed: the file is not touched (nor created).
/// false when the file could not be read or written; `errorText` then says why.
bool mainSetIni(const std::string& iniPath, const Settings& loaded, const Settings& current,
                std::string* errorText = nullptr);

} // namespace mivo
