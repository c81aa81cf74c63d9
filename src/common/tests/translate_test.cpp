#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/translate.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

/// A .mo file as msgfmt writes it (no hash table), in either byte order.
std::string moBytes(const std::vector<std::pair<std::string, std::string>>& entries,
                    bool bigEndian = false) {
    std::string out;
    const auto word = [&](std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            const int shift = bigEndian ? (3 - i) * 8 : i * 8;
            out += static_cast<char>((value >> shift) & 0xFF);
        }
    };
    const auto count = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28;
    const std::uint32_t translations = originals + 8 * count;
    std::uint32_t text = translations + 8 * count;
    word(0x950412de);
    word(0);
    word(count);
    word(originals);
    word(translations);
    word(0);
    word(0);
    std::string strings;
    for (int side = 0; side < 2; ++side) {
        for (const auto& entry : entries) {
            const std::string& s = side == 0 ? entry.first : entry.second;
            word(static_cast<std::uint32_t>(s.size()));
            word(text + static_cast<std::uint32_t>(strings.size()));
            strings += s + '\0';
        }
    }
    return out + strings;
}

TEST(Catalogue, ReadsBothByteOrdersAndSkipsTheHeader) {
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"", "Content-Type: text/plain; charset=UTF-8\n"},
        {"作成", "Make"},
        {"%1 を開けません。\n%2", "%1 cannot be opened.\n%2"},
        {"未訳", ""}};
    for (bool bigEndian : {false, true}) {
        Catalogue catalogue;
        ASSERT_TRUE(catalogue.parse(moBytes(entries, bigEndian))) << bigEndian;
        EXPECT_EQ(catalogue.size(), 2u);
        ASSERT_NE(catalogue.find("作成"), nullptr);
        EXPECT_EQ(*catalogue.find("作成"), "Make");
        EXPECT_EQ(catalogue.find(""), nullptr);
        // An entry without a translation keeps the source text.
        EXPECT_EQ(catalogue.find("未訳"), nullptr);
    }
}

TEST(Catalogue, RefusesWhatIsNoCatalogue) {
    const std::string good = moBytes({{"作成", "Make"}});
    Catalogue catalogue;
    EXPECT_FALSE(catalogue.parse(""));
    EXPECT_FALSE(catalogue.parse("\xde\x12\x04"));
    EXPECT_FALSE(catalogue.parse(std::string(28, 'x')));
    // Cut off inside the tables, inside the strings, and a string past the end.
    EXPECT_FALSE(catalogue.parse(good.substr(0, 40)));
    EXPECT_FALSE(catalogue.parse(good.substr(0, good.size() - 3)));
    std::string pastEnd = good;
    pastEnd[28 + 8 + 4] = '\x7f'; // the translation's offset
    EXPECT_FALSE(catalogue.parse(pastEnd));
    EXPECT_EQ(catalogue.size(), 0u);
    EXPECT_FALSE(catalogue.load("/nonexistent/mivo.mo"));
}

TEST(Translate, ChosenLanguageAndPlaceholders) {
    test::TempDir dir;
    dir.write("prog/locale/en/LC_MESSAGES/mivo.mo",
              moBytes({{"作成", "Make"},
                       {"%1 を保存できません: %2", "Cannot save %1: %2"},
                       {"%1 と %2", "%2 and %1"}}));
    ASSERT_TRUE(useLanguage(UiLanguage::English, dir / "prog"));
    EXPECT_EQ(currentLanguage(), UiLanguage::English);
    EXPECT_EQ(translate("作成"), "Make");
    EXPECT_EQ(translate("未訳"), "未訳");
    EXPECT_EQ(translate("%1 を保存できません: %2", {"Mivo.ini", "disk full"}),
              "Cannot save Mivo.ini: disk full");
    // Each language puts the values where its sentence needs them.
    EXPECT_EQ(translate("%1 と %2", {"a", "b"}), "b and a");
    // A value is put in as it is, even when it looks like a place.
    EXPECT_EQ(translate("%1 と %2", {"%2", "100%"}), "100% and %2");
    // A place without a value stays as written.
    EXPECT_EQ(translate("%1 と %2", {"a"}), "%2 and a");

    // A composed message: the log's text in Japanese, the user's in English.
    const UserText made = userText("%1 と %2", {userText("作成"), std::string("x.jpg")});
    EXPECT_EQ(made.logged, "作成 と x.jpg");
    EXPECT_EQ(made.shown, "x.jpg and Make");
    // A failure composed by the copier: each part that is a source text is translated.
    EXPECT_EQ(translateReason("/a/b: 作成: 未訳"), "/a/b: Make: 未訳");
    EXPECT_EQ(translateReason("作成"), "Make");

    // Without its catalogue the program stays Japanese, help file included.
    EXPECT_FALSE(useLanguage(UiLanguage::English, dir / "none"));
    EXPECT_EQ(currentLanguage(), UiLanguage::Japanese);
    EXPECT_EQ(translate("作成"), "作成");
    EXPECT_EQ(translate("%1 と %2", {"a", "b"}), "a と b");
    EXPECT_TRUE(useLanguage(UiLanguage::Japanese, dir / "prog"));
}

} // namespace
} // namespace mivo
