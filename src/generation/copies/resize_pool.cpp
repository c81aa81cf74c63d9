#include "generation/copies/resize_pool.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <system_error>

#include "common/log.h"
#include "common/run_program.h"

namespace mivo {

namespace {

// Whether a failed ffprobe or ffmpeg call speaks of the file: the program ran and ended by
// itself, refusing the file, making nothing of it or crashing on it, or wrote more about it
// than any file can need. One that could not be started, a colour table that could not be
// written (a full temporary folder: the call never ran), a call past its time, one the system
// killed (SIGKILL, as the out-of-memory killer does) and one whose end was not seen (our own
// failure while watching it) say nothing of it.
bool blamesTheFile(const ProgramResult& call) {
    if (!call.started || call.timedOut || call.stopped) {
        return false;
    }
    return call.exitCode >= 0 || call.outputTooLong || (call.signal != 0 && call.signal != SIGKILL);
}

} // namespace

std::vector<std::size_t> startOrder(const std::vector<ResizeTask>& tasks) {
    std::vector<std::size_t> order(tasks.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (tasks[a].motion != tasks[b].motion) {
            return tasks[b].motion;
        }
        const MadeCopies& first = tasks[a].stamp;
        const MadeCopies& second = tasks[b].stamp;
        if (first.video != second.video) {
            return first.video;
        }
        return first.video && first.pictureBytes > second.pictureBytes;
    });
    return order;
}

ResizePool::ResizePool(std::vector<ResizeTask>& tasks, const ResizeRequest& request, int workers,
                       const CopyFolderSet& folders, Journal* journal, const MediaTools& tools,
                       const std::function<bool()>& stopRequested)
    : tasks_(tasks), request_(request), folders_(folders), journal_(journal), tools_(tools),
      stopRequested_(stopRequested) {
    order_ = startOrder(tasks_);
    // Reducing is work for a core, and each worker holds one decoded picture: never more
    // workers than cores, whatever number of header reads was asked for.
    const int cores = std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
    const int wanted = workers > 0 ? std::min(workers, cores) : cores;
    const auto count = std::min<std::size_t>(static_cast<std::size_t>(wanted), tasks_.size());
    // Every worker keeps a core busy: a transcode then takes one core, as it would run
    // beside the others anyway, instead of fighting them for all of them.
    video_ = tools_.video;
    video_.threads = count > 1 ? std::max(1, cores / static_cast<int>(count)) : 0;
    for (std::size_t i = 0; i < count; ++i) {
        try {
            threads_.emplace_back(&ResizePool::work, this);
        } catch (const std::system_error&) {
            break; // with no thread at all, take() does the work itself
        }
    }
}

ResizePool::~ResizePool() {
    stop();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void ResizePool::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    cancelled_ = true;
    done_.notify_all();
}

const ResizeTask& ResizePool::take(std::size_t index) {
    if (threads_.empty()) {
        if (!stop_) {
            tasks_[index].started = true;
            run(tasks_[index]);
            tasks_[index].done = true;
        }
        return tasks_[index];
    }
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ready = [&] { return tasks_[index].done || (stop_ && !tasks_[index].started); };
    while (!ready()) {
        if (!done_.wait_for(lock, std::chrono::milliseconds(100), ready) && !stop_ &&
            stopRequested_ && stopRequested_()) {
            stop_ = true;
            cancelled_ = true;
            done_.notify_all();
        }
    }
    return tasks_[index];
}

bool ResizePool::stillShown(const ResizeTask& task) {
    if (task.stillShown) {
        return true;
    }
    if (task.still == SIZE_MAX) {
        return false;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    const ResizeTask& still = tasks_[task.still];
    // Without worker threads the tasks run in listing order: the still's has, if at all.
    if (!threads_.empty()) {
        done_.wait(lock, [&] { return still.done || (stop_ && !still.started); });
    }
    return still.done && still.ok;
}

bool ResizePool::makeVideo(ResizeTask& task, EncodedCopies& encoded) {
    const auto stop = [this] { return cancelled_.load(); };
    VideoFacts facts;
    std::string poster;
    ProgramResult call;
    // A Live Photo's motion shown over its still has no use for a poster of its own: its
    // web video alone (the still's copies stand for it in every page).
    const bool posterless = task.motion && stillShown(task);
    if (posterless) {
        task.stamp.motion = true;
        task.stamp.webp = false;
        task.names.file.clear();
        task.names.thumbWebp.clear();
    }
    if (!probeVideo(video_, task.source, facts, task.error, stop, &call) ||
        (!posterless &&
         !extractPoster(video_, task.source, facts, poster, task.error, stop, &call))) {
        // A call past its time limit (a busy machine, a slow disk) or one that never ran says
        // nothing of the file: the copies failed, the run says so, and the next run tries
        // again rather than leaving the video out for as long as it stays as it is.
        task.unreadable = !cancelled_ && blamesTheFile(call);
        return false;
    }
    // ffmpeg read the file and gave its frame as PNG: shrinking that frame fails only on this
    // side (the image library short of memory), which says nothing of the video, so the run
    // fails and the next one tries again.
    if (!posterless && !resizePictureBytes(poster, request_, encoded, task.error)) {
        return false;
    }
    poster.clear();
    const WebVideoWay way = webVideoWay(facts, task.name);
    MadeCopies& stamp = task.stamp;
    stamp.durationMs = std::llround(facts.durationSeconds * 1000.0);
    stamp.webVideoMade = way != WebVideoWay::Original;
    stamp.dateTaken = dateNumber(facts.dateTaken);
    stamp.timeZone = stamp.dateTaken != 0 ? facts.timeZone : std::string();
    stamp.model = facts.model;
    if (!stamp.webVideoMade || task.keepWebVideo) {
        return true;
    }
    const std::string& webName = task.names.webVideo;
    if (logWants(3)) {
        std::string line = "ffmpeg:";
        for (const std::string& arg : webVideoCommand(video_, task.source, facts, way, webName)) {
            line += ' ';
            line += arg;
        }
        cmWriteLog(kCopierLog, 3, line);
    }
    ProgramResult run;
    if (makeWebVideo(video_, task.source, facts, way, folders_.views, webName, task.error, stop,
                     &run)) {
        return true;
    }
    // Past the ten minutes any video may take: left out as one that cannot be read, and not
    // tried again while it stays as it is. A short clip's own limit (a minute and ten times
    // its length) is passed on a busy machine too: that says nothing of the file, so the
    // copy failed, the run says so, and the next run tries again.
    task.unreadable = run.timedOut && webVideoLimitIsTheLongest(facts);
    return false;
}

void ResizePool::dropAnimation(ResizeTask& task) {
    // The record will not list it: an earlier run's copy of that name goes now, or the next
    // run would take it for a file of the user's.
    std::string ignored;
    CopyNames animation;
    animation.webVideo = task.names.webVideo;
    removeCopies(folders_, animation, ignored, &task.removed);
    task.stamp.animation.clear();
}

void ResizePool::makeAnimation(ResizeTask& task, const ResizedSizes& sizes) {
    const auto stop = [this] { return cancelled_.load(); };
    const std::string& name = task.names.webVideo;
    if (task.stamp.animation == kAnimationWebp) {
        std::string bytes;
        std::string error;
        if (!animatedWebpCopy(task.source, sizes.viewWidth, sizes.viewHeight, bytes, error) ||
            !folders_.views.writeFile(name, bytes, error)) {
            cmWriteLog(kCopierLog, 4, "<" + task.source + "> " + error + ": shown still");
            dropAnimation(task);
        }
        return;
    }
    if (logWants(3)) {
        std::string line = "ffmpeg:";
        for (const std::string& arg :
             animationCommand(video_, task.source, sizes.viewWidth, sizes.viewHeight, name)) {
            line += ' ';
            line += arg;
        }
        cmWriteLog(kCopierLog, 3, line);
    }
    std::string error;
    if (!makeAnimationCopy(video_, task.source, sizes.viewWidth, sizes.viewHeight, folders_.views,
                           name, error, stop)) {
        // The still copies stand; the picture is shown still, and the next run tries again.
        cmWriteLog(kCopierLog, 4, "<" + error + "> the picture is shown still");
        dropAnimation(task);
    }
}

void ResizePool::run(ResizeTask& task) {
    EncodedCopies encoded;
    task.ok = task.stamp.video ? makeVideo(task, encoded)
                               : resizePicture(task.source, request_, encoded, task.error);
    if (!task.ok && !task.stamp.video && task.error.rfind("the image library", 0) != 0) {
        task.unreadable = true;
    }
    if (task.ok && !task.names.file.empty()) {
        // The display copy first, the 1x thumbnail last: a list page never links a
        // thumbnail whose display copy is missing.
        // The WebP thumbnails before the JPEG ones, for the same reason.
        const std::string& fileName = task.names.file;
        const std::string& webpName = task.names.thumbWebp;
        if (!webpName.empty() && (encoded.thumbWebp.empty() || encoded.thumb2xWebp.empty())) {
            task.ok = false;
            task.error = "the image library wrote no WebP thumbnail";
        }
        task.ok = task.ok && folders_.views.writeFile(fileName, encoded.view, task.error) &&
                  (webpName.empty() ||
                   (folders_.thumbs2x.writeFile(webpName, encoded.thumb2xWebp, task.error) &&
                    folders_.thumbs.writeFile(webpName, encoded.thumbWebp, task.error))) &&
                  folders_.thumbs2x.writeFile(fileName, encoded.thumb2x, task.error) &&
                  folders_.thumbs.writeFile(fileName, encoded.thumb, task.error);
    }
    if (task.ok && !task.stamp.video && !task.stamp.animation.empty()) {
        makeAnimation(task, encoded.sizes);
    }
    if (task.ok) {
        task.sizes = encoded.sizes;
        MadeCopies made = task.stamp;
        made.ok = true;
        made.sizes = encoded.sizes;
        if (!journal_->append(copyRecordLine(task.name, made))) {
            task.ok = false;
            task.error = journal_->error();
        }
    }
    if (!task.ok) {
        // Half a picture's copies are no use: its names are on record as Mivo's, so the
        // next run may make them again, but nothing half-made is left for a page to link.
        std::string ignored;
        removeCopies(folders_, task.names, ignored, &task.removed);
    }
}

void ResizePool::work() {
    while (true) {
        std::size_t index = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_ || next_ >= tasks_.size()) {
                break;
            }
            index = order_[next_++];
            tasks_[index].started = true;
        }
        // Only this worker touches the task until it is marked done.
        ResizeTask& task = tasks_[index];
        ResizeTask result = task;
        run(result);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            result.done = true;
            task = std::move(result);
        }
        done_.notify_all();
    }
    endImageThread();
}

} // namespace mivo
