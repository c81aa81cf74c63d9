#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "common/log.h"
#include "generation/pages/template.h"
#include "support/page_fixture.h"

namespace mivo {
namespace {

namespace fs = std::filesystem;

// Writes copied lines as "C:line", slide lines as "S:line", and each table block as "T".
class RecordingLines : public TemplateLineHandler {
  public:
    void copiedLine(const std::string& line, PageFile& page) override {
        page.writeLine("C:" + line);
    }
    void slideLine(const std::string& line, PageFile& page) override {
        page.writeLine("S:" + line);
    }
    void tableBlock(std::string& blockText, PageFile& page) override {
        blocks.push_back(blockText);
        page.writeLine("T");
    }
    std::vector<std::string> blocks;
};

class TemplateProcedure : public test::PageFixture {
  protected:
    void SetUp() override { fs::create_directories(dir_ / "out"); }

    // Copies page.html into out/page.html and gives back the page's bytes.
    std::string copy(const std::string& bytes, bool table, bool slide, bool slideShow) {
        writeTemplate("page.html", bytes);
        TemplateCopy c;
        c.routine = "test";
        c.templateName = "page.html";
        c.pagePath = pagePath();
        c.tableBlock = table;
        c.slideBlock = slide;
        c.slideShow = slideShow;
        ok_ = copyTemplate(files_, c, lines_);
        return readFile(pagePath());
    }
    std::string pagePath() const { return (dir_ / "out" / "page.html").string(); }
    std::vector<std::string> outputFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_ / "out")) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    RecordingLines lines_;
    bool ok_ = false;
};

TEST_F(TemplateProcedure, CommentLinesAreDroppedButDashAndIndentedSlashesStay) {
    EXPECT_EQ(copy("// a comment\r\n//-->\r\n //x\r\n//\r\n/x\r\nA\r\n", true, true, true),
              "C://-->\r\nC: //x\r\nC:/x\r\nC:A\r\n");
    EXPECT_TRUE(ok_);
}

TEST_F(TemplateProcedure, MarkerLinesAreDroppedWholeAndOnlyExactCapitalsAreMarkers) {
    const std::string text = "a MV_SLIDE_START b\r\nin\r\nx MV_SLIDE_END y\r\n"
                             "mv_slide_start\r\nout\r\n";
    EXPECT_EQ(copy(text, true, true, true), "S:in\r\nC:mv_slide_start\r\nC:out\r\n");
    EXPECT_EQ(copy(text, true, true, false), "C:mv_slide_start\r\nC:out\r\n");
}

TEST_F(TemplateProcedure, CommentInsideBlockIsDroppedAndItsMarkerDoesNothing) {
    EXPECT_EQ(
        copy("MV_SLIDE_START\r\n// MV_SLIDE_END\r\nin\r\nMV_SLIDE_END\r\nout", true, true, true),
        "S:in\r\nC:out\r\n");
}

TEST_F(TemplateProcedure, UnclosedTableBlockSwallowsTheRestAndWritesNoTable) {
    EXPECT_EQ(copy("A\r\nMV_TABLE_START\r\nB\r\nMV_SLIDE_END\r\nC\r\n", true, true, true),
              "C:A\r\n");
    EXPECT_TRUE(lines_.blocks.empty());
    EXPECT_TRUE(ok_);
}

TEST_F(TemplateProcedure, UnclosedSlideBlockTurnsTheRestIntoSlideLines) {
    EXPECT_EQ(copy("A\r\nMV_SLIDE_START\r\nB\r\nC", true, true, true), "C:A\r\nS:B\r\nS:C\r\n");
    EXPECT_EQ(copy("A\r\nMV_SLIDE_START\r\nB\r\nC", true, true, false), "C:A\r\n");
}

TEST_F(TemplateProcedure, TableBlockTextStartsEachLineWithCrLfAndSecondBlockAddsToFirst) {
    EXPECT_EQ(copy("MV_TABLE_START\r\nA\r\nB\r\nMV_TABLE_END x\r\nmid\r\n"
                   "MV_TABLE_START\r\nC\r\nMV_TABLE_END\r\n",
                   true, true, true),
              "T\r\nC:mid\r\nT\r\n");
    ASSERT_EQ(lines_.blocks.size(), 2u);
    EXPECT_EQ(lines_.blocks[0], "\r\nA\r\nB");
    EXPECT_EQ(lines_.blocks[1], "\r\nA\r\nB\r\nC");
}

TEST_F(TemplateProcedure, MarkerStateTransitionsFollowTheLineNotTheBlock) {
    // A line holding both start markers ends in the slide block.
    EXPECT_EQ(copy("MV_TABLE_START MV_SLIDE_START\r\nS\r\nMV_SLIDE_END\r\nA\r\n", true, true, true),
              "S:S\r\nC:A\r\n");
    EXPECT_TRUE(lines_.blocks.empty());
    // A table start inside the slide block is a slide line that moves to the table block.
    EXPECT_EQ(
        copy("MV_SLIDE_START\r\nMV_TABLE_START\r\nR\r\nMV_TABLE_END\r\nA\r\n", true, true, true),
        "S:MV_TABLE_START\r\nT\r\nC:A\r\n");
    // Pages without a table block copy its markers like any text; the menu page knows no block.
    EXPECT_EQ(copy("MV_TABLE_START\r\nMV_TABLE_END\r\n", false, true, true),
              "C:MV_TABLE_START\r\nC:MV_TABLE_END\r\n");
    EXPECT_EQ(copy("MV_SLIDE_START\r\nX\r\nMV_SLIDE_END\r\n", false, false, true),
              "C:MV_SLIDE_START\r\nC:X\r\nC:MV_SLIDE_END\r\n");
}

TEST_F(TemplateProcedure, EmptyTemplateGivesEmptyPageAndLastLineGetsItsLineEnd) {
    EXPECT_EQ(copy("", true, true, true), "");
    EXPECT_TRUE(fs::exists(pagePath()));
    EXPECT_EQ(copy("A\rB\nC", false, false, false), "C:A\r\nC:B\r\nC:C\r\n");
}

TEST_F(TemplateProcedure, Cp932PageWritesCharacterReferencesInLinesAndEscapesInScriptLines) {
    class Lines : public TemplateLineHandler {
      public:
        void copiedLine(const std::string& line, PageFile& page) override {
            page.writeLine(line + " caf\xC3\xA9 \xF0\x9F\x98\x80");
            page.writeScriptLine("s caf\xC3\xA9 \xF0\x9F\x98\x80");
        }
    } handler;
    // "日本" in cp932.
    writeTemplate("page.html", "\x93\xFA\x96\x7B\r\n");
    TemplateCopy c{"test", "page.html", pagePath(), false, false, false, {}};
    ASSERT_TRUE(copyTemplate(files_, c, handler));
    EXPECT_EQ(readFile(pagePath()), "\x93\xFA\x96\x7B caf&#233; &#128512;\r\n"
                                    "s caf\\u00e9 \\ud83d\\ude00\r\n");
}

TEST_F(TemplateProcedure, Utf8BomTemplateGivesUtf8PageWithBom) {
    class Lines : public TemplateLineHandler {
      public:
        void copiedLine(const std::string& line, PageFile& page) override {
            page.writeLine(line + " caf\xC3\xA9");
            page.writeScriptLine("\xF0\x9F\x98\x80");
        }
    } handler;
    writeTemplate("page.html", "\xEF\xBB\xBF\xE6\x97\xA5\r\n");
    TemplateCopy c{"test", "page.html", pagePath(), false, false, false, {}};
    ASSERT_TRUE(copyTemplate(files_, c, handler));
    EXPECT_EQ(readFile(pagePath()), "\xEF\xBB\xBF\xE6\x97\xA5 caf\xC3\xA9\r\n\xF0\x9F\x98\x80\r\n");
}

TEST_F(TemplateProcedure, NewPageReplacesOldPageWholeEvenWhenOldPageIsReadOnly) {
    writeFile(pagePath(), std::string(5000, 'o'));
    fs::permissions(pagePath(), fs::perms::owner_read);
    EXPECT_EQ(copy("A\r\n", false, false, false), "C:A\r\n");
    EXPECT_TRUE(ok_);
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"page.html"});
}

TEST_F(TemplateProcedure, MissingTemplateKeepsOldPageExceptTheListPage) {
    const fs::path log = dir_ / "Mivo.log";
    setLogPath(log.string());
    setLogLevel(4);
    writeFile(pagePath(), "old");
    TemplateCopy c{"mainMakePictHtml", "none.html", pagePath(), false, true, true, {}};
    EXPECT_FALSE(copyTemplate(files_, c, lines_));
    EXPECT_EQ(readFile(pagePath()), "old");

    c.routine = "mainMakeListHtml";
    c.tableBlock = true;
    EXPECT_FALSE(copyTemplate(files_, c, lines_));
    EXPECT_FALSE(fs::exists(pagePath()));
    const std::string text = readFile(log);
    const std::string expected =
        "InOpenError [" + (dir_ / "prog" / "html" / "none.html").string() + "]";
    EXPECT_NE(text.find("[mainMakePictHtml] " + expected + "\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[mainMakeListHtml] " + expected + "\r\n"), std::string::npos) << text;
}

TEST_F(TemplateProcedure, PageThatCannotBeOpenedIsLoggedAndNothingIsWritten) {
    const fs::path log = dir_ / "Mivo.log";
    setLogPath(log.string());
    setLogLevel(4);
    writeTemplate("page.html", "A\r\n");
    const std::string missing = (dir_ / "gone" / "page.html").string();
    TemplateCopy c{"test", "page.html", missing, true, true, true, {}};
    EXPECT_FALSE(copyTemplate(files_, c, lines_));
    EXPECT_NE(readFile(log).find("[test] OutOpenError [" + missing + "]\r\n"), std::string::npos);
}

TEST_F(TemplateProcedure, FailedWriteLeavesOldPageAsItWasAndNoTemporaryFile) {
    const fs::path log = dir_ / "Mivo.log";
    setLogPath(log.string());
    setLogLevel(4);
    writeFile(pagePath(), "old page");
    writeTemplate("page.html", std::string(200, 'x') + "\r\n");
    TemplateCopy c{"test", "page.html", pagePath(), true, true, true, {}};

    // Files may not grow beyond 64 bytes while the page is written (root included).
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 64;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = copyTemplate(files_, c, lines_);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(pagePath()), "old page");
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"page.html"});
}

TEST_F(TemplateProcedure, PageThatCannotBePutInPlaceIsLoggedAsWriteError) {
    const fs::path log = dir_ / "Mivo.log";
    setLogPath(log.string());
    setLogLevel(4);
    // While the page is written, a folder with content takes its place: the rename must fail.
    class Lines : public TemplateLineHandler {
      public:
        explicit Lines(fs::path page) : page_(std::move(page)) {}
        void copiedLine(const std::string& line, PageFile& page) override {
            fs::create_directories(page_ / "sub");
            page.writeLine(line);
        }
        fs::path page_;
    } handler(pagePath());
    writeTemplate("page.html", "A\r\n");
    TemplateCopy c{"test", "page.html", pagePath(), true, true, true, {}};
    EXPECT_FALSE(copyTemplate(files_, c, handler));
    EXPECT_TRUE(fs::is_directory(fs::path(pagePath()) / "sub"));
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"page.html"});
    EXPECT_NE(readFile(log).find("[test] OutWriteError [" + pagePath() + "]\r\n"),
              std::string::npos);
}

TEST_F(TemplateProcedure, APageThatComesOutTheSameKeepsItsFileAndOneThatDiffersIsReplaced) {
    struct Identity {
        ino_t inode;
        fs::file_time_type time;
    };
    const auto identity = [&] {
        struct stat st {};
        ::stat(pagePath().c_str(), &st);
        return Identity{st.st_ino, fs::last_write_time(pagePath())};
    };
    const fs::file_time_type longAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
    // A page larger than one read of the old page, with a difference in its last part.
    const std::string big(200000, 'x');
    const std::string bigOther = big.substr(0, 150000) + "y" + big.substr(150001);
    struct Case {
        const char* what;
        std::string before;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"same", "A\r\nB\r\n", "A\r\nB\r\n"},
        {"same, large", big, big},
        {"same, UTF-8",
         "\xEF\xBB\xBF"
         "A\r\n\xE5\x86\x99\r\n",
         "\xEF\xBB\xBF"
         "A\r\n\xE5\x86\x99\r\n"},
        {"same, empty", "", ""},
        {"shorter", "A\r\nB\r\n", "A\r\n"},
        {"longer", "A\r\n", "A\r\nB\r\n"},
        {"last byte", "A\r\nB\r\n", "A\r\nC\r\n"},
        {"first byte", "A\r\nB\r\n", "Z\r\nB\r\n"},
        {"large, one byte deep inside", big, bigOther},
        {"emptied", "A\r\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        copy(c.before, false, false, false);
        fs::last_write_time(pagePath(), longAgo);
        // Its temporary file is made only where the page differs, and still takes the old
        // page's permission bits.
        fs::permissions(pagePath(),
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        const Identity before = identity();
        const std::string expected = readFile(pagePath());
        std::string page = copy(c.after, false, false, false);
        EXPECT_TRUE(ok_);
        const Identity after = identity();
        const bool same = c.before == c.after;
        EXPECT_EQ(after.inode == before.inode, same);
        EXPECT_EQ(after.time == longAgo, same);
        EXPECT_EQ(fs::status(pagePath()).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        if (same) {
            EXPECT_EQ(page, expected);
        } else {
            // Exactly the new page, as if there had been none before.
            fs::remove(pagePath());
            EXPECT_EQ(page, copy(c.after, false, false, false));
        }
        EXPECT_EQ(outputFiles(), std::vector<std::string>{"page.html"});
    }

    // A page name that is a link is replaced even by the bytes it points at: the file behind
    // the link is never the page.
    const fs::path target = dir_ / "elsewhere.html";
    writeFile(target, copy("A\r\n", false, false, false));
    fs::remove(pagePath());
    fs::create_symlink(target, pagePath());
    EXPECT_EQ(copy("A\r\n", false, false, false), "C:A\r\n");
    EXPECT_FALSE(fs::is_symlink(pagePath()));
    EXPECT_EQ(readFile(target), "C:A\r\n");
}

TEST_F(TemplateProcedure, OpenAndCloseAreLoggedAtTraceLevel) {
    const fs::path log = dir_ / "Mivo.log";
    setLogPath(log.string());
    setLogLevel(1);
    copy("A\r\n", false, false, false);
    const std::string text = readFile(log);
    const auto in =
        text.find("[test] InOpen [" + (dir_ / "prog" / "html" / "page.html").string() + "]\r\n");
    const auto out = text.find("[test] OutOpen [" + pagePath() + "]\r\n");
    ASSERT_NE(in, std::string::npos) << text;
    ASSERT_NE(out, std::string::npos) << text;
    EXPECT_LT(in, out);
}

// Writes a line with "MV_" as "C:line" and every other line as it stands, as the page writers do.
class PlainLines : public TemplateLineHandler {
  public:
    void copiedLine(const std::string& line, PageFile& page) override {
        page.writeLine(mayHoldPlaceholder(line) ? "C:" + line : line);
    }
    bool writesPlainLines() const override { return true; }
};

TEST_F(TemplateProcedure, PagesOfOneStoreShareTheTemplateAndGoInPlaceTogether) {
    // Plain lines in every state, a placeholder line, markers in other letter cases, and a
    // cp932 character: the same bytes whether the template was read for the page or once for
    // the run.
    const std::string templateBytes =
        "// comment\r\nplain \x82\xA0\r\nMV_TITLE here\r\nmv_title low\r\n"
        "MV_SLIDE_START\r\nin slide\r\nMV_SLIDE_END\r\nMV_TABLE_START\r\nrow\r\n"
        "MV_TABLE_END\r\nMV_ALBUM_START\r\nin album\r\nMV_ALBUM_END\r\nlast\r\n";
    writeTemplate("page.html", templateBytes);
    PlainLines plain;
    const auto copyWith = [&](PageStore* store, const std::string& path, Manifest* placed) {
        TemplateCopy c;
        c.routine = "test";
        c.templateName = "page.html";
        c.pagePath = path;
        c.tableBlock = true;
        c.slideBlock = true;
        c.slideShow = true;
        c.albumBlock = true;
        c.store = store;
        c.placed = placed;
        return copyTemplate(files_, c, plain);
    };
    ASSERT_TRUE(copyWith(nullptr, pagePath(), nullptr));
    const std::string alone = readFile(pagePath());
    EXPECT_EQ(alone, "plain \x82\xA0\r\nC:MV_TITLE here\r\nC:mv_title low\r\nin slide\r\n"
                     "in album\r\nlast\r\n");

    const std::string second = (dir_ / "out" / "second.html").string();
    const std::string third = (dir_ / "out" / "sub" / "third.html").string();
    fs::create_directories(dir_ / "out" / "sub");
    writeFile(second, "old second");
    writeFile(third, "old third");
    Manifest placed;
    {
        PageStore store(files_);
        ASSERT_TRUE(copyWith(&store, second, &placed));
        // Read once: a change to the template during the run does not reach later pages.
        writeTemplate("page.html", "changed\r\n");
        ASSERT_TRUE(copyWith(&store, (dir_ / "out" / "new.html").string(), &placed));
        // Not in place before the store puts them there.
        EXPECT_EQ(readFile(second), "old second");
        EXPECT_FALSE(fs::exists(dir_ / "out" / "new.html"));
        std::string failure;
        ASSERT_TRUE(store.placeAll(failure)) << failure;
        EXPECT_EQ(readFile(second), alone);
        EXPECT_EQ(readFile(dir_ / "out" / "new.html"), alone);
        EXPECT_EQ(placed.replaced, std::vector<std::string>{manifestPath(second)});
        EXPECT_EQ(placed.written,
                  std::vector<std::string>{manifestPath((dir_ / "out" / "new.html").string())});

        // A page that cannot be put in place fails, named; an old page stays whole.
        ASSERT_TRUE(copyWith(&store, third, &placed));
        fs::remove_all(dir_ / "out" / "sub");
        EXPECT_FALSE(store.placeAll(failure));
        EXPECT_NE(failure.find("third.html"), std::string::npos) << failure;
        EXPECT_EQ(placed.written.size() + placed.replaced.size(), 2U);

        // A store dropped with pages waiting leaves the old pages and no temporary file.
        writeTemplate("page.html", "other\r\n");
        PageStore dropped(files_);
        ASSERT_TRUE(copyWith(&dropped, second, nullptr));
    }
    EXPECT_EQ(readFile(second), alone);
    const std::vector<std::string> names = outputFiles();
    EXPECT_EQ(names.size(), 3U); // page.html, second.html, new.html
}

TEST_F(TemplateProcedure, RunsOfPlainLinesFromTheStoreKeepOrReplaceThePageAsLineByLine) {
    // Runs of plain lines with comments among them, in every state, blocks off and on.
    const std::string templateBytes =
        "one\r\n// gone\r\ntwo\r\nthree\r\nMV_TITLE\r\nMV_SLIDE_START\r\ns1\r\n// gone\r\n"
        "s2\r\nMV_SLIDE_END\r\nfour\r\nMV_ALBUM_START\r\na1\r\na2\r\nMV_ALBUM_END\r\n"
        "MV_TABLE_START\r\nr1\r\n// gone\r\nr2\r\nMV_TABLE_END\r\nfive\r\nsix\r\n";
    writeTemplate("page.html", templateBytes);
    PlainLines plain;
    const auto copyWith = [&](PageStore* store, bool blocksOn, PageChange& change) {
        TemplateCopy c;
        c.routine = "test";
        c.templateName = "page.html";
        c.pagePath = pagePath();
        c.tableBlock = true;
        c.slideBlock = true;
        c.slideShow = blocksOn;
        c.albumBlock = blocksOn;
        c.store = store;
        Manifest placed;
        c.placed = &placed;
        bool ok = copyTemplate(files_, c, plain);
        std::string failure;
        ok = ok && (store == nullptr || store->placeAll(failure));
        change = c.change;
        return ok;
    };
    const fs::file_time_type longAgo = fs::file_time_type::clock::now() - std::chrono::hours(24);
    for (const bool blocksOn : {false, true}) {
        SCOPED_TRACE(blocksOn ? "blocks on" : "blocks off");
        PageChange change = PageChange::None;
        fs::remove(pagePath());
        ASSERT_TRUE(copyWith(nullptr, blocksOn, change));
        const std::string alone = readFile(pagePath());
        EXPECT_EQ(alone, blocksOn ? "one\r\ntwo\r\nthree\r\nC:MV_TITLE\r\ns1\r\ns2\r\nfour\r\n"
                                    "a1\r\na2\r\nfive\r\nsix\r\n"
                                  : "one\r\ntwo\r\nthree\r\nC:MV_TITLE\r\nfour\r\nfive\r\nsix\r\n");
        // A page with the same bytes is kept, file and time; a user's edit inside a run, a
        // page cut short or one that runs on are replaced by the whole page.
        const std::vector<std::string> olds = {alone, "one\r\ntwo\r\nthreE" + alone.substr(15),
                                               alone.substr(0, 10), alone + "more\r\n"};
        for (const std::string& old : olds) {
            writeFile(pagePath(), old);
            fs::last_write_time(pagePath(), longAgo);
            PageStore store(files_);
            ASSERT_TRUE(copyWith(&store, blocksOn, change));
            EXPECT_EQ(readFile(pagePath()), alone);
            EXPECT_EQ(fs::last_write_time(pagePath()) == longAgo, old == alone);
            if (old == alone) {
                EXPECT_EQ(change, PageChange::Replaced);
            }
        }
        EXPECT_EQ(outputFiles(), std::vector<std::string>{"page.html"});
    }
}

} // namespace
} // namespace mivo
