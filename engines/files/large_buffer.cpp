#include "large_buffer.h"

#include <sys/mman.h>

namespace korvane {

namespace {

template <typename Bytes>
void Reserve(Bytes& bytes, std::size_t size) {
    constexpr std::uintptr_t kHugePage = 2 << 20;
    if (bytes.capacity() >= size) {
        return;
    }
    bytes.clear();  // nothing to copy into the new memory
    bytes.reserve(size);
    if (size < 2 * kHugePage) {
        return;
    }
    // Only the whole huge pages inside the buffer: the advice is a hint, and the memory
    // around them stays as the allocator has it.
    const auto start = reinterpret_cast<std::uintptr_t>(bytes.data());
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes.capacity()) & ~(kHugePage - 1);
    if (end > first) {
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
}

}  // namespace

void ReserveLarge(std::vector<std::uint8_t>& bytes, std::size_t size) {
    Reserve(bytes, size);
}

void ReserveLarge(ReadBuffer& bytes, std::size_t size) {
    Reserve(bytes, size);
}

}  // namespace korvane
