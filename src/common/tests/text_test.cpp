#include <gtest/gtest.h>

#include "common/text.h"

namespace mivo {
namespace {

using Fields = std::vector<std::string>;

TEST(Replace, FoldsAsciiCaseOnlyInTextMode) {
    EXPECT_EQ(cmReplace("aXbxc", "x", "-", kCompareText), "a-b-c");
    EXPECT_EQ(cmReplace("aXbxc", "x", "-", kCompareBinary), "aXb-c");
    EXPECT_EQ(cmReplace("aaa", "aa", "b", kCompareText), "ba");
    EXPECT_EQ(cmReplace("", "a", "b", kCompareText), "");
    EXPECT_EQ(cmReplace("abc", "", "x", kCompareText), "abc");
    EXPECT_EQ(cmReplace("a-b", "-", "", kCompareText), "ab");
    // The replacement is never rescanned.
    EXPECT_EQ(cmReplace("MV_A MV_A", "mv_a", "MV_A!", kCompareText), "MV_A! MV_A!");
    // Non-ASCII letters are compared exactly.
    EXPECT_EQ(cmReplace("ÉéÉ", "é", "e", kCompareText), "ÉeÉ");
    // Near misses before a hit, at the very end, and a first character that is no letter.
    EXPECT_EQ(cmReplace("mmv mV_ Mv_XmV_x", "mv_x", "#", kCompareText), "mmv mV_ ##");
    EXPECT_EQ(cmReplace("<img src=\"MV_IMG_SRC\">mv_img_src", "MV_IMG_SRC", "a.jpg", kCompareText),
              "<img src=\"a.jpg\">a.jpg");
    EXPECT_EQ(cmReplace("x_1_1", "_1", "2", kCompareText), "x22");
    EXPECT_EQ(cmReplace("MV_", "MV_TITLE", "t", kCompareText), "MV_");
}

TEST(TextFindLast, FindsTheLastOccurrenceFoldingOnlyInTextMode) {
    EXPECT_EQ(textFindLast("/a/b/c.jpg", "/", kCompareText), 4u);
    EXPECT_EQ(textFindLast("xAxa", "a", kCompareText), 3u);
    EXPECT_EQ(textFindLast("xaxA", "a", kCompareBinary), 1u);
    EXPECT_EQ(textFindLast("aaa", "aa", kCompareText), 1u); // overlapping, as textFind finds
    EXPECT_EQ(textFindLast("abc", "", kCompareText), std::string::npos);
    EXPECT_EQ(textFindLast("ab", "abc", kCompareText), std::string::npos);
    EXPECT_EQ(textFindLast("a\\b", "\\", kCompareText), 1u);
}

TEST(SplitCsv, FollowsTheQuoteAndCommaRules) {
    EXPECT_EQ(cmSplitCsv(""), Fields{""});
    EXPECT_EQ(cmSplitCsv(","), Fields{""});
    EXPECT_EQ(cmSplitCsv("a,b,"), (Fields{"a", "b"}));
    EXPECT_EQ(cmSplitCsv("a,,b"), (Fields{"a", "", "b"}));
    EXPECT_EQ(cmSplitCsv("a,b,,"), (Fields{"a", "b", ""}));
    EXPECT_EQ(cmSplitCsv("\"x,y\",z"), (Fields{"x,y", "z"}));
    EXPECT_EQ(cmSplitCsv("\"x\"y,z"), Fields{"x"});
    EXPECT_EQ(cmSplitCsv("\"abc"), Fields{"abc"});
    EXPECT_EQ(cmSplitCsv("a\"b,c"), (Fields{"a\"b", "c"}));
    EXPECT_EQ(cmSplitCsv(" a , b"), (Fields{" a ", " b"}));
    EXPECT_EQ(cmSplitCsv("\"\",x"), (Fields{"", "x"}));
    EXPECT_EQ(cmSplitCsv("写真,説明"), (Fields{"写真", "説明"}));
}

TEST(CountArray, CountsElements) {
    EXPECT_EQ(cmCountArray(std::vector<std::string>{}), 0);
    EXPECT_EQ(cmCountArray(std::vector<std::string>{""}), 1);
    EXPECT_EQ(cmCountArray(std::vector<int>{1, 2, 3}), 3);
}

TEST(RoundHalfEven, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(-3.5), -4);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
    EXPECT_EQ(roundHalfEven(2.5001), 3);
    EXPECT_EQ(roundHalfEven(104.16666), 104);
}

TEST(WholeNumber, AcceptsOnlyWholeDecimalNumbers) {
    long long v = -1;
    EXPECT_TRUE(parseWholeNumber(" 12 ", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(parseWholeNumber("-3", v));
    EXPECT_EQ(v, -3);
    for (const char* bad : {"", " ", "1.5", "abc", "1a", "+", "99999999999999999999"}) {
        EXPECT_FALSE(parseWholeNumber(bad, v)) << bad;
    }
}

TEST(Format000, PadsToThreeDigits) {
    EXPECT_EQ(formatThreeDigits(1), "001");
    EXPECT_EQ(formatThreeDigits(42), "042");
    EXPECT_EQ(formatThreeDigits(999), "999");
    EXPECT_EQ(formatThreeDigits(1000), "1000");
}

TEST(CharCount, CountsCodePointsNotBytes) {
    EXPECT_EQ(charCount("abc"), 3u);
    EXPECT_EQ(charCount("写真.jpg"), 6u);
    EXPECT_EQ(charCount("\xF0\x9F\x98\x80"), 1u);
    EXPECT_EQ(charCount("\xE5\x86"), 2u); // a cut sequence counts byte by byte
    EXPECT_EQ(charBytes("写真", 1), 3u);
    EXPECT_EQ(charBytes("ab", 5), 2u);
    EXPECT_EQ(charBytes("ab写真", 3), 5u);
    EXPECT_EQ(charBytes("ab\x86"
                        "cd",
                        3),
              3u); // a lone continuation byte is one character
}

} // namespace
} // namespace mivo
