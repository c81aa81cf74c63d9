#include "common/codepage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

namespace mivo {
namespace {

const std::string kAlbum = "アルバム";
const std::string kAlbumCp932 = "\x83\x41\x83\x8B\x83\x6F\x83\x80";

TEST(Codepage, JapaneseRoundTripsToExactBytes) {
    EXPECT_EQ(encodeCp932(kAlbum, Cp932Fallback::CharRef), kAlbumCp932);
    EXPECT_EQ(decodeCp932(kAlbumCp932), kAlbum);

    // Kanji, hiragana and full-width forms mixed with ASCII, including trail bytes that look
    // like ASCII ('\\' in 表 0x95 0x5C, '@' in ① 0x87 0x40).
    const std::string text = "表示<a href=\"x\">ひらがな</a> ＡＢＣ\\";
    const std::string bytes = encodeCp932(text, Cp932Fallback::Question);
    EXPECT_EQ(bytes.substr(0, 4), "\x95\x5C\x8E\xA6");
    EXPECT_EQ(decodeCp932(bytes), text);

    // Half-width katakana are single bytes.
    EXPECT_EQ(encodeCp932("ｱｲｳﾞ", Cp932Fallback::Question), "\xB1\xB2\xB3\xDE");
    EXPECT_EQ(decodeCp932("\xB1\xB2\xB3\xDE"), "ｱｲｳﾞ");

    // NEC special characters and IBM extensions of Microsoft's code page.
    EXPECT_EQ(encodeCp932("①Ⅰ㈱", Cp932Fallback::Question), "\x87\x40\x87\x54\x87\x8A");
    EXPECT_EQ(decodeCp932("\x87\x40\x87\x54\x87\x8A"), "①Ⅰ㈱");
    EXPECT_EQ(encodeCp932("髙", Cp932Fallback::Question), "\xFB\xFC");
    EXPECT_EQ(decodeCp932("\xFB\xFC"), "髙");

    // Long stretches without ASCII, with fallbacks on and around 4096-character boundaries.
    std::string longText;
    std::string longBytes;
    for (int i = 0; i < 10000; ++i) {
        const bool foreign = i % 4095 == 0 || i % 4096 == 0 || i % 4097 == 0;
        longText += foreign ? "é" : "ア";
        longBytes += foreign ? "&#233;" : "\x83\x41";
    }
    EXPECT_EQ(encodeCp932(longText, Cp932Fallback::CharRef), longBytes);
    EXPECT_FALSE(fitsCp932(longText));

    EXPECT_EQ(encodeCp932("", Cp932Fallback::CharRef), "");
    EXPECT_EQ(decodeCp932(""), "");
    EXPECT_EQ(encodeCp932(std::string("a\0b", 3), Cp932Fallback::CharRef), std::string("a\0b", 3));
}

TEST(Codepage, EachFallbackWritesItsOwnForm) {
    EXPECT_EQ(encodeCp932("café", Cp932Fallback::CharRef), "caf&#233;");
    EXPECT_EQ(encodeCp932("café", Cp932Fallback::JsEscape), "caf\\u00e9");
    EXPECT_EQ(encodeCp932("café", Cp932Fallback::Question), "caf?");

    // Above U+FFFF: one reference, but a surrogate pair for script.
    EXPECT_EQ(encodeCp932("😀", Cp932Fallback::CharRef), "&#128512;");
    EXPECT_EQ(encodeCp932("😀", Cp932Fallback::JsEscape), "\\ud83d\\ude00");
    EXPECT_EQ(encodeCp932("😀", Cp932Fallback::Question), "?");

    // Fallbacks in the middle of Japanese keep the characters around them.
    EXPECT_EQ(encodeCp932("アé😀ル", Cp932Fallback::CharRef), "\x83\x41&#233;&#128512;\x83\x8B");
    EXPECT_EQ(encodeCp932("éé", Cp932Fallback::JsEscape), "\\u00e9\\u00e9");
}

TEST(Codepage, CharactersIconvWouldAlterGetTheFallback) {
    // iconv would write the yen sign as a backslash and the overline as a tilde.
    EXPECT_EQ(encodeCp932("¥100", Cp932Fallback::CharRef), "&#165;100");
    EXPECT_EQ(encodeCp932("‾", Cp932Fallback::JsEscape), "\\u203e");
    // iconv would drop tag characters without a word.
    EXPECT_EQ(encodeCp932("a\U000E0041b", Cp932Fallback::CharRef), "a&#917569;b");
    EXPECT_EQ(encodeCp932("\U000E007F", Cp932Fallback::JsEscape), "\\udb40\\udc7f");
    EXPECT_FALSE(fitsCp932("¥"));
    EXPECT_FALSE(fitsCp932("‾"));
    EXPECT_FALSE(fitsCp932("\U000E0001"));

    // The usual JIS/Microsoft equivalences stay.
    EXPECT_EQ(encodeCp932("〜—‖−¢£¬", Cp932Fallback::CharRef),
              "\x81\x60\x81\x5C\x81\x61\x81\x7C\x81\x91\x81\x92\x81\xCA");
    EXPECT_TRUE(fitsCp932("〜—‖−¢£¬"));
}

TEST(Codepage, FitsOnlyWhenNothingFallsBack) {
    EXPECT_TRUE(fitsCp932(""));
    EXPECT_TRUE(fitsCp932("plain ASCII\r\n"));
    EXPECT_TRUE(fitsCp932(kAlbum + " ｶﾅ ①"));
    EXPECT_FALSE(fitsCp932("caf\xC3\xA9"));
    EXPECT_FALSE(fitsCp932("アルバム😀"));
    EXPECT_FALSE(fitsCp932("\xEF\xBF\xBD"));
    EXPECT_FALSE(fitsCp932("abc\xFF"));
}

TEST(Codepage, InvalidUtf8IsEncodedAsReplacementCharacter) {
    // A cut-off sequence counts once; a stray continuation byte or 0xFF counts each.
    EXPECT_EQ(encodeCp932("a\xE3\x82z", Cp932Fallback::CharRef), "a&#65533;z");
    EXPECT_EQ(encodeCp932("\x80\xFF", Cp932Fallback::Question), "??");
    // Overlong forms and encoded surrogates are not characters.
    EXPECT_EQ(encodeCp932("\xC0\xAF", Cp932Fallback::JsEscape), "\\ufffd\\ufffd");
    EXPECT_EQ(encodeCp932("\xED\xA0\x80", Cp932Fallback::Question), "???");
    EXPECT_EQ(encodeCp932("\xF4\x90\x80\x80", Cp932Fallback::Question), "????");
}

TEST(Codepage, InvalidCp932BytesBecomeReplacementCharacters) {
    const std::string r = "\xEF\xBF\xBD";
    // Bytes no cp932 character starts with.
    EXPECT_EQ(decodeCp932("a\x80"
                          "b\xA0"
                          "c\xFD\xFE\xFF"),
              "a" + r + "b" + r + "c" + r + r + r);
    // A lead byte with a trail byte that does not pair with it: only the lead byte is lost.
    EXPECT_EQ(decodeCp932("\x83 x"), r + " x");
    EXPECT_EQ(decodeCp932("\x83\x0D\x0A"), r + "\r\n");
    // A lead byte cut off at the end.
    EXPECT_EQ(decodeCp932("\x83\x41\x83"), "ア" + r);
    EXPECT_EQ(decodeCp932("\x81"), r);
    // Unassigned pair (row 9 is empty).
    EXPECT_EQ(decodeCp932("\x85\x40"
                          "A"),
              r + "@A");
    // The user-defined area reads as private-use characters and goes back the same way.
    EXPECT_EQ(decodeCp932("\xF0\x40"), "\xEE\x80\x80");
    EXPECT_EQ(encodeCp932("\xEE\x80\x80", Cp932Fallback::Question), "\xF0\x40");
}

TEST(Codepage, DecodeTextPicksEncodingFromBom) {
    TextEncoding encoding = TextEncoding::Cp932;
    EXPECT_EQ(decodeText("\xEF\xBB\xBF"
                         "café ア",
                         &encoding),
              "café ア");
    EXPECT_EQ(encoding, TextEncoding::Utf8Bom);
    EXPECT_EQ(decodeText("\xEF\xBB\xBF", &encoding), "");
    EXPECT_EQ(encoding, TextEncoding::Utf8Bom);
    // Invalid UTF-8 after a BOM is mended, not passed on.
    EXPECT_EQ(decodeText("\xEF\xBB\xBF"
                         "a\xFF"
                         "b",
                         &encoding),
              "a\xEF\xBF\xBD"
              "b");

    EXPECT_EQ(decodeText(kAlbumCp932, &encoding), kAlbum);
    EXPECT_EQ(encoding, TextEncoding::Cp932);
    // Only a whole BOM counts.
    EXPECT_EQ(decodeText("\xEF\xBB", &encoding), "\xEF\xBF\xBD"
                                                 "ｻ");
    EXPECT_EQ(encoding, TextEncoding::Cp932);
    EXPECT_EQ(decodeText("", nullptr), "");

    EXPECT_EQ(encodeText("café", TextEncoding::Utf8Bom, Cp932Fallback::CharRef), "café");
    EXPECT_EQ(encodeText("café", TextEncoding::Cp932, Cp932Fallback::CharRef), "caf&#233;");
}

TEST(Codepage, SanitizeReplacesEachIllFormedSequence) {
    EXPECT_EQ(sanitizeUtf8("ok アé😀 \xEF\xBF\xBD"), "ok アé😀 \xEF\xBF\xBD");
    EXPECT_EQ(sanitizeUtf8("a\xE3\x82"), "a\xEF\xBF\xBD");
    EXPECT_EQ(sanitizeUtf8("\xE3\x82"
                           "a\x80\x80"),
              "\xEF\xBF\xBD"
              "a\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(sanitizeUtf8("\xC1\xBF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(sanitizeUtf8("\xF0\x9F\x98"), "\xEF\xBF\xBD");
    EXPECT_EQ(sanitizeUtf8(std::string("\0", 1)), std::string("\0", 1));
}

TEST(Codepage, EveryCp932PairSurvivesARoundTrip) {
    // Each pair that decodes to a character must encode back to a pair that decodes the same.
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            const std::string text = decodeCp932(bytes);
            if (text.find("\xEF\xBF\xBD") != std::string::npos) {
                continue;
            }
            ++characters;
            ASSERT_TRUE(fitsCp932(text)) << std::hex << lead << ' ' << trail;
            const std::string again = encodeCp932(text, Cp932Fallback::CharRef);
            ASSERT_EQ(again.size(), 2u) << std::hex << lead << ' ' << trail;
            ASSERT_EQ(decodeCp932(again), text);
        }
    }
    EXPECT_GT(characters, 9000);
}

TEST(Codepage, RandomBytesNeverBreakDecodingOrEncoding) {
    std::mt19937 random(932);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(random() % 64, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random() & 0xFF);
        }
        const std::string text = decodeCp932(bytes);
        ASSERT_EQ(sanitizeUtf8(text), text);
        // Decoded text holds only what cp932 holds, plus U+FFFD.
        std::string expected;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 3, "\xEF\xBF\xBD") == 0) {
                expected += "&#65533;";
                i += 2;
            } else {
                expected += text[i];
            }
        }
        ASSERT_EQ(decodeCp932(encodeCp932(text, Cp932Fallback::CharRef)), expected);

        const std::string clean = sanitizeUtf8(bytes);
        ASSERT_EQ(sanitizeUtf8(clean), clean);
        for (Cp932Fallback f :
             {Cp932Fallback::CharRef, Cp932Fallback::JsEscape, Cp932Fallback::Question}) {
            ASSERT_EQ(encodeCp932(bytes, f), encodeCp932(clean, f));
        }
        ASSERT_EQ(fitsCp932(bytes), fitsCp932(clean));
        decodeText(bytes, nullptr);
    }
}

TEST(Codepage, ConvertersWorkOnSeveralThreadsAtOnce) {
    const std::string text = "アルバム é 😀 ①ｶﾅ ¥";
    const std::string expected = encodeCp932(text, Cp932Fallback::CharRef);
    std::vector<std::thread> threads;
    std::vector<int> good(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                const std::string bytes = encodeCp932(text, Cp932Fallback::CharRef);
                if (bytes == expected && decodeCp932(kAlbumCp932) == kAlbum) {
                    ++good[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(good, std::vector<int>(4, 500));
}

} // namespace
} // namespace mivo
