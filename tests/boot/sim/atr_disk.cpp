#include "atr_disk.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace korvane::sim {

AtrDisk::AtrDisk(std::span<const std::uint8_t> atr, std::map<int, int> failing_reads)
    : atr_(atr), failing_reads_(std::move(failing_reads)) {}

std::optional<std::array<std::uint8_t, kDiskSectorSize>> AtrDisk::Read(int sector) {
    if (sector < 1) {
        return std::nullopt;
    }
    const std::size_t offset =
        kAtrHeaderSize + static_cast<std::size_t>(sector - 1) * kDiskSectorSize;
    if (offset + kDiskSectorSize > atr_.size()) {
        return std::nullopt;
    }
    if (auto failing = failing_reads_.find(sector); failing != failing_reads_.end()) {
        if (failing->second > 0) {
            if (failing->second != INT_MAX) {
                --failing->second;
            }
            return std::nullopt;
        }
    }
    std::array<std::uint8_t, kDiskSectorSize> bytes{};
    std::copy_n(atr_.begin() + static_cast<std::ptrdiff_t>(offset), kDiskSectorSize, bytes.begin());
    return bytes;
}

}  // namespace korvane::sim
