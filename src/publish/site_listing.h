#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mivo {

/// The files of a site folder that a publish sends.
struct SiteListing {
    std::vector<std::string> files;     // relative paths with "/", in byte order
    std::vector<std::string> stamps;    // each file's size and time, as rsync compares them
    std::uint64_t bytes = 0;            // their size together
    std::vector<std::string> links;     // symbolic links, never sent: they may point anywhere
    std::vector<std::string> unnamable; // names holding a line break, which no list can carry
};

/// Lists every regular file in `folder` and below, leaving out names that begin with "." and
/// what lies below them (Mivo's records, temporary files, partial uploads) and symbolic links.
/// false when a folder cannot be read; `error` then names it and says why.
bool listSite(const std::string& folder, SiteListing& listing, std::string& error);

/// True when `path` is a relative path a publish may name on a server: parts separated by one
/// "/", none empty and none beginning with "." (so neither "." nor ".."), no line breaks.
bool isPublishablePath(const std::string& path);

} // namespace mivo
