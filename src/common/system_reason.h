#pragma once

#include <string>

namespace mivo {

/// Why a call into the system failed, in the user's words: Japanese for the reasons users meet
/// when a page or a copy cannot be written (a full disk, a read-only disk, no access...), the
/// system's own text for the rest. `code` is an error number (errno).
std::string systemReasonText(int code);

} // namespace mivo
