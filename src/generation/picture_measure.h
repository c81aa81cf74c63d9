#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "generation/exif_info.h"
#include "generation/file_data.h"

namespace mivo {

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

/// Reads the headers of a gallery's pictures on worker threads, ahead of the page writer, and
/// hands the sizes back strictly in listing order. Workers read at most a window of pictures
/// beyond the one the writer waits for, and every picture is read exactly once. Workers only
/// read files: the log and the status line stay with the thread that calls take().
class PictureMeasurer {
  public:
    /// Starts `workers` threads over the pictures of `folder`. With 0, one thread per core
    /// starts, and the pool grows to pictureWorkerCount(0) as soon as a read waits on the disk:
    /// a folder in the page cache is read fastest by few threads that leave the writer its
    /// core, one on the disk by many reads in flight (and then without read-ahead, with any
    /// number of workers). When no thread can be started, take()
    /// reads each picture itself. Without `shootingData` only the sizes are read: the EXIF
    /// block is then looked at for the orientation alone.
    PictureMeasurer(const std::string& folder, const PictureList& pictures, int workers,
                    bool shootingData = true);
    ~PictureMeasurer();
    PictureMeasurer(const PictureMeasurer&) = delete;
    PictureMeasurer& operator=(const PictureMeasurer&) = delete;

    /// The size of picture `index`, waiting for it when need be. Pictures are taken in order:
    /// 0, 1, 2, ... each once.
    MeasuredSize take(std::size_t index);

    std::size_t threadCount() const;

  private:
    struct Slot {
        MeasuredSize size;
        bool ready = false;
    };

    MeasuredSize measure(std::size_t index, bool* onDisk, bool fromDisk) const;
    void work();
    /// Starts the threads up to `count`; called with mutex_ held.
    void startThreads(std::size_t count);

    const std::string folder_;
    int folderFd_ = -1; // the folder, open for openat; -1: pictures are opened by their path
    const PictureList& pictures_;
    const bool shootingData_;
    std::size_t growTo_ = 0;      // threads once a read waits on the disk
    bool readsItself_ = false;    // no thread could be started: take() reads
    bool onDisk_ = false;         // a read waited on the disk: the pool has grown
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
    std::vector<std::thread> threads_;    // grows under mutex_ until stop_
};

} // namespace mivo
