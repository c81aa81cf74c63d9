#include "generation/pages/page_memo.h"

#include <algorithm>

#include "generation/pages/row_template.h"

namespace mivo {

PageMemo::PageMemo() = default;

PageMemo::~PageMemo() = default;

PageMemo::Line& PageMemo::line(const std::string* templateLine, std::uint8_t part) {
    return lines_[{templateLine, part}];
}

const std::string& PageMemo::albumLinks(int which, const std::vector<AlbumStep>& trail,
                                        std::string_view pageFolder,
                                        const std::function<std::string()>& make) {
    AlbumLinks& links = albumLinks_[which == 0 ? 0 : 1];
    const auto same = [&] {
        return links.known && links.pageFolder == pageFolder &&
               std::equal(trail.begin(), trail.end(), links.trail.begin(), links.trail.end(),
                          [](const AlbumStep& a, const AlbumStep& b) {
                              return a.name == b.name && a.indexPage == b.indexPage;
                          });
    };
    if (!same()) {
        links.text = make();
        links.trail = trail;
        links.pageFolder = pageFolder;
        links.known = true;
    }
    return links.text;
}

RowTemplate& PageMemo::rowTemplate(const std::string& blockText) {
    if (!rowTemplate_ || rowBlock_ != blockText) {
        rowTemplate_ = std::make_unique<RowTemplate>(blockText);
        rowBlock_ = blockText;
    }
    return *rowTemplate_;
}

} // namespace mivo
