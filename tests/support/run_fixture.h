#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/program_files.h"
#include "generation/run/make_run.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/page_fixture.h"
#include "support/temp_dir.h"

namespace mivo::test {

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

/// Runs a command line the test wrote to make its files (ImageMagick, libvips, ffmpeg),
/// quietly; true when it succeeded.
inline bool shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

/// Whole runs with the shipped templates from dir/pics into dir/out: a single gallery without
/// a start-picture page, everything else as a new user has it.
class RunFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        writeShippedTemplates(dir, "prog/html");
        dir.mkdir("pics");
        dir.mkdir("out");
        settings = defaultSettings(dir / "prog");
        settings.OptionMenu = 1;
        settings.OptionSamD = 0;
        settings.gstrPicPath = dir / "pics";
        settings.gstrIndexPath = dir / "out/index.html";
    }

    /// Makes the galleries; returns the status messages the run showed.
    std::vector<std::string> run(const std::vector<GalleryEntry>& rows = {}) {
        RecordingSink status;
        result = runMake(settings, rows, portableProgramFiles(dir / "prog"), status);
        return status.messages;
    }
    std::string page(const std::string& name) const { return readBytes(dir / ("out/" + name)); }

    /// Whether the last run's list of the files it wrote names one whose path holds `part`.
    bool wrote(const std::string& part) const {
        for (const std::string& path : result.files.written) {
            if (contains(path, part)) {
                return true;
            }
        }
        return false;
    }
    /// Checks that the last run, with nothing changed, wrote no file and replaced only pages.
    void expectOnlyPagesRewritten() const {
        EXPECT_TRUE(result.files.written.empty());
        for (const std::string& path : result.files.replaced) {
            EXPECT_TRUE(path.ends_with(".html")) << path;
        }
    }

    TempDir dir;
    Settings settings{};
    MakeResult result;
};

} // namespace mivo::test
