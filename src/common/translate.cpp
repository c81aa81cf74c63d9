#include "common/translate.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "common/paths.h"
#include "common/text_file.h"

namespace mivo {

namespace {

constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::uint32_t kSwappedMagic = 0xde120495;

struct ChosenLanguage {
    UiLanguage language = UiLanguage::Japanese;
    Catalogue catalogue;
};

ChosenLanguage& chosen() {
    static ChosenLanguage value;
    return value;
}

/// The .mo header and tables are 32-bit words in the byte order of the machine that made
/// the file; the magic number tells which.
class WordReader {
  public:
    explicit WordReader(std::string_view bytes) : bytes_(bytes) {}

    bool open() {
        std::uint32_t magic = 0;
        if (!word(0, magic)) {
            return false;
        }
        if (magic == kSwappedMagic) {
            swapped_ = !swapped_;
            word(0, magic);
        }
        return magic == kMagic;
    }

    bool word(std::size_t offset, std::uint32_t& out) const {
        if (offset > bytes_.size() || bytes_.size() - offset < 4) {
            return false;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto byte = static_cast<std::uint8_t>(bytes_[offset + i]);
            const std::size_t shift = swapped_ ? (3 - i) * 8 : i * 8;
            value |= static_cast<std::uint32_t>(byte) << shift;
        }
        out = value;
        return true;
    }

    /// The string of a table entry (length, then offset); false when it lies outside the file.
    bool text(std::size_t entry, std::string_view& out) const {
        std::uint32_t length = 0;
        std::uint32_t offset = 0;
        if (!word(entry, length) || !word(entry + 4, offset) || offset > bytes_.size() ||
            bytes_.size() - offset < length) {
            return false;
        }
        out = bytes_.substr(offset, length);
        return true;
    }

  private:
    std::string_view bytes_;
    // Words are read little-endian unless the magic number says otherwise.
    bool swapped_ = false;
};

} // namespace

bool Catalogue::load(const std::string& path) {
    entries_.clear();
    std::string bytes;
    return readFileBytes(path, bytes) && parse(bytes);
}

bool Catalogue::parse(std::string_view bytes) {
    entries_.clear();
    WordReader reader(bytes);
    std::uint32_t count = 0;
    std::uint32_t originals = 0;
    std::uint32_t translations = 0;
    if (!reader.open() || !reader.word(8, count) || !reader.word(12, originals) ||
        !reader.word(16, translations)) {
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string_view source;
        std::string_view target;
        if (!reader.text(originals + std::size_t{8} * i, source) ||
            !reader.text(translations + std::size_t{8} * i, target)) {
            entries_.clear();
            return false;
        }
        // The empty source text holds the catalogue's header, not a translation.
        if (!source.empty() && !target.empty()) {
            entries_.emplace(std::string(source), std::string(target));
        }
    }
    return true;
}

const std::string* Catalogue::find(std::string_view text) const {
    const auto it = entries_.find(std::string(text));
    return it == entries_.end() ? nullptr : &it->second;
}

std::string catalogueFile(const std::string& programFolder, const char* language) {
    std::string path = cmAddPath(programFolder, "locale", kPathSeparator);
    path = cmAddPath(path, language, kPathSeparator);
    path = cmAddPath(path, "LC_MESSAGES", kPathSeparator);
    return cmAddPath(path, std::string(kTextDomain) + ".mo", kPathSeparator);
}

bool useLanguage(UiLanguage language, const std::string& programFolder) {
    ChosenLanguage& state = chosen();
    state.language = language;
    state.catalogue = Catalogue();
    if (language == UiLanguage::Japanese) {
        return true;
    }
    if (!state.catalogue.load(catalogueFile(programFolder, "en"))) {
        // Without its catalogue the program speaks Japanese throughout, help file included.
        state.language = UiLanguage::Japanese;
        return false;
    }
    return true;
}

UiLanguage currentLanguage() {
    return chosen().language;
}

std::string translate(std::string_view text) {
    const std::string* found = chosen().catalogue.find(text);
    return found == nullptr ? std::string(text) : *found;
}

namespace {

std::string fill(const std::string& pattern, const std::vector<std::string_view>& values) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const std::size_t place = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && place < values.size()) {
            out += values[place];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

} // namespace

std::string translate(std::string_view text, std::initializer_list<std::string_view> values) {
    return fill(translate(text), std::vector<std::string_view>(values));
}

UserText userText(std::string_view text, std::initializer_list<UserText> values) {
    std::vector<std::string_view> logged;
    std::vector<std::string_view> shown;
    for (const UserText& value : values) {
        logged.push_back(value.logged);
        shown.push_back(value.shown);
    }
    return UserText(fill(std::string(text), logged), fill(translate(text), shown));
}

std::string translateReason(std::string_view text) {
    // Paths are no source texts, so each part may be looked up.
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t cut = text.find(": ", start);
        out += translate(text.substr(start, cut == std::string_view::npos ? cut : cut - start));
        if (cut == std::string_view::npos) {
            return out;
        }
        out += ": ";
        start = cut + 2;
    }
}

} // namespace mivo
