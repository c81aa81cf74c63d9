#pragma once

// Shared helpers of the window tests: a stand-in for the desktop services and a temporary
// program folder.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/log.h"
#include "window/form_main.h"

namespace mivo::test {

namespace fs = std::filesystem;

/// Records what the window asked of the desktop and answers as told.
class FakeServices : public WindowServices {
  public:
    struct Paint {
        std::string label;
        double value = 0;
        double max = 0;
    };

    bool shellOpen(const std::string& target, const std::string& parameters) override {
        opened.push_back(target);
        openedParameters.push_back(parameters);
        return shellResult;
    }
    std::string openFailureReason() const override { return failureReason; }
    void showTextViewer(const std::string& title, const std::string& text) override {
        viewerTitle = title;
        viewerText = text;
    }
    bool showOpenDialog(FileDialog& dialog) override {
        dialogsShown.push_back(dialog);
        if (!dialogAnswer) {
            return false;
        }
        dialog.FileName = *dialogAnswer;
        return true;
    }
    void showMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ":" + text);
    }
    void showWarning(const std::string& text, const std::string& caption) override {
        warnings.push_back(caption + ":" + text);
    }
    void showAbout(const std::string& title, const std::string& text) override {
        abouts.push_back(title + ":" + text);
    }
    bool windowActive() const override { return active; }
    void notify(const std::string& summary, const std::string& body) override {
        notifications.push_back(summary + ":" + body);
    }
    std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::time_point{} + clock;
    }
    std::string picturesFolder() const override { return pictures; }
    bool askRetry(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ":" + text);
        if (retryAnswers.empty()) {
            return false;
        }
        const bool answer = retryAnswers.front();
        retryAnswers.erase(retryAnswers.begin());
        if (answer && onRetry) {
            onRetry();
        }
        return answer;
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ":" + text);
        return yesAnswer;
    }
    void repaintStatus() override {
        if (onRepaint) {
            onRepaint();
        }
        if (form != nullptr) {
            paints.push_back({form->LabelMess->caption(), form->ProgressBarMake->value(),
                              form->ProgressBarMake->max()});
        }
    }
    bool loadPicture(const std::string& path, long& pictureWidth, long& pictureHeight) override {
        loadedPictures.push_back(path);
        const auto it = pictureSizes.find(fs::path(path).filename().string());
        if (it == pictureSizes.end()) {
            return false;
        }
        pictureWidth = it->second.first;
        pictureHeight = it->second.second;
        return true;
    }
    void closeWindow() override { ++closeCount; }

    FormMain* form = nullptr;
    std::vector<std::string> opened;
    std::vector<std::string> openedParameters;
    bool shellResult = true;
    std::string failureReason;
    std::string viewerTitle;
    std::string viewerText;
    std::optional<std::string> dialogAnswer;
    std::vector<FileDialog> dialogsShown;
    std::vector<std::string> messages;
    std::vector<std::string> warnings; // boxes with the warning icon
    std::vector<std::string> abouts;
    std::vector<std::string> notifications;
    bool active = true;                // the main window has the keyboard
    std::chrono::milliseconds clock{}; // what now() says, moved on by the test
    std::string pictures;              // the user's Pictures folder ("": none known)
    std::vector<bool> retryAnswers;    // each "try again" offered takes the first answer left
    std::function<void()> onRetry;     // runs when "try again" was answered
    bool yesAnswer = false;
    std::function<void()> onRepaint; // runs at every repaint, before it is recorded
    std::vector<Paint> paints;
    std::map<std::string, std::pair<long, long>> pictureSizes;
    std::vector<std::string> loadedPictures;
    int closeCount = 0;
};

/// A folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = (fs::temp_directory_path() /
                 ("mivo_window_" + std::to_string(::getpid()) + "_" + std::to_string(++counter)))
                    .string();
        std::error_code ec;
        fs::remove_all(path_, ec);
        fs::create_directories(path_, ec);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string makeFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return path;
}

/// A BMP file's header for a picture of the given size (the pixels are not needed).
inline std::string bmpBytes(std::int32_t width, std::int32_t height) {
    std::string bytes(54, '\0');
    const auto put32 = [&](std::size_t at, std::int32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, width);
    put32(22, height);
    bytes[26] = 1;
    bytes[28] = 24;
    return bytes;
}

/// INI text with CR LF line ends from lines given with "\n".
inline std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

/// The "section/key=value" entries of an INI file (ASCII content), in file order.
inline std::vector<std::string> iniEntries(const std::string& path) {
    std::vector<std::string> entries;
    std::istringstream in(readFile(path));
    std::string line;
    std::string section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            section = line.substr(1, line.find(']') - 1);
        } else {
            entries.push_back(section + "/" + line);
        }
    }
    return entries;
}

/// Log lines as "[routine] message" (the date and time cut off); continuation lines of a
/// message come as they are.
inline std::vector<std::string> logLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(readFile(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > 20 && line[4] == '/' && line[19] == ' ') {
            line = line.substr(20);
        }
        lines.push_back(line);
    }
    return lines;
}

inline bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

/// A window over a temporary program folder, with the desktop faked.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override { makeFolder(program.path()); }

    /// Creates the form (not yet loaded).
    FormMain& form() {
        if (!form_) {
            form_ = std::make_unique<FormMain>(program.path(), services);
            services.form = form_.get();
        }
        return *form_;
    }
    FormMain& load() {
        form().Form_Load();
        return *form_;
    }
    void writeIni(const std::string& text) { writeFile(form().iniPath(), crlf(text)); }
    void TearDown() override {
        form_.reset();
        setLogLevel(0);
    }

    TempFolder program;
    FakeServices services;

  private:
    std::unique_ptr<FormMain> form_;
};

/// A window whose program folder holds the shipped templates, a picture folder of two BMPs
/// (a landscape a.bmp and a portrait b.bmp) and an empty folder for the site.
class GalleryWindowTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        const std::string templates = std::string(MIVO_SOURCE_DIR) + "/html";
        std::error_code ec;
        if (!fs::exists(templates + "/list.html", ec)) {
            GTEST_SKIP() << "the page templates are not in " << templates << " yet";
        }
        fs::copy(templates, program / "html", fs::copy_options::recursive, ec);
        ASSERT_FALSE(ec) << ec.message();
        pics = makeFolder(program / "pics");
        writeFile(pics + "/a.bmp", bmpBytes(640, 480));
        writeFile(pics + "/b.bmp", bmpBytes(480, 640));
        site = makeFolder(program / "site");
    }

    std::string pics;
    std::string site;
};

} // namespace mivo::test
