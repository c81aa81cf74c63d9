#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "generation/pictures/exif_info.h"
#include "generation/plan/item.h"

namespace mivo {

class HeaderRing;

/// A picture's pixel size as its header gave it (ok is false when it could not be read), and
/// the shooting data met on the way.
struct MeasuredSize {
    bool ok = false;
    long width = 0;
    long height = 0;
    ExifInfo exif;
};

/// Reads one picture's size, and its shooting data when `shootingData`, from its header (opens
/// the file once, no stat of the name).
MeasuredSize measurePictureFile(const std::string& path, bool shootingData = true);

/// How many pictures are read at once for `requested` (0: from the hardware, the most a pool
/// grows to). Reading headers from the disk waits far more than it works, so even a small
/// machine keeps many reads in flight there.
int pictureWorkerCount(int requested);

/// Threads that read picture headers, kept for a whole run and lent to one gallery's reads after
/// another: a folder tree of small albums spent more on starting and ending two threads per
/// album than on reading its headers. A task is handed to a thread that has none, or to a new
/// one, so no task ever waits behind another (a reader may sleep until the writer catches up).
class ReaderThreads {
  public:
    ReaderThreads() = default;
    /// Waits for the tasks handed out, then ends the threads.
    ~ReaderThreads();
    ReaderThreads(const ReaderThreads&) = delete;
    ReaderThreads& operator=(const ReaderThreads&) = delete;

    /// Runs `task` on a thread of its own; false when there is none and none could be started.
    bool start(std::function<void()> task);
    /// Threads started so far.
    std::size_t size() const;

  private:
    void loop();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::size_t free_ = 0; // threads without a task: at least as many as tasks_ waiting
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

/// Reads the headers of a gallery's pictures on worker threads, ahead of the page writer, and
/// hands the sizes back strictly in listing order. Workers read at most a window of pictures
/// beyond the one the writer waits for, and every picture is read exactly once. Workers only
/// read files: the log and the status line stay with the thread that calls take().
class PictureMeasurer {
  public:
    /// Starts `workers` threads over the pictures of `folder`. With 0, one thread per core
    /// starts: a folder in the page cache is read fastest by few threads that leave the writer
    /// its core. As soon as a read waits on the disk, the thread that met it reads the rest
    /// through an io_uring with many pictures in flight and the others stop; where the kernel
    /// offers no io_uring, the pool grows to pictureWorkerCount(0) threads instead. From
    /// the disk, with any number of workers, nothing is read ahead. When no thread can be
    /// started, take() reads each picture itself. Without `shootingData` only the sizes are read:
    /// the EXIF block is then looked at for the orientation alone. With `threads` the workers
    /// are its threads, handed back when the reads end; without, threads of its own.
    PictureMeasurer(const std::string& folder, const PictureList& pictures, int workers,
                    bool shootingData = true, ReaderThreads* threads = nullptr);
    ~PictureMeasurer();
    PictureMeasurer(const PictureMeasurer&) = delete;
    PictureMeasurer& operator=(const PictureMeasurer&) = delete;

    /// The size of picture `index`, waiting for it when need be. Pictures are taken in order:
    /// 0, 1, 2, ... each once.
    MeasuredSize take(std::size_t index);
    /// Picture `index`'s header read now, whatever its kind: take() gives nothing for a HEIC
    /// picture or a video, which are shown through their copies; one without copies is shown
    /// as a picture, from whatever its header says.
    MeasuredSize readNow(std::size_t index) const { return measureNow(index, nullptr, false); }

    /// Starts reading now on one of the run's threads, where a small gallery would wait for
    /// its writer to read it: its writer is still busy with the album before it.
    void readAhead();

    std::size_t threadCount() const;
    /// The pictures are being read through an io_uring.
    bool readsThroughRing() const;

  private:
    struct Slot {
        MeasuredSize size;
        bool ready = false;
    };

    MeasuredSize measure(std::size_t index, bool* onDisk, bool fromDisk) const;
    MeasuredSize measureNow(std::size_t index, bool* onDisk, bool fromDisk) const;
    void work();
    /// Reads every picture not yet claimed through `ring`; called without mutex_ held.
    void ringWork(HeaderRing& ring);
    /// Sleeps, as an idle reader, until there is a picture to claim or the run stops; called
    /// with mutex_ held in `lock`.
    void waitForRoom(std::unique_lock<std::mutex>& lock);
    /// Puts a measured picture in its slot; called with mutex_ held.
    void publish(std::size_t index, MeasuredSize&& size);
    /// Moves readyUpTo_ past the pictures now measured and wakes the writer when what it
    /// waits for is in; called with mutex_ held.
    void advanceReady();
    /// Starts the threads up to `count`; called with mutex_ held.
    void startThreads(std::size_t count);

    const std::string folder_;
    int folderFd_ = -1; // the folder, open for openat; -1: pictures are opened by their path
    const PictureList& pictures_;
    const bool shootingData_;
    std::size_t growTo_ = 0;      // threads once a read waits on the disk
    bool readsItself_ = false;    // no thread could be started: take() reads
    bool onDisk_ = false;         // a read waited on the disk: the pool has grown
    const bool mayUseRing_;       // the number of workers was not given
    bool ringActive_ = false;     // one thread reads through an io_uring, the others stop
    std::vector<Slot> slots_;     // picture i waits in slot i % window
    std::size_t next_ = 0;        // the next picture a worker claims
    std::size_t taken_ = 0;       // the next picture the writer takes
    std::size_t readyUpTo_ = 0;   // every picture below this one is measured
    std::size_t writerWants_ = 0; // the writer sleeps until readyUpTo_ reaches this
    bool writerWaiting_ = false;
    std::size_t idleWorkers_ = 0; // workers waiting for free slots
    bool stop_ = false;
    mutable std::mutex mutex_;
    std::condition_variable roomForMore_; // slots came free (or stop)
    std::condition_variable resultReady_; // what the writer waits for is measured
    std::vector<std::thread> threads_;    // grows under mutex_ until stop_ (own threads)
    ReaderThreads* const lent_;           // the run's threads, or none
    std::size_t started_ = 0;             // workers started, own or lent
    std::size_t running_ = 0;             // lent workers not yet back
    std::size_t deferredStart_ = 0; // workers a small gallery starts once a read meets the disk
    bool writerOnDisk_ = false;     // a read of the writer's own waited on the disk
    std::condition_variable workersBack_; // running_ fell to 0
};

} // namespace mivo
