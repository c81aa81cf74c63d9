#pragma once

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace mivo {

/// Leaves new elements uninitialised: a buffer about to be overwritten whole is not cleared
/// first (clearing the 10 MB of a decoded picture cost a tenth of its time).
template <typename T> struct UninitialisedAllocator : std::allocator<T> {
    template <typename U> struct rebind { using other = UninitialisedAllocator<U>; };
    using std::allocator<T>::allocator;
    template <typename U> void construct(U* place) noexcept { ::new (static_cast<void*>(place)) U; }
    template <typename U, typename... Args> void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

/// Bytes whose growth leaves the new ones as they are.
using ByteBuffer = std::vector<unsigned char, UninitialisedAllocator<unsigned char>>;

/// 8-bit pixels in rows without gaps: 1 band (grey) or 3 (RGB).
struct Pixels {
    int width = 0;
    int height = 0;
    int bands = 3;
    ByteBuffer data;
};

} // namespace mivo
