// The window on an English desktop: every caption, tool-tip, accessible name and message it
// can show comes from the English catalogue, in every pane and mode; on a C or Japanese
// desktop it stays Japanese.

#include "window_fixture.h"

#include <cctype>

#include <algorithm>
#include <map>

#include "common/language.h"
#include "common/translate.h"

namespace mivo::test {
namespace {

/// Hiragana, katakana, CJK ideographs and full-width forms: what an English window must not
/// show. (The ▲ ▼ arrows and the "※" mark are not words.)
bool hasJapanese(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        length = std::min(length, text.size() - i);
        char32_t code = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if ((code >= 0x3000 && code <= 0x30FF) || (code >= 0x3400 && code <= 0x9FFF) ||
            (code >= 0xFF00 && code <= 0xFFEF)) {
            return true;
        }
        i += length;
    }
    return false;
}

EnvironmentLookup environment(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    };
}

class EnglishWindowTest : public WindowTest {
  protected:
    void TearDown() override {
        WindowTest::TearDown();
        useLanguage(UiLanguage::Japanese, "");
    }

    /// Chooses the language as the program does at start-up, for LANG=`lang`; the catalogue
    /// is the one the build compiled into its program folder.
    void startWith(const std::string& lang) {
        const UiLanguage language = chooseLanguage("", environment({{"LANG", lang}}));
        ASSERT_TRUE(useLanguage(language, MIVO_BUILD_DIR)) << "no catalogue in " << MIVO_BUILD_DIR;
    }

    /// Notes every text of every control as it is now ("TextLinkName(1) tool-tip: ...").
    void collect(const FormMain& f) {
        for (const Control* control : f.controls()) {
            const std::string name = control->displayName();
            add(name + " caption", control->caption());
            add(name + " tool-tip", control->toolTipText());
            add(name + " accessible name", control->accessibleName());
            if (control->kind() == ControlKind::TabStrip) {
                for (const Tab& tab : static_cast<const TabStrip*>(control)->tabs()) {
                    add(name + " tab " + tab.Key, tab.Caption);
                    add(name + " tab " + tab.Key + " tool-tip", tab.ToolTipText);
                }
            }
            if (control->kind() == ControlKind::ListView) {
                for (const ColumnHeader& column :
                     static_cast<const ListView*>(control)->columns()) {
                    add(name + " column", column.Text);
                }
            }
        }
        add("CommonDialogLaunch title", f.launchers.CommonDialogLaunch.DialogTitle);
        for (const auto* boxes : {&services.messages, &services.warnings, &services.abouts}) {
            for (const std::string& message : *boxes) {
                add("message box", message);
            }
        }
        add("help viewer title", services.viewerTitle);
    }

    void add(const std::string& where, const std::string& text) {
        if (!text.empty()) {
            seen[where + ": " + text] = hasJapanese(text);
        }
    }

    std::string japaneseTexts() const {
        std::string list;
        for (const auto& [text, japanese] : seen) {
            if (japanese) {
                list += "  " + text + "\n";
            }
        }
        return list;
    }

    /// Walks the window through both modes and every pane, a refused run, a missing folder,
    /// a new gallery row and the messages of a failed open, help and start-up.
    void walk(FormMain& f) {
        const std::string pics = makeFolder(program / "pics");
        writeIni("[Ini]\nMode=1\n[Path]\nPic=" + pics + "\nThum=" + (program / "gone") +
                 "\nIndex=" + (program / "site/index.html") + "\n");
        // An unreadable Mivo.csv is said in a box after start-up.
        makeFolder(f.listPath());
        f.Form_Load();
        for (int mode : {1, 0}) {
            f.OptionMenu[mode]->click();
            for (int tab = 0; tab < 3; ++tab) {
                f.TabStripMivo->select(tab);
                collect(f);
            }
        }
        f.TabStripMivo->select(0);
        f.galleryList.CommandListAdd->click();
        services.shellResult = false;
        f.TabStripMivo->select(2);
        f.launchers.CommandURL->click();
        f.launchers.CommandHelp->click();
        // A run that the check refuses (no pictures) puts its message in the status line.
        f.OptionMenu[1]->click();
        f.CommandMake->click();
        collect(f);
        // The run's button while it runs.
        f.CommandMake->onClick = nullptr;
        f.CommandMake->setAccessKey('T');
        f.CommandMake->setCaption(translate("中止"));
        collect(f);
    }

    /// True when exactly one warning box began so.
    bool saidOnce(const std::string& start) const {
        return std::count_if(services.warnings.begin(), services.warnings.end(),
                             [&](const std::string& m) { return startsWith(m, start); }) == 1;
    }

    std::map<std::string, bool> seen;
};

TEST_F(EnglishWindowTest, EveryTextOfTheWindowIsEnglishOnAnEnglishDesktop) {
    // en_US.UTF-8 need not be generated on the machine: the text of LANG decides.
    startWith("en_US.UTF-8");
    ASSERT_EQ(currentLanguage(), UiLanguage::English);
    FormMain& f = form();
    walk(f);
    EXPECT_EQ(japaneseTexts(), "") << "still Japanese:\n" << japaneseTexts();
    // What the user meets, spot-checked against the catalogue's words.
    EXPECT_EQ(f.CommandMake->caption(), "Stop");
    EXPECT_EQ(f.CommandExit->caption(), "Exit");
    EXPECT_EQ(f.TabStripMivo->tabs()[0].Caption, "Folders");
    EXPECT_EQ(f.LabelMess->caption(), "The picture folder holds no pictures");
    EXPECT_EQ(f.folders.FrameSamDir->caption(), "(not found: " + (program / "gone") + ")");
    EXPECT_EQ(f.launchers.CommandOpen[2]->caption(), "Tool 3");
    EXPECT_EQ(f.galleryList.ListViewPath->cell(0, 0), "New");
    ASSERT_FALSE(services.warnings.empty());
    EXPECT_EQ(services.warnings[0],
              "Mivo:" + f.listPath() + " cannot be read. It will not be rewritten at exit either.");
    // Each access key is a letter of its English caption, where Alt shows it underlined.
    for (const Control* control : f.controls()) {
        if (control->accessKey() != 0) {
            std::string caption = control->caption();
            for (char& c : caption) {
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            }
            EXPECT_NE(caption.find(control->accessKey()), std::string::npos)
                << control->displayName() << " " << control->caption();
        }
    }
    for (const Tab& tab : f.TabStripMivo->tabs()) {
        EXPECT_EQ(std::toupper(static_cast<unsigned char>(tab.Caption.front())), tab.AccessKey);
    }
    // F1 of an English window opens the English help file.
    EXPECT_TRUE(saidOnce("Mivo:" + f.programFiles().englishHelpFile + " cannot be opened.\n"));
}

TEST_F(EnglishWindowTest, CAndJapaneseDesktopsKeepTheJapaneseWindow) {
    for (const char* lang : {"C", "C.UTF-8", "POSIX", "ja_JP.UTF-8"}) {
        startWith(lang);
        EXPECT_EQ(currentLanguage(), UiLanguage::Japanese) << lang;
    }
    FormMain& f = form();
    walk(f);
    // The same walk finds the Japanese texts it is there to find.
    EXPECT_NE(japaneseTexts(), "");
    EXPECT_EQ(f.CommandExit->caption(), "終了");
    EXPECT_EQ(f.LabelMess->caption(), "画像フォルダに画像がありません");
    EXPECT_EQ(f.launchers.CommandOpen[2]->caption(), "機能3");
    EXPECT_TRUE(saidOnce("Mivo:" + f.programFiles().helpFile + " を開けません。\n"));
}

TEST_F(EnglishWindowTest, TheLanguageSettingIsKeptAndOverridesTheDesktop) {
    startWith("en_US.UTF-8");
    writeIni("[Ini]\nLanguage=ja\n");
    FormMain& f = load();
    EXPECT_TRUE(f.launchers.OptionLanguage[1]->value());
    f.TabStripMivo->select(2);
    f.launchers.OptionLanguage[2]->click();
    f.CommandExit->click();
    const std::vector<std::string> entries = iniEntries(f.iniPath());
    EXPECT_NE(std::find(entries.begin(), entries.end(), "Ini/Language=en"), entries.end());
    // A word the window does not know shows as automatic and stays as written.
    writeIni("[Ini]\nLanguage=fr\n");
    {
        FakeServices other;
        FormMain second(program.path(), other);
        second.Form_Load();
        EXPECT_TRUE(second.launchers.OptionLanguage[0]->value());
        EXPECT_EQ(second.currentSettings().Language, "fr");
    }
    // The setting decides over the desktop at the next start.
    const auto japaneseDesktop = environment({{"LANG", "ja_JP.UTF-8"}});
    EXPECT_EQ(chooseLanguage("en", japaneseDesktop), UiLanguage::English);
    EXPECT_EQ(chooseLanguage("ja", environment({{"LANG", "de_DE.UTF-8"}})), UiLanguage::Japanese);
    EXPECT_EQ(chooseLanguage("", japaneseDesktop), UiLanguage::Japanese);
}

TEST(DesktopLanguage, ComesFromTheTextOfTheLocaleVariables) {
    const std::vector<std::pair<std::map<std::string, std::string>, UiLanguage>> cases = {
        {{}, UiLanguage::Japanese},
        {{{"LANG", "de_DE.UTF-8"}}, UiLanguage::English},
        {{{"LANG", "ja_JP.eucJP"}}, UiLanguage::Japanese},
        {{{"LANG", "ja"}}, UiLanguage::Japanese},
        // LC_ALL, then LC_MESSAGES, then LANG: the first that is set and not empty.
        {{{"LC_ALL", ""}, {"LC_MESSAGES", "en_GB.UTF-8"}, {"LANG", "ja_JP.UTF-8"}},
         UiLanguage::English},
        {{{"LC_ALL", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, UiLanguage::Japanese},
        // LANGUAGE's first entry counts unless the locale is C.
        {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja:en"}}, UiLanguage::Japanese},
        {{{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "fr:ja"}}, UiLanguage::English},
        {{{"LANG", "C.UTF-8"}, {"LANGUAGE", "en"}}, UiLanguage::Japanese},
        {{{"LC_ALL", "POSIX"}, {"LANG", "en_US.UTF-8"}}, UiLanguage::Japanese},
    };
    for (const auto& [values, expected] : cases) {
        std::string shown;
        for (const auto& [name, value] : values) {
            shown.append(name).append("=").append(value).append(" ");
        }
        EXPECT_EQ(desktopLanguage(environment(values)), expected) << shown;
    }
}

} // namespace
} // namespace mivo::test
