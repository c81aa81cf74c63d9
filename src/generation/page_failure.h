#pragma once

#include <string>

namespace mivo {

/// Remembers why the last page of this run could not be written: "<page path>: <reason>",
/// the reason being the system's text for `errorNumber` (or, without one, what stands at the
/// path). The status text stays "作成に失敗しました"; this is the detail shown beside it.
void notePageFailure(const std::string& pagePath, int errorNumber);
/// The detail of the last page failure, or empty text.
const std::string& lastPageFailure();
/// Forgets it (at the start of every run).
void clearPageFailure();

} // namespace mivo
