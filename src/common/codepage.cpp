#include "common/codepage.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <iconv.h>
#include <vector>

namespace mivo {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
// iconv_open reports failure as (iconv_t)-1.
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
constexpr std::size_t kIconvError = static_cast<std::size_t>(-1);

static_assert(sizeof(wchar_t) == 4, "iconv's WCHAR_T must be UTF-32 here");

/// One iconv descriptor per thread and direction, opened on first use and closed with the thread.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != kNoConverter) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

iconv_t cp932Decoder() {
    thread_local Converter converter("UTF-8", "CP932");
    return converter.get();
}

iconv_t cp932Encoder() {
    thread_local Converter converter("CP932", "WCHAR_T");
    return converter.get();
}

void resetConverter(iconv_t cd) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
}

bool isTrail(unsigned char b, unsigned char lo, unsigned char hi) {
    return b >= lo && b <= hi;
}

/// Reads one code point at `pos` and moves past it. An ill-formed sequence gives U+FFFD, sets
/// `bad` and moves past its longest valid-looking start (at least one byte), as Unicode
/// recommends.
char32_t nextCodePoint(std::string_view text, std::size_t& pos, bool& bad) {
    bad = false;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    const unsigned char b0 = s[pos];
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int length = 0;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    char32_t cp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) {
            lo = 0xA0; // no overlong forms
        } else if (b0 == 0xED) {
            hi = 0x9F; // no surrogates
        }
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) {
            lo = 0x90;
        } else if (b0 == 0xF4) {
            hi = 0x8F; // nothing above U+10FFFF
        }
    } else {
        ++pos;
        bad = true;
        return kReplacement;
    }
    std::size_t i = pos + 1;
    for (int k = 1; k < length; ++k, ++i) {
        if (i >= n || !isTrail(s[i], lo, hi)) {
            pos = i;
            bad = true;
            return kReplacement;
        }
        cp = (cp << 6) | (s[i] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    pos = i;
    return cp;
}

void appendHex4(std::string& out, unsigned value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 0xF];
    }
}

void appendFallback(std::string& out, char32_t cp, Cp932Fallback fallback) {
    switch (fallback) {
    case Cp932Fallback::CharRef:
        out += "&#";
        out += std::to_string(static_cast<unsigned long>(cp));
        out += ';';
        return;
    case Cp932Fallback::JsEscape:
        if (cp >= 0x10000) {
            const unsigned v = static_cast<unsigned>(cp) - 0x10000;
            appendHex4(out, 0xD800 + (v >> 10));
            appendHex4(out, 0xDC00 + (v & 0x3FF));
        } else {
            appendHex4(out, static_cast<unsigned>(cp));
        }
        return;
    case Cp932Fallback::Question:
        break;
    }
    out += '?';
}

/// Characters iconv would turn into something else without reporting it: the yen sign and the
/// overline become the ASCII backslash and tilde, and tag characters vanish.
bool iconvWouldAlter(char32_t cp) {
    return cp == 0x00A5 || cp == 0x203E || (cp >= 0xE0000 && cp <= 0xE007F);
}

/// Encodes UTF-8 into cp932, calling the fallback for each character cp932 cannot hold.
/// With `out` null only counts, and stops at the first character that does not fit.
class Cp932Writer {
  public:
    Cp932Writer(std::string* out, Cp932Fallback fallback)
        : out_(out), fallback_(fallback), cd_(cp932Encoder()) {}

    /// Returns false when a character did not fit.
    bool encode(std::string_view utf8) {
        const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
        const std::size_t n = utf8.size();
        std::size_t pos = 0;
        while (pos < n) {
            if (s[pos] < 0x80) {
                // cp932 holds ASCII as it is: copy the whole stretch without iconv.
                if (!flushRun()) {
                    return false;
                }
                std::size_t end = pos + 1;
                while (end < n && s[end] < 0x80) {
                    ++end;
                }
                if (out_ != nullptr) {
                    out_->append(utf8.data() + pos, end - pos);
                }
                pos = end;
                continue;
            }
            // An ill-formed sequence reads as U+FFFD, which iconv rejects like any other
            // character cp932 lacks.
            bool bad = false;
            const char32_t cp = nextCodePoint(utf8, pos, bad);
            if (iconvWouldAlter(cp) || cd_ == kNoConverter) {
                if (!flushRun() || !noFit(cp)) {
                    return false;
                }
                continue;
            }
            run_.push_back(static_cast<wchar_t>(cp));
            if (run_.size() >= kMaxRun && !flushRun()) {
                return false;
            }
        }
        return flushRun();
    }

  private:
    static constexpr std::size_t kMaxRun = 4096;

    /// Writes the fallback; false when only counting, which ends the encoding.
    bool noFit(char32_t cp) {
        if (out_ == nullptr) {
            return false;
        }
        appendFallback(*out_, cp, fallback_);
        return true;
    }

    /// Converts the collected non-ASCII characters; iconv stops with EILSEQ at each one cp932
    /// cannot hold, which then gets the fallback before the rest of the run goes on.
    bool flushRun() {
        if (run_.empty()) {
            return true;
        }
        resetConverter(cd_);
        char* in = reinterpret_cast<char*>(run_.data());
        std::size_t inLeft = run_.size() * sizeof(wchar_t);
        bool going = true;
        while (inLeft > 0) {
            char buffer[4096];
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t result = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            const int error = errno;
            if (out_ != nullptr) {
                out_->append(buffer, sizeof buffer - dstLeft);
            }
            if (result != kIconvError) {
                break;
            }
            if (error == E2BIG) {
                continue;
            }
            // EILSEQ (or anything else): the character at `in` has no cp932 code.
            wchar_t bad = 0;
            std::memcpy(&bad, in, sizeof bad);
            in += sizeof(wchar_t);
            inLeft -= sizeof(wchar_t);
            resetConverter(cd_);
            if (!noFit(static_cast<char32_t>(bad))) {
                going = false;
                break;
            }
        }
        run_.clear();
        return going;
    }

    std::string* out_;
    Cp932Fallback fallback_;
    iconv_t cd_;
    std::vector<wchar_t> run_;
};

bool isCp932Lead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

/// Decodes a stretch of cp932 that begins with a non-ASCII byte. A byte iconv rejects
/// (EILSEQ, or EINVAL for a lead byte cut off at the end) becomes U+FFFD and decoding goes on
/// with the next byte.
void decodeCp932Run(std::string_view bytes, std::string& out) {
    const iconv_t cd = cp932Decoder();
    if (cd == kNoConverter) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (static_cast<unsigned char>(bytes[i]) < 0x80) {
                out += bytes[i];
            } else {
                out += kReplacementUtf8;
            }
        }
        return;
    }
    resetConverter(cd);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char buffer[4096];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        const int error = errno;
        out.append(buffer, sizeof buffer - dstLeft);
        if (result != kIconvError) {
            break;
        }
        if (error == E2BIG) {
            continue;
        }
        out += kReplacementUtf8;
        ++in;
        --inLeft;
        resetConverter(cd);
    }
}

} // namespace

std::string decodeCp932(std::string_view bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::string out;
    out.reserve(n + n / 2);
    std::size_t pos = 0;
    while (pos < n) {
        std::size_t end = pos;
        while (end < n && s[end] < 0x80) {
            ++end;
        }
        out.append(bytes.data() + pos, end - pos);
        if (end == n) {
            break;
        }
        // A non-ASCII stretch ends at an ASCII byte that is not the trail byte of a pair.
        pos = end;
        while (end < n && s[end] >= 0x80) {
            end += isCp932Lead(s[end]) ? 2 : 1;
        }
        if (end > n) {
            end = n;
        }
        decodeCp932Run(bytes.substr(pos, end - pos), out);
        pos = end;
    }
    return out;
}

std::string encodeCp932(std::string_view utf8, Cp932Fallback fallback) {
    std::string out;
    out.reserve(utf8.size());
    Cp932Writer writer(&out, fallback);
    writer.encode(utf8);
    return out;
}

bool fitsCp932(std::string_view utf8) {
    Cp932Writer writer(nullptr, Cp932Fallback::Question);
    return writer.encode(utf8);
}

std::string sanitizeUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    std::size_t clean = 0; // bytes known to be well-formed
    bool bad = false;
    while (pos < bytes.size()) {
        clean = pos;
        nextCodePoint(bytes, pos, bad);
        if (bad) {
            break;
        }
    }
    if (!bad) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() + 8);
    out.append(bytes.data(), clean);
    out += kReplacementUtf8;
    while (pos < bytes.size()) {
        const std::size_t start = pos;
        nextCodePoint(bytes, pos, bad);
        if (bad) {
            out += kReplacementUtf8;
        } else {
            out.append(bytes.data() + start, pos - start);
        }
    }
    return out;
}

std::string decodeText(std::string_view bytes, TextEncoding* detectedEncoding) {
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        if (detectedEncoding != nullptr) {
            *detectedEncoding = TextEncoding::Utf8Bom;
        }
        return sanitizeUtf8(bytes.substr(kUtf8Bom.size()));
    }
    if (detectedEncoding != nullptr) {
        *detectedEncoding = TextEncoding::Cp932;
    }
    return decodeCp932(bytes);
}

bool decodeTextExactly(std::string_view bytes, std::string& fullText,
                       TextEncoding* detectedEncoding) {
    TextEncoding encoding = TextEncoding::Cp932;
    fullText = decodeText(bytes, &encoding);
    if (detectedEncoding != nullptr) {
        *detectedEncoding = encoding;
    }
    // A spreadsheet's "Unicode text" is UTF-16: a byte order mark, and a NUL beside every
    // ASCII character. Neither cp932 nor UTF-8 text holds a NUL.
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF" ||
        bytes.find('\0') != std::string_view::npos) {
        return false;
    }
    if (encoding == TextEncoding::Utf8Bom) {
        return fullText == bytes.substr(kUtf8Bom.size());
    }
    // cp932 has no code for U+FFFD, so each one stands for bytes that were not cp932.
    return fullText.find(kReplacementUtf8) == std::string::npos;
}

std::string encodeText(std::string_view utf8, TextEncoding encoding, Cp932Fallback fallback) {
    std::string out;
    appendEncodedText(out, utf8, encoding, fallback);
    return out;
}

void appendEncodedText(std::string& out, std::string_view utf8, TextEncoding encoding,
                       Cp932Fallback fallback) {
    if (encoding == TextEncoding::Utf8Bom) {
        out.append(sanitizeUtf8(utf8));
        return;
    }
    Cp932Writer writer(&out, fallback);
    writer.encode(utf8);
}

} // namespace mivo
