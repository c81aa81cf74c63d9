#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <vector>

#include "generation/pictures/picture_measure.h"

namespace mivo {

/// Reads the headers of many pictures at once from one thread, through io_uring. On a disk
/// behind a virtual machine each read a thread waits on costs far more than the read: here the
/// reads are queued together, the kernel is woken once per batch, and no thread sleeps per
/// read. Every picture gives what readPictureSizeAt gives for it.
class HeaderRing {
  public:
    /// A picture whose header walk has ended.
    struct Finished {
        std::size_t index = 0;
        MeasuredSize size;
    };

    /// How long a read may go unanswered before the ring is taken as stuck. A header read
    /// from a local disk comes back in milliseconds, and a full queue of them on a slow disk in
    /// well under a second, so a read still out after this is held up by something that may
    /// never answer. A disk waking from standby can pass it: its pictures are then read the
    /// plain way, which waits for the disk as any reader does, so passing the bound costs
    /// speed, never a picture.
    static constexpr std::chrono::milliseconds kStallLimit{5000};

    /// Room for `depth` pictures in flight; nullptr when the kernel offers no io_uring (too
    /// old, or turned off for this process). When a read has been out for `stallLimit`, every
    /// picture in flight is read the plain way and the ring is broken().
    static std::unique_ptr<HeaderRing> open(unsigned depth,
                                            std::chrono::milliseconds stallLimit = kStallLimit);
    ~HeaderRing();
    HeaderRing(const HeaderRing&) = delete;
    HeaderRing& operator=(const HeaderRing&) = delete;

    /// How many more pictures may be started now.
    std::size_t room() const;
    /// No picture is in flight.
    bool idle() const;
    /// The ring failed or a read stalled, and it starts nothing more; what was in flight has
    /// been read the plain way.
    bool broken() const;
    /// Starts reading picture `index`: the file `name` of the folder open as `folderFd`
    /// (AT_FDCWD: `name` is a path). `name` must stay valid until the picture has finished.
    /// Anything but a regular file (a FIFO, a device, a folder) ends unread, as unreadable.
    void start(std::size_t index, int folderFd, const char* name, bool shootingData);
    /// Sends the reads started, waits until at least one picture has finished (unless none is
    /// in flight), and appends every finished picture to `out`. Never waits much longer than
    /// the stall limit.
    void finish(std::vector<Finished>& out);

  private:
    struct State;
    explicit HeaderRing(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace mivo
