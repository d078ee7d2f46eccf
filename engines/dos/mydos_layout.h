// The MyDOS format for large disks: up to 65535 sectors of 128 or 256 bytes (256-byte
// sectors in the short layout), 16-bit links on disks above 1023 sectors, a VTOC over
// several sectors.
//
//   sector 360    byte 0: 2 + the VTOC's size in 256-byte blocks (a value above 2 tells
//                 MyDOS that links are 16 bits wide); bytes 1-2: free sectors of a fresh
//                 disk; bytes 3-4: free sectors now
//   VTOC sectors  360, 359, 358, ... one after the other form one bit field: the bit of
//                 sector s is bit 7 - (s + 80) % 8 of bit-field byte (s + 80) / 8, byte
//                 k lying in sector 360 - k / S at byte k % S for sectors of S bytes (so
//                 sector 0 is bit 7 of byte 10, as in DOS 2); set = free. The field takes
//                 whole 256-byte blocks: two sectors each on a disk of 128-byte sectors
//   directory     361-368 as in DOS 2; a file with 16-bit links has flag bit 2 set ($46);
//                 flags $10 mark a subdirectory: eight sectors of entries from its first
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvane::mydos {

inline constexpr int kBitOffset = 80;  // bit-field position of sector 0: byte 10, bit 7
inline constexpr std::uint8_t kSixteenBitLinkFlag = 0x04;
inline constexpr std::uint8_t kSubdirectoryFlag = 0x10;
inline constexpr int kSubdirectorySectors = 8;
// Disks of more sectors than 10-bit links reach take 16-bit links.
inline constexpr int kLargestTenBitDisk = 1023;

// 256-byte blocks of the VTOC's bit field for a disk of `sectors` sectors (VTOC byte 0
// holds 2 + this), and its sectors of `sector_size` bytes.
constexpr int VtocBlocks(int sectors) {
    return 1 + (sectors + kBitOffset) / (256 * 8);
}
constexpr int VtocSectors(int sectors, int sector_size) {
    return VtocBlocks(sectors) * 256 / sector_size;
}

// Where the free bit of `sector` lies: the VTOC sector, the byte in it and the bit mask.
struct BitPlace {
    int sector;
    std::size_t byte;
    std::uint8_t mask;
};
constexpr BitPlace FreeBitPlace(int sector, int sector_size, int vtoc_sector) {
    const int bit = sector + kBitOffset;
    const int byte = bit / 8;
    return {vtoc_sector - byte / sector_size, static_cast<std::size_t>(byte % sector_size),
            static_cast<std::uint8_t>(0x80 >> bit % 8)};
}

}  // namespace korvane::mydos
