#include "generation/pages/page_writer.h"

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

class TableLines : public TemplateLineHandler {
  public:
    TableLines(PageKind page, PageInput& input, const PageParts& parts)
        : input_(input), parts_(parts), copied_(page, LinePart::Copied, input),
          slide_(page, LinePart::Slide, input), block_(page, LinePart::TableBlock, input) {}

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

    void slideLine(const std::string& line, PageFile& page) override {
        page.writeLine(slide_.substitute(line).text);
    }

    void tableBlock(std::string& blockText, PageFile& page) override {
        // The change stays in the block: a second table block adds to the first.
        blockText = block_.substitute(blockText).text;
        if (parts_.table) {
            parts_.table(blockText, page);
        }
        // What the table found (the start picture) shows on the lines after it.
        copied_.tableWritten(input_);
    }

    bool abandoned() const override { return parts_.abandoned && parts_.abandoned(); }

  private:
    PageInput& input_;
    const PageParts& parts_;
    PagePlaceholders copied_;
    PagePlaceholders slide_;
    PagePlaceholders block_;
};

} // namespace

bool writeTemplatePage(const ProgramFiles& files, PageKind page, const char* routine,
                       PageInput& input, const PageParts& parts, std::string& failure) {
    TableLines lines(page, input, parts);
    TemplateCopy copy;
    copy.routine = routine;
    copy.templateName = templateOf(page);
    copy.pagePath = input.pagePath;
    copy.tableBlock = page == PageKind::List;
    copy.slideBlock = page != PageKind::Menu;
    copy.slideShow = input.pages.slideShow;
    const bool ok = copyTemplate(files, copy, lines);
    if (!ok && !copy.error.empty()) {
        failure = copy.error;
    }
    return ok;
}

} // namespace mivo
