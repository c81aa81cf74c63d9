#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "generation/pages/placeholders.h"

namespace mivo {

/// The table block split once at its row placeholders: each row is put together from the
/// pieces instead of searching the block for each placeholder of each picture. The values are
/// never searched, so a file name that happens to hold a placeholder's name stays as it is.
class RowTemplate {
  public:
    explicit RowTemplate(const std::string& text);

    /// The row of one picture. Each value is worked out once and kept until the next row, so
    /// their buffers are reused from picture to picture.
    void fill(const TableCell& cell, std::string& out);

  private:
    std::vector<const Placeholder*> cells_; // the row placeholders of the table
    std::vector<std::string> values_;       // beside cells_: the values of the current row
    std::vector<std::string> literals_;     // one more than fields_
    std::vector<std::size_t> fields_;       // where the text has a placeholder: its cell
};

} // namespace mivo
