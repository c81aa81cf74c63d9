#include "generation/plan/album_result.h"

#include <filesystem>
#include <system_error>

#include "common/paths.h"

namespace mivo {

void Manifest::add(const Manifest& more) {
    written.insert(written.end(), more.written.begin(), more.written.end());
    replaced.insert(replaced.end(), more.replaced.begin(), more.replaced.end());
    removed.insert(removed.end(), more.removed.begin(), more.removed.end());
}

std::string manifestPath(const std::string& path) {
    if (path.empty() || path.front() == '/') {
        return normalizedPath(path);
    }
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return normalizedPath(ec ? path : (here / path).string());
}

} // namespace mivo
