// Buffers that hold a whole file or image in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace korvane {

// An allocator that leaves the bytes a vector grows by as the memory has them, for a
// buffer that a read fills before anything looks at it: 16 MB are then not zeroed first.
template <typename T>
class FillAllocator : public std::allocator<T> {
  public:
    template <typename U>
    struct rebind {
        using other = FillAllocator<U>;
    };
    FillAllocator() noexcept = default;
    template <typename U>
    explicit FillAllocator(const FillAllocator<U>& /*other*/) noexcept {}
    template <typename U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// Bytes to be read into.
using ReadBuffer = std::vector<std::uint8_t, FillAllocator<std::uint8_t>>;

// Makes room for `size` bytes in `bytes`, whose content may go. A buffer of megabytes is
// asked to be backed by huge pages before it is first touched, where the system gives them
// on request: filling it then takes a handful of page faults instead of one per 4 kB.
void ReserveLarge(std::vector<std::uint8_t>& bytes, std::size_t size);
void ReserveLarge(ReadBuffer& bytes, std::size_t size);

}  // namespace korvane
