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

// Each server's block starts with "@ " and the server; each file is "/" and its path.
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
    std::vector<std::string>* block = nullptr;
    for (const std::string& line : splitLines(bytes)) {
        if (line.rfind("@ ", 0) == 0) {
            block = &published_[line.substr(2)];
        } else if (block != nullptr && line.size() > 1 && line.front() == '/' &&
                   isPublishablePath(line.substr(1))) {
            block->push_back(line.substr(1));
        }
    }
    for (auto& [destination, files] : published_) {
        std::sort(files.begin(), files.end());
        files.erase(std::unique(files.begin(), files.end()), files.end());
    }
    return true;
}

const std::vector<std::string>& PublishedRecord::files(const std::string& destination) const {
    static const std::vector<std::string> kNone;
    const auto found = published_.find(destination);
    return found == published_.end() ? kNone : found->second;
}

void PublishedRecord::set(const std::string& destination, std::vector<std::string> files) {
    if (files.empty()) {
        published_.erase(destination);
    } else {
        published_[destination] = std::move(files);
    }
}

bool PublishedRecord::save(const std::string& siteFolder, std::string& error) const {
    std::string bytes = kHeader;
    for (const auto& [destination, files] : published_) {
        bytes += "@ " + destination + "\n";
        for (const std::string& file : files) {
            bytes += "/" + file + "\n";
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
