// The template disk KELDRIX.ATR: a single-density DOS 2 disk whose boot sectors hold
// the boot loader, with an empty directory and a VTOC that marks every other sector
// free. The converter adds AUTORUN.SYS to copies of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace korvane::bootdisk {

// The loader binary as linked: its first six bytes are the boot header.
inline constexpr std::size_t kBootHeaderSize = 6;
inline constexpr std::size_t kBootHeaderSectors = 1;      // number of boot sectors
inline constexpr std::size_t kBootHeaderLoadAddress = 2;  // little-endian
inline constexpr std::size_t kBootHeaderInitAddress = 4;  // DOSINI, little-endian
inline constexpr std::uint16_t kLoaderAddress = 0x0700;
// DOS 2 keeps sectors 1-3 for booting even when the boot program is shorter.
inline constexpr int kMinimumBootSectors = 3;

struct TemplateImage {
    std::vector<std::uint8_t> bytes;  // the whole ATR file, 92176 bytes
    int boot_sectors = 0;             // sectors 1..boot_sectors are reserved for booting
    int free_sectors = 0;             // the VTOC's free count
};

// Lays out the template disk around `loader`; gives a message when the loader's boot
// header does not describe it or it does not fit below the VTOC.
std::variant<TemplateImage, std::string> BuildTemplateImage(std::span<const std::uint8_t> loader);

}  // namespace korvane::bootdisk
