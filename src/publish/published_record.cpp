#include "publish/published_record.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

#include "common/paths.h"
#include "common/system_reason.h"
#include "common/text_file.h"
#include "publish/publish.h"
#include "publish/site_listing.h"

namespace mivo {

namespace {

// Each server's block starts with "@ " and the server; each file is "/", its path, a tab and its
// size and time when the server holds it as it is here, or "-".
constexpr const char* kHeader =
    "# Mivo: the files published from this folder, under the server each went to. Mivo\n"
    "# deletes a file on a server only when it is listed here and gone from the folder.\n";

std::string recordPath(const std::string& siteFolder) {
    return cmAddPath(siteFolder, kPublishedRecordName, kPathSeparator);
}

} // namespace

bool PublishedRecord::load(const std::string& siteFolder, std::string& error) {
    published_.clear();
    const std::string path = recordPath(siteFolder);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) {
        return true;
    }
    std::string bytes;
    errno = 0;
    if (!S_ISREG(st.st_mode) || !readFileBytes(path, bytes)) {
        error = path + ": " + systemReasonText(errno != 0 ? errno : EINVAL);
        return false;
    }
    std::vector<std::pair<std::string, std::string>>* block = nullptr;
    for (const std::string& line : splitLines(bytes)) {
        if (line.rfind("@ ", 0) == 0) {
            block = &published_[line.substr(2)];
            continue;
        }
        // The stamp never holds a tab; a name may.
        const std::size_t tab = line.rfind('\t');
        const std::string path = line.substr(1, tab == std::string::npos ? tab : tab - 1);
        if (block != nullptr && line.size() > 1 && line.front() == '/' && isPublishablePath(path)) {
            block->emplace_back(path, tab == std::string::npos ? "-" : line.substr(tab + 1));
        }
    }
    for (auto& [destination, files] : published_) {
        std::sort(files.begin(), files.end());
        files.erase(std::unique(files.begin(), files.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; }),
                    files.end());
    }
    return true;
}

std::vector<std::string> PublishedRecord::files(const std::string& destination) const {
    std::vector<std::string> paths;
    const auto found = published_.find(destination);
    if (found != published_.end()) {
        paths.reserve(found->second.size());
        for (const auto& [path, stamp] : found->second) {
            paths.push_back(path);
        }
    }
    return paths;
}

bool PublishedRecord::unchanged(const std::string& destination,
                                const std::vector<std::string>& files,
                                const std::vector<std::string>& stamps) const {
    const auto found = published_.find(destination);
    if (found == published_.end() || found->second.size() != files.size() ||
        stamps.size() != files.size()) {
        return false;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& [path, stamp] = found->second[i];
        if (path != files[i] || stamp == "-" || stamp != stamps[i]) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> PublishedRecord::changed(const std::string& destination,
                                                  const std::vector<std::string>& files,
                                                  const std::vector<std::string>& stamps) const {
    const auto found = published_.find(destination);
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        bool same = false;
        if (found != published_.end()) {
            const auto& block = found->second;
            const auto at =
                std::lower_bound(block.begin(), block.end(), files[i],
                                 [](const std::pair<std::string, std::string>& entry,
                                    const std::string& path) { return entry.first < path; });
            same = at != block.end() && at->first == files[i] && at->second != "-" &&
                   i < stamps.size() && at->second == stamps[i];
        }
        if (!same) {
            changed.push_back(files[i]);
        }
    }
    return changed;
}

void PublishedRecord::set(const std::string& destination, const std::vector<std::string>& files,
                          const std::vector<std::string>& stamps) {
    if (files.empty()) {
        published_.erase(destination);
        return;
    }
    std::vector<std::pair<std::string, std::string>>& block = published_[destination];
    block.clear();
    block.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        block.emplace_back(files[i], i < stamps.size() ? stamps[i] : "-");
    }
}

bool PublishedRecord::save(const std::string& siteFolder, std::string& error) const {
    std::string bytes = kHeader;
    for (const auto& [destination, files] : published_) {
        bytes += "@ " + destination + "\n";
        for (const auto& [path, stamp] : files) {
            bytes += "/";
            bytes += path;
            bytes += "\t";
            bytes += stamp;
            bytes += "\n";
        }
    }
    const std::string path = recordPath(siteFolder);
    errno = 0;
    if (!replaceFileAtomic(path, bytes, LinkPolicy::Replace)) {
        error = path + ": " + systemReasonText(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

} // namespace mivo
