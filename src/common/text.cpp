#include "common/text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mivo {

char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = asciiUpper(c);
    }
    return out;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool textEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiUpper(x) == asciiUpper(y);
           });
}

std::size_t textFind(std::string_view hay, std::string_view needle, std::size_t from,
                     int compareMode) {
    if (from > hay.size() || needle.size() > hay.size() - from) {
        return std::string_view::npos;
    }
    if (compareMode != kCompareText || needle.empty()) {
        return hay.find(needle, from);
    }
    // Jump from one place where the first letter occurs, in either case, to the next (memchr
    // is fast) and compare the rest only there: most lines hold no placeholder at all.
    const char upper = asciiUpper(needle[0]);
    const char lower =
        (upper >= 'A' && upper <= 'Z') ? static_cast<char>(upper - 'A' + 'a') : upper;
    const std::size_t last = hay.size() - needle.size(); // the last place a match can start
    const std::string_view rest = needle.substr(1);
    std::size_t pos = from;
    while (pos <= last) {
        std::size_t hit = hay.find(upper, pos);
        if (lower != upper) {
            const std::size_t end = std::min(hit, last + 1);
            const std::size_t other = hay.substr(0, end).find(lower, pos);
            if (other != std::string_view::npos) {
                hit = other;
            }
        }
        if (hit == std::string_view::npos || hit > last) {
            return std::string_view::npos;
        }
        if (textEquals(hay.substr(hit + 1, rest.size()), rest)) {
            return hit;
        }
        pos = hit + 1;
    }
    return std::string_view::npos;
}

std::size_t textFindLast(std::string_view hay, std::string_view needle, int compareMode) {
    if (needle.empty() || needle.size() > hay.size()) {
        return std::string_view::npos;
    }
    const bool letters = std::any_of(needle.begin(), needle.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
    if (compareMode != kCompareText || !letters) {
        return hay.rfind(needle);
    }
    for (std::size_t pos = hay.size() - needle.size() + 1; pos-- > 0;) {
        if (textEquals(hay.substr(pos, needle.size()), needle)) {
            return pos;
        }
    }
    return std::string_view::npos;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string cmReplace(const std::string& text, const std::string& search,
                      const std::string& replacement, int compareMode) {
    if (text.empty() || search.empty()) {
        return text;
    }
    std::string out;
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = textFind(text, search, pos, compareMode);
        if (hit == std::string::npos) {
            break;
        }
        if (out.empty()) {
            out.reserve(text.size());
        }
        out.append(text, pos, hit - pos);
        out += replacement;
        pos = hit + search.size();
    }
    if (pos == 0) {
        return text;
    }
    out.append(text, pos, std::string::npos);
    return out;
}

std::vector<std::string> cmSplitCsv(const std::string& line) {
    std::string_view rest(line);
    if (!rest.empty() && rest.back() == ',') {
        rest.remove_suffix(1);
    }
    std::vector<std::string> fields;
    std::size_t p = 0;
    while (true) {
        if (p < rest.size() && rest[p] == '"') {
            const std::size_t close = rest.find('"', p + 1);
            if (close == std::string_view::npos) {
                fields.emplace_back(rest.substr(p + 1));
                break;
            }
            fields.emplace_back(rest.substr(p + 1, close - p - 1));
            // A quote inside a quoted field ends it; unless a comma follows, the line is done.
            if (close + 1 >= rest.size() || rest[close + 1] != ',') {
                break;
            }
            p = close + 2;
        } else {
            const std::size_t comma = rest.find(',', p);
            if (comma == std::string_view::npos) {
                fields.emplace_back(rest.substr(std::min(p, rest.size())));
                break;
            }
            fields.emplace_back(rest.substr(p, comma - p));
            p = comma + 1;
        }
    }
    return fields;
}

namespace {
bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

/// True when every byte is ASCII: each byte is then a character.
bool allAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
} // namespace

std::size_t charCount(std::string_view utf8) {
    if (allAscii(utf8)) {
        return utf8.size();
    }
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size(); i = i + charBytes(utf8.substr(i), 1)) {
        ++count;
    }
    return count;
}

std::size_t charBytes(std::string_view utf8, std::size_t chars) {
    if (allAscii(utf8.substr(0, chars))) {
        return std::min(chars, utf8.size());
    }
    std::size_t i = 0;
    for (std::size_t n = 0; n < chars && i < utf8.size(); ++n) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t len = 1;
        if (lead >= 0xF0 && lead < 0xF8) {
            len = 4;
        } else if (lead >= 0xE0) {
            len = lead < 0xF0 ? 3 : 1;
        } else if (lead >= 0xC0) {
            len = 2;
        }
        // A broken sequence counts its lead byte as one character.
        std::size_t k = 1;
        while (k < len && i + k < utf8.size() &&
               isContinuation(static_cast<unsigned char>(utf8[i + k]))) {
            ++k;
        }
        i += (k == len) ? len : 1;
    }
    return i;
}

long long roundHalfEven(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    constexpr double kLimit = 9.0e18;
    value = std::clamp(value, -kLimit, kLimit);
    const double floor = std::floor(value);
    const double fraction = value - floor;
    auto whole = static_cast<long long>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && whole % 2 != 0)) {
        ++whole;
    }
    return whole;
}

bool parseWholeNumber(std::string_view text, long long& result) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return false;
    }
    std::size_t i = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i >= text.size()) {
        return false;
    }
    unsigned long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
        if (value > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
            return false;
        }
    }
    result = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
    return true;
}

std::string formatThreeDigits(long long number) {
    std::string digits = std::to_string(number < 0 ? -number : number);
    if (digits.size() < 3) {
        digits.insert(0, 3 - digits.size(), '0');
    }
    return number < 0 ? "-" + digits : digits;
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace mivo
