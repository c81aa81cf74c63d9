#include "generation/picture_measure.h"

#include <algorithm>
#include <system_error>

#include "common/paths.h"
#include "generation/picture_header.h"

namespace mivo {

namespace {

constexpr int kMinInFlight = 8;
constexpr int kMaxWorkers = 64;
// Pictures a worker may read ahead of the writer, per worker: enough that a slow file does
// not leave the others idle, few enough that memory does not grow with the folder.
constexpr std::size_t kSlotsPerWorker = 4;
constexpr std::size_t kMinSlots = 32;

} // namespace

MeasuredSize measurePictureFile(const std::string& path) {
    MeasuredSize size;
    size.ok = cmReadPictureSize(path, size.width, size.height);
    return size;
}

int pictureWorkerCount(int requested) {
    if (requested > 0) {
        return std::min(requested, kMaxWorkers);
    }
    const auto cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cores * 4, kMinInFlight, kMaxWorkers);
}

PictureMeasurer::PictureMeasurer(const std::string& folder, const PictureList& pictures,
                                 int workers)
    : folder_(folder), pictures_(pictures) {
    const auto count = static_cast<std::size_t>(pictureWorkerCount(workers));
    const std::size_t threads = std::min(count, pictures_.size());
    slots_.resize(std::max(threads * kSlotsPerWorker, kMinSlots));
    for (std::size_t i = 0; i < threads; ++i) {
        try {
            threads_.emplace_back(&PictureMeasurer::work, this);
        } catch (const std::system_error&) {
            break; // the threads that did start do the work; with none, take() reads
        }
    }
}

PictureMeasurer::~PictureMeasurer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    roomForMore_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

std::string PictureMeasurer::pathOf(std::size_t index) const {
    return cmAddPath(folder_, pictures_[index].strName, kPathSeparator);
}

void PictureMeasurer::work() {
    const std::size_t window = slots_.size();
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        roomForMore_.wait(
            lock, [&] { return stop_ || next_ >= pictures_.size() || next_ < taken_ + window; });
        if (stop_ || next_ >= pictures_.size()) {
            return;
        }
        const std::size_t index = next_++;
        lock.unlock();
        const MeasuredSize size = measurePictureFile(pathOf(index));
        lock.lock();
        // The slot was last used by picture index - window, which the writer has taken.
        Slot& slot = slots_[index % window];
        slot.size = size;
        slot.ready = true;
        if (index == taken_) {
            resultReady_.notify_one();
        }
    }
}

MeasuredSize PictureMeasurer::take(std::size_t index) {
    if (threads_.empty()) {
        return measurePictureFile(pathOf(index));
    }
    Slot& slot = slots_[index % slots_.size()];
    MeasuredSize size;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        resultReady_.wait(lock, [&] { return slot.ready; });
        size = slot.size;
        slot.ready = false;
        taken_ = index + 1;
    }
    roomForMore_.notify_one();
    return size;
}

} // namespace mivo
