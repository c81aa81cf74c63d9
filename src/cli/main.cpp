// mivo-make: one Make run on the settings and gallery list stored beside the executable,
// as the window would make it right after starting.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/log.h"
#include "common/message_box.h"
#include "common/program.h"
#include "common/text.h"
#include "generation/make_run.h"
#include "generation/startup.h"
#include "generation/status.h"

namespace {

const char* const kUsage = "usage: mivo-make [--help | --version | --jobs N]\n";

const char* const kHelp =
    "usage: mivo-make [--help | --version | --jobs N]\n"
    "\n"
    "Makes the gallery that Mivo's 作成 button would make right after start-up, from\n"
    "Mivo.ini, Mivo.csv and the templates in html/ in the folder of this program.\n"
    "Each status message is printed on standard output, one per line; the exit status\n"
    "is 0 when the run ends with 完了しました and 1 otherwise. Mivo.ini and Mivo.csv are\n"
    "never written.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "  --jobs N   read N picture headers at a time (default: from the number of cores)\n";

/// The status line on standard output, and the progress bar on standard error when that is
/// a terminal.
class ConsoleStatus : public mivo::StatusSink {
  public:
    explicit ConsoleStatus(bool drawBar) : drawBar_(drawBar) {}
    ~ConsoleStatus() override { finishBar(); }

    std::string messageText() const override { return message_; }
    void setMessageText(const std::string& text) override {
        message_ = text;
        clearBar();
        std::fputs(text.c_str(), stdout);
        std::fputc('\n', stdout);
        // A terminal shows each line at once; a pipe or a file gets the lines at least every
        // 50 ms rather than one write per picture.
        const auto now = std::chrono::steady_clock::now();
        if (lineByLine_ || now - lastFlush_ >= std::chrono::milliseconds(50)) {
            std::fflush(stdout);
            lastFlush_ = now;
        }
    }
    double barMin() const override { return min_; }
    double barMax() const override { return max_; }
    double barValue() const override { return value_; }
    void setBarMin(double value) override { min_ = value; }
    void setBarMax(double value) override { max_ = value; }
    void setBarValue(double value) override { value_ = value; }
    void repaint() override {
        if (!drawBar_) {
            return;
        }
        const double span = max_ - min_;
        double part = span > 0 ? (value_ - min_) / span : 0.0;
        part = part < 0 ? 0 : (part > 1 ? 1 : part);
        const int filled = static_cast<int>(std::lround(part * kWidth));
        const int percent = static_cast<int>(std::lround(part * 100));
        if (shown_ && filled == lastFilled_ && percent == lastPercent_) {
            return;
        }
        std::string line = "\r[";
        line.append(static_cast<std::size_t>(filled), '#');
        line.append(static_cast<std::size_t>(kWidth - filled), ' ');
        line += "] " + std::to_string(percent) + "%";
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        shown_ = true;
        lastFilled_ = filled;
        lastPercent_ = percent;
    }

    /// Ends the bar's line so that what follows starts on a line of its own.
    void finishBar() {
        if (shown_) {
            std::fputc('\n', stderr);
            shown_ = false;
        }
    }

  private:
    static constexpr int kWidth = 40;

    void clearBar() {
        if (shown_) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            shown_ = false;
        }
    }

    bool drawBar_;
    bool lineByLine_ = ::isatty(STDOUT_FILENO) == 1;
    std::chrono::steady_clock::time_point lastFlush_;
    bool shown_ = false;
    int lastFilled_ = -1;
    int lastPercent_ = -1;
    std::string message_;
    double min_ = 0;
    double max_ = 100;
    double value_ = 0;
};

/// Message boxes as text on standard error, on a line of their own below the bar.
class ConsoleMessageBox : public mivo::MessageBoxSink {
  public:
    explicit ConsoleMessageBox(ConsoleStatus& status) : status_(status) {}
    void showMessage(const std::string& text, const std::string& caption) override {
        status_.finishBar();
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
    }

  private:
    ConsoleStatus& status_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("mivo-make %s\n", mivo::cmVersionText().c_str());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    long long jobs = 0;
    const bool jobsGiven = argc == 3 && std::strcmp(argv[1], "--jobs") == 0;
    if ((argc != 1 && !jobsGiven) ||
        (jobsGiven && (!mivo::cmParseWholeNumber(argv[2], jobs) || jobs < 1 || jobs > 64))) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    const std::string programFolder = mivo::cmProgramFolder();
    mivo::MakeSettings settings;
    std::vector<mivo::GalleryEntry> rows;
    mivo::cmLoadStartup(programFolder, settings, rows);
    settings.pictureWorkers = static_cast<int>(jobs);

    bool done = false;
    {
        ConsoleStatus status(::isatty(STDERR_FILENO) == 1);
        ConsoleMessageBox box(status);
        mivo::cmSetMessageBoxSink(&box);
        done = mivo::runMake(settings, rows, status);
        mivo::cmSetMessageBoxSink(nullptr);
    }
    mivo::cmWriteLog("mivo-make", 2, "▲▲▲End Mivo▲▲▲\r\n");
    return done ? 0 : 1;
}
