#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "generation/make_context.h"
#include "generation/make_settings.h"
#include "generation/status.h"
#include "settings/gallery_list.h"
#include "support/temp_dir.h"

namespace mivo::test {

/// A temporary folder holding a program folder with an empty html/ template folder, and the
/// settings that point at it. Page tests write their template there and read the page back.
class PageFixture : public ::testing::Test {
  protected:
    PageFixture() {
        std::error_code ec;
        std::filesystem::create_directories(dir_ / "prog" / "html", ec);
        settings_.programFolder = (dir_ / "prog").string();
    }
    // A test that turned the log on must not leave it on for the next one.
    void TearDown() override {
        cmSetLogLevel(0);
        cmSetLogPath("");
    }

    static void writeFile(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string readFile(const std::filesystem::path& path) {
        return readBytes(path.string());
    }
    /// Writes a template file into the program's html/ folder.
    void writeTemplate(const std::string& name, const std::string& bytes) const {
        writeFile(dir_ / "prog" / "html" / name, bytes);
    }

    TempDir temp_;
    const std::filesystem::path dir_{temp_.path()};
    MakeSettings settings_;
};

/// A page fixture with the run context the page routines take.
template <class Status = PlainStatus> class PageContextFixture : public PageFixture {
  protected:
    Status status_;
    RunState state_;
    std::vector<GalleryEntry> rows_;
    MakeContext ctx_{settings_, status_, state_, rows_};
};

} // namespace mivo::test
