// Speed of the cp932 converters, as ratios against baselines measured in the same run:
// copying the bytes, and a plain iconv UTF-8 -> CP932 loop that reopens its run at each
// character cp932 cannot hold.
#include "common/codepage.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iconv.h>
#include <string>

namespace {

/// Best of five runs: the machine is shared, so the fastest run is the least disturbed one.
double secondsFor(const std::function<void()>& work) {
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

std::string repeat(const std::string& piece, std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) {
        text += piece;
    }
    return text;
}

/// The straightforward way: iconv straight from UTF-8, "?" at each failure.
std::string naiveEncode(const std::string& utf8) {
    static iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string out(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1)) {
            break;
        }
        *dst++ = '?';
        --dstLeft;
        do {
            ++in;
            --inLeft;
        } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(out.size() - dstLeft);
    return out;
}

} // namespace

int main() {
    using mivo::Cp932Fallback;
    const std::size_t size = 4 << 20;
    const std::string ascii = repeat("<td><a href=\"pic/0001.jpg\">photo</a></td>\r\n", size);
    const std::string japanese = repeat("<td>アルバムの写真「夏休み」①</td>\r\n", size);
    const std::string foreign = repeat("café 😀 naïve ¥ Ελλάδα ", size);
    std::size_t sink = 0;

    const double copy = secondsFor([&] {
        std::string c = japanese;
        sink += c.size();
    });
    const auto report = [&](const char* what, const std::string& text, double seconds) {
        std::printf("%-44s %8.1f x the time of copying the same bytes\n", what,
                    seconds / copy * static_cast<double>(japanese.size()) /
                        static_cast<double>(text.size()));
    };

    report("encode ASCII", ascii,
           secondsFor([&] { sink += mivo::encodeCp932(ascii, Cp932Fallback::CharRef).size(); }));
    report("encode Japanese", japanese,
           secondsFor([&] { sink += mivo::encodeCp932(japanese, Cp932Fallback::CharRef).size(); }));
    const std::string japaneseBytes = mivo::encodeCp932(japanese, Cp932Fallback::CharRef);
    report("decode Japanese", japaneseBytes,
           secondsFor([&] { sink += mivo::decodeCp932(japaneseBytes).size(); }));
    const double ours =
        secondsFor([&] { sink += mivo::encodeCp932(foreign, Cp932Fallback::Question).size(); });
    const double naive = secondsFor([&] { sink += naiveEncode(foreign).size(); });
    report("encode text full of fallbacks", foreign, ours);
    std::printf("plain iconv from UTF-8 on that text takes %.1f x as long as encodeCp932\n",
                naive / ours);
    return sink == 0 ? 1 : 0;
}
