// A DOS 2 file writer for test disks, written from the single-density DOS 2 layout on
// its own (no engine constants, so a wrong one can not hide): the converter's images are
// compared with its output byte for byte, and the boot tests put files onto copies of the
// template disk with it, which the boot loader then reads back.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace korvane::testing {

// Offset of a sector (1-based) in a 720-sector single-density image.
constexpr std::size_t SectorAt(int sector) {
    return 16 + static_cast<std::size_t>(sector - 1) * 128;
}
constexpr std::size_t kVtocAt = SectorAt(360);

// The VTOC bit of `sector` (0 to 719; set means free).
bool SectorFree(std::span<const std::uint8_t> image, int sector);
void SetSectorFree(std::span<std::uint8_t> image, int sector, bool free);

struct Dos2File {
    int file_number = 0;       // directory index, also in byte 125 of every data sector
    int directory_sector = 0;  // 361..368
    std::vector<int> sectors;  // data sectors in chain order
};

// Adds `data` as file `name` ("NAME.EXT") to the whole image: the first directory entry
// never used or deleted; data sectors the lowest free ones of the VTOC bit field (sector
// 0, which holds no data, loses its bit on the way), 125 bytes each and a zero after the
// data of a last sector that is not full, each with its link to the next sector, its file
// number and byte count; the VTOC's free count lowered by the sectors taken. Gives
// nothing, and changes nothing, when no entry or too few sectors are free.
std::optional<Dos2File> WriteDos2File(std::span<std::uint8_t> image, std::string_view name,
                                      std::span<const std::uint8_t> data);

// A copy of `template_image` with `xex` written as AUTORUN.SYS; nothing when it does not
// fit. `file` gets its layout.
std::optional<std::vector<std::uint8_t>> WithAutorun(std::span<const std::uint8_t> template_image,
                                                     std::span<const std::uint8_t> xex,
                                                     Dos2File* file = nullptr);

}  // namespace korvane::testing
