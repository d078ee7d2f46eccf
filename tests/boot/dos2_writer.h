// A small DOS 2 file writer for test disks: puts a file onto a single-density DOS 2
// image the way DOS 2 lays it out, so a boot test can place AUTORUN.SYS on a copy of
// the template disk.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace korvane::boottest {

struct Dos2File {
    int file_number = 0;       // directory index, also in byte 125 of every data sector
    int directory_sector = 0;  // 361..368
    int slot = 0;              // entry 0..7 within the directory sector
    std::vector<int> sectors;  // data sectors in chain order
};

// Adds `data` as file `name` ("NAME.EXT") to the whole ATR image `atr`: the first free
// directory slot (never used or deleted), data sectors taken in ascending order from
// the VTOC bit field, each with its link bytes, byte count and file number, and the
// VTOC's free count and bits updated. Gives nothing, and changes nothing, when no slot
// or too few free sectors are left.
std::optional<Dos2File> WriteDos2File(std::span<std::uint8_t> atr, std::string_view name,
                                      std::span<const std::uint8_t> data);

// A copy of `template_atr` with `xex` written as AUTORUN.SYS; `file` gets its layout.
std::vector<std::uint8_t> WithAutorun(std::span<const std::uint8_t> template_atr,
                                      std::span<const std::uint8_t> xex, Dos2File* file = nullptr);

}  // namespace korvane::boottest
