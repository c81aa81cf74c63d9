#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "generation/copies/copy_folders.h"
#include "generation/copies/copy_record.h"
#include "generation/copies/media_tools.h"
#include "generation/copies/picture_resize.h"

namespace mivo {

/// One item that needs its copies made, and what came of it.
struct ResizeTask {
    std::size_t picture = 0;
    std::string name;
    std::string source;
    CopyNames names;
    MadeCopies stamp;
    bool started = false;
    bool done = false;
    bool ok = false;
    bool unreadable = false; // not what its name says, or no frame could be taken from it
    // The web video on record is this video's own and still there: only the other copies are
    // made again (WebP thumbnails an earlier version did not make), not the transcode.
    bool keepWebVideo = false;
    // A Live Photo's motion: it gets no poster copies while its still is shown, kept
    // (`stillShown`) or made by the task `still` (SIZE_MAX: none).
    bool motion = false;
    bool stillShown = false;
    std::size_t still = SIZE_MAX;
    ResizedSizes sizes;
    std::string error;
    std::vector<RemovedCopy> removed; // files of its names that went when it failed
};

/// The order the tasks are started in: the videos first, the largest file first (a long clip
/// started last would leave the other cores idle while it alone is made; a file's bytes are
/// what is known of its length and size before it is read), then the pictures in their order,
/// then the Live Photos' motions (short clips, each started once its still has been).
std::vector<std::size_t> startOrder(const std::vector<ResizeTask>& tasks);

/// Reduces the tasks on worker threads and puts each item's copies in place, entered in the
/// journal as soon as they are; the caller takes the results in task order.
class ResizePool {
  public:
    /// Starts up to `workers` threads (0, or more than the cores: one per core) over `tasks`,
    /// in startOrder. `journal` is present whenever there are tasks.
    ResizePool(std::vector<ResizeTask>& tasks, const ResizeRequest& request, int workers,
               const CopyFolderSet& folders, Journal* journal, const MediaTools& tools,
               const std::function<bool()>& stopRequested);
    ~ResizePool();
    ResizePool(const ResizePool&) = delete;
    ResizePool& operator=(const ResizePool&) = delete;

    /// No task is started from now on; pictures under way are finished, a running ffmpeg is
    /// stopped.
    void stop();
    bool stopped() const { return cancelled_; }

    /// Task `index` once it is done, or once it is sure never to start (started false). Asks
    /// `stopRequested` (on this thread) while it waits, since a video may take minutes.
    const ResizeTask& take(std::size_t index);

  private:
    /// A video's poster copies and, when its original does not play in a browser, its web
    /// video. false with the task's error; `unreadable` when the file is no video ffprobe and
    /// ffmpeg can read.
    bool makeVideo(ResizeTask& task, EncodedCopies& encoded);
    /// Whether a Live Photo's motion is shown by its still: the still kept, or its task done
    /// and its copies made (waited for: the motions start after every other task).
    bool stillShown(const ResizeTask& task);
    /// Makes the animation copy of a moving GIF whose still copies are made, at the display
    /// copy's size; on failure the task keeps no animation.
    void makeAnimation(ResizeTask& task, const ResizedSizes& sizes);
    /// The task keeps no animation copy: a file of its name goes.
    void dropAnimation(ResizeTask& task);
    void run(ResizeTask& task);
    void work();

    std::vector<ResizeTask>& tasks_;
    const ResizeRequest request_;
    const CopyFolderSet& folders_;
    Journal* journal_; // present whenever there are tasks
    const MediaTools& tools_;
    VideoPrograms video_; // the tools' programs, with the threads each transcode may use
    const std::function<bool()>& stopRequested_;
    std::atomic<bool> cancelled_{false}; // stopped: running programs are killed
    std::vector<std::size_t> order_;     // videos first: they take longest, pictures fill in beside
    std::size_t next_ = 0;
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable done_;
    std::vector<std::thread> threads_;
};

} // namespace mivo
