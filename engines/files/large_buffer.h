// Buffers that hold a whole file or image in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvane {

// Makes room for `size` bytes in `bytes`, whose content may go. A buffer of megabytes is
// asked to be backed by huge pages before it is first touched, where the system gives them
// on request: filling it then takes a handful of page faults instead of one per 4 kB.
void ReserveLarge(std::vector<std::uint8_t>& bytes, std::size_t size);

}  // namespace korvane
