#include "generation/pages/row_template.h"

#include <algorithm>
#include <utility>

#include "common/text.h"

namespace mivo {

RowTemplate::RowTemplate(const std::string& text) {
    std::vector<std::pair<std::size_t, std::size_t>> hits; // position, cell
    for (const Placeholder& p : placeholderTable()) {
        if (p.use != PlaceholderUse::TableRow) {
            continue;
        }
        const std::size_t cell = cells_.size();
        cells_.push_back(&p);
        for (std::size_t at = textFind(text, p.name, 0, kCompareText); at != std::string::npos;
             at = textFind(text, p.name, at + p.name.size(), kCompareText)) {
            hits.emplace_back(at, cell);
        }
    }
    std::sort(hits.begin(), hits.end());
    std::size_t pos = 0;
    for (const auto& [at, cell] : hits) {
        if (at < pos) {
            continue; // the names do not overlap; kept safe all the same
        }
        literals_.push_back(text.substr(pos, at - pos));
        fields_.push_back(cell);
        pos = at + cells_[cell]->name.size();
    }
    literals_.push_back(text.substr(pos));
    values_.resize(cells_.size());
}

void RowTemplate::fill(const TableCell& cell, std::string& out) {
    for (std::size_t k = 0; k < cells_.size(); ++k) {
        values_[k] = cells_[k]->cellValue(cell);
    }
    out.clear();
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        out += literals_[k];
        out += values_[fields_[k]];
    }
    out += literals_.back();
}

} // namespace mivo
