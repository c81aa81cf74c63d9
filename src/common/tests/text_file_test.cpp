#include "common/text_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/without_write_access.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;

/// A fresh folder of its own for each test, removed afterwards.
class TextFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::error_code ec;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = (fs::temp_directory_path(ec) /
                ("mivo_text_file_" + std::string(info->name()) + "_" + std::to_string(getpid())))
                   .string();
        fs::remove_all(dir_, ec);
        ASSERT_TRUE(fs::create_directories(dir_, ec)) << dir_;
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    static void put(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string get(const std::string& file) {
        std::string bytes;
        EXPECT_TRUE(readFileBytes(file, bytes)) << file;
        return bytes;
    }
    /// Every name in the folder, so a forgotten temporary file shows up.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir_, ec)) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    static mode_t modeOf(const std::string& file) {
        struct stat st {};
        EXPECT_EQ(::stat(file.c_str(), &st), 0);
        return st.st_mode & 07777;
    }

    std::string dir_;
};

using Lines = std::vector<std::string>;

TEST(TextLines, SplitAtCrLfLoneCrAndLoneLf) {
    EXPECT_EQ(splitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(splitLines("a\r"), (Lines{"a"}));
    EXPECT_EQ(splitLines("a\n"), (Lines{"a"}));
    EXPECT_EQ(splitLines(""), Lines{});
    EXPECT_EQ(splitLines("\r\n"), (Lines{""}));
    // LF CR is two line ends; CR CR LF is an empty line between.
    EXPECT_EQ(splitLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(splitLines("a\r\r\nb\r\n\r\n"), (Lines{"a", "", "b", ""}));
    EXPECT_EQ(splitLines("\n\n"), (Lines{"", ""}));
}

TEST_F(TextFileTest, ReadTextLinesDecodesCp932AndUtf8WithBom) {
    put(path("sjis.txt"), "\x83\x41\x83\x8B\x83\x6F\x83\x80\r\n\x95\x5C\r\x87\x40");
    Lines lines;
    TextEncoding encoding = TextEncoding::Utf8Bom;
    ASSERT_TRUE(readTextLines(path("sjis.txt"), lines, &encoding));
    EXPECT_EQ(lines, (Lines{"アルバム", "表", "①"}));
    EXPECT_EQ(encoding, TextEncoding::Cp932);

    put(path("utf8.txt"), "\xEF\xBB\xBF"
                          "café\r\n😀\n");
    ASSERT_TRUE(readTextLines(path("utf8.txt"), lines, &encoding));
    EXPECT_EQ(lines, (Lines{"café", "😀"}));
    EXPECT_EQ(encoding, TextEncoding::Utf8Bom);

    put(path("empty.txt"), "");
    ASSERT_TRUE(readTextLines(path("empty.txt"), lines));
    EXPECT_TRUE(lines.empty());

    // Missing files and folders cannot be read; the out value is left empty.
    std::string bytes = "old";
    EXPECT_FALSE(readFileBytes(path("missing.txt"), bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(readFileBytes(dir_, bytes));
    EXPECT_FALSE(readTextLines(path("missing.txt"), lines));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(readFileBytes(path("fifo"), bytes)) << "a FIFO must not hang the reader";
}

TEST_F(TextFileTest, AppendCreatesThenAppends) {
    const std::string log = path("Mivo.log");
    ASSERT_TRUE(appendFileBytes(log, "one\r\n"));
    ASSERT_TRUE(appendFileBytes(log, ""));
    ASSERT_TRUE(appendFileBytes(log, std::string("tw\0o\r\n", 6)));
    EXPECT_EQ(get(log), std::string("one\r\ntw\0o\r\n", 11));
    EXPECT_FALSE(appendFileBytes(path("no/such/folder.log"), "x"));
    EXPECT_FALSE(appendFileBytes(dir_, "x"));
}

TEST_F(TextFileTest, ReplaceWritesNewFileAndReplacesOldOne) {
    const std::string target = path("Mivo.ini");
    ASSERT_TRUE(replaceFileAtomic(target, "first\r\n"));
    EXPECT_EQ(get(target), "first\r\n");
    // A new file is created as any other new file: not only for its owner.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(modeOf(target), 0666 & ~mask);

    // Replacing keeps the old file's permission bits.
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_TRUE(replaceFileAtomic(target, std::string("se\0cond", 7)));
    EXPECT_EQ(get(target), std::string("se\0cond", 7));
    EXPECT_EQ(modeOf(target), 0640u);

    ASSERT_TRUE(replaceFileAtomic(target, ""));
    EXPECT_EQ(get(target), "");
    EXPECT_EQ(names(), (Lines{"Mivo.ini"}));
}

TEST_F(TextFileTest, SettingsFileThroughSymlinkKeepsTheLink) {
    // A settings file kept as a link into a folder of the user's own: the file it points at
    // is replaced, with its permission bits, and the link stays.
    put(path("real.ini"), "old");
    ASSERT_EQ(::chmod(path("real.ini").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("real.ini", path("link.ini").c_str()), 0);
    AtomicFile file;
    ASSERT_TRUE(file.open(path("link.ini"), LinkPolicy::Follow));
    EXPECT_FALSE(file.replacesLink());
    file.discard();
    ASSERT_TRUE(replaceFileAtomic(path("link.ini"), "new", LinkPolicy::Follow));
    EXPECT_TRUE(fs::is_symlink(path("link.ini")));
    EXPECT_EQ(get(path("real.ini")), "new");
    EXPECT_EQ(modeOf(path("real.ini")), 0600u);
    EXPECT_EQ(names(), (Lines{"link.ini", "real.ini"}));
}

TEST_F(TextFileTest, PageNameThatIsALinkIsReplacedNeverWrittenThrough) {
    // A page name may be a link to a picture, to the settings or to a folder, or lead nowhere:
    // the link goes, and what it pointed at keeps every byte and its mode.
    put(path("photo.jpg"), "JPEG bytes");
    ASSERT_EQ(::chmod(path("photo.jpg").c_str(), 0600), 0);
    ASSERT_TRUE(fs::create_directory(path("sub")));
    ASSERT_EQ(::symlink("photo.jpg", path("index.html").c_str()), 0);
    ASSERT_EQ(::symlink("gone/x.html", path("list.html").c_str()), 0);
    ASSERT_EQ(::symlink("sub", path("pict.html").c_str()), 0);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    for (const char* name : {"index.html", "list.html", "pict.html"}) {
        SCOPED_TRACE(name);
        AtomicFile page;
        ASSERT_TRUE(page.open(path(name)));
        EXPECT_TRUE(page.replacesLink());
        page.write("<html>");
        ASSERT_TRUE(page.commit());
        EXPECT_FALSE(page.replacesLink());
        EXPECT_FALSE(fs::is_symlink(path(name)));
        EXPECT_TRUE(fs::is_regular_file(path(name)));
        EXPECT_EQ(get(path(name)), "<html>");
        // A link has no mode of its own to keep: the page is made as any new file.
        EXPECT_EQ(modeOf(path(name)), 0666 & ~mask);
    }
    EXPECT_EQ(get(path("photo.jpg")), "JPEG bytes");
    EXPECT_EQ(modeOf(path("photo.jpg")), 0600u);
    EXPECT_TRUE(fs::is_empty(path("sub")));
    EXPECT_EQ(names(), (Lines{"index.html", "list.html", "photo.jpg", "pict.html", "sub"}));

    // A regular page is no link, and a folder in a page's place still fails.
    AtomicFile page;
    ASSERT_TRUE(page.open(path("index.html")));
    EXPECT_FALSE(page.replacesLink());
    page.discard();
    EXPECT_FALSE(page.open(path("sub")));
    EXPECT_TRUE(fs::is_directory(path("sub")));
}

TEST_F(TextFileTest, ReplaceFailsWithoutTouchingAnythingWhenFolderIsMissing) {
    EXPECT_FALSE(replaceFileAtomic(path("gone/Mivo.csv"), "data"));
    EXPECT_FALSE(fs::exists(path("gone")));
    EXPECT_FALSE(replaceFileAtomic("", "data"));
    EXPECT_FALSE(replaceFileAtomic(dir_ + "/", "data"));
    // A folder in the target's place stays a folder.
    ASSERT_TRUE(fs::create_directory(path("sub")));
    EXPECT_FALSE(replaceFileAtomic(path("sub"), "data"));
    EXPECT_TRUE(fs::is_directory(path("sub")));
    EXPECT_EQ(names(), (Lines{"sub"}));
}

TEST_F(TextFileTest, ReplaceLeavesOldFileInReadOnlyFolder) {
    const std::string target = path("Mivo.csv");
    put(target, "old rows\r\n");
    ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
    const std::optional<bool> replaced = test::runWithoutWriteAccess(
        dir_, [&] { return replaceFileAtomic(target, "new rows\r\n"); });
    if (!replaced) {
        GTEST_SKIP() << "no user here is denied writing to a read-only folder";
    }
    EXPECT_FALSE(*replaced) << "the replace reported success in a read-only folder";
    EXPECT_EQ(get(target), "old rows\r\n");
    EXPECT_EQ(names(), (Lines{"Mivo.csv"}));
}

TEST_F(TextFileTest, ReplaceLeavesOldFileWhenWritingFails) {
    const std::string target = path("page.html");
    put(target, "old page");
    // A file size limit makes the write fail as a full disk would.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit oldLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool replaced = replaceFileAtomic(target, std::string(5000, 'x'));
    // A page fails part-way, long before its commit, and other calls fail in between: the
    // commit still gives the reason of the write.
    AtomicFile page;
    ASSERT_TRUE(page.open(path("list.html")));
    page.write(std::string(300 * 1024, 'p'));
    page.write("more");
    struct stat st {};
    EXPECT_NE(::stat(path("missing").c_str(), &st), 0);
    const bool committed = page.commit();
    const int reason = errno;
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(replaced);
    EXPECT_FALSE(committed);
    EXPECT_EQ(reason, EFBIG);
    EXPECT_EQ(get(target), "old page");
    EXPECT_EQ(names(), (Lines{"page.html"}));
}

TEST_F(TextFileTest, AtomicFileCommitsOnlyWhenAsked) {
    const std::string target = path("index.html");
    put(target, "old");
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(target));
        EXPECT_TRUE(file.isOpen());
        file.write("half a page");
        // The new file has no name until the commit; a file system without unnamed files
        // shows it beside the target, hidden.
        const Lines during = names();
        ASSERT_LE(during.size(), 2u);
        if (during.size() == 2) {
            EXPECT_EQ(during[0].rfind(".index.html.tmp-", 0), 0u) << during[0];
        }
        EXPECT_EQ(get(target), "old");
    }
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(names(), (Lines{"index.html"}));

    AtomicFile file;
    ASSERT_TRUE(file.open(target));
    file.write("dropped");
    file.discard();
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(names(), (Lines{"index.html"}));

    // The same object can be used again, in pieces.
    ASSERT_TRUE(file.open(target));
    file.write("<html>");
    file.write("");
    file.write("</html>");
    EXPECT_TRUE(file.commit());
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(get(target), "<html></html>");
    EXPECT_EQ(names(), (Lines{"index.html"}));
}

TEST_F(TextFileTest, LongTargetNameStillGetsTemporaryFile) {
    const std::string name(250, 'n');
    ASSERT_TRUE(replaceFileAtomic(path(name), "long"));
    EXPECT_EQ(get(path(name)), "long");
    EXPECT_EQ(names(), (Lines{name}));
}

TEST_F(TextFileTest, AtomicFileKeepsEveryByteOfSmallAndLargeWrites) {
    // Pieces that fill the write buffer several times over, and one larger than it.
    std::string expected;
    AtomicFile file;
    ASSERT_TRUE(file.open(path("list.html")));
    for (int i = 0; i < 20000; ++i) {
        const std::string line = "<tr><td>" + std::to_string(i) + "</td></tr>\r\n";
        file.write(line);
        expected += line;
    }
    const std::string big(700 * 1024, 'b');
    file.write(big);
    expected += big;
    file.write("end");
    expected += "end";
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(get(path("list.html")), expected);
    EXPECT_EQ(names(), (Lines{"list.html"}));
}

TEST_F(TextFileTest, WriterKilledPartWayLeavesTheOldFileAndNothingElse) {
    const std::string target = path("page.html");
    put(target, "old page");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        AtomicFile file;
        if (file.open(target)) {
            file.write(std::string(3 * 1024 * 1024, 'x')); // well past the write buffer
        }
        (void)!::write(ready[1], "w", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(get(target), "old page");
    // Where the file system has unnamed files nothing at all is left; elsewhere the killed
    // run's hidden file is, until the next write of the same file removes it.
    const int probe = ::open(dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (probe >= 0) {
        ::close(probe);
        EXPECT_EQ(names(), (Lines{"page.html"}));
    }
    ASSERT_TRUE(replaceFileAtomic(target, "next page"));
    EXPECT_EQ(get(target), "next page");
    EXPECT_EQ(names(), (Lines{"page.html"}));
}

TEST_F(TextFileTest, NextWriteRemovesStaleTemporariesOfItsFileOnly) {
    const std::string target = path("page.html");
    put(target, "old");
    // What killed runs left behind, and files that only look alike.
    for (const char* name :
         {".page.html.tmp-Ab12Cd", ".page.html.tmp-zzzzzz", ".other.html.tmp-Ab12Cd",
          ".page.html.tmp-Ab12", ".page.html.tmp-Ab12Cd7", "page.html.tmp-Ab12Cd",
          ".page.html.tmp-Ab_2Cd"}) {
        put(path(name), "stale");
    }
    // One that a live writer holds (a lock on another open file counts, even in this process).
    const std::string live = path(".page.html.tmp-Live01");
    put(live, "being written");
    const int liveFd = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(liveFd, 0);
    ASSERT_EQ(::flock(liveFd, LOCK_EX), 0);

    ASSERT_TRUE(replaceFileAtomic(target, "new"));
    ::close(liveFd);
    EXPECT_EQ(get(target), "new");
    EXPECT_EQ(names(), (Lines{".other.html.tmp-Ab12Cd", ".page.html.tmp-Ab12",
                              ".page.html.tmp-Ab12Cd7", ".page.html.tmp-Ab_2Cd",
                              ".page.html.tmp-Live01", "page.html", "page.html.tmp-Ab12Cd"}));
}

} // namespace
} // namespace mivo
