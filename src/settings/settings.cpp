#include "settings/settings.h"

#include <algorithm>
#include <variant>
#include <vector>

#include "common/log.h"
#include "common/paths.h"
#include "common/program.h"
#include "common/translate.h"
#include "settings/ini_file.h"
#include "settings/settings_table.h"
#include "settings/stored_paths.h"

namespace mivo {

namespace {

constexpr const char* kGetIni = "mainGetIni";
constexpr const char* kSetIni = "mainSetIni";

/// A row's default; path defaults follow the picture folder read earlier in the same load.
std::string defaultText(const SettingRow& row, const Settings& sofar,
                        const std::string& programFolder) {
    switch (row.defaultFrom) {
    case DefaultFrom::ProgramFolder:
        return programFolder;
    case DefaultFrom::PicPath:
        return sofar.gstrPicPath;
    case DefaultFrom::PicIndexPage:
        return cmAddPath(sofar.gstrPicPath, "index.html", kPathSeparator);
    case DefaultFrom::WindowText:
        return translate(row.defaultText);
    case DefaultFrom::Text:
        break;
    }
    return row.defaultText;
}

/// Reads a row from the document; a stored text that is no value of the row gives the default.
/// A relative folder or page path is taken from the settings folder, never from the working
/// folder; the window shows it so, and the save compares it so (an unchanged one stays as the
/// user wrote it).
void readRow(IniDocument& doc, const SettingRow& row, Settings& out,
             const std::string& programFolder, const std::string& settingsFolder) {
    const std::string fallback = defaultText(row, out, programFolder);
    if (!row.parse(iniValue(doc, row.section, row.key, fallback), out)) {
        row.parse(fallback, out);
    }
    if (row.kind == SettingKind::Path) {
        std::string& path = *std::get<std::string*>(row.in(out));
        path = resolveStoredPath(path, settingsFolder);
    }
}

bool isLastOfGroup(std::span<const SettingRow> rows, std::size_t i) {
    return i + 1 == rows.size() || rows[i + 1].saveGroup != rows[i].saveGroup;
}

/// "name=[value]", or for a row ending a group "name=[v1,v2,...,]".
void logRow(std::span<const SettingRow> rows, std::size_t i, const Settings& s) {
    const SettingRow& row = rows[i];
    if (row.logName == nullptr) {
        return;
    }
    std::string value;
    if (row.saveGroup == 0) {
        value = row.storedText(s);
    } else {
        std::size_t first = i;
        while (first > 0 && rows[first - 1].saveGroup == row.saveGroup) {
            --first;
        }
        for (std::size_t k = first; k <= i; ++k) {
            value += rows[k].storedText(s) + ",";
        }
    }
    cmWriteLog(kGetIni, 1, std::string(row.logName) + "=[" + value + "]");
}

/// Mivo.log lies beside Mivo.ini, wherever the user's state files are kept. Plain text
/// work: cmSplitPath would already write log lines, to whatever log was open before.
std::string logPathBeside(const std::string& iniPath) {
    const std::size_t slash = iniPath.rfind(kPathSeparator);
    if (slash == std::string::npos) {
        return std::string(kAppTitle) + ".log";
    }
    return logFilePath(slash == 0 ? std::string(kPathSeparator) : iniPath.substr(0, slash));
}

} // namespace

Settings defaultSettings(const std::string& programFolder) {
    Settings s{};
    for (const SettingRow& row : settingRows()) {
        row.parse(defaultText(row, s, programFolder), s);
    }
    return s;
}

bool mainGetIni(const std::string& iniPath, const std::string& programFolder, Settings& out,
                const SettingRowHook& onRow) {
    setLogPath(logPathBeside(iniPath));
    IniDocument doc;
    const bool readable = doc.load(iniPath);
    const std::string settingsFolder = settingsFolderOf(iniPath);
    out = Settings{};

    const auto rows = settingRows();
    // The first row is the log threshold: it decides whether anything of the load is logged.
    readRow(doc, rows[0], out, programFolder, settingsFolder);
    setLogLevel(static_cast<short>(out.LogLevel));
    if (out.LogLevel == 1 || out.LogLevel == 2) {
        cmWriteLog(kGetIni, 2, "▼▼▼Start Mivo Var." + versionText() + "▼▼▼");
        cmWriteLog(kGetIni, 1, "▽Start Method▽");
        logRow(rows, 0, out);
    }
    if (!readable) {
        cmWriteLog(kGetIni, 4, "InOpenError [" + iniPath + "]");
    }
    for (std::size_t i = 1; i < rows.size(); ++i) {
        readRow(doc, rows[i], out, programFolder, settingsFolder);
        if (onRow) {
            onRow(rows[i], out);
        }
        if (rows[i].saveGroup == 0 || isLastOfGroup(rows, i)) {
            logRow(rows, i, out);
        }
    }
    cmWriteLog(kGetIni, 1, "△End Method△");
    return readable;
}

bool mainSetIni(const std::string& iniPath, const Settings& loaded, const Settings& current,
                std::string* errorText) {
    cmWriteLog(kSetIni, 1, "▽Start Method▽");
    const auto rows = settingRows();
    std::vector<const SettingRow*> order;
    for (const SettingRow& row : rows) {
        if (row.saveOrder >= 0) {
            order.push_back(&row);
        }
    }
    std::sort(order.begin(), order.end(),
              [](const SettingRow* a, const SettingRow* b) { return a->saveOrder < b->saveOrder; });
    const auto differs = [&](const SettingRow& row) {
        return row.storedText(loaded) != row.storedText(current);
    };

    IniDocument doc;
    bool loadedDoc = false;
    bool ok = true;
    const auto store = [&](const SettingRow& row) {
        if (!loadedDoc) {
            loadedDoc = true;
            doc.load(iniPath);
        }
        storeIniValue(doc, row.section, row.key, row.storedText(current));
    };
    for (std::size_t i = 0; i < order.size();) {
        // A group (a link, a launcher) is written whole when any of its rows changed.
        std::size_t end = i + 1;
        while (order[i]->saveGroup != 0 && end < order.size() &&
               order[end]->saveGroup == order[i]->saveGroup) {
            ++end;
        }
        if (std::any_of(order.begin() + static_cast<std::ptrdiff_t>(i),
                        order.begin() + static_cast<std::ptrdiff_t>(end),
                        [&](const SettingRow* row) { return differs(*row); })) {
            for (std::size_t k = i; k < end; ++k) {
                store(*order[k]);
            }
        }
        i = end;
    }
    if (loadedDoc && !doc.save(iniPath, errorText)) {
        cmWriteLog("cmSetIni", 4, "WritePrivateProfileString Error [0]");
        ok = false;
    }
    cmWriteLog(kSetIni, 1, "△End Method△");
    return ok;
}

} // namespace mivo
