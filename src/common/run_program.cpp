#include "common/run_program.h"

namespace mivo {

std::string findProgram(const std::string& /*name*/) {
    return {};
}

bool runProgram(const std::vector<std::string>& /*argv*/, const ProgramRun& /*how*/,
                ProgramResult& result) {
    result = {};
    return false;
}

} // namespace mivo
