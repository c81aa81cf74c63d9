#include "settings/ini_file.h"

#include <cstddef>

#include "common/log.h"
#include "common/text.h"

namespace mivo {

namespace {

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

namespace {

void logStoreStart(const std::string& section, const std::string& key, const std::string& value) {
    cmWriteLog("cmSetIni", 1,
               "▽Start Method▽\r\ninstrSection=[" + section + "]\r\ninstrKeyName=[" + key +
                   "]\r\ninstrValue=[" + value + "]");
}

/// An explicit "" keeps the key present with an empty value.
void storeQuietly(IniDocument& doc, const std::string& section, const std::string& key,
                  const std::string& value) {
    doc.set(section, key, value.empty() ? std::string("\"\"") : singleLine(value));
}

} // namespace

void storeIniValue(IniDocument& doc, const std::string& instrSection,
                   const std::string& instrKeyName, const std::string& instrValue) {
    logStoreStart(instrSection, instrKeyName, instrValue);
    storeQuietly(doc, instrSection, instrKeyName, instrValue);
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
    logStoreStart(instrSection, instrKeyName, instrValue);
    IniDocument doc;
    doc.load(iniPath);
    storeQuietly(doc, instrSection, instrKeyName, instrValue);
    const bool stored = doc.save(iniPath);
    if (!stored) {
        cmWriteLog("cmSetIni", 4, "WritePrivateProfileString Error [0]");
    }
    cmWriteLog("cmSetIni", 1, "△End Method△");
    return stored;
}

} // namespace mivo
