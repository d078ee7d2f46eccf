// An independent reader of single-density DOS 2 images, for checking what the converter
// wrote: directory entries, sector chains with their byte counts and file numbers, and
// the VTOC's free count and bit field.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvane::testing {

struct Dos2Entry {
    int file_number = 0;  // position of the entry: (sector - 361) * 8 + slot
    std::uint8_t flags = 0;
    int sector_count = 0;
    int first_sector = 0;
    std::string name;  // 11 characters, name and extension blank-padded
};

struct Dos2File {
    std::vector<int> sectors;       // in chain order
    std::vector<int> byte_counts;   // byte 127 of each sector
    std::vector<int> file_numbers;  // bits 7-2 of byte 125 of each sector
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty when the chain ended properly
};

// The first entry in use (flag bit 6) of the given name, searched the way DOS does:
// sectors 361 to 368, slots 0 to 7, ending at a never-used entry.
std::optional<Dos2Entry> FindDos2Entry(std::span<const std::uint8_t> image,
                                       const std::string& name);

// Follows the sector chain from the entry's first sector.
Dos2File ReadDos2File(std::span<const std::uint8_t> image, const Dos2Entry& entry);

// VTOC bytes 3 and 4.
int VtocStoredFree(std::span<const std::uint8_t> image);
// Whether the bit of `sector` (0 to 719) is set, and how many bits are set.
bool VtocSectorFree(std::span<const std::uint8_t> image, int sector);
int VtocFreeBits(std::span<const std::uint8_t> image);

}  // namespace korvane::testing
