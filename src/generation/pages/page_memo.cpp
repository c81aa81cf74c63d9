#include "generation/pages/page_memo.h"

#include "generation/pages/row_template.h"

namespace mivo {

PageMemo::PageMemo() = default;

PageMemo::~PageMemo() = default;

PageMemo::Line& PageMemo::line(const std::string* templateLine, std::uint8_t part) {
    return lines_[{templateLine, part}];
}

RowTemplate& PageMemo::rowTemplate(const std::string& blockText) {
    if (!rowTemplate_ || rowBlock_ != blockText) {
        rowTemplate_ = std::make_unique<RowTemplate>(blockText);
        rowBlock_ = blockText;
    }
    return *rowTemplate_;
}

} // namespace mivo
