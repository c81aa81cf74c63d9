#include "settings/state_file.h"

#include <filesystem>
#include <system_error>

#include "common/text_file.h"

namespace mivo {

std::string cmStateFileTarget(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(std::filesystem::path(path), ec) || ec) {
        return path;
    }
    // A dangling link is replaced at its target's place too, as long as that can be named.
    const auto target = std::filesystem::weakly_canonical(std::filesystem::path(path), ec);
    if (ec || target.empty()) {
        return path;
    }
    return target.string();
}

TextEncoding cmStateFileEncoding(std::string_view utf8) {
    return cmFitsCp932(utf8) ? TextEncoding::Cp932 : TextEncoding::Utf8Bom;
}

bool cmWriteStateFile(const std::string& path, std::string_view utf8) {
    const TextEncoding encoding = cmStateFileEncoding(utf8);
    std::string bytes;
    if (encoding == TextEncoding::Utf8Bom) {
        bytes.assign(kUtf8Bom);
    }
    cmAppendEncodedText(bytes, utf8, encoding, Cp932Fallback::Question);
    return cmReplaceFileAtomic(cmStateFileTarget(path), bytes, LinkPolicy::Follow);
}

} // namespace mivo
