#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/codepage.h"
#include "common/program_files.h"
#include "common/text_file.h"
#include "generation/plan/album_result.h"

namespace mivo {

/// Where the copy of a template stands while its lines are read.
enum class LineState {
    BlockEnded = -1,  // the line closed a block: dropped, then back to Copying
    Copying = 0,      // outside any block: lines are substituted and written
    InTableBlock = 4, // list page: lines are collected for the thumbnail table
    InSlideBlock = 5, // lines are written only while the slide show is on
    InAlbumBlock = 6, // lines are written only for an album of a folder tree
};

/// A template comment: the line begins with "//" but not with "//-".
bool isTemplateComment(std::string_view line);

/// False when the line holds "MV_" in no letter case: no placeholder and no block marker, so
/// every page writes it as it stands.
bool mayHoldPlaceholder(std::string_view line);

/// Full path of a template: the file `templateName` in the template folder in use (the
/// program folder's "html" folder unless the user has a copy of it).
std::string templatePath(const ProgramFiles& files, const std::string& templateName);

/// Every folder that holds, or may come to hold, the templates: the program folder's "html",
/// the folder templates are read from and the place of a user's copy. Pages never go there.
std::vector<std::string> templateFolders(const ProgramFiles& files);

/// One page being written. Lines go, in the template's encoding and each followed by CR LF,
/// into a temporary file beside the page; commit() puts it in place of the old page. While
/// the lines match the old page they are only compared with it: the temporary file is made
/// at the first byte that differs (at once when there is no old page). A page
/// name that is a symbolic link is replaced by the page, never written through. A page whose
/// bytes come out as the old page's is left as it was, file and modification time, so that
/// a re-run with nothing changed changes no page (and a sync of the site sends none).
class PageFile {
  public:
    PageFile() = default;
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    /// Starts the temporary file; a UTF-8 page begins with the byte order mark.
    bool open(const std::string& path, TextEncoding encoding);
    /// A page line. In a cp932 page a character cp932 cannot hold becomes "&#233;".
    void writeLine(std::string_view utf8);
    /// A line writeLine() (or writeScriptLine(), with `script`) encoded before, with its CR LF.
    void writeEncoded(std::string_view bytes) { emit(bytes); }
    /// Appends to `out` the bytes writeLine(), or writeScriptLine() with `script`, writes for
    /// `utf8` on this page, CR LF included.
    void encode(std::string_view utf8, bool script, std::string& out) const;
    /// A script array line. In a cp932 page such a character becomes "\u00e9".
    void writeScriptLine(std::string_view utf8);
    /// Replaces the page with what was written, or keeps the old page when its bytes are the
    /// same. false (old page untouched) on any failure.
    bool commit();
    /// As commit(), but a page that differs from the old one is only written in full: its file
    /// goes to `complete`, to be synced and put in place with other pages (PageStore). A page
    /// that keeps the old one leaves `complete` empty.
    bool commitLater(std::unique_ptr<AtomicFile>& complete);
    /// True after a commit that found the old page's bytes and kept it.
    bool keptOldPage() const { return kept_; }
    const std::string& path() const { return path_; }
    /// True while open on a page name that is a symbolic link, which commit() replaces.
    bool replacesLink() const { return file_ && file_->replacesLink(); }
    /// True when something stood at the page's name as it was opened.
    bool existed() const { return existed_; }

  private:
    /// The steps of commit() before the new page is synced: false when it cannot be whole.
    bool completePage();
    void put(std::string_view utf8, Cp932Fallback fallback);
    /// Hands bytes on: compared with the old page while they match it, written from the first
    /// byte that differs.
    void emit(std::string_view bytes);
    /// The new page differs from the old: the part that matched goes into the temporary file.
    void diverge();
    /// Reads on in the old page: 1 bytes came, 0 it ended, -1 it could not be read.
    int readOld();
    void closeOld();

    std::unique_ptr<AtomicFile> file_ = std::make_unique<AtomicFile>();
    int old_ = -1;                     // the old page while the new one matches it so far
    std::uint64_t matched_ = 0;        // bytes that matched the old page and were not written yet
    std::unique_ptr<char[]> oldStore_; // what was read of the old page, reused for each read
    std::size_t oldLength_ = 0;        // the bytes of oldStore_ the last read filled
    std::size_t oldPosition_ = 0;      // the next byte of oldStore_ to compare
    int readError_ = 0;                // errno of a failed read of the matched part
    int writeError_ = 0;               // errno of the temporary file that could not be made
    bool existed_ = false;
    bool kept_ = false;
    std::string path_;
    TextEncoding encoding_ = TextEncoding::Cp932;
    std::string line_; // the line being encoded, kept for its capacity
};

/// What a page writer does with the lines of its template.
class TemplateLineHandler {
  public:
    virtual ~TemplateLineHandler() = default;
    /// A line outside any block: substitute the page's placeholders and write it.
    virtual void copiedLine(const std::string& line, PageFile& page) = 0;
    /// A line inside the slide block while the slide show is on.
    virtual void slideLine(const std::string& line, PageFile& page);
    /// A line inside the album block of a page of a folder tree's album.
    virtual void albumLine(const std::string& line, PageFile& page);
    /// The table block just closed. `blockText` holds every table line collected on this page
    /// so far, each introduced by CR LF; the handler may change it (the change is kept).
    virtual void tableBlock(std::string& blockText, PageFile& page);
    /// True when the page must not replace the old one after all (the run was stopped).
    virtual bool abandoned() const { return false; }
    /// True when a line that holds no placeholder (mayHoldPlaceholder) is written as it
    /// stands wherever it is written, so a template read once may hand it over encoded.
    virtual bool writesPlainLines() const { return false; }
};

/// What a page's copy did to the file at its path.
enum class PageChange : std::uint8_t {
    None,     // left as it was (not written, or a stopped run)
    Written,  // there was no file: the page is new
    Replaced, // the page took the place of the file there
    Removed,  // the old page went (a list page whose template is missing)
};

struct TemplateCopy;
class PageMemo;

/// What the pages of one run share: each template read and split once, and the pages written
/// in full but not yet in place, which are synced together and then renamed over the old
/// pages (one sync for many pages, where each page on its own waited for the disk). A page is
/// renamed only after its bytes are on the disk, so an old page gives way only to a whole new
/// one; a page that cannot be put in place fails the run.
class PageStore {
  public:
    explicit PageStore(const ProgramFiles& files);
    ~PageStore();
    PageStore(const PageStore&) = delete;
    PageStore& operator=(const PageStore&) = delete;

    const ProgramFiles& files() const { return files_; }
    /// A template line as read once: whether it is a comment or holds "MV_", and, for a line
    /// that does not, its bytes as every page writes it.
    struct Line {
        bool comment = false;
        bool plain = false;
        std::string encoded;
        // On the first line of a run of plain lines (comments among them): the line after
        // the run, and the bytes of its lines that are not comments, as one block. No marker
        // stands inside a run, so a page writes all of it or none of it.
        std::size_t runEnd = 0;
        std::string runEncoded;
        std::uint8_t markers = 0; // markerBit() of every block marker the line holds
    };
    /// The lines of the template at `path`, read once; nullptr (errno set) when it cannot be.
    /// `known` gets what is known of each line.
    const std::vector<std::string>* templateLines(const std::string& path, TextEncoding& encoding,
                                                  const std::vector<Line>*& known);
    /// Takes a page written in full. Once enough pages wait, all of them are put in place;
    /// false with `failure` when one of them could not be.
    bool add(std::unique_ptr<AtomicFile> file, const TemplateCopy& copy, bool existed,
             bool replacesLink, std::string& failure);
    /// Syncs every waiting page and renames each over its old page, noting it on its album's
    /// list of files. false with `failure` (the first page that failed and why).
    bool placeAll(std::string& failure);
    /// What the run's pages work out once (lines that come out the same, the list's row
    /// template).
    PageMemo& memo() { return *memo_; }

  private:
    struct Template {
        bool read = false;
        bool ok = false;
        int error = 0; // errno of a template that could not be read
        TextEncoding encoding = TextEncoding::Cp932;
        std::vector<std::string> lines;
        std::vector<Line> known;
    };
    struct Waiting {
        std::unique_ptr<AtomicFile> file;
        std::string routine;
        std::string pagePath;
        bool existed = false;
        bool replacesLink = false;
        Manifest* files = nullptr;
    };

    const ProgramFiles& files_;
    std::map<std::string, Template> templates_;
    std::vector<Waiting> waiting_;
    std::unique_ptr<PageMemo> memo_;
};

/// How one page is made from its template.
struct TemplateCopy {
    std::string routine;      // the writer's name in the log
    std::string templateName; // "list.html", "pict.html", "index.html" or "menu.html"
    std::string pagePath;
    bool tableBlock = false; // list page: knows the table block, and its old page is removed
                             // when the template is missing so the failure shows
    bool slideBlock = false; // knows the slide block
    bool slideShow = false;  // CheckSlideShow is ticked
    std::string error;       // set by copyTemplate when the page was not written: path and reason
    PageChange change = PageChange::None; // set by copyTemplate
    bool albumBlock = false;              // an album of a folder tree: its album block is written
    PageStore* store = nullptr;           // the run's templates and waiting pages; none: on its own
    Manifest* placed = nullptr;           // where the store notes the page once it is in place
};

/// Copies a template into its page one table block at a time: comment lines dropped, block
/// markers acted on, every other line handed to the handler, and each table block handed to
/// the caller as it closes. The page is replaced only when written to the end.
/// Logs "InOpen"/"OutOpen" (level 1) and "InOpenError"/"OutOpenError"/"OutWriteError"
/// (level 4) under the writer's name, and "LinkReplaced" (level 4) when the page name was a
/// symbolic link that the page took the place of.
class TemplateCopier {
  public:
    explicit TemplateCopier(TemplateCopy& copy) : copy_(copy) {}

    /// Reads the template and opens the page. false (with copy.error) when either cannot be.
    bool start(const ProgramFiles& files);
    /// Hands the template's lines to `handler` up to the end of the next table block, and
    /// gives that block's text (every table line so far on this page, each introduced by CR LF;
    /// a change to it is kept); false at the end of the template.
    bool copyToTable(TemplateLineHandler& handler, std::string*& blockText);
    PageFile& page() { return page_; }
    /// After the last line: puts the page in place, unless `handler` says it is abandoned.
    /// true when the page was written and put in place.
    bool finish(const TemplateLineHandler& handler);

  private:
    TemplateCopy& copy_;
    std::vector<std::string> ownLines_;                   // the template, read for this page alone
    const std::vector<std::string>* lines_ = nullptr;     // ownLines_ or the store's
    const std::vector<PageStore::Line>* known_ = nullptr; // the store's knowledge of them
    std::size_t next_ = 0;                                // the line to go on with
    bool tableHandedOut_ = false; // the line at next_ closed the table block just handed out
    LineState state_ = LineState::Copying;
    std::string blockText_; // lives for the whole page: a second table block adds to it
    PageFile page_;
};

/// Copies a template line by line into its page (TemplateCopier), each table block handed to
/// handler.tableBlock. true when the page was written and put in place.
bool copyTemplate(const ProgramFiles& files, TemplateCopy& copy, TemplateLineHandler& handler);

/// cmReplace with text comparison: every occurrence of a placeholder, ignoring letter case.
std::string replacePlaceholder(const std::string& line, const std::string& placeholder,
                               const std::string& value);

} // namespace mivo
