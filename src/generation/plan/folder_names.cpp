#include "generation/plan/folder_names.h"

#include <cstddef>

#include "common/codepage.h"
#include "common/text.h"

namespace mivo {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// Folder names stay well below the 255 bytes a file system allows, with room for "~N".
constexpr std::size_t kLongestName = 200;

} // namespace

bool naturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && isDigit(a[ei])) {
                ++ei;
            }
            while (ej < b.size() && isDigit(b[ej])) {
                ++ej;
            }
            // Leading zeros do not count toward the value.
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0') {
                ++si;
            }
            while (sj + 1 < ej && b[sj] == '0') {
                ++sj;
            }
            const std::string_view na = a.substr(si, ei - si);
            const std::string_view nb = b.substr(sj, ej - sj);
            if (na.size() != nb.size()) {
                return na.size() < nb.size();
            }
            if (na != nb) {
                return na < nb;
            }
            i = ei;
            j = ej;
            continue;
        }
        const char ca = asciiUpper(a.substr(i, 1))[0];
        const char cb = asciiUpper(b.substr(j, 1))[0];
        if (ca != cb) {
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        }
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) {
        return a.size() - i < b.size() - j;
    }
    return a < b;
}

std::string safeFolderName(std::string_view name) {
    const std::string text = sanitizeUtf8(name);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (text.compare(i, 3, "\xEF\xBF\xBD") == 0) {
            // A byte that was not UTF-8.
            out.push_back('_');
            i += 2;
            continue;
        }
        const bool unsafe = c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '"' || c == '#' ||
                            c == '%' || c == '?' || c == '\\' || c == ':' || c == '*' || c == '|' ||
                            c == '/' || c == ',' || c == '&' || c == '\'';
        out.push_back(unsafe ? '_' : static_cast<char>(c));
    }
    if (out.size() > kLongestName) {
        std::size_t cut = kLongestName;
        // Not inside a character.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        out.resize(cut);
    }
    // Windows drops trailing dots and spaces; a leading dot would hide the folder.
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) {
        out.back() = '_';
    }
    if (!out.empty() && out.front() == '.') {
        out.front() = '_';
    }
    return out.empty() ? std::string("_") : out;
}

FolderNames::FolderNames()
    : taken_{"INDEX.HTML", "LIST.HTML", "PICT.HTML", "MENU.HTML", "THUMBS", "VIEW"} {}

std::string FolderNames::take(std::string_view name) {
    const std::string safe = safeFolderName(name);
    std::string candidate = safe;
    for (int n = 2; !taken_.insert(asciiUpper(candidate)).second; ++n) {
        candidate = safe + "~" + std::to_string(n);
    }
    return candidate;
}

} // namespace mivo
