#pragma once

#include <functional>
#include <string>

#include "common/program_files.h"
#include "generation/pages/placeholders.h"
#include "generation/pages/template.h"

namespace mivo {

/// What a page adds to its template beyond the placeholder table.
struct PageParts {
    // The line that names the page's array gives way to this (index and menu page).
    std::function<void(PageFile&)> array;
    // The table block just closed; its text has had its own placeholders replaced (list page).
    std::function<void(const std::string& blockText, PageFile&)> table;
    // The run was stopped: the page must not replace the old one.
    std::function<bool()> abandoned;
};

/// Writes one of the four pages from its template: the page's blocks, the placeholder table's
/// rows for the page in their order, and `parts`. `routine` names the writer in the log.
/// false with `failure` (the page or template and why) when the page was not written;
/// `failure` is left alone for a stopped run.
bool writeTemplatePage(const ProgramFiles& files, PageKind page, const char* routine,
                       PageInput& input, const PageParts& parts, std::string& failure);

} // namespace mivo
