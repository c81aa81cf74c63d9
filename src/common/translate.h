#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/language.h"

namespace mivo {

/// The translations of one GNU gettext catalogue (a .mo file made by msgfmt): each Japanese
/// source text with its translation.
class Catalogue {
  public:
    /// Reads a .mo file; false (and an empty catalogue) when it cannot be read or is no
    /// catalogue. Entries without a translation are left out.
    bool load(const std::string& path);
    /// Reads the bytes of a .mo file; false when they are no catalogue.
    bool parse(std::string_view bytes);
    /// The translation, or nullptr when the catalogue has none.
    const std::string* find(std::string_view text) const;
    std::size_t size() const { return entries_.size(); }

  private:
    std::unordered_map<std::string, std::string> entries_;
};

/// The gettext text domain: one catalogue per language that the window and mivo-make share.
inline constexpr const char* kTextDomain = "mivo";

/// Where the catalogue of `language` ("en") lies in a program folder, as gettext lays it out:
/// <folder>/locale/en/LC_MESSAGES/mivo.mo.
std::string catalogueFile(const std::string& programFolder, const char* language);

/// Chooses the language of every text translate() gives from now on; called at start-up,
/// before any thread starts. English reads the catalogue of the program folder; false when it
/// cannot be read, and the texts (and currentLanguage()) stay Japanese.
bool useLanguage(UiLanguage language, const std::string& programFolder);
/// The language chosen by useLanguage (Japanese until then).
UiLanguage currentLanguage();

/// A text the user sees, in the chosen language: the Japanese source text itself, or its
/// translation. A text the catalogue does not hold is given back unchanged. Log lines are
/// never translated.
std::string translate(std::string_view text);
/// translate(), then each "%1", "%2"... replaced by the value in that place, so that each
/// language puts the values where its sentence needs them.
std::string translate(std::string_view text, std::initializer_list<std::string_view> values);

/// A message for the user with the Japanese text the log keeps: `logged` is the source text
/// with its values put in, `shown` the same in the chosen language.
struct UserText {
    UserText() = default;
    /// A value that reads the same in every language: a path, a name, a number (implicit, so
    /// that such values go into userText() as they are).
    UserText(std::string same) : logged(same), shown(std::move(same)) {}
    UserText(std::string loggedText, std::string shownText)
        : logged(std::move(loggedText)), shown(std::move(shownText)) {}

    std::string logged;
    std::string shown;
};

/// A source text with "%1", "%2"... filled in: as written (and logged) with each value's
/// logged text, and translated with each value's shown text.
UserText userText(std::string_view text, std::initializer_list<UserText> values = {});

/// "<path>: <reason>" (or "<what>: <path>: <reason>") with each part between the ": " that is
/// a source text translated: a failure the copier composed (and logged) in Japanese, as the
/// user reads it.
std::string translateReason(std::string_view text);

/// Marks a source text for the catalogue where it is written down as a constant; it is
/// translated where it is shown.
constexpr const char* translatable(const char* text) {
    return text;
}

} // namespace mivo
