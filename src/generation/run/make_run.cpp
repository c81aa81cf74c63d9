#include "generation/run/make_run.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/log.h"
#include "common/text.h"
#include "common/translate.h"
#include "generation/copies/copy_check.h"
#include "generation/copies/gallery_copies.h"
#include "generation/copies/site_originals.h"
#include "generation/pages/pages.h"
#include "generation/pages/template.h"
#include "generation/pictures/picture_info.h"
#include "generation/pictures/picture_measure.h"
#include "generation/plan/album.h"
#include "generation/plan/album_result.h"
#include "generation/plan/page_text.h"
#include "generation/plan/planners.h"
#include "generation/plan/run_services.h"
#include "generation/run/check.h"
#include "generation/run/date_order.h"
#include "generation/run/output_paths.h"
#include "generation/run/run_ending.h"
#include "generation/run/run_lock.h"
#include "generation/run/run_messages.h"

namespace mivo {

namespace {

// Logged as they are, shown in the user's language (mainSetStatus).
const char* const kMessMaking = translatable("作成中です");
const char* const kMessDone = translatable("完了しました");
const char* const kMessFailed = translatable("作成に失敗しました");
const char* const kMessStopped = translatable("中止しました");

/// A message of the run with the album it is about: "... [name]".
UserText withGallery(const UserText& message, const std::string& name) {
    return userText("%1 [%2]", {message, name});
}

/// The albums of a folder tree in the order their own pages are made: its children before an
/// album that lists them, the album before its children otherwise.
void pageOrder(Album& album, std::vector<Album*>& order) {
    const bool childrenFirst = album.job.inTree;
    if (!childrenFirst && album.showsFolder) {
        order.push_back(&album);
    }
    for (const std::unique_ptr<Album>& child : album.children) {
        pageOrder(*child, order);
    }
    if (childrenFirst && album.showsFolder) {
        order.push_back(&album);
    }
}

/// A copier's check read on a reader thread, handed over once it is read.
class PendingCheck {
  public:
    /// What it reads: the album's page folder and copies of its items (copyCheckItems).
    PendingCheck(std::string pageFolder, std::shared_ptr<const PictureList> items)
        : pageFolder_(std::move(pageFolder)), items_(std::move(items)) {}

    /// Reads it, on the reader thread.
    void read() {
        auto check = std::make_unique<CopyCheck>(readCopyCheck(pageFolder_, std::move(items_)));
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            check_ = std::move(check);
        }
        read_.notify_all();
    }
    /// Waits until it is read, and takes it.
    std::unique_ptr<CopyCheck> take() {
        std::unique_lock<std::mutex> lock(mutex_);
        read_.wait(lock, [this] { return check_ != nullptr; });
        return std::move(check_);
    }

  private:
    std::string pageFolder_;
    std::shared_ptr<const PictureList> items_;
    std::mutex mutex_;
    std::condition_variable read_;
    std::unique_ptr<CopyCheck> check_;
};

/// One album's header reads, and the copy of its items they read by, when read ahead of its
/// copier: the copier gives the items their copies and drops those it leaves out, so reads
/// that held the items themselves would read from items on the move.
struct AlbumReads {
    std::shared_ptr<const PictureList> copy; // declared before the reads, which hold it
    std::optional<PictureMeasurer> measurer;
};

/// The picture headers of a folder tree's albums, read one album ahead: while an album's pages
/// are written, a reader thread reads the headers of the album whose pages come next, so both
/// cores work where an album too small to share its own reads left one idle. An album whose
/// copier runs in between is read by a copy of its names, and read again when the copier
/// changed them; an album with Live Photos (whose motions are unfolded into the list and
/// folded back) is not read ahead. An album that makes copies has its copier's check read
/// ahead too (its record, its copies' names, its pictures' stamps), on a reader thread.
class ReadAhead {
  public:
    using Reads = std::unique_ptr<AlbumReads>;

    ReadAhead(const RunServices& run, const PagePlan& pages, Album& root)
        : run_(run), pages_(pages) {
        if (root.job.inTree && run.readers != nullptr) {
            pageOrder(root, order_);
        }
    }

    /// The copier's check read ahead for `album`, once read; nullptr when none was.
    std::unique_ptr<CopyCheck> copyCheckFor(const Album& album) {
        if (aheadFor_ != &album || !checkAhead_) {
            return nullptr;
        }
        std::unique_ptr<CopyCheck> check = checkAhead_->take();
        checkAhead_.reset();
        return check;
    }

    /// The reads of `album`'s list table, in `slot`: those started ahead for it, or started
    /// now; nullptr when its table reads nothing. Starts the reads of the album after it.
    PictureMeasurer* readsFor(Album& album, Reads& slot) {
        slot.reset();
        if (aheadFor_ == &album && (!ahead_->copy || sameItems(*ahead_->copy, album.items))) {
            slot = std::move(ahead_);
        }
        aheadFor_ = nullptr;
        ahead_.reset();
        checkAhead_.reset();
        if (!slot) {
            slot = start(album, nullptr);
        }
        // The album after this one in the order the pages are made.
        while (next_ < order_.size() && order_[next_++] != &album) {
        }
        if (next_ < order_.size() && readAheadOf(*order_[next_])) {
            aheadFor_ = order_[next_];
            // The copier works on the items between now and their pages: the reads ahead of it
            // read by a copy.
            std::shared_ptr<const PictureList> copy;
            if (aheadFor_->job.makeCopies && !aheadFor_->items.empty()) {
                copy = std::make_shared<const PictureList>(copyCheckItems(aheadFor_->items));
            }
            ahead_ = start(*aheadFor_, copy);
            if (ahead_->measurer.has_value()) {
                ahead_->measurer->readAhead();
            }
            if (copy) {
                startCheck(*aheadFor_, copy);
            }
        }
        return slot->measurer.has_value() ? &*slot->measurer : nullptr;
    }

  private:
    /// A Live Photo's motion is unfolded into the list and folded back before the pages.
    static bool readAheadOf(const Album& album) {
        return std::none_of(album.items.begin(), album.items.end(),
                            [](const Item& item) { return item.motion != nullptr; });
    }

    /// Reads the copier's check of `album` on a reader thread, from `copy` of its items.
    void startCheck(const Album& album, std::shared_ptr<const PictureList> copy) {
        auto pending =
            std::make_shared<PendingCheck>(quietPageFolder(album.place), std::move(copy));
        if (run_.readers->start([pending] { pending->read(); })) {
            checkAhead_ = std::move(pending);
        }
    }

    /// Starts the reads of `album`'s headers, by `copy` of its items when there is one.
    Reads start(const Album& album, std::shared_ptr<const PictureList> copy) const {
        Reads reads = std::make_unique<AlbumReads>();
        reads->copy = std::move(copy);
        startListTableReads(reads->measurer, pages_, album.job,
                            reads->copy ? *reads->copy : album.items, run_.pictureWorkers,
                            run_.readers);
        return reads;
    }

    const RunServices& run_;
    const PagePlan& pages_;
    std::vector<Album*> order_; // empty: nothing is read ahead
    std::size_t next_ = 0;      // order_[next_ - 1] is the album whose pages are being made
    Album* aheadFor_ = nullptr;
    Reads ahead_;
    std::shared_ptr<PendingCheck> checkAhead_; // aheadFor_'s copier's check, when read ahead
};

/// How the run stands between its steps.
struct RunProgress {
    bool stopped = false;           // the user stopped the run
    std::string failure;            // the page that was not written and why, once a page failed
    ItemNotes items;                // what the albums' copies left out or could not make
    ReadAhead* readAhead = nullptr; // a folder tree's headers, read one album ahead
};

/// The user asked to stop: nothing more is started. Remembered so the end says so.
bool stopping(const RunServices& run, RunProgress& progress) {
    if (run.status.stopRequested()) {
        progress.stopped = true;
    }
    return progress.stopped;
}

/// "作成に失敗しました", with the album's name when it is one of several (a child).
UserText failedText(const Album& album) {
    return album.parent != nullptr ? withGallery(userText(kMessFailed), album.job.name)
                                   : userText(kMessFailed);
}

/// Checks an album and then its children, depth first; false (with the refusal shown, and
/// the album named when it is a child) at the first that fails. Every album of the run is
/// checked before any page is written. An album of a folder tree that fails its check is left
/// out instead, named at the run's end with why.
bool checkAlbum(const RunServices& run, const TopPage& top, Album& album, RunProgress& progress) {
    // Between albums the run looks for a stop.
    if (album.parent != nullptr && stopping(run, progress)) {
        return false;
    }
    // A tree's top page was checked once for the whole run.
    const bool checksTop = !album.job.inTree;
    if (album.showsFolder && !mainCheckMake(run, top, album, checksTop)) {
        if (album.parent != nullptr) {
            mainSetStatus(run.status, true, withGallery(run.status.message(), album.job.name), 0,
                          0);
        }
        return false;
    }
    if (album.showsFolder && album.job.dateOrder) {
        orderItemsByDate(album, [&run] { return run.status.stopRequested(); });
    }
    for (std::size_t i = 0; i < album.children.size();) {
        Album& child = *album.children[i];
        if (checkAlbum(run, top, child, progress)) {
            ++i;
        } else if (child.job.leftOutWhenUnchecked && !progress.stopped) {
            progress.items.leftOut.push_back({child.job.picPath, run.status.message().logged});
            album.children.erase(album.children.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            return false;
        }
    }
    if (album.job.dateOrder) {
        orderChildrenByDate(album);
    }
    return true;
}

/// Puts an album's failure where the run's end finds it, however its own pages ended.
struct FailureKept {
    const AlbumResult& result;
    RunProgress& progress;
    FailureKept(const AlbumResult& albumResult, RunProgress& runProgress)
        : result(albumResult), progress(runProgress) {}
    FailureKept(const FailureKept&) = delete;
    FailureKept& operator=(const FailureKept&) = delete;
    ~FailureKept() {
        if (!result.failure.empty()) {
            progress.failure = result.failure;
        }
    }
};

/// Makes every child of `album` in order, their results in result.children; false when one
/// failed or the run was stopped.
bool makeChildren(const RunServices& run, const PagePlan& pages, Album& album,
                  RunProgress& progress, AlbumResult& result);

/// What a tree's parent shows of an album: its own items and its albums', and their dates.
void countItems(const Album& album, AlbumResult& result) {
    result.allItems = result.ownItems;
    // An album without pictures of its own shows its first sub-album's cover.
    for (const AlbumResult& child : result.children) {
        if (!result.coverPath.empty()) {
            break;
        }
        result.coverPath = child.coverPath;
        result.coverSize = child.coverSize;
        if (!album.job.upPage.empty() && !result.coverPath.empty()) {
            result.menuItem =
                relativeLink(album.job.upPage, result.coverPath) + "," + result.coverSize;
        }
    }
    for (const AlbumResult& child : result.children) {
        result.allItems += child.allItems;
        if (!child.firstDate.empty() &&
            (result.firstDate.empty() || child.firstDate < result.firstDate)) {
            result.firstDate = child.firstDate;
        }
        if (child.lastDate > result.lastDate) {
            result.lastDate = child.lastDate;
        }
    }
}

/// One album's own pages: its copies, its list page with a row per item, its index and
/// picture pages. false (with the failure shown) when a page was not written or the run was
/// stopped.
bool makeOwnPages(const RunServices& run, const PagePlan& pages, Album& album,
                  RunProgress& progress, AlbumResult& result) {
    const FailureKept kept{result, progress};
    if (stopping(run, progress) || !mainGetMakePath(run.status, album)) {
        return false;
    }
    // What this machine lacks is told once per run, whichever album meets it first.
    result.items.missing = progress.items.missing;
    // A Live Photo's motion gets its copies, and its place in a self-contained site, as any
    // video does; then it goes back to its still.
    album.items.unfoldMotions();
    const std::unique_ptr<CopyCheck> checked =
        progress.readAhead != nullptr ? progress.readAhead->copyCheckFor(album) : nullptr;
    makeGalleryCopies(run, pages, album, result, checked.get());
    // What cannot be shown (a video without ffmpeg, a file that is not what its name says)
    // is not in the album at all.
    dropLeftOut(album.items);
    // A self-contained site holds the originals its pages link.
    placeOriginals(album.job, album.paths.strListPath, album.items, result.items, result.files);
    album.items.foldMotions();
    progress.items.add(result.items);
    // The headers are read while the list page is started (a folder tree's album's while the
    // album before it was made).
    std::optional<PictureMeasurer> measurer;
    ReadAhead::Reads aheadSlot;
    PictureMeasurer* reads = progress.readAhead != nullptr
                                 ? progress.readAhead->readsFor(album, aheadSlot)
                                 : startListTableReads(measurer, pages, album.job, album.items,
                                                       run.pictureWorkers, run.readers);
    ListTableResult table;
    bool ok = false;
    mainMakeListHtml(run, pages, album, reads, table, ok, result);
    result.menuItem = table.menuItem;
    result.ownItems = album.items.size();
    result.firstDate = table.firstDate;
    result.lastDate = table.lastDate;
    result.coverPath = table.coverPath;
    result.coverSize = table.coverSize;
    countItems(album, result);
    // A list page abandoned half-way leaves the other pages as they were too.
    if (stopping(run, progress)) {
        return false;
    }
    if (!ok || !mainMakeIndexHtml(run, pages, album, table.pictures, result)) {
        mainSetStatus(run.status, true, failedText(album), 0, 0);
        return false;
    }
    if (stopping(run, progress)) {
        return false;
    }
    if (album.job.barShares == 0) {
        // The list page rescaled the bar to its pictures.
        run.status.setBarMax(100);
        mainSetStatus(run.status, false, "", 1, 90);
    }
    if (!mainMakePictHtml(run, pages, album, result)) {
        mainSetStatus(run.status, true, failedText(album), 0, 0);
        return false;
    }
    result.written = true;
    // Its pages are written; its items are not needed any more, once the reads that held them
    // ended (a reader may still be leaving them).
    aheadSlot.reset();
    measurer.reset();
    album.items.clear();
    return true;
}

/// One album of the tree, depth first: its own pages, then its children, then its index of
/// its children. An album of a folder tree lists its children on its own pages, so they are
/// made first. What it did is in `result` (its children's results in result.children); false
/// (with the failure shown) when a page was not written or the run was stopped.
bool makeAlbum(const RunServices& run, const PagePlan& pages, Album& album, RunProgress& progress,
               AlbumResult& result) {
    const bool childrenFirst = album.job.inTree;
    if (childrenFirst && album.place.ownFolder && !album.children.empty()) {
        // Its children's folders lie in its own, made before them.
        const FailureKept kept{result, progress};
        if (stopping(run, progress) || !mainGetMakePath(run.status, album)) {
            return false;
        }
    }
    if (childrenFirst && !makeChildren(run, pages, album, progress, result)) {
        return false;
    }
    if (album.showsFolder && !makeOwnPages(run, pages, album, progress, result)) {
        return false;
    }
    if (album.children.empty()) {
        return true;
    }
    if (!childrenFirst && !makeChildren(run, pages, album, progress, result)) {
        return false;
    }
    if (album.showsFolder && childrenFirst) {
        // Its own index page listed them.
        return true;
    }
    countItems(album, result);
    if (stopping(run, progress)) {
        return false;
    }
    const FailureKept kept{result, progress};
    if (!mainMakeMenuHtml(run, pages, album, result.children, result)) {
        mainSetStatus(run.status, true, kMessFailed, 0, 0);
        return false;
    }
    return true;
}

bool makeChildren(const RunServices& run, const PagePlan& pages, Album& album,
                  RunProgress& progress, AlbumResult& result) {
    result.children.reserve(album.children.size());
    for (const std::unique_ptr<Album>& child : album.children) {
        if (!makeAlbum(run, pages, *child, progress, result.children.emplace_back())) {
            return false;
        }
    }
    return true;
}

/// The folders a run writes its top pages into: the top page's folder and the page folder
/// below it. Holds them against other runs; false (with the busy folder shown) when one is
/// taken.
bool lockPageFolders(const RunServices& run, const TopPage& top, RunLock& lock,
                     RunProgress& progress) {
    std::string busy;
    if (!lock.take({pageFolderOf(top.page), pageFolderOf(top)}, busy)) {
        const UserText message = messFolderBusy(busy);
        mainSetStatus(run.status, true, message, 0, 0);
        progress.failure = message.shown;
        return false;
    }
    return true;
}

/// The name of the first album below the root, depth first, whose copies could not all be
/// made; "" when there is none.
std::string firstFailedChild(const Album& album, const AlbumResult& result) {
    if (album.parent != nullptr && !result.items.failed.empty()) {
        return album.job.name;
    }
    for (std::size_t i = 0; i < album.children.size() && i < result.children.size(); ++i) {
        std::string name = firstFailedChild(*album.children[i], result.children[i]);
        if (!name.empty()) {
            return name;
        }
    }
    return {};
}

/// Every file the tree's albums wrote, replaced and removed, depth first.
void collectFiles(const AlbumResult& result, Manifest& files) {
    files.add(result.files);
    for (const AlbumResult& child : result.children) {
        collectFiles(child, files);
    }
}

} // namespace

MakeResult runMake(const Settings& settings, const std::vector<GalleryEntry>& rows,
                   const ProgramFiles& files, StatusSink& sink, int pictureWorkers) {
    cmWriteLog("CommandMake_Click", 1, "▽Start Method▽");
    RunStatus status(&sink);
    status.setBarMax(100);
    status.setBarValue(0);
    // Templates are read once for the whole run, and its pages synced together.
    PageStore pageStore(files);
    // The header readers too: started once, not for every album of a tree.
    ReaderThreads readers;
    const RunServices run{files, status, pictureWorkers, &pageStore, &readers};
    RunPlan plan = planRun(settings, rows);
    Album& root = *plan.root;
    RunProgress progress;
    AlbumResult result;
    bool done = false;
    // Folders of a tree that could not be read, or lead out of it, are named at the end.
    for (const auto& [folder, reason] : plan.leftOutFolders) {
        progress.items.leftOut.push_back({folder, reason});
    }
    if (plan.refusal != nullptr) {
        mainSetStatus(status, true, plan.refusal, 0, 0);
    } else if ((!root.job.inTree || checkTopPage(run, plan.top)) &&
               checkAlbum(run, plan.top, root, progress)) {
        if (root.job.dateOrder && !root.children.empty()) {
            // Ordered by date, the albums lead to their neighbours in that order.
            int made = 0;
            linkFolderTree(root, root.job.barShares, made);
        }
        // The folders are held while the pages are written, no longer.
        RunLock lock;
        if (lockPageFolders(run, plan.top, lock, progress)) {
            // Albums that share the bar start it at 5; one album alone has it to itself.
            mainSetStatus(status, true, kMessMaking, root.children.empty() ? 0 : 1,
                          root.children.empty() ? 0 : 5);
            ReadAhead readAhead(run, plan.pages, root);
            progress.readAhead = &readAhead;
            done = makeAlbum(run, plan.pages, root, progress, result);
            progress.readAhead = nullptr;
            // The pages written in full go in place, a stopped or failed run's too.
            std::string failure;
            if (!pageStore.placeAll(failure) && progress.failure.empty()) {
                progress.failure = failure;
                if (done) {
                    done = false;
                    mainSetStatus(status, true, kMessFailed, 0, 0);
                }
            }
        }
    }

    // Copies that could not be made: every page is written, the pictures without copies show
    // their originals; but it is a failure the user must hear of, with what the run left out.
    const ItemNotes& items = progress.items;
    const std::string failedGallery = firstFailedChild(root, result);
    if (done && !items.failed.empty()) {
        done = false;
        progress.failure = copyFailureText(items);
        const UserText failed = failedGallery.empty()
                                    ? userText(kMessFailed)
                                    : withGallery(userText(kMessFailed), failedGallery);
        mainSetStatus(status, true, endingWithItems(failed, items), 0, 0);
    } else if (done) {
        mainSetStatus(status, true, endingWithItems(userText(kMessDone), items), 1, 100);
    } else if (progress.stopped) {
        mainSetStatus(status, true, kMessStopped, 0, 0);
    } else if (!items.empty()) {
        // A page failed after the copies: its failure stays, and the items are said too.
        mainSetStatus(status, true, endingWithItems(status.message(), items), 0, 0);
    }
    MakeResult made{done, progress.stopped, progress.failure, {}, {}};
    if (!progress.stopped) {
        made.items = itemDetails(items);
    }
    collectFiles(result, made.files);
    cmWriteLog("CommandMake_Click", 1, "△End Method△");
    return made;
}

} // namespace mivo
