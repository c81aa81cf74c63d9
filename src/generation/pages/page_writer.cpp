#include "generation/pages/page_writer.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "generation/pages/page_memo.h"

namespace mivo {

namespace {

const char* templateOf(PageKind page) {
    switch (page) {
    case PageKind::List:
        return "list.html";
    case PageKind::Pict:
        return "pict.html";
    case PageKind::Index:
        return "index.html";
    case PageKind::Menu:
        return "menu.html";
    }
    return "";
}

} // namespace

class TemplatePage::Lines : public TemplateLineHandler {
  public:
    Lines(PageKind page, PageInput& input, const PageParts& parts, PageMemo* memo)
        : parts_(parts), memo_(memo), copied_(page, LinePart::Copied, input),
          slide_(page, LinePart::Slide, input), block_(page, LinePart::TableBlock, input),
          album_(page, LinePart::Album, input) {}

    void copiedLine(const std::string& line, PageFile& page) override {
        PageMemo::Line* memo = remembered(line, LinePart::Copied);
        if (memo != nullptr && stillHolds(*memo)) {
            writeAgain(*memo, parts_.array, page);
            return;
        }
        const PagePlaceholders::Line out = copied_.substitute(line, usedBy(memo));
        remember(memo, LinePart::Copied);
        write(out.text, out.arrayLine, out.scriptLine, parts_.array, page, memo);
    }

    /// The page's own placeholders first, then the album's, whose names and links are never
    /// read again as placeholders.
    void albumLine(const std::string& line, PageFile& page) override {
        PageMemo::Line* memo = remembered(line, LinePart::Album);
        if (memo != nullptr && stillHolds(*memo)) {
            writeAgain(*memo, parts_.albumArray, page);
            return;
        }
        const PagePlaceholders::Line copied = copied_.substitute(line, usedBy(memo));
        remember(memo, LinePart::Copied);
        const PagePlaceholders::Line out = album_.substitute(copied.text, usedBy(memo));
        if (memo != nullptr) {
            // The copied part's rows stay; the album's come after them.
            appendUsed(*memo, LinePart::Album);
        }
        write(out.text, out.arrayLine, out.scriptLine || copied.scriptLine, parts_.albumArray, page,
              memo);
    }

    void slideLine(const std::string& line, PageFile& page) override {
        PageMemo::Line* memo = remembered(line, LinePart::Slide);
        if (memo != nullptr && stillHolds(*memo)) {
            writeAgain(*memo, nullptr, page);
            return;
        }
        const PagePlaceholders::Line out = slide_.substitute(line, usedBy(memo));
        remember(memo, LinePart::Slide);
        write(out.text, false, false, nullptr, page, memo);
    }

    /// The table block's own placeholders; the change stays in the block, so a second table
    /// block adds to the first.
    void substituteBlock(std::string& blockText) const {
        blockText = block_.substitute(blockText).text;
    }

    void tableWritten(const PageInput& input) { copied_.tableWritten(input); }

    bool abandoned() const override { return parts_.abandoned && parts_.abandoned(); }

    /// Each of the page's own tables leaves a line without "MV_" as it is.
    bool writesPlainLines() const override { return true; }

  private:
    using Array = std::function<void(PageFile&)>;

    /// The run's memo of a template line as `part` handles it; nullptr without one.
    PageMemo::Line* remembered(const std::string& line, LinePart part) {
        return memo_ != nullptr ? &memo_->line(&line, static_cast<std::uint8_t>(part)) : nullptr;
    }

    std::vector<std::size_t>* usedBy(const PageMemo::Line* memo) {
        return memo != nullptr ? &used_ : nullptr;
    }

    const PagePlaceholders& placeholders(std::uint8_t part) const {
        switch (static_cast<LinePart>(part)) {
        case LinePart::Slide:
            return slide_;
        case LinePart::Album:
            return album_;
        case LinePart::TableBlock:
            return block_;
        case LinePart::Copied:
            break;
        }
        return copied_;
    }

    /// Every placeholder replaced on the line the last time has the same value on this page.
    bool stillHolds(const PageMemo::Line& memo) const {
        if (!memo.filled) {
            return false;
        }
        return std::all_of(memo.used.begin(), memo.used.end(), [&](const PageMemo::Line::Used& u) {
            return placeholders(u.part).value(u.row) == u.value;
        });
    }

    /// The rows just replaced by `part` (in used_) become the memo's, in place of the last.
    void remember(PageMemo::Line* memo, LinePart part) {
        if (memo != nullptr) {
            memo->filled = false;
            memo->used.clear();
            appendUsed(*memo, part);
        }
    }

    void appendUsed(PageMemo::Line& memo, LinePart part) {
        const PagePlaceholders& from = placeholders(static_cast<std::uint8_t>(part));
        for (const std::size_t row : used_) {
            memo.used.push_back({static_cast<std::uint8_t>(part), row, from.value(row)});
        }
    }

    static void write(const std::string& text, bool arrayLine, bool script, const Array& array,
                      PageFile& page, PageMemo::Line* memo) {
        if (memo != nullptr) {
            memo->filled = true;
            memo->arrayLine = arrayLine;
            memo->encoded.clear();
        }
        if (arrayLine) {
            if (array) {
                array(page);
            }
        } else if (memo != nullptr) {
            page.encode(text, script, memo->encoded);
            page.writeEncoded(memo->encoded);
        } else if (script) {
            page.writeScriptLine(text);
        } else {
            page.writeLine(text);
        }
    }

    static void writeAgain(const PageMemo::Line& memo, const Array& array, PageFile& page) {
        if (!memo.arrayLine) {
            page.writeEncoded(memo.encoded);
        } else if (array) {
            array(page);
        }
    }

    const PageParts& parts_;
    PageMemo* memo_;
    std::vector<std::size_t> used_; // the rows the line being written replaced
    PagePlaceholders copied_;
    PagePlaceholders slide_;
    PagePlaceholders block_;
    PagePlaceholders album_;
};

TemplatePage::TemplatePage(const RunServices& run, PageKind page, const char* routine,
                           PageInput& input, const PageParts& parts, Manifest& placed)
    : files_(run.files), input_(input),
      lines_(std::make_unique<Lines>(page, input, parts,
                                     run.pageStore != nullptr ? &run.pageStore->memo() : nullptr)) {
    copy_.store = run.pageStore;
    if (run.pageStore != nullptr) {
        input.memo = &run.pageStore->memo();
    }
    copy_.placed = &placed;
    copy_.routine = routine;
    copy_.templateName = templateOf(page);
    copy_.pagePath = input.pagePath;
    copy_.tableBlock = page == PageKind::List;
    copy_.slideBlock = page != PageKind::Menu;
    copy_.slideShow = input.pages.slideShow;
    copy_.albumBlock = input.job != nullptr && input.job->inTree;
}

TemplatePage::~TemplatePage() = default;

bool TemplatePage::start(std::string& failure) {
    if (copier_.start(files_)) {
        return true;
    }
    if (!copy_.error.empty()) {
        failure = copy_.error;
    }
    return false;
}

bool TemplatePage::nextTable(const std::string*& blockText) {
    std::string* block = nullptr;
    if (!copier_.copyToTable(*lines_, block)) {
        return false;
    }
    lines_->substituteBlock(*block);
    blockText = block;
    return true;
}

PageFile& TemplatePage::file() {
    return copier_.page();
}

void TemplatePage::tableWritten() {
    lines_->tableWritten(input_);
}

bool TemplatePage::finish(std::string& failure) {
    if (copier_.finish(*lines_)) {
        return true;
    }
    if (!copy_.error.empty()) {
        failure = copy_.error;
    }
    return false;
}

void notePage(PageChange change, const std::string& pagePath, Manifest& files) {
    switch (change) {
    case PageChange::Written:
        files.written.push_back(manifestPath(pagePath));
        break;
    case PageChange::Replaced:
        files.replaced.push_back(manifestPath(pagePath));
        break;
    case PageChange::Removed:
        files.removed.push_back(manifestPath(pagePath));
        break;
    case PageChange::None:
        break;
    }
}

bool writeTemplatePage(const RunServices& run, PageKind page, const char* routine, PageInput& input,
                       const PageParts& parts, std::string& failure, Manifest& written) {
    TemplatePage writer(run, page, routine, input, parts, written);
    bool ok = writer.start(failure);
    if (ok) {
        const std::string* blockText = nullptr;
        while (writer.nextTable(blockText)) {
            writer.tableWritten();
        }
        ok = writer.finish(failure);
    }
    notePage(writer.change(), input.pagePath, written);
    return ok;
}

} // namespace mivo
