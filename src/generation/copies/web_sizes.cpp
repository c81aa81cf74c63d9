#include "generation/copies/web_sizes.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "common/log.h"
#include "generation/copies/copy_check.h"
#include "generation/copies/copy_plan.h"
#include "generation/copies/copy_removal.h"
#include "generation/copies/folder_stamps.h"
#include "generation/copies/resize_pool.h"

namespace mivo {

namespace {

/// Items whose copies were not made, with the names they were to take.
using Unfinished = std::vector<std::pair<std::string, MadeCopies>>;

/// The run's list of the files it wrote, replaced and removed in an album's copy folders,
/// told apart by what the folders held before the run.
class CopyManifest {
  public:
    CopyManifest(const std::string& pageFolder, const CopyFolderSet& folders,
                 const FolderContents& present, Manifest& files)
        : base_(manifestPath(pageFolder)), folders_(folders), present_(present), files_(files) {}

    /// `name` of `folder` was written.
    void wrote(const CopyFolder& folder, const std::string& name) {
        (present_.had(folders_, folder, name) ? files_.replaced : files_.written)
            .push_back(pathOf(folder, name));
    }
    /// The copies (and web video) of an item made this run.
    void made(const CopyNames& names, bool webVideo) {
        if (webVideo) {
            wrote(folders_.views, names.webVideo);
        }
        if (names.file.empty()) {
            return; // a Live Photo's motion: its web video alone
        }
        wrote(folders_.views, names.file);
        if (!names.thumbWebp.empty()) {
            wrote(folders_.thumbs2x, names.thumbWebp);
            wrote(folders_.thumbs, names.thumbWebp);
        }
        wrote(folders_.thumbs2x, names.file);
        wrote(folders_.thumbs, names.file);
    }
    /// Files that went; one that was not there before the run was only this run's.
    void removed(const std::vector<RemovedCopy>& gone) {
        for (const RemovedCopy& file : gone) {
            if (present_.had(folders_, *file.folder, file.name)) {
                files_.removed.push_back(pathOf(*file.folder, file.name));
            }
        }
    }

  private:
    std::string pathOf(const CopyFolder& folder, const std::string& name) const {
        return base_ + "/" + folders_.relativeOf(folder) + "/" + name;
    }

    std::string base_;
    const CopyFolderSet& folders_;
    const FolderContents& present_;
    Manifest& files_;
};

/// Enters every item about to be worked on before its first file is written, so a run killed
/// at any point leaves no file of Mivo's that the record does not name. When the record cannot
/// be written no item is worked on: each fails with the record's error, and keeps its old
/// line.
void claimTasks(const CopyFolder& thumbs, const CopyRecord& before, std::optional<Journal>& journal,
                CopyPlan& plan, PictureList& items, std::string& folderError) {
    if (plan.tasks.empty()) {
        return;
    }
    journal.emplace(thumbs);
    if (journal->ok()) {
        std::string claims;
        for (const ResizeTask& task : plan.tasks) {
            MadeCopies claim = task.stamp;
            claim.ok = false;
            claims += copyRecordLine(task.name, claim);
        }
        journal->append(claims);
    }
    if (journal->ok()) {
        return;
    }
    folderError = journal->error();
    for (const ResizeTask& task : plan.tasks) {
        const std::size_t i = task.picture;
        plan.errors[i] = journal->error();
        items[i].copy->failed = true;
        if (before.count(task.name) != 0) {
            plan.after[task.name] = before.at(task.name);
        }
        plan.taskOf[i] = SIZE_MAX;
    }
    plan.tasks.clear();
}

/// What came of one item's task: its copies made, or why not.
void takeTask(const ResizeTask& task, bool poolStopped, const MediaTools& tools, CopyPlan& plan,
              Item& item, Unfinished& unfinished, WebSizesReport& report) {
    const std::size_t i = task.picture;
    WebCopy& copy = *item.copy;
    if (task.done && task.ok) {
        MadeCopies made = task.stamp;
        made.ok = true;
        made.sizes = task.sizes;
        plan.after[task.name] = made;
        copy.ok = true;
        copy.madeThisRun = true;
        copy.fileName = task.names.file;
        copy.sizes = task.sizes;
        copy.webp = made.webp;
        if (made.video) {
            takeVideoFacts(task.name, made, copy);
        } else if (!made.animation.empty()) {
            takeAnimation(task.names, copy);
        }
        ++report.made;
        return;
    }
    unfinished.emplace_back(task.name, task.stamp);
    const bool leftOut = task.unreadable && leftOutWhenUnreadable(tools, item.kind);
    if (task.done && !leftOut && !(item.kind == ItemKind::Video && poolStopped)) {
        copy.failed = true;
        plan.errors[i] = task.error;
    } else if (task.done && leftOut) {
        plan.unreadable[i] = true;
        plan.errors[i] = task.error;
        MadeCopies made = task.stamp;
        made.unreadable = true;
        plan.after[task.name] = made;
    } else {
        plan.errors[i] = "not reduced: the run was stopped";
    }
}

/// Whether an item without copies is left out, and the report's count of it.
void countItem(bool unreadable, const MediaTools& tools, Item& item, WebSizesReport& report) {
    WebCopy& copy = *item.copy;
    // A HEIC, PNG... picture or a video without copies cannot be shown at all, nor any picture
    // that cannot be read when the media option is on.
    copy.leftOut = !copy.ok && (item.kind != ItemKind::Picture || (unreadable && tools.media));
    if (copy.leftOut && !report.stopped) {
        ++report.leftOut;
    }
    if (copy.failed) {
        ++report.failed;
    } else if (!copy.ok && !report.stopped && !copy.leftOut) {
        ++report.skipped;
    }
}

/// Stamps the record with the copy folders' times when the folders hold exactly the copies
/// `record` (the record file as it is) names, and those times have settled (`now` read first).
/// `listed`, when given, is what the folders held when `seen` was taken, their times settled
/// then: when they still show `seen`, nothing was added, removed or renamed since, and they
/// are not listed again.
void stampFolders(const CopyFolderSet& folders, const CopyRecord& record,
                  const FolderContents* listed, std::int64_t now, const FolderStamps& seen) {
    FolderStamps stamps{};
    if (!statCopyFolders(folders, now, stamps)) {
        return;
    }
    FolderContents fresh;
    if (listed == nullptr || stamps != seen) {
        std::vector<FolderEntry> entries;
        const CopyFolder* const each[3] = {&folders.thumbs, &folders.thumbs2x, &folders.views};
        Listing* const into[3] = {&fresh.thumbs, &fresh.thumbs2x, &fresh.views};
        for (std::size_t i = 0; i < 3; ++i) {
            if (!each[i]->list(entries)) {
                return;
            }
            into[i]->take(std::move(entries));
        }
        listed = &fresh;
    }
    const std::array<std::vector<FolderEntry>, 3> wanted = recordedContents(record);
    const Listing* const held[3] = {&listed->thumbs, &listed->thumbs2x, &listed->views};
    for (std::size_t i = 0; i < 3; ++i) {
        if (!held[i]->holdsExactly(wanted[i])) {
            return;
        }
        stamps[i].entries = wanted[i].size();
    }
    // In place: the folder keeps the times just read. Not in the manifest: the line says
    // nothing of any copy, and a published record has no use for it.
    appendToRecord(folders.thumbs, folderStampsLine(stamps));
}

} // namespace

bool makeWebSizes(const CopyJob& job, PictureList& items, WebSizesReport& report,
                  std::string& folderError) {
    for (Item& item : items) {
        item.copy = std::make_unique<WebCopy>();
    }
    report = WebSizesReport{};
    folderError.clear();
    CopyFolderSet folders;
    if (!folders.open(job.pageFolder, folderError)) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            items[i].copy->failed = true;
            ++report.failed;
            job.progress(i, items[i], folderError);
        }
        return false;
    }

    const auto now = [&job] { return job.clock ? job.clock() : fileClockNow(); };
    // The record, the copy names and the pictures' stamps: as read ahead of the album when
    // that still holds, else read now.
    const CopyCheck* ahead =
        job.ahead != nullptr && copyCheckHolds(*job.ahead, items, folders.thumbs) ? job.ahead
                                                                                  : nullptr;
    RecordRead readNow;
    if (ahead == nullptr) {
        readNow = readRecordAt(folders.thumbs.fd());
    }
    const RecordRead& read = ahead != nullptr ? ahead->record : readNow;
    logIgnoredNames(folders.thumbs, read.ignored);
    const std::optional<FolderStamps>& stamped = read.stamps;
    const CopyRecord& before = read.record;
    const RecordNames ownNames(before);
    ItemCopyNames namedNow;
    if (ahead == nullptr) {
        namedNow = nameCopies(items, job.tools);
    }
    const ItemCopyNames& names = ahead != nullptr ? ahead->names : namedNow;
    FolderStamps seen{};
    const bool settled = statCopyFolders(folders, now(), seen);
    FolderContents present;
    if (stamped && stampsHold(*stamped, seen, before)) {
        // Nothing was added, removed or renamed in the folders since a run saw them hold the
        // copies on record: no listing, and nothing a killed run left to tidy.
        present.asRecorded = true;
        // Made from the record only when a name is looked up that the record does not settle.
        auto recorded = std::make_shared<std::optional<std::array<std::vector<FolderEntry>, 3>>>();
        const auto recordedFolder = [&before, recorded](std::size_t i) {
            if (!recorded->has_value()) {
                *recorded = recordedContents(before);
            }
            return std::move((**recorded)[i]);
        };
        present.thumbs.takeLater([recordedFolder] { return recordedFolder(0); });
        present.thumbs2x.takeLater([recordedFolder] { return recordedFolder(1); });
        present.views.takeLater([recordedFolder] { return recordedFolder(2); });
    } else {
        const auto isOwn = [&](const std::string& name) {
            return ownNames.contains(name) || names.assigned.contains(name);
        };
        present.thumbs = listAndTidy(folders.thumbs, isOwn);
        present.thumbs2x = listAndTidy(folders.thumbs2x, isOwn);
        present.views = listAndTidy(folders.views, isOwn);
    }
    const MediaTools& tools = job.tools;
    CopyPlan plan = planCopies(items, names, before, ownNames, present, job.request, tools,
                               ahead != nullptr ? &ahead->stamps : nullptr);
    report.toMake = plan.tasks.size();
    std::optional<Journal> journal;
    claimTasks(folders.thumbs, before, journal, plan, items, folderError);

    // Each item in listing order, as its copies are ready.
    CopyManifest manifest(job.pageFolder, folders, present, report.files);
    Unfinished unfinished;
    {
        // No pool when there is nothing to make, as on a re-run with nothing changed.
        std::optional<ResizePool> pool;
        if (!plan.tasks.empty()) {
            pool.emplace(plan.tasks, job.request, job.workers, folders,
                         journal ? &*journal : nullptr, tools, job.stopRequested);
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            const bool poolStopped = pool && pool->stopped();
            if (!report.stopped && (poolStopped || (job.stopRequested && job.stopRequested()))) {
                report.stopped = true;
                if (pool) {
                    pool->stop();
                }
            }
            if (plan.taskOf[i] != SIZE_MAX) {
                const ResizeTask& task = pool->take(plan.taskOf[i]);
                report.stopped = report.stopped || pool->stopped();
                takeTask(task, pool->stopped(), tools, plan, items[i], unfinished, report);
                if (items[i].copy->madeThisRun) {
                    manifest.made(task.names, !items[i].copy->webVideoName.empty());
                }
                manifest.removed(task.removed);
            } else if (items[i].copy->ok) {
                ++report.kept;
            }
            countItem(plan.unreadable[i], tools, items[i], report);
            job.progress(i, items[i], plan.errors[i]);
        }
    }

    std::vector<RemovedCopy> removed;
    report.removed = removeStaleCopies(folders, before, names.assigned, items, plan.after, removed);
    removeUnfinishedCopies(folders, unfinished, before, plan.after, removed);
    manifest.removed(removed);
    // A run with nothing changed leaves the record as it is; otherwise the journal is
    // written anew with one line per item.
    const bool journalWritten = journal && journal->written();
    const bool unchanged = !journalWritten && plan.after == before;
    bool recordIsAfter = true; // the record file says what plan.after does
    if (!unchanged) {
        std::string error;
        const bool rewritten =
            folders.thumbs.writeFile(kWebSizesRecord, recordText(plan.after), error);
        if (!rewritten) {
            cmWriteLog(kCopierLog, 4, "<" + error + "> the record stays as the journal left it");
        }
        if (rewritten || journalWritten) {
            manifest.wrote(folders.thumbs, kWebSizesRecord);
        }
        recordIsAfter = rewritten;
    }
    // Folders found as recorded and left so keep the stamps the record ends with.
    if (recordIsAfter && !(unchanged && present.asRecorded)) {
        stampFolders(folders, plan.after, settled ? &present : nullptr, now(), seen);
    }
    return true;
}

} // namespace mivo
