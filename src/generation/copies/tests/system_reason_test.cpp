#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/system_reason.h"
#include "generation/copies/copy_folder.h"
#include "support/temp_dir.h"

namespace mivo {
namespace {

using test::TempDir;

/// The error number the system gives when `path` is opened for writing (0: it opened).
int openForWritingError(const std::string& path) {
    errno = 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const int code = fd < 0 ? errno : 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return code;
}

TEST(SystemReasonText, TheReasonsUsersMeetAreJapaneseWhateverTheLocale) {
    TempDir dir;
    const std::string file = dir.write("file.txt", "x");
    const std::string folder = dir.mkdir("folder");
    ::symlink("loop", (dir / "loop").c_str());

    // Each one as the system really reports it when a page is written.
    EXPECT_EQ(systemReasonText(openForWritingError(folder)), "同じ名前のフォルダがあります");
    EXPECT_EQ(systemReasonText(openForWritingError(file + "/page.html")),
              "パスの途中にフォルダではないものがあります");
    EXPECT_EQ(systemReasonText(openForWritingError(dir / "missing/page.html")),
              "ファイルまたはフォルダがありません");
    EXPECT_EQ(systemReasonText(openForWritingError(dir / std::string(300, 'a'))),
              "名前が長すぎます");
    EXPECT_EQ(systemReasonText(openForWritingError(dir / "loop")),
              "シンボリックリンクが多すぎるか循環しています");
    errno = 0;
    EXPECT_EQ(::mkdir(folder.c_str(), 0755), -1);
    EXPECT_EQ(systemReasonText(errno), "同じ名前のものがすでにあります");

    // A full disk: /dev/full refuses every write with ENOSPC.
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (full >= 0) {
        errno = 0;
        EXPECT_EQ(::write(full, "x", 1), -1);
        EXPECT_EQ(systemReasonText(errno), "ディスクの空き容量が足りません");
        ::close(full);
    }

    // The ones a test run as root cannot provoke.
    EXPECT_EQ(systemReasonText(EROFS), "読み取り専用のファイルシステムです");
    EXPECT_EQ(systemReasonText(EACCES), "アクセスが拒否されました");
    EXPECT_EQ(systemReasonText(EPERM), "アクセスが拒否されました");
    EXPECT_EQ(systemReasonText(EIO), "入出力エラーが発生しました");

    // Anything else keeps the system's own words.
    EXPECT_EQ(systemReasonText(EPROTO), std::strerror(EPROTO));

    // The reduced copies say the same.
    EXPECT_EQ(systemErrorText(ENOSPC), "ディスクの空き容量が足りません");
}

} // namespace
} // namespace mivo
