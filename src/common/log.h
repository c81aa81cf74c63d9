#pragma once

#include <string>

namespace mivo {

/// The log threshold: 0 writes nothing, n writes lines of level n and above.
void setLogLevel(short level);
short getLogLevel();
/// Full path of Mivo.log. Lines are dropped while it is empty.
void setLogPath(const std::string& path);

/// True when a line of `level` would be written. A routine called once per picture asks first,
/// so a run with the log off does not build messages nobody reads.
bool logWants(int level);

/// Appends "yyyy/mm/dd hh:mm:ss [routine] message" CR LF to the log when the level reaches the
/// threshold. Opens and closes the file per line; silent on every failure.
void cmWriteLog(const std::string& routine, int level, const std::string& message);

/// "True" or "False", as booleans appear in parameter dumps.
inline const char* boolText(bool value) {
    return value ? "True" : "False";
}

} // namespace mivo
