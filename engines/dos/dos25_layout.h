// DOS 2.5 enhanced density: 1040 sectors of 128 bytes, DOS 2 links, two VTOC sectors.
//
//   sector 360   VTOC as on a single-density disk: byte 0 DOS code 2, bytes 1-2 total
//                free sectors of a fresh disk (1010), bytes 3-4 free sectors below 720,
//                bytes 10-99 bit field of sectors 0 to 719 (set = free)
//   sector 1024  VTOC2: bytes 0-83 repeat the bit field of sectors 48 to 719 (VTOC bytes
//                16-99), bytes 84-121 bit field of sectors 720 to 1023, bytes 122-123
//                free sectors from 720 up
//   Sector 720 is kept used, as DOS 2.5 formats it; 1024 to 1040 lie beyond the 10-bit
//   links and are never handed out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvane::dos25 {

inline constexpr int kSectors = 1040;
inline constexpr int kVtoc2Sector = 1024;
inline constexpr int kFreshFree = 1010;
inline constexpr int kFirstUpperSector = 720;
inline constexpr std::size_t kRepeatFrom = 16;    // VTOC byte of sectors 48 onward
inline constexpr std::size_t kRepeatLength = 84;  // VTOC bytes 16-99
inline constexpr std::size_t kUpperBits = 84;     // VTOC2 byte of sector 720
inline constexpr std::size_t kUpperFree = 122;
// The flags DOS 2.5 writes for a file with sectors from 720 up: DOS 2.0 takes it for a
// file still open for output.
inline constexpr std::uint8_t kFlagBeyondSingleDensity = 0x03;

}  // namespace korvane::dos25
