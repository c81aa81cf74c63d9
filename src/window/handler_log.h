#pragma once

#include <string>

#include "common/log.h"

namespace mivo {

/// Entry and exit lines of a routine or handler (level 1).
inline void logStart(const char* routine) {
    cmWriteLog(routine, 1, "▽Start Method▽");
}
inline void logEnd(const char* routine) {
    cmWriteLog(routine, 1, "△End Method△");
}
/// Entry line of a handler of a control array, with the element's index.
inline void logStartIndex(const char* routine, int index) {
    cmWriteLog(routine, 1, "▽Start Method▽\r\nIndex=[" + std::to_string(index) + "]");
}

} // namespace mivo
