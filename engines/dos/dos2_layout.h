// Atari DOS 2 single-density layout: 720 sectors of 128 bytes behind the ATR header.
//
//   sectors 1..3     boot sectors
//   sector 360       VTOC: byte 0 DOS code (2), bytes 1-2 total sectors (707),
//                    bytes 3-4 free sectors, bytes 10-99 free-sector bit field
//                    (bit 7 of byte 10 = sector 0, set = free; sector 720 has no bit)
//   sectors 361..368 directory: eight 16-byte entries per sector
//                    entry byte 0 flags ($00 never used, $80 deleted, $42 DOS 2 file),
//                    bytes 1-2 sector count, 3-4 first sector, 5-12 name, 13-15 extension
//   data sector      bytes 0-124 data; byte 125 = file number << 2 | next sector bits 9-8;
//                    byte 126 = next sector bits 7-0; byte 127 = data bytes in this sector
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace korvane::dos2 {

inline constexpr std::size_t kSectorSize = 128;
inline constexpr int kSectorCount = 720;
inline constexpr std::size_t kImageLength = 16 + kSectorCount * kSectorSize;  // 92176

// Offset of sector `sector` (1-based) within the whole ATR image.
constexpr std::size_t SectorOffset(int sector) {
    return 16 + static_cast<std::size_t>(sector - 1) * kSectorSize;
}

inline constexpr int kVtocSector = 360;
inline constexpr std::size_t kVtocOffset = SectorOffset(kVtocSector);  // 45968
inline constexpr std::size_t kVtocDosCode = 0;
inline constexpr std::size_t kVtocTotalSectors = 1;
inline constexpr std::size_t kVtocFreeCount = 3;
inline constexpr std::size_t kVtocBitmapFirst = 10;
inline constexpr std::size_t kVtocBitmapLast = 99;
inline constexpr std::uint8_t kDosCode = 2;
inline constexpr std::uint16_t kTotalSectors = 707;

inline constexpr int kDirectoryFirstSector = 361;
inline constexpr int kDirectoryLastSector = 368;
inline constexpr std::size_t kDirectoryEntrySize = 16;
inline constexpr int kEntriesPerSector = 8;
inline constexpr std::size_t kEntryFlags = 0;
inline constexpr std::size_t kEntrySectorCount = 1;
inline constexpr std::size_t kEntryFirstSector = 3;
inline constexpr std::size_t kEntryName = 5;
inline constexpr std::size_t kEntryNameLength = 11;  // 8 name + 3 extension, blank-padded
inline constexpr std::uint8_t kFlagNeverUsed = 0x00;
inline constexpr std::uint8_t kFlagDeleted = 0x80;
inline constexpr std::uint8_t kFlagInUse = 0x40;
inline constexpr std::uint8_t kFlagLocked = 0x20;
inline constexpr std::uint8_t kFlagDos2File = 0x42;
inline constexpr std::uint8_t kFlagOpenForOutput = 0x01;

// The free bit of `sector` (0 to 719) in the VTOC bit field: bit 7 - sector % 8 of
// byte 10 + sector / 8; set means free.
constexpr bool SectorFree(std::span<const std::uint8_t> vtoc, int sector) {
    return (vtoc[kVtocBitmapFirst + static_cast<std::size_t>(sector / 8)] &
            (0x80 >> (sector % 8))) != 0;
}
constexpr void SetSectorFree(std::span<std::uint8_t> vtoc, int sector, bool free) {
    std::uint8_t& bits = vtoc[kVtocBitmapFirst + static_cast<std::size_t>(sector / 8)];
    const int bit = 0x80 >> (sector % 8);
    bits = static_cast<std::uint8_t>(free ? bits | bit : bits & ~bit);
}
// The set bits of the whole bit field, bytes 10 to 99.
constexpr int CountFreeSectors(std::span<const std::uint8_t> vtoc) {
    int free = 0;
    for (std::size_t i = kVtocBitmapFirst; i <= kVtocBitmapLast; ++i) {
        free += std::popcount(vtoc[i]);
    }
    return free;
}

// The name of the file the boot loader starts: "AUTORUN" padded to 8, then "SYS".
inline constexpr char kAutorunName[] = "AUTORUN SYS";
static_assert(sizeof kAutorunName - 1 == kEntryNameLength);

inline constexpr std::size_t kDataBytesPerSector = 125;
inline constexpr std::size_t kLinkFileNumber = 125;  // file number << 2 | next bits 9-8
inline constexpr std::size_t kLinkNextLow = 126;
inline constexpr std::size_t kLinkByteCount = 127;

}  // namespace korvane::dos2
