#include <gtest/gtest.h>

#include <string>

#include "common/program_files.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::TempDir;

/// A program folder and a home folder side by side, and the environment that points at them.
class ProgramFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        prog = dir.mkdir("prog");
        home = dir.mkdir("home");
        env.home = home;
    }

    ProgramFiles locate() const { return locateProgramFiles(prog, env); }

    TempDir dir;
    std::string prog;
    std::string home;
    ProgramEnvironment env;
};

TEST_F(ProgramFilesTest, WritableProgramFolderKeepsEverythingBesideTheProgram) {
    // A user's html/ copy in the config folder is no reason to leave a portable copy's own.
    dir.mkdir("home/.config/mivo/html");
    env.xdgConfigHome = dir / "xdg";
    const ProgramFiles files = locate();
    EXPECT_TRUE(files.portable);
    EXPECT_EQ(files.stateFolder, prog);
    EXPECT_EQ(files.iniPath(), prog + "/Mivo.ini");
    EXPECT_EQ(files.listPath(), prog + "/Mivo.csv");
    EXPECT_EQ(files.logPath(), prog + "/Mivo.log");
    EXPECT_EQ(files.templateFolder, prog + "/html");
    EXPECT_EQ(files.userTemplateFolder, "");
    EXPECT_EQ(files.helpFile, prog + "/readme.txt");
}

TEST_F(ProgramFilesTest, ReadOnlyProgramFolderKeepsStateInTheUsersConfigFolder) {
    env.programFolderWritable = false;

    // $XDG_CONFIG_HOME unset, or not an absolute path (the XDG rules say to ignore it then).
    for (const std::string xdg : {"", "relative/config"}) {
        SCOPED_TRACE(xdg);
        env.xdgConfigHome = xdg;
        const ProgramFiles files = locate();
        EXPECT_FALSE(files.portable);
        EXPECT_EQ(files.stateFolder, home + "/.config/mivo");
        EXPECT_EQ(files.iniPath(), home + "/.config/mivo/Mivo.ini");
        EXPECT_EQ(files.logPath(), home + "/.config/mivo/Mivo.log");
    }

    env.xdgConfigHome = dir / "xdg";
    const ProgramFiles files = locate();
    EXPECT_EQ(files.stateFolder, dir / "xdg/mivo");
    EXPECT_EQ(files.listPath(), dir / "xdg/mivo/Mivo.csv");
    // The help file and the starter settings stay with the program.
    EXPECT_EQ(files.helpFile, prog + "/readme.txt");
    EXPECT_EQ(files.starterFolder, prog + "/starter");
    EXPECT_EQ(files.homeFolder, home);
}

TEST_F(ProgramFilesTest, TemplatesComeFromTheUsersCopyOnlyWhenItExists) {
    env.programFolderWritable = false;
    ProgramFiles files = locate();
    EXPECT_EQ(files.templateFolder, prog + "/html");
    EXPECT_EQ(files.userTemplateFolder, home + "/.config/mivo/html");

    dir.mkdir("home/.config/mivo/html");
    files = locate();
    EXPECT_EQ(files.templateFolder, home + "/.config/mivo/html");

    // A file of that name is no copy of the templates.
    env.xdgConfigHome = dir / "xdg";
    dir.write("xdg/mivo/html", "not a folder");
    files = locate();
    EXPECT_EQ(files.templateFolder, prog + "/html");
    EXPECT_EQ(files.userTemplateFolder, dir / "xdg/mivo/html");
}

TEST_F(ProgramFilesTest, SharedInstallIsNoUsersOwnEvenWhenWritable) {
    // root may write into the packaged program folder; its settings still go to its home.
    dir.mkdir("prog/starter");
    const ProgramFiles files = locate();
    EXPECT_FALSE(files.portable);
    EXPECT_EQ(files.stateFolder, home + "/.config/mivo");
}

TEST_F(ProgramFilesTest, NoHomeAndNoConfigFolderStaysBesideTheProgram) {
    env.programFolderWritable = false;
    env.home = "";
    EXPECT_TRUE(locate().portable);
    EXPECT_EQ(locate().stateFolder, prog);
    env.xdgConfigHome = dir / "xdg";
    EXPECT_EQ(locate().stateFolder, dir / "xdg/mivo");
}

} // namespace
} // namespace mivo
