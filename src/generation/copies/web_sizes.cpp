#include "generation/copies/web_sizes.h"

#include <optional>
#include <set>
#include <utility>

#include "common/log.h"
#include "generation/copies/copy_plan.h"
#include "generation/copies/copy_removal.h"
#include "generation/copies/resize_pool.h"

namespace mivo {

namespace {

/// Items whose copies were not made, with the names they were to take.
using Unfinished = std::vector<std::pair<std::string, MadeCopies>>;

/// Enters every item about to be worked on before its first file is written, so a run killed
/// at any point leaves no file of Mivo's that the record does not name. When the record cannot
/// be written no item is worked on: each fails with the record's error, and keeps its old
/// line.
void claimTasks(const CopyFolder& thumbs, const CopyRecord& before, std::optional<Journal>& journal,
                CopyPlan& plan, std::vector<WebCopy>& copies, std::string& folderError) {
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
        copies[i].failed = true;
        if (before.count(task.name) != 0) {
            plan.after[task.name] = before.at(task.name);
        }
        plan.taskOf[i] = SIZE_MAX;
    }
    plan.tasks.clear();
}

/// What came of one item's task: its copies made, or why not.
void takeTask(const ResizeTask& task, bool poolStopped, const MediaTools& tools, CopyPlan& plan,
              WebCopy& copy, Unfinished& unfinished, WebSizesReport& report) {
    const std::size_t i = task.picture;
    if (task.done && task.ok) {
        MadeCopies made = task.stamp;
        made.ok = true;
        made.sizes = task.sizes;
        plan.after[task.name] = made;
        copy.ok = true;
        copy.madeThisRun = true;
        copy.sizes = task.sizes;
        if (made.video) {
            takeVideoFacts(task.name, made, copy);
        }
        ++report.made;
        return;
    }
    unfinished.emplace_back(task.name, task.stamp);
    const bool leftOut = task.unreadable && leftOutWhenUnreadable(tools, copy.kind);
    if (task.done && !leftOut && !(copy.kind == ItemKind::Video && poolStopped)) {
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
void countItem(bool unreadable, const MediaTools& tools, WebCopy& copy, WebSizesReport& report) {
    // A HEIC, PNG... picture or a video without copies cannot be shown at all, nor any picture
    // that cannot be read when the media option is on.
    copy.leftOut = !copy.ok && (copy.kind != ItemKind::Picture || (unreadable && tools.media));
    if (copy.leftOut && !report.stopped) {
        ++report.leftOut;
    }
    if (copy.failed) {
        ++report.failed;
    } else if (!copy.ok && !report.stopped && !copy.leftOut) {
        ++report.skipped;
    }
}

} // namespace

bool makeWebSizes(const std::string& picFolder, const PictureList& pictures,
                  const std::string& pageFolder, const ResizeRequest& request, int workers,
                  std::vector<WebCopy>& copies, WebSizesReport& report,
                  const WebCopyProgress& progress, std::string& folderError,
                  const std::function<bool()>& stopRequested, const MediaTools& tools) {
    copies.assign(pictures.size(), WebCopy{});
    report = WebSizesReport{};
    folderError.clear();
    CopyFolderSet folders;
    if (!folders.open(pageFolder, folderError)) {
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            copies[i].failed = true;
            ++report.failed;
            progress(i, pictures[i], copies[i], folderError);
        }
        return false;
    }

    const CopyRecord before = readRecord(folders.thumbs);
    const std::set<std::string> ownNames = namesOnRecord(before);
    const ItemCopyNames names = nameCopies(pictures, tools);
    std::set<std::string> tidyNames = ownNames;
    tidyNames.insert(names.assigned.begin(), names.assigned.end());
    const FolderContents present{listAndTidy(folders.thumbs, tidyNames),
                                 listAndTidy(folders.thumbs2x, tidyNames),
                                 listAndTidy(folders.views, tidyNames)};
    CopyPlan plan =
        planCopies(picFolder, pictures, names, before, ownNames, present, request, tools, copies);
    report.toMake = plan.tasks.size();
    std::optional<Journal> journal;
    claimTasks(folders.thumbs, before, journal, plan, copies, folderError);

    // Each item in listing order, as its copies are ready.
    Unfinished unfinished;
    {
        ResizePool pool(plan.tasks, request, workers, folders, journal ? &*journal : nullptr, tools,
                        stopRequested);
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            if (!report.stopped && (pool.stopped() || (stopRequested && stopRequested()))) {
                report.stopped = true;
                pool.stop();
            }
            if (plan.taskOf[i] != SIZE_MAX) {
                const ResizeTask& task = pool.take(plan.taskOf[i]);
                report.stopped = report.stopped || pool.stopped();
                takeTask(task, pool.stopped(), tools, plan, copies[i], unfinished, report);
            } else if (copies[i].ok) {
                ++report.kept;
            }
            countItem(plan.unreadable[i], tools, copies[i], report);
            progress(i, pictures[i], copies[i], plan.errors[i]);
        }
    }

    std::set<std::string> items;
    for (const ClassFileData& picture : pictures) {
        items.insert(picture.strName);
    }
    report.removed = removeStaleCopies(folders, before, names.assigned, items, plan.after);
    removeUnfinishedCopies(folders, unfinished, before, plan.after);
    // A run with nothing changed leaves the record as it is; otherwise the journal is
    // written anew with one line per picture.
    if ((journal && journal->written()) || plan.after != before) {
        std::string error;
        if (!folders.thumbs.writeFile(kWebSizesRecord, recordText(plan.after), error)) {
            cmWriteLog(kCopierLog, 4, "<" + error + "> the record stays as the journal left it");
        }
    }
    return true;
}

} // namespace mivo
