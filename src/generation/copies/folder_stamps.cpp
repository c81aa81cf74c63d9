#include "generation/copies/folder_stamps.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "generation/copies/copy_names.h"

namespace mivo {

namespace {

std::int64_t nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

/// The names a record line's finished copies have in each folder, added to `folders`.
void addRecorded(const std::string& name, const MadeCopies& made,
                 std::array<std::vector<FolderEntry>, 3>& folders) {
    CopyNames names = recordedNames(name, made);
    const bool extra = made.video ? made.webVideoMade : !names.webVideo.empty();
    if (extra) {
        folders[2].push_back({std::move(names.webVideo), true});
    }
    if (!names.thumbWebp.empty()) {
        folders[0].push_back({names.thumbWebp, true});
        folders[1].push_back({std::move(names.thumbWebp), true});
    }
    if (names.file.empty()) {
        return; // a Live Photo's motion shown by its still's copies
    }
    folders[0].push_back({names.file, true});
    folders[1].push_back({names.file, true});
    folders[2].push_back({std::move(names.file), true});
}

} // namespace

std::int64_t fileClockNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

bool statCopyFolders(const CopyFolderSet& folders, std::int64_t now, FolderStamps& stamps) {
    const CopyFolder* const each[3] = {&folders.thumbs, &folders.thumbs2x, &folders.views};
    bool settled = true;
    for (std::size_t i = 0; i < 3; ++i) {
        struct stat st {};
        if (::fstat(each[i]->fd(), &st) != 0) {
            return false;
        }
        stamps[i] = {static_cast<std::uint64_t>(st.st_ino), nanoseconds(st.st_mtim),
                     nanoseconds(st.st_ctim), 0};
        // A time after `now` (a clock set back, a server's clock ahead) is not settled either.
        settled = settled && stamps[i].modified <= now - kSettledNs &&
                  stamps[i].changed <= now - kSettledNs;
    }
    return settled;
}

std::array<std::vector<FolderEntry>, 3> recordedContents(const CopyRecord& record) {
    std::array<std::vector<FolderEntry>, 3> folders;
    folders[0].push_back({kWebSizesRecord, true});
    folders[0].push_back({kThumb2xFolder, false});
    for (const auto& [name, made] : record) {
        if (made.ok) {
            addRecorded(name, made, folders);
        }
    }
    for (std::vector<FolderEntry>& entries : folders) {
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
        entries.erase(std::unique(entries.begin(), entries.end(),
                                  [](const FolderEntry& a, const FolderEntry& b) {
                                      return a.name == b.name;
                                  }),
                      entries.end());
    }
    return folders;
}

std::array<std::uint64_t, 3> recordedCounts(const CopyRecord& record) {
    std::array<std::uint64_t, 3> counts{2, 0, 0};
    for (const auto& [name, made] : record) {
        if (!made.ok) {
            continue;
        }
        const bool poster = !(made.video && made.motion);
        const std::uint64_t thumbs = poster ? (made.webp ? 2 : 1) : 0;
        counts[0] += thumbs;
        counts[1] += thumbs;
        const bool extra = made.video ? made.webVideoMade : !made.animation.empty();
        counts[2] += (extra ? 1 : 0) + (poster ? 1 : 0);
    }
    return counts;
}

bool stampsHold(const FolderStamps& stamps, const FolderStamps& seen, const CopyRecord& record) {
    const std::array<std::uint64_t, 3> counts = recordedCounts(record);
    for (std::size_t i = 0; i < 3; ++i) {
        const FolderStamp& was = stamps[i];
        const FolderStamp& now = seen[i];
        if (was.inode != now.inode || was.modified != now.modified || was.changed != now.changed ||
            was.entries != counts[i]) {
            return false;
        }
    }
    return true;
}

} // namespace mivo
