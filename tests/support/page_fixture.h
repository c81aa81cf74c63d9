#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "common/program_files.h"
#include "generation/make_context.h"
#include "generation/status.h"
#include "settings/gallery_list.h"
#include "settings/settings.h"
#include "support/temp_dir.h"

namespace mivo::test {

/// A temporary folder holding a program folder with an empty html/ template folder, and the
/// settings that point at it. Page tests write their template there and read the page back.
class PageFixture : public ::testing::Test {
  protected:
    PageFixture() {
        std::error_code ec;
        std::filesystem::create_directories(dir_ / "prog" / "html", ec);
    }
    // A test that turned the log on must not leave it on for the next one.
    void TearDown() override {
        setLogLevel(0);
        setLogPath("");
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
    const std::string programFolder_{(dir_ / "prog").string()};
    const ProgramFiles files_ = portableProgramFiles(programFolder_);
    Settings settings_ = defaultSettings(programFolder_);
};

/// A status sink that keeps every message shown and every bar position, in order.
class RecordingSink : public StatusSink {
  public:
    void message(const std::string& text) override { messages.push_back(text); }
    void progress(double value, double max) override { bar.push_back({value, max}); }
    void step() override { ++steps; }

    std::vector<std::string> messages;
    std::vector<std::pair<double, double>> bar; // value, max
    int steps = 0;
};

/// A page fixture with the run context the page routines take.
class PageContextFixture : public PageFixture {
  protected:
    RecordingSink sink_;
    RunStatus status_{&sink_};
    RunState state_;
    std::vector<GalleryEntry> rows_;
    MakeContext ctx_{settings_, files_, status_, state_, rows_};
};

} // namespace mivo::test
