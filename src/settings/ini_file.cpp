#include "settings/ini_file.h"

#include <cstddef>

#include "common/log.h"

namespace mivo {

namespace {

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

/// `""` stands for an explicitly empty value.
std::string profileValue(std::string_view stored) {
    const std::string_view value = trimBlanks(stored);
    return value == "\"\"" ? std::string() : std::string(value);
}

/// A line break inside a value would start a stray line in the file; it becomes a blank.
std::string singleLine(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
            continue;
        }
        out += (value[i] == '\r' || value[i] == '\n') ? ' ' : value[i];
    }
    return out;
}

} // namespace

std::string iniValue(IniDocument& doc, const std::string& section, const std::string& key,
                     const std::string& defaultValue) {
    std::string stored;
    return profileValue(doc.find(section, key, stored) ? stored : defaultValue);
}

void storeIniValue(IniDocument& doc, const std::string& instrSection,
                   const std::string& instrKeyName, const std::string& instrValue) {
    cmWriteLog("cmSetIni", 1,
               "▽Start Method▽\r\ninstrSection=[" + instrSection + "]\r\ninstrKeyName=[" +
                   instrKeyName + "]\r\ninstrValue=[" + instrValue + "]");
    // An explicit "" keeps the key present with an empty value.
    doc.set(instrSection, instrKeyName,
            instrValue.empty() ? std::string("\"\"") : singleLine(instrValue));
    cmWriteLog("cmSetIni", 1, "△End Method△");
}

std::string cmGetIni(const std::string& iniPath, const std::string& section, const std::string& key,
                     const std::string& defaultValue) {
    IniDocument doc;
    doc.load(iniPath);
    return iniValue(doc, section, key, defaultValue);
}

bool cmSetIni(const std::string& iniPath, const std::string& instrSection,
              const std::string& instrKeyName, const std::string& instrValue) {
    IniDocument doc;
    doc.load(iniPath);
    storeIniValue(doc, instrSection, instrKeyName, instrValue);
    if (!doc.save(iniPath)) {
        cmWriteLog("cmSetIni", 4, "WritePrivateProfileString Error [0]");
        return false;
    }
    return true;
}

} // namespace mivo
