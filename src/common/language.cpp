#include "common/language.h"

#include <cstdlib>
#include <string_view>

namespace mivo {

namespace {

std::string_view value(const EnvironmentLookup& lookup, const char* name) {
    const char* text = lookup(name);
    return text == nullptr ? std::string_view() : std::string_view(text);
}

/// "C", "C.UTF-8", "POSIX": the locales that name no language.
bool namesNoLanguage(std::string_view locale) {
    return locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C.") ||
           locale.starts_with("C@");
}

/// "ja", "ja_JP.UTF-8", "ja_JP@euro"... are Japanese; every other language gets English.
UiLanguage languageOf(std::string_view name) {
    const std::size_t end = name.find_first_of("_.@-");
    const std::string_view code = name.substr(0, end);
    return code == "ja" ? UiLanguage::Japanese : UiLanguage::English;
}

} // namespace

UiLanguage desktopLanguage(const EnvironmentLookup& lookup) {
    std::string_view locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = value(lookup, name);
        if (!locale.empty()) {
            break;
        }
    }
    if (namesNoLanguage(locale)) {
        return UiLanguage::Japanese;
    }
    const std::string_view list = value(lookup, "LANGUAGE");
    const std::string_view first = list.substr(0, list.find(':'));
    return languageOf(first.empty() ? locale : first);
}

UiLanguage chooseLanguage(const std::string& setting, const EnvironmentLookup& lookup) {
    if (setting == kLanguageSettings[1]) {
        return UiLanguage::Japanese;
    }
    if (setting == kLanguageSettings[2]) {
        return UiLanguage::English;
    }
    return desktopLanguage(lookup);
}

EnvironmentLookup processEnvironment() {
    return [](const char* name) -> const char* { return std::getenv(name); };
}

} // namespace mivo
