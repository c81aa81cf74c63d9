#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <variant>

#include "settings/settings.h"

namespace mivo {

/// What a setting holds, and so how its stored text is read and written.
enum class SettingKind {
    Path,        ///< a folder or page path; a relative one is taken from the settings folder
    SubFolder,   ///< a folder below the page's own folder, kept as text
    Text,        ///< free text
    WholeNumber, ///< a decimal whole number
    Flag,        ///< a check box: "1" on, "0" off
    OptionIndex, ///< the chosen option of a few: "0", "1"...
};

/// Where a default comes from: the row's text, the row's text in the window's language (a
/// launcher's name, which only the window shows), or the paths read earlier in the same load.
enum class DefaultFrom { Text, WindowText, ProgramFolder, PicPath, PicIndexPage };

/// The member of Settings a row stands for.
using SettingSlot = std::variant<std::string*, long long*, bool*, int*>;

/// One setting: its place in Mivo.ini, its default, how it is logged and how it is saved. The
/// table lists the rows in the order they are loaded. Which control of the window shows a
/// setting is the window's business (each pane's table of bindings).
struct SettingRow {
    const char* section;
    const char* key;
    SettingKind kind;
    const char* defaultText;
    DefaultFrom defaultFrom;
    /// Name in the load log line "name=[value]"; nullptr writes none. For a row that ends a
    /// save group the line holds every value of the group, each followed by ",".
    const char* logName;
    /// Accepted whole numbers; a stored text outside them gives the default, or the nearest
    /// bound when `clamp` is set.
    long long min;
    long long max;
    bool clamp;
    /// Position in the save order; -1: never written.
    int saveOrder;
    /// Rows with the same non-zero group are written together when any of them changed.
    int saveGroup;
    SettingSlot (*slot)(Settings&);

    /// The row's member in a record.
    SettingSlot in(Settings& settings) const { return slot(settings); }
    /// Where the row's member lies in a record (to tell which row a member belongs to).
    const void* address(const Settings& settings) const;
    /// The row's value written as Mivo.ini stores it.
    std::string storedText(const Settings& settings) const;
    /// Reads stored text into the row's member; false (member untouched) when the text is not
    /// a value of the row's kind.
    bool parse(const std::string& text, Settings& settings) const;
};

/// Every row, in load order.
std::span<const SettingRow> settingRows();

/// The row of `section`/`key` (exact spelling), or nullptr.
const SettingRow* findSettingRow(const std::string& section, const std::string& key);

/// The row that stands for the member of `values` at `member`, or nullptr.
const SettingRow* findSettingRow(const Settings& values, const void* member);

} // namespace mivo
