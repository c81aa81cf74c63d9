#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/codepage.h"
#include "common/program_files.h"
#include "common/translate.h"
#include "settings/starter_settings.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

std::string cp932(const std::string& utf8) {
    return encodeCp932(utf8, Cp932Fallback::Question);
}

TEST(ExpandHomeFolder, ReplacesOnlyALeadingHomeWord) {
    const std::string home = "/home/aki";
    EXPECT_EQ(expandHomeFolder("~", home), "/home/aki");
    EXPECT_EQ(expandHomeFolder("~/Mivo/index.html", home), "/home/aki/Mivo/index.html");
    EXPECT_EQ(expandHomeFolder("$HOME/Mivo", home), "/home/aki/Mivo");
    EXPECT_EQ(expandHomeFolder("${HOME}/Mivo", home), "/home/aki/Mivo");
    EXPECT_EQ(expandHomeFolder("~/", "/"), "/");
    EXPECT_EQ(expandHomeFolder("~/a", "/"), "/a");
    for (const std::string kept :
         {"~other/x", "$HOMEPAGE", "/usr/~/x", "x~", "", "../index.html"}) {
        EXPECT_EQ(expandHomeFolder(kept, home), kept);
    }
    EXPECT_EQ(expandHomeFolder("~/x", ""), "~/x");
}

/// A shared program folder with starter settings, and a user whose config folder is empty.
class StarterSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = dir.mkdir("home");
        dir.write("prog/starter/Mivo.ini",
                  cp932("[Path]\r\nPic=/usr/share/doc/mivo/examples/album\r\n"
                        "Index=~/Mivo/sample-gallery/index.html\r\n"
                        "Menu = $HOME/Mivo/sample-menu/index.html\r\nHtml=\"\"\r\n"
                        "[Html]\r\nTitle=サンプルアルバム\r\n"));
        dir.write("prog/starter/Mivo.csv",
                  cp932("旅行,~/pics/trip,,\r\n庭,/srv/garden,~/thumbs,\r\n"));
        ProgramEnvironment env;
        env.programFolderWritable = false;
        env.home = home;
        files = locateProgramFiles(dir / "prog", env);
    }

    TempDir dir;
    std::string home;
    ProgramFiles files;
};

TEST_F(StarterSettingsTest, FirstStartTakesTheStarterWithHomeExpanded) {
    ASSERT_TRUE(prepareStateFolder(files));
    EXPECT_EQ(readBytes(home + "/.config/mivo/Mivo.ini"),
              cp932("[Path]\r\nPic=/usr/share/doc/mivo/examples/album\r\n"
                    "Index=" +
                    home +
                    "/Mivo/sample-gallery/index.html\r\n"
                    "Menu = " +
                    home +
                    "/Mivo/sample-menu/index.html\r\nHtml=\"\"\r\n"
                    "[Html]\r\nTitle=サンプルアルバム\r\n"));
    EXPECT_EQ(readBytes(home + "/.config/mivo/Mivo.csv"),
              cp932("旅行," + home + "/pics/trip,,\r\n庭,/srv/garden," + home + "/thumbs,\r\n"));
    // Nothing is made before the user makes something: 作成 makes the pages' folders.
    EXPECT_FALSE(std::filesystem::exists(home + "/Mivo"));
    // The config base folder made here is the user's alone.
    const auto perms = std::filesystem::status(home + "/.config").permissions();
    EXPECT_EQ(perms & std::filesystem::perms::all, std::filesystem::perms::owner_all);
}

TEST_F(StarterSettingsTest, UsersOwnSettingsAreNeverReplaced) {
    dir.write("home/.config/mivo/Mivo.ini", cp932("[Html]\r\nTitle=私の\r\n"));
    EXPECT_FALSE(prepareStateFolder(files));
    EXPECT_EQ(readBytes(home + "/.config/mivo/Mivo.ini"), cp932("[Html]\r\nTitle=私の\r\n"));
    EXPECT_FALSE(std::filesystem::exists(home + "/.config/mivo/Mivo.csv"));

    // A gallery list of the user's own survives the starter's Mivo.ini being taken.
    std::filesystem::remove(home + "/.config/mivo/Mivo.ini");
    dir.write("home/.config/mivo/Mivo.csv", "");
    EXPECT_TRUE(prepareStateFolder(files));
    EXPECT_EQ(readBytes(home + "/.config/mivo/Mivo.csv"), "");
}

TEST_F(StarterSettingsTest, HomeOutsideCp932MakesAUtf8Ini) {
    const std::string odd = dir.mkdir("home-é");
    files.homeFolder = odd;
    files.stateFolder = odd + "/.config/mivo";
    ASSERT_TRUE(prepareStateFolder(files));
    const std::string ini = readBytes(odd + "/.config/mivo/Mivo.ini");
    EXPECT_EQ(ini.rfind("\xEF\xBB\xBF[Path]\r\n", 0), 0u);
    EXPECT_NE(ini.find("Index=" + odd + "/Mivo/sample-gallery/index.html\r\n"), std::string::npos);
}

TEST_F(StarterSettingsTest, ARelativePagePathMakesNoFolderAnywhere) {
    dir.write("prog/starter/Mivo.ini", "[Path]\r\nIndex=site/index.html\r\n");
    const std::string work = dir.mkdir("work");
    const std::filesystem::path was = std::filesystem::current_path();
    std::filesystem::current_path(work);
    const bool taken = prepareStateFolder(files);
    std::filesystem::current_path(was);
    ASSERT_TRUE(taken);
    EXPECT_FALSE(std::filesystem::exists(home + "/.config/mivo/site"));
    EXPECT_TRUE(std::filesystem::is_empty(work));
}

TEST_F(StarterSettingsTest, AnEnglishDesktopGetsTheSampleAlbumInEnglish) {
    ASSERT_TRUE(useLanguage(UiLanguage::English, MIVO_BUILD_DIR));
    dir.write("prog/starter/Mivo.csv",
              cp932("アルバム,~/album,,\r\n旅行,~/trip,,\r\n私の,~/x,,\r\n"));
    const bool taken = prepareStateFolder(files);
    useLanguage(UiLanguage::Japanese, "");
    ASSERT_TRUE(taken);
    const std::string ini = readBytes(home + "/.config/mivo/Mivo.ini");
    EXPECT_NE(ini.find("\r\nTitle=Sample album\r\n"), std::string::npos) << ini;
    // The gallery names the starter gives; a name of the user's own stays as it is.
    EXPECT_EQ(readBytes(home + "/.config/mivo/Mivo.csv"),
              cp932("Album," + home + "/album,,\r\nTrip," + home + "/trip,,\r\n私の," + home +
                    "/x,,\r\n"));
}

TEST_F(StarterSettingsTest, WithoutStarterOnlyTheFolderIsMade) {
    std::filesystem::remove_all(dir / "prog/starter/Mivo.ini");
    EXPECT_FALSE(prepareStateFolder(files));
    EXPECT_TRUE(std::filesystem::is_directory(home + "/.config/mivo"));
    EXPECT_FALSE(std::filesystem::exists(home + "/.config/mivo/Mivo.ini"));
    EXPECT_FALSE(std::filesystem::exists(home + "/.config/mivo/Mivo.csv"));
}

TEST(PortableStateFolder, IsLeftExactlyAsItIs) {
    TempDir dir;
    dir.write("prog/starter/Mivo.ini", "[Path]\r\nPic=~/x\r\n");
    EXPECT_FALSE(prepareStateFolder(portableProgramFiles(dir / "prog")));
    EXPECT_FALSE(std::filesystem::exists(dir / "prog/Mivo.ini"));
    EXPECT_FALSE(std::filesystem::exists(dir / "prog/Mivo.csv"));
}

} // namespace
} // namespace mivo
