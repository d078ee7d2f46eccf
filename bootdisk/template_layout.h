// The template disk KELDRIX.ATR: a single-density DOS 2 disk that boots the loader and
// passes a DOS 2 file-system check. The loader's first part fills the three boot
// sectors; its second part is the locked file KELDRIX.SYS (directory entry 0, file
// number 0, sectors 4 onward, linked like any DOS 2 file), which the first part reads.
// Every other sector but the VTOC and directory is free. The converter adds
// AUTORUN.SYS to copies of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace korvane::bootdisk {

// The loader binary as linked: three boot sectors (the boot header in the first six
// bytes), then the second part.
inline constexpr std::size_t kBootHeaderSectors = 1;      // number of boot sectors
inline constexpr std::size_t kBootHeaderLoadAddress = 2;  // little-endian
inline constexpr std::uint16_t kLoaderAddress = 0x0700;
inline constexpr int kBootSectors = 3;       // what DOS 2 keeps for booting
inline constexpr int kLoaderFileSector = 4;  // where the first part looks for the second
inline constexpr char kLoaderFileName[] = "KELDRIX SYS";  // directory entry 0

struct TemplateImage {
    std::vector<std::uint8_t> bytes;  // the whole ATR file, 92176 bytes
    int loader_file_sectors = 0;      // sectors 4.. held by KELDRIX.SYS
    int free_sectors = 0;             // the VTOC's free count
};

// Lays out the template disk around `loader`; gives a message when the loader's boot
// header does not describe it.
std::variant<TemplateImage, std::string> BuildTemplateImage(std::span<const std::uint8_t> loader);

}  // namespace korvane::bootdisk
