#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <regex>

#include "common/log.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::readBytes;
using test::TempDir;

class LogTest : public ::testing::Test {
  protected:
    void TearDown() override {
        setLogLevel(0);
        setLogPath("");
    }
    TempDir dir;
};

TEST_F(LogTest, WritesNothingWhenOff) {
    setLogPath(dir / "Mivo.log");
    setLogLevel(0);
    cmWriteLog("x", 4, "error");
    EXPECT_EQ(readBytes(dir / "Mivo.log"), "<missing>");
}

TEST_F(LogTest, WritesLinesAtOrAboveTheThresholdInCp932) {
    setLogPath(dir / "Mivo.log");
    setLogLevel(3);
    cmWriteLog("mainGetIni", 2, "banner");
    cmWriteLog("mainMakeListTable", 3, "<a.jpg>");
    cmWriteLog("mainMakeListHtml", 4, "InOpenError [写真é]\r\nsecond");
    const std::string log = readBytes(dir / "Mivo.log");
    // Each line starts with the local time; the rest is exact cp932 bytes.
    const std::string stamp = log.substr(0, 19);
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"))) << stamp;
    const std::string first = "[mainMakeListTable] <a.jpg>\r\n";
    ASSERT_GT(log.size(), 20 + first.size());
    EXPECT_EQ(log.substr(20, first.size()), first);
    EXPECT_EQ(log.substr(20 + first.size() + 20),
              "[mainMakeListHtml] InOpenError [\x8E\xCA\x90\x5E?]\r\nsecond\r\n");
}

TEST_F(LogTest, NegativeThresholdWritesEverythingAndFailureIsSilent) {
    setLogLevel(-1);
    setLogPath(dir / "missing-folder/Mivo.log");
    cmWriteLog("x", 1, "lost"); // must not throw or crash
    setLogPath(dir / "Mivo.log");
    cmWriteLog("x", 1, "kept");
    EXPECT_NE(readBytes(dir / "Mivo.log").find("[x] kept\r\n"), std::string::npos);
}

TEST_F(LogTest, FifoOrOtherNonRegularLogIsSkippedWithoutBlocking) {
    const std::string fifo = dir / "Mivo.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    setLogPath(fifo);
    setLogLevel(1);
    // Nobody reads the FIFO: a blocking open would wait here for ever.
    auto write = std::async(std::launch::async, [] { cmWriteLog("x", 1, "lost"); });
    const bool returned = write.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
    if (!returned) {
        // Free the stuck writer so the test can end and report.
        const int unblock = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        write.wait();
        ::close(unblock);
    }
    EXPECT_TRUE(returned);
    // With a reader the FIFO opens, but it is not a regular file: nothing is written to it.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    cmWriteLog("x", 1, "not for a pipe");
    char buffer[64];
    EXPECT_LE(::read(reader, buffer, sizeof buffer), 0);
    ::close(reader);
}

} // namespace
} // namespace mivo
