// Disk drive 1 of the simulation: 128-byte sectors read from an ATR image in memory,
// with reads that can be made to fail.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>

namespace korvane::sim {

inline constexpr std::size_t kAtrHeaderSize = 16;
inline constexpr std::size_t kDiskSectorSize = 128;

class AtrDisk {
  public:
    // `failing_reads`: sector -> number of reads of it that fail before one succeeds.
    AtrDisk(std::span<const std::uint8_t> atr, std::map<int, int> failing_reads);

    // Gives the sector's bytes, or nothing when it is not on the disk or the read fails.
    std::optional<std::array<std::uint8_t, kDiskSectorSize>> Read(int sector);

  private:
    std::span<const std::uint8_t> atr_;
    std::map<int, int> failing_reads_;
};

}  // namespace korvane::sim
