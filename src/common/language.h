#pragma once

#include <array>
#include <functional>
#include <string>

namespace mivo {

/// The languages the window and mivo-make speak. Japanese is the source language of every
/// text; English comes from the catalogue.
enum class UiLanguage { Japanese, English };

/// The values of [Ini] Language, in the order of the window's choices: automatic (the
/// desktop's language), Japanese, English.
inline constexpr std::array<const char*, 3> kLanguageSettings = {"", "ja", "en"};

/// Reads one environment variable; nullptr when it is unset.
using EnvironmentLookup = std::function<const char*(const char*)>;

/// The desktop's language, decided from the text of the locale variables rather than from
/// the locale the C library managed to set, so that it works where that locale is not
/// generated: the first non-empty of LC_ALL, LC_MESSAGES, LANG; when that is not the C or
/// POSIX locale, LANGUAGE's first entry takes precedence. No locale, C and POSIX stay
/// Japanese; a language other than Japanese gives English.
UiLanguage desktopLanguage(const EnvironmentLookup& lookup);

/// The language for a value of [Ini] Language: "ja" and "en" choose, anything else leaves it
/// to the desktop.
UiLanguage chooseLanguage(const std::string& setting, const EnvironmentLookup& lookup);

/// This process's environment.
EnvironmentLookup processEnvironment();

} // namespace mivo
