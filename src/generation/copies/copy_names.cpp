#include "generation/copies/copy_names.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <unordered_set>

#include "common/paths.h"

namespace mivo {

namespace {

bool isJpegName(const std::string& name) {
    const std::string ext = cmGetExt(name);
    return ext == "jpg" || ext == "jpeg";
}

// One character of UTF-8 text at `at`, and how many bytes it took; a byte that starts no
// character is taken as it is.
char32_t nextCharacter(const std::string& text, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char first = byte(0);
    std::size_t need = first < 0x80         ? 1
                       : (first >> 5) == 6  ? 2
                       : (first >> 4) == 14 ? 3
                       : (first >> 3) == 30 ? 4
                                            : 0;
    if (need == 0 || at + need > text.size()) {
        length = 1;
        return first;
    }
    char32_t c = need == 1 ? first : first & (0x7F >> need);
    for (std::size_t i = 1; i < need; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            length = 1;
            return first;
        }
        c = (c << 6) | (byte(i) & 0x3F);
    }
    length = need;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

bool NameList::contains(std::string_view name) const {
    if (!sorted_) {
        std::sort(names_.begin(), names_.end());
        sorted_ = true;
    }
    return std::binary_search(names_.begin(), names_.end(), name,
                              [](std::string_view a, std::string_view b) { return a < b; });
}

CopyNames copyNamesOf(const std::string& itemName, bool video, int variant,
                      const std::string& animation) {
    const std::string mark = variant >= 2 ? "~" + std::to_string(variant) : std::string();
    CopyNames names;
    if (isJpegName(itemName)) {
        const std::size_t dot = itemName.rfind('.');
        names.file = itemName.substr(0, dot) + mark + itemName.substr(dot);
    } else {
        names.file = itemName + mark + ".jpg";
    }
    if (video) {
        names.webVideo = itemName + mark + ".mp4";
    } else if (!animation.empty()) {
        names.webVideo = itemName + mark + "." + animation;
    }
    return names;
}

std::string webpThumbName(const std::string& file) {
    return file + ".webp";
}

std::string caseFoldedName(const std::string& name) {
    // Case as Unicode defines it, whatever the user's locale; ASCII where the system has no
    // such locale.
    static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    std::string folded;
    folded.reserve(name.size());
    if (std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; })) {
        // ASCII only, as most names are: the same letters either way, without a look-up each.
        for (const char c : name) {
            folded.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c);
        }
        return folded;
    }
    for (std::size_t at = 0; at < name.size();) {
        std::size_t length = 1;
        const char32_t c = nextCharacter(name, at, length);
        if (length == 1 && c >= 0x80) {
            folded.push_back(name[at]); // not UTF-8: kept as the byte it is
        } else if (unicode != locale_t{}) {
            appendUtf8(folded,
                       static_cast<char32_t>(::towlower_l(static_cast<wint_t>(c), unicode)));
        } else {
            appendUtf8(folded, c < 0x80 && c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        }
        at += length;
    }
    return folded;
}

std::vector<int> copyVariants(const std::vector<std::string>& itemNames) {
    std::vector<std::string> usualFiles(itemNames.size());
    for (std::size_t i = 0; i < itemNames.size(); ++i) {
        usualFiles[i] = copyNamesOf(itemNames[i], false).file;
    }
    return copyVariants(itemNames, usualFiles);
}

std::vector<int> copyVariants(const std::vector<std::string>& itemNames,
                              const std::vector<std::string>& usualFiles) {
    std::vector<std::size_t> order(itemNames.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<std::string> usual(itemNames.size());
    std::unordered_set<std::string> usualNames;
    for (std::size_t i = 0; i < itemNames.size(); ++i) {
        usual[i] = caseFoldedName(usualFiles[i]);
        usualNames.insert(usual[i]);
    }
    if (usualNames.size() == itemNames.size()) {
        return std::vector<int>(itemNames.size(), 0); // no two items share their usual names
    }
    std::vector<bool> jpeg(itemNames.size());
    for (std::size_t i = 0; i < itemNames.size(); ++i) {
        jpeg[i] = isJpegName(itemNames[i]);
    }
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return jpeg[a] != jpeg[b] ? jpeg[a] : itemNames[a] < itemNames[b];
    });
    std::vector<int> variants(itemNames.size(), 0);
    std::unordered_set<std::string> taken;
    for (const std::size_t i : order) {
        if (taken.insert(usual[i]).second) {
            continue;
        }
        // Another item has these names: the first variant that is no item's usual name and
        // not taken yet.
        for (int variant = 2;; ++variant) {
            const std::string name = caseFoldedName(copyNamesOf(itemNames[i], false, variant).file);
            if (usualNames.count(name) == 0 && taken.insert(name).second) {
                variants[i] = variant;
                break;
            }
        }
    }
    return variants;
}

} // namespace mivo
