// mivo-make: one Make run on the settings and gallery list the window keeps (beside the
// executable, or in the user's config folder), as the window would make it right after starting.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/message_box.h"
#include "common/program.h"
#include "common/program_files.h"
#include "common/text.h"
#include "common/translate.h"
#include "generation/plan/status.h"
#include "generation/run/make_run.h"
#include "publish/publish.h"
#include "settings/gallery_list.h"
#include "settings/program_language.h"
#include "settings/settings.h"
#include "settings/starter_settings.h"
#include "settings/stored_paths.h"

namespace {

const char* const kUsage =
    "usage: mivo-make [--help | --version | [--jobs N] [--publish | --publish-only]]\n";

// Japanese is the source text; the catalogue holds the English.
const char* const kHelp = mivo::translatable(
    "\n"
    "Mivo を起動した直後に「作成」ボタンを押したときと同じギャラリーを作ります。このプログラム\n"
    "のフォルダの Mivo.ini、Mivo.csv と html/ のテンプレートを使います。そこに書き込めないとき\n"
    "(インストールされた Mivo) は $XDG_CONFIG_HOME/mivo (~/.config/mivo) の Mivo.ini と\n"
    "Mivo.csv、そこに html/ のコピーを置いていればそのテンプレートを使います。--version で使用中\n"
    "のフォルダを表示します。\n"
    "状態メッセージを1行ずつ標準出力に表示します。終了コードは「完了しました」で終わったとき 0、\n"
    "それ以外は 1 です。Mivo.ini と Mivo.csv は書き換えません。ただし、インストールされた Mivo\n"
    "の最初の実行では、初期設定 (サンプルアルバム) を ~/.config/mivo にコピーします。\n"
    "\n"
    "  --help     この説明を表示する\n"
    "  --version  バージョンを表示する\n"
    "  --jobs N   画像のヘッダーを N 個ずつ N 本のスレッドで読む (既定: コア数から決め、\n"
    "             ディスクの読み込み待ちが出れば io_uring で読む)\n"
    "  --publish  作成してから、サイト (トップページのフォルダとその下) を Mivo.ini の\n"
    "             [Publish] のサーバーに送る。変わったファイルだけを送り、サーバーでは\n"
    "             Mivo が前に送ってサイトから消えたファイルだけを削除する。作成に失敗\n"
    "             したときは送らない\n"
    "  --publish-only\n"
    "             作成せずに、今あるサイトを送る\n"
    "--publish と --publish-only の終了コードは、サーバーにサイトがすべて揃ったときだけ 0 "
    "です。\n");

/// The status line on standard output, and the progress bar on standard error when that is
/// a terminal.
class ConsoleStatus : public mivo::StatusSink {
  public:
    explicit ConsoleStatus(bool drawBar) : drawBar_(drawBar) {}
    ~ConsoleStatus() override { finishBar(); }

    void message(const std::string& text) override {
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
    void progress(double value, double max) override {
        value_ = value;
        max_ = max;
    }
    /// The bar with a text after it (a publish's files, bytes and time left).
    void progress(double value, double max, std::string text) {
        progress(value, max);
        text_ = std::move(text);
    }
    void step() override {
        if (!drawBar_) {
            return;
        }
        const double span = max_;
        double part = span > 0 ? value_ / span : 0.0;
        part = part < 0 ? 0 : (part > 1 ? 1 : part);
        const int filled = static_cast<int>(std::lround(part * kWidth));
        const int percent = static_cast<int>(std::lround(part * 100));
        if (shown_ && filled == lastFilled_ && percent == lastPercent_ && text_ == lastText_) {
            return;
        }
        std::string line = "\r[";
        line.append(static_cast<std::size_t>(filled), '#');
        line.append(static_cast<std::size_t>(kWidth - filled), ' ');
        line += "] " + std::to_string(percent) + "%";
        if (!text_.empty()) {
            line += " " + text_ + "\033[K";
        }
        lastText_ = text_;
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
    std::string text_;
    std::string lastText_;
    double max_ = 100;
    double value_ = 0;
};

/// A publish on the console: its messages as status lines, its progress on the bar's line.
class ConsolePublish : public mivo::PublishSink {
  public:
    explicit ConsolePublish(ConsoleStatus& status) : status_(status) {}
    void message(const std::string& text) override { status_.message(text); }
    void progress(const mivo::PublishProgress& now) override {
        status_.progress(now.fraction < 0 ? 0 : now.fraction, 1, mivo::publishProgressText(now));
        status_.step();
    }

  private:
    ConsoleStatus& status_;
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
    const std::string programFolder = mivo::locateProgramFolder();
    const mivo::ProgramFiles files =
        mivo::locateProgramFiles(programFolder, mivo::currentProgramEnvironment(programFolder));
    mivo::chooseProgramLanguage(files, mivo::processEnvironment());
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("mivo-make %s\nsettings: %s\ntemplates: %s\n", mivo::versionText().c_str(),
                    files.stateFolder.c_str(), files.templateFolder.c_str());
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        std::fputs(mivo::translate(kHelp).c_str(), stdout);
        return 0;
    }
    long long jobs = 0;
    bool make = true;
    bool publish = false;
    bool arguments = true;
    for (int i = 1; i < argc && arguments; ++i) {
        const std::string argument = argv[i];
        if (argument == "--jobs" && i + 1 < argc && jobs == 0) {
            arguments = mivo::parseWholeNumber(argv[++i], jobs) && jobs >= 1 && jobs <= 128;
        } else if (argument == "--publish" && !publish) {
            publish = true;
        } else if (argument == "--publish-only" && !publish) {
            publish = true;
            make = false;
        } else {
            arguments = false;
        }
    }
    if (!arguments || (!make && jobs != 0)) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    // The values the window would show right after starting, before anything is touched.
    mivo::prepareStateFolder(files);
    mivo::Settings settings;
    mivo::mainGetIni(files.iniPath(), files.programFolder, settings);
    std::vector<mivo::GalleryEntry> rows;
    mivo::mainGetList(files.listPath(), rows);
    mivo::resolveGalleryPaths(rows, mivo::settingsFolderOf(files.listPath()));

    mivo::MakeResult result;
    result.done = true;
    mivo::PublishResult published;
    {
        ConsoleStatus status(::isatty(STDERR_FILENO) == 1);
        ConsoleMessageBox box(status);
        mivo::setMessageBoxSink(&box);
        if (make) {
            result = mivo::runMake(settings, rows, files, status, static_cast<int>(jobs));
        }
        mivo::setMessageBoxSink(nullptr);
        // A gallery that was not made whole is not sent.
        if (publish && result.done) {
            status.finishBar();
            ConsolePublish publishing(status);
            published = mivo::publishSite(mivo::planPublish(settings, files), publishing);
        }
    }
    std::fflush(stdout);
    if (!result.failure.empty()) {
        std::fprintf(stderr, "mivo-make: %s\n", result.failure.c_str());
    }
    // Every item the status line named only in part.
    if (!result.items.empty()) {
        std::fputs(result.items.c_str(), stderr);
    }
    // The transfer program's own words, for whoever looks further.
    if (publish && !published.done && !published.lastLine.empty()) {
        std::fprintf(stderr, "mivo-make: %s\n", published.lastLine.c_str());
    }
    mivo::cmWriteLog("mivo-make", 2, "▲▲▲End Mivo▲▲▲\r\n");
    return result.done && (!publish || published.done) ? 0 : 1;
}
