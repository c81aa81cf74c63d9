#include "generation/pages/page_writer.h"

#include <memory>

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
    Lines(PageKind page, PageInput& input, const PageParts& parts)
        : parts_(parts), copied_(page, LinePart::Copied, input),
          slide_(page, LinePart::Slide, input), block_(page, LinePart::TableBlock, input),
          album_(page, LinePart::Album, input) {}

    void copiedLine(const std::string& line, PageFile& page) override {
        const PagePlaceholders::Line out = copied_.substitute(line);
        if (out.arrayLine) {
            if (parts_.array) {
                parts_.array(page);
            }
        } else if (out.scriptLine) {
            page.writeScriptLine(out.text);
        } else {
            page.writeLine(out.text);
        }
    }

    /// The page's own placeholders first, then the album's, whose names and links are never
    /// read again as placeholders.
    void albumLine(const std::string& line, PageFile& page) override {
        const PagePlaceholders::Line copied = copied_.substitute(line);
        const PagePlaceholders::Line out = album_.substitute(copied.text);
        if (out.arrayLine) {
            if (parts_.albumArray) {
                parts_.albumArray(page);
            }
        } else if (out.scriptLine || copied.scriptLine) {
            page.writeScriptLine(out.text);
        } else {
            page.writeLine(out.text);
        }
    }

    void slideLine(const std::string& line, PageFile& page) override {
        page.writeLine(slide_.substitute(line).text);
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
    const PageParts& parts_;
    PagePlaceholders copied_;
    PagePlaceholders slide_;
    PagePlaceholders block_;
    PagePlaceholders album_;
};

TemplatePage::TemplatePage(const RunServices& run, PageKind page, const char* routine,
                           PageInput& input, const PageParts& parts, Manifest& placed)
    : files_(run.files), input_(input), lines_(std::make_unique<Lines>(page, input, parts)) {
    copy_.store = run.pageStore;
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
