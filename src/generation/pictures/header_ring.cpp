#include "generation/pictures/header_ring.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <liburing.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "generation/pictures/picture_header.h"

namespace mivo {

namespace {

// The first read of a picture and the least any later read takes: the magic, the first
// segments of a JPEG and the start of its EXIF block come in one request.
constexpr std::size_t kRead = 4096;
// A header spread over more reads than this (segments upon segments before the frame) is
// read the plain way, so a walk that starts again after each read stays cheap.
constexpr int kMaxReads = 8;
// Times in a row the ring may refuse to send reads before it is given up.
constexpr int kMaxFailures = 100;

using Clock = std::chrono::steady_clock;

__kernel_timespec timespecOf(Clock::duration wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(wait - seconds);
    __kernel_timespec ts{};
    ts.tv_sec = seconds.count();
    ts.tv_nsec = nanoseconds.count();
    return ts;
}

} // namespace

struct HeaderRing::State {
    struct Job {
        std::size_t index = 0;
        int folderFd = -1;
        const char* name = nullptr;
        int fd = -1;
        bool shootingData = false;
        int reads = 0;
        std::vector<FilePart> parts;
        std::uint64_t fileEnd = std::numeric_limits<std::uint64_t>::max();
        Clock::time_point asked; // when the read in flight was asked for
    };

    io_uring ring{};
    Clock::duration stallLimit{};
    std::vector<Job> jobs;
    std::vector<unsigned> freeJobs;
    std::vector<Finished> done; // ended without a read (the file would not open)
    bool broken = false;        // the ring failed: nothing more is started
    std::size_t queued = 0;     // reads queued and not answered, sent or not

    /// Queues the read of `count` bytes at `pos` for job `j`.
    void read(unsigned j, std::uint64_t pos, std::size_t count) {
        Job& job = jobs[j];
        ++job.reads;
        job.asked = Clock::now();
        job.parts.push_back(FilePart{pos, std::vector<unsigned char>(count)});
        queue(j);
    }

    /// Queues (again) the read of job `j`'s last part. A read queued again keeps the time it
    /// was first asked for: a file that answers "try again" for ever stalls as one that never
    /// answers.
    void queue(unsigned j) {
        // A job has one read in flight at most, and the ring has a place for each job.
        io_uring_sqe* sqe = io_uring_get_sqe(&ring);
        FilePart& part = jobs[j].parts.back();
        io_uring_prep_read(sqe, jobs[j].fd, part.bytes.data(),
                           static_cast<unsigned>(part.bytes.size()), part.start);
        io_uring_sqe_set_data64(sqe, j);
        ++queued;
    }

    /// Job's picture read the plain way, as a thread of the pool reads it.
    static MeasuredSize readPlainly(const Job& job) {
        MeasuredSize size;
        size.ok = readPictureSizeAt(job.folderFd, job.name, size.width, size.height,
                                    job.shootingData ? &size.exif : nullptr);
        return size;
    }

    /// Reads the kernel has taken and not answered: they may still land in their buffers.
    std::size_t inKernel() const { return queued - io_uring_sq_ready(&ring); }

    /// The ring keeps failing: every picture in flight is read the plain way. Reads the
    /// kernel has taken may still land in their buffers, so the jobs are kept until the ring
    /// is closed, and leaked then while any is out.
    void giveUp(std::vector<Finished>& out) {
        broken = true;
        for (Job& job : jobs) {
            if (job.name == nullptr) {
                continue; // free
            }
            out.push_back(Finished{job.index, readPlainly(job)});
            ::close(job.fd);
            job.fd = -1;
        }
    }

    /// The time the oldest read in flight was asked for (now when none is).
    Clock::time_point oldestAsk(Clock::time_point now) const {
        Clock::time_point oldest = now;
        for (const Job& job : jobs) {
            if (job.name != nullptr && job.fd >= 0) {
                oldest = std::min(oldest, job.asked);
            }
        }
        return oldest;
    }

    /// Ends job `j` with `size`: its file is closed and the job is free again.
    Finished end(unsigned j, MeasuredSize&& size) {
        Job& job = jobs[j];
        if (job.fd >= 0) {
            ::close(job.fd);
        }
        Finished out{job.index, std::move(size)};
        job = Job{};
        freeJobs.push_back(j);
        return out;
    }

    /// Job `j`'s read came back with `result`: the picture walks on, reads more, or ends.
    void answer(unsigned j, int result, std::vector<Finished>& out) {
        Job& job = jobs[j];
        FilePart& part = job.parts.back();
        if (result == -EINTR || result == -EAGAIN) {
            queue(j);
            return;
        }
        if (result < 0) {
            out.push_back(end(j, MeasuredSize{}));
            return;
        }
        // Only a read that gets nothing says where the file ends: a short one is walked as far
        // as it goes, and what lies past it is read next.
        const auto got = static_cast<std::size_t>(result);
        part.bytes.resize(got);
        if (got == 0) {
            job.fileEnd = std::min(job.fileEnd, part.start);
        }
        MeasuredSize size;
        const FileWant want =
            readPictureSizeFromParts(job.parts, job.fileEnd, size.width, size.height,
                                     job.shootingData ? &size.exif : nullptr, size.ok);
        if (!want.needed) {
            out.push_back(end(j, std::move(size)));
            return;
        }
        if (job.reads >= kMaxReads) {
            out.push_back(end(j, readPlainly(job)));
            return;
        }
        read(j, want.pos, std::max(want.count, kRead));
    }
};

HeaderRing::HeaderRing(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<HeaderRing> HeaderRing::open(unsigned depth, std::chrono::milliseconds stallLimit) {
    auto state = std::make_unique<State>();
    state->stallLimit = stallLimit;
    depth = std::max(depth, 1U);
    // One place more than reads in flight: a kernel without timed waits (before 5.11) takes
    // the wait's timeout as one more request.
    if (io_uring_queue_init(depth + 1, &state->ring, 0) < 0) {
        return nullptr;
    }
    state->jobs.resize(depth);
    for (unsigned j = depth; j > 0; --j) {
        state->freeJobs.push_back(j - 1);
    }
    return std::unique_ptr<HeaderRing>(new HeaderRing(std::move(state)));
}

HeaderRing::~HeaderRing() {
    // Reads still in flight write into the jobs' buffers: they are waited for first.
    std::vector<Finished> rest;
    while (!idle()) {
        finish(rest);
    }
    if (state_->broken && state_->inKernel() > 0) {
        (void)state_.release(); // reads the kernel never answered may still land
        return;
    }
    io_uring_queue_exit(&state_->ring);
}

std::size_t HeaderRing::room() const {
    return state_->broken ? 0 : state_->freeJobs.size();
}

bool HeaderRing::idle() const {
    return state_->done.empty() &&
           (state_->broken || state_->freeJobs.size() == state_->jobs.size());
}

bool HeaderRing::broken() const {
    return state_->broken;
}

void HeaderRing::start(std::size_t index, int folderFd, const char* name, bool shootingData) {
    State& s = *state_;
    const unsigned j = s.freeJobs.back();
    s.freeJobs.pop_back();
    State::Job& job = s.jobs[j];
    job.index = index;
    job.folderFd = folderFd;
    job.name = name;
    job.shootingData = shootingData;
    // As readPictureSizeAt opens it, so a FIFO cannot block the open. The ring reads a FIFO
    // where the plain reader's read at an offset fails at once, and its read waits for a
    // writer that may never write: anything but a regular file ends here, unreadable.
    job.fd = ::openat(folderFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (job.fd < 0 || ::fstat(job.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        s.done.push_back(s.end(j, MeasuredSize{}));
        return;
    }
    // Only the bytes a walk asks for are read: no read-ahead of the bytes between the EXIF
    // start and the frame header.
    ::posix_fadvise(job.fd, 0, 0, POSIX_FADV_RANDOM); // advice only: a refusal changes nothing
    s.read(j, 0, kRead);
}

void HeaderRing::finish(std::vector<Finished>& out) {
    State& s = *state_;
    for (Finished& f : s.done) {
        out.push_back(std::move(f));
    }
    s.done.clear();
    const std::size_t before = out.size();
    int failures = 0;
    while (out.size() == before && !s.broken && s.freeJobs.size() < s.jobs.size()) {
        const Clock::time_point now = Clock::now();
        const Clock::duration waited = now - s.oldestAsk(now);
        if (waited >= s.stallLimit) {
            s.giveUp(out); // a read stalled: the plain reader waits for it, threads do the rest
            return;
        }
        __kernel_timespec timeout = timespecOf(s.stallLimit - waited);
        io_uring_cqe* first = nullptr;
        const int sent = io_uring_submit_and_wait_timeout(&s.ring, &first, 1, &timeout, nullptr);
        io_uring_cqe* cqe = nullptr;
        unsigned head = 0;
        unsigned seen = 0;
        std::vector<std::pair<unsigned, int>> answers;
        io_uring_for_each_cqe(&s.ring, head, cqe) {
            ++seen;
            const std::uint64_t j = io_uring_cqe_get_data64(cqe);
            if (j < s.jobs.size()) { // else the wait's own timeout on an older kernel
                answers.emplace_back(static_cast<unsigned>(j), cqe->res);
                --s.queued;
            }
        }
        io_uring_cq_advance(&s.ring, seen);
        if (sent < 0 && seen == 0) {
            if (sent == -ETIME || sent == -EINTR || ++failures < kMaxFailures) {
                continue; // EAGAIN, EBUSY: the kernel is short of something for now
            }
            s.giveUp(out);
            return;
        }
        failures = 0;
        for (const auto& [j, result] : answers) {
            s.answer(j, result, out);
        }
    }
}

} // namespace mivo
