#include "generation/pictures/picture_measure.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <system_error>

#include "common/paths.h"
#include "generation/pictures/header_ring.h"
#include "generation/pictures/picture_header.h"

namespace mivo {

namespace {

// Reads in flight at least: a disk answers many small reads at once about as fast as one, so
// a cold folder is read fastest with a deep queue even on a machine with two cores (measured
// on 10,000 files: 64 readers took 0.51 s cold where 32 took 0.55-0.61 s; warm, the same).
constexpr int kMinInFlight = 64;
constexpr int kMaxWorkers = 128;
constexpr int kReadersPerCore = 16;
// Pictures read ahead of the writer, per worker: enough that a slow file does not leave the
// others idle, few enough that memory does not grow with the folder.
constexpr std::size_t kSlotsPerWorker = 8;
constexpr std::size_t kMinSlots = 64;
// Pictures in flight in the io_uring: on 10,000 files dropped from the page cache, 64 took
// 0.25-0.30 s, 128 and 256 0.21-0.25 s. Within the window of slots.
constexpr unsigned kRingDepth = 256;
// A worker claims a few pictures at a time, and the writer, when it has to wait, sleeps until
// a run of pictures is measured: each lock hand-over and wake-up costs more than a warm header.
constexpr std::size_t kClaim = 4;
// A gallery this small, read with the run's threads, is read by the writer alone until a read
// waits on the disk: from the page cache its headers take less than waking a worker for them.
constexpr std::size_t kWriterReadsUpTo = 64;

} // namespace

MeasuredSize measurePictureFile(const std::string& path, bool shootingData) {
    MeasuredSize size;
    size.ok = readPictureSize(path, size.width, size.height, shootingData ? &size.exif : nullptr);
    return size;
}

namespace {

/// The processors this machine offers, asked once: the C library reads /sys each time it is
/// asked, and a folder tree starts a measurer for every album.
unsigned coreCount() {
    static const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    return cores;
}

} // namespace

int pictureWorkerCount(int requested) {
    if (requested > 0) {
        return std::min(requested, kMaxWorkers);
    }
    const auto cores = static_cast<int>(coreCount());
    return std::clamp(cores * kReadersPerCore, kMinInFlight, kMaxWorkers);
}

ReaderThreads::~ReaderThreads() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

std::size_t ReaderThreads::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_.size();
}

bool ReaderThreads::start(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) {
            return false;
        }
        if (free_ <= tasks_.size()) {
            try {
                threads_.emplace_back(&ReaderThreads::loop, this);
            } catch (const std::system_error&) {
                return false;
            }
            ++free_;
        }
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
    return true;
}

void ReaderThreads::loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        wake_.wait(lock, [&] { return stop_ || !tasks_.empty(); });
        if (tasks_.empty()) {
            return;
        }
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        --free_;
        lock.unlock();
        task();
        task = nullptr;
        lock.lock();
        ++free_;
    }
}

PictureMeasurer::PictureMeasurer(const std::string& folder, const PictureList& pictures,
                                 int workers, bool shootingData, ReaderThreads* threads)
    : folder_(folder), pictures_(pictures), shootingData_(shootingData), mayUseRing_(workers <= 0),
      lent_(threads) {
    const auto full =
        std::min(static_cast<std::size_t>(pictureWorkerCount(workers)), pictures_.size());
    // A window wider than the gallery is never filled; two slots at least, so that the writer
    // always waits for the picture it takes.
    slots_.resize(std::max<std::size_t>(
        std::min(std::max({full * kSlotsPerWorker, kMinSlots, std::size_t{kRingDepth} * 2}),
                 pictures_.size()),
        2));
    // Opened once, so each picture is opened by its name alone, not by walking the whole path.
    folderFd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    growTo_ = full;
    std::size_t first = full;
    if (workers <= 0) {
        const std::size_t cores = coreCount();
        first = std::min(cores, full);
        if (lent_ != nullptr && pictures_.size() <= kWriterReadsUpTo) {
            deferredStart_ = first;
            first = 0;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    startThreads(first);
    readsItself_ = started_ == 0 && deferredStart_ == 0;
}

PictureMeasurer::~PictureMeasurer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    roomForMore_.notify_all();
    // No thread is added once stop_ is set.
    for (std::thread& thread : threads_) {
        thread.join();
    }
    {
        // Lent threads go back to the run; each has left this reader once it is counted out.
        std::unique_lock<std::mutex> lock(mutex_);
        workersBack_.wait(lock, [&] { return running_ == 0; });
    }
    if (folderFd_ >= 0) {
        ::close(folderFd_);
    }
}

void PictureMeasurer::readAhead() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_ == 0 && deferredStart_ > 0) {
        // One: the other core writes the album before this one.
        startThreads(1);
    }
}

std::size_t PictureMeasurer::threadCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return started_;
}

bool PictureMeasurer::readsThroughRing() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ringActive_;
}

void PictureMeasurer::startThreads(std::size_t count) {
    while (started_ < count && !stop_) {
        if (lent_ != nullptr) {
            // Counted before it starts: the reader waits for it even if it never gets to work.
            ++running_;
            const bool started = lent_->start([this] {
                work();
                const std::lock_guard<std::mutex> lock(mutex_);
                if (--running_ == 0) {
                    workersBack_.notify_all();
                }
            });
            if (!started) {
                --running_;
                return; // the threads that did start do the work; with none, take() reads
            }
        } else {
            try {
                threads_.emplace_back(&PictureMeasurer::work, this);
            } catch (const std::system_error&) {
                return; // the threads that did start do the work; with none, take() reads
            }
        }
        ++started_;
    }
}

namespace {

// A HEIC picture or a video is shown through its copies, with the size and shooting data its
// copy record holds: its header is not read here (the reader knows only JPEG, GIF and BMP).
bool headerRead(const Item& item) {
    return item.kind == ItemKind::Picture;
}

} // namespace

MeasuredSize PictureMeasurer::measure(std::size_t index, bool* onDisk, bool fromDisk) const {
    MeasuredSize size;
    if (!headerRead(pictures_[index])) {
        return size;
    }
    return measureNow(index, onDisk, fromDisk);
}

MeasuredSize PictureMeasurer::measureNow(std::size_t index, bool* onDisk, bool fromDisk) const {
    MeasuredSize size;
    ExifInfo* exif = shootingData_ ? &size.exif : nullptr;
    const Item& item = pictures_[index];
    // Without the folder open, each picture is opened by its whole path.
    const std::string& path = folderFd_ >= 0 ? item.name() : item.path;
    size.ok = readPictureSizeAt(folderFd_ >= 0 ? folderFd_ : AT_FDCWD, path.c_str(), size.width,
                                size.height, exif, onDisk, fromDisk);
    return size;
}

void PictureMeasurer::work() {
    const std::size_t count = pictures_.size();
    const std::size_t window = slots_.size();
    std::vector<MeasuredSize> sizes;
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        waitForRoom(lock);
        if (stop_ || next_ >= count || ringActive_) {
            return; // with the ring, one thread reads the rest
        }
        const std::size_t first = next_;
        const std::size_t last = std::min({first + kClaim, taken_ + window, count});
        next_ = last;
        // Until a read has waited on the disk, each first read asks whether it would; from
        // then on the pool is at its full size and reads only what it looks at.
        bool onDisk = false;
        bool* ask = onDisk_ ? nullptr : &onDisk;
        const bool fromDisk = onDisk_;
        lock.unlock();
        sizes.clear();
        for (std::size_t i = first; i < last; ++i) {
            sizes.push_back(measure(i, ask, fromDisk));
        }
        lock.lock();
        // These slots were last used by pictures a window earlier, which the writer has taken.
        for (std::size_t i = first; i < last; ++i) {
            publish(i, std::move(sizes[i - first]));
        }
        advanceReady();
        if (onDisk && !onDisk_) {
            onDisk_ = true;
            std::unique_ptr<HeaderRing> ring;
            if (mayUseRing_ && folderFd_ >= 0) {
                ring = HeaderRing::open(kRingDepth);
            }
            if (ring == nullptr) {
                startThreads(growTo_);
                continue;
            }
            ringActive_ = true;
            lock.unlock();
            ringWork(*ring);
            return;
        }
    }
}

void PictureMeasurer::ringWork(HeaderRing& ring) {
    const std::size_t count = pictures_.size();
    const std::size_t window = slots_.size();
    std::vector<HeaderRing::Finished> finished;
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        const std::size_t first = next_;
        if (!stop_ && !ring.broken()) {
            next_ = std::max(first, std::min({first + ring.room(), taken_ + window, count}));
        }
        const std::size_t last = next_;
        if (first == last && ring.idle()) {
            if (stop_ || next_ >= count) {
                return;
            }
            if (ring.broken()) {
                // The kernel stopped taking reads: threads read the rest.
                ringActive_ = false;
                startThreads(growTo_);
                return;
            }
            waitForRoom(lock);
            continue;
        }
        lock.unlock();
        std::vector<std::size_t> unread;
        for (std::size_t i = first; i < last; ++i) {
            if (headerRead(pictures_[i])) {
                ring.start(i, folderFd_, pictures_[i].name().c_str(), shootingData_);
            } else {
                unread.push_back(i);
            }
        }
        finished.clear();
        ring.finish(finished);
        lock.lock();
        for (HeaderRing::Finished& f : finished) {
            publish(f.index, std::move(f.size));
        }
        for (const std::size_t i : unread) {
            publish(i, MeasuredSize{});
        }
        advanceReady();
    }
}

void PictureMeasurer::waitForRoom(std::unique_lock<std::mutex>& lock) {
    ++idleWorkers_;
    roomForMore_.wait(
        lock, [&] { return stop_ || next_ >= pictures_.size() || next_ < taken_ + slots_.size(); });
    --idleWorkers_;
}

void PictureMeasurer::publish(std::size_t index, MeasuredSize&& size) {
    slots_[index % slots_.size()] = Slot{std::move(size), true};
}

void PictureMeasurer::advanceReady() {
    while (readyUpTo_ < next_ && slots_[readyUpTo_ % slots_.size()].ready) {
        ++readyUpTo_;
    }
    if (writerWaiting_ && readyUpTo_ >= writerWants_) {
        resultReady_.notify_one();
    }
}

MeasuredSize PictureMeasurer::take(std::size_t index) {
    if (readsItself_) {
        return measure(index, nullptr, false);
    }
    const std::size_t window = slots_.size();
    Slot& slot = slots_[index % window];
    MeasuredSize size;
    bool wake = false;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // While the headers come from the page cache, the writer reads the next unclaimed
        // pictures itself rather than sleep: in a small gallery the hand-over to a worker and
        // back costs more than the read.
        while (index >= readyUpTo_ && (started_ == 0 || (!onDisk_ && !writerOnDisk_)) &&
               !ringActive_ && next_ < pictures_.size() && next_ < taken_ + window) {
            const std::size_t first = next_;
            const std::size_t last = std::min({first + kClaim, taken_ + window, pictures_.size()});
            next_ = last;
            lock.unlock();
            std::vector<MeasuredSize> sizes;
            sizes.reserve(last - first);
            bool onDisk = false;
            for (std::size_t i = first; i < last; ++i) {
                sizes.push_back(measure(i, writerOnDisk_ ? nullptr : &onDisk, false));
            }
            lock.lock();
            for (std::size_t i = first; i < last; ++i) {
                publish(i, std::move(sizes[i - first]));
            }
            advanceReady();
            if (onDisk && !writerOnDisk_) {
                // The pictures are not all in memory: the workers read the rest, many at once.
                writerOnDisk_ = true;
                startThreads(std::max(started_, deferredStart_));
            }
        }
        if (index >= readyUpTo_) {
            // Sleep until a run of pictures is in; every one of them has been claimed, since
            // the run is shorter than the window.
            writerWants_ = std::min(index + window / 2, pictures_.size());
            if (idleWorkers_ > 0 && next_ < writerWants_) {
                roomForMore_.notify_all();
            }
            writerWaiting_ = true;
            resultReady_.wait(lock, [&] { return readyUpTo_ >= writerWants_; });
            writerWaiting_ = false;
        }
        size = slot.size;
        slot.ready = false;
        taken_ = index + 1;
        // Idle workers are woken together once half the window is free.
        wake = idleWorkers_ > 0 && next_ < pictures_.size() && next_ <= taken_ + window / 2;
    }
    if (wake) {
        roomForMore_.notify_all();
    }
    return size;
}

} // namespace mivo
