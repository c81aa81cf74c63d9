#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/program_files.h"
#include "generation/pages/placeholders.h"
#include "generation/pages/template.h"
#include "generation/plan/album_result.h"
#include "generation/plan/run_services.h"

namespace mivo {

/// What a page adds to its template beyond the placeholder table.
struct PageParts {
    // The line that names the page's array gives way to this (index and menu page).
    std::function<void(PageFile&)> array;
    // The line that names the album block's array gives way to this (a tree's index page and
    // index of children).
    std::function<void(PageFile&)> albumArray;
    // The run was stopped: the page must not replace the old one.
    std::function<bool()> abandoned;
};

/// One of the four pages being written from its template: the page's blocks, the placeholder
/// table's rows for the page in their order, and `parts`. The caller writes the rows of each
/// table block (the list page) between nextTable() and tableWritten().
class TemplatePage {
  public:
    /// `routine` names the writer in the log.
    /// `placed` gets the page once the run's store has put it in place.
    TemplatePage(const RunServices& run, PageKind page, const char* routine, PageInput& input,
                 const PageParts& parts, Manifest& placed);
    ~TemplatePage();
    TemplatePage(const TemplatePage&) = delete;
    TemplatePage& operator=(const TemplatePage&) = delete;

    /// Reads the template and opens the page; false with `failure` (the page or template and
    /// why) when either cannot be.
    bool start(std::string& failure);
    /// Writes the lines up to the end of the next table block and gives its text, its own
    /// placeholders replaced; false at the end of the template.
    bool nextTable(const std::string*& blockText);
    /// The open page, for the table's rows.
    PageFile& file();
    /// The rows of the table are written: what it found (the start picture) shows on the
    /// lines after it.
    void tableWritten();
    /// Puts the page in place; false with `failure` when it was not written (left alone for a
    /// stopped run).
    bool finish(std::string& failure);
    /// What became of the file at the page's path (once started or finished).
    PageChange change() const { return copy_.change; }

  private:
    class Lines;

    const ProgramFiles& files_;
    PageInput& input_;
    TemplateCopy copy_;
    std::unique_ptr<Lines> lines_;
    TemplateCopier copier_{copy_};
};

/// Writes one of the pages that have no table block from its template (TemplatePage). false
/// with `failure` (the page or template and why) when the page was not written; `failure` is
/// left alone for a stopped run. `files` gets the page as written or replaced.
bool writeTemplatePage(const RunServices& run, PageKind page, const char* routine, PageInput& input,
                       const PageParts& parts, std::string& failure, Manifest& written);

/// The sub-albums of a folder tree's album on the page `pagePath` that lists them, one line
/// each: aryAlbumList[k] = [name, link to its index page, link to its cover's thumbnail, the
/// thumbnail's width, height, its own items, all items with its albums', first date taken,
/// last date taken, sub-albums]. Nothing when it has none.
void writeAlbumArray(const Album& album, const std::vector<AlbumResult>& children,
                     const std::string& pagePath, PageFile& page);

/// Puts what became of a page (TemplateCopy::change) on the manifest.
void notePage(PageChange change, const std::string& pagePath, Manifest& files);

} // namespace mivo
