#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "common/log.h"
#include "common/program_files.h"
#include "generation/plan/album.h"
#include "generation/plan/planners.h"
#include "generation/plan/run_services.h"
#include "generation/plan/status.h"
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
    /// Forgets everything shown, as before a new run.
    void clear() {
        messages.clear();
        bar.clear();
        steps = 0;
    }

    std::vector<std::string> messages;
    std::vector<std::pair<double, double>> bar; // value, max
    int steps = 0;
};

/// A page fixture with what the page routines of a run take.
class PageContextFixture : public PageFixture {
  protected:
    /// The album the settings describe: the single folder (0), or row `number` of rows_ in
    /// menu mode; its job values only, the rest as a new album has it.
    Album plannedAlbum(int number = 0) const {
        RunPlan plan = planRun(settings_, rows_);
        Album album;
        const Album* planned = plan.root.get();
        if (number > 0) {
            const auto index = static_cast<std::size_t>(number - 1);
            planned =
                index < plan.root->children.size() ? plan.root->children[index].get() : nullptr;
        }
        if (planned != nullptr) {
            album.job = planned->job;
            album.place = planned->place;
        }
        return album;
    }
    AlbumJob plannedJob(int number = 0) const { return plannedAlbum(number).job; }

    /// What every page of a run with the current settings prints.
    PagePlan plannedPages() const { return planRun(settings_, rows_).pages; }

    RecordingSink sink_;
    RunStatus status_{&sink_};
    std::vector<GalleryEntry> rows_;
    RunServices run_{files_, status_};
};

} // namespace mivo::test
