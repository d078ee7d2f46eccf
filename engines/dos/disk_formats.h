// The disks the converter's fit mode lays out when a file does not fit the template and
// the generator formats, each kind in a file of its own: DOS 2.5 enhanced density
// (dos25_disk.cpp), DOS 2 single and double density (double_density_disk.cpp) and the
// MyDOS format for large disks (mydos_disk.cpp).
#pragma once

#include <cstdint>
#include <memory>

#include "dos_disk.h"

namespace korvane {

// 1040 sectors of 128 bytes in the DOS 2.5 format, with its second VTOC sector.
std::unique_ptr<DiskFormat> MakeEnhancedDensityDisk();

// 720 sectors of 256 bytes in the DOS 2 format.
std::unique_ptr<DiskFormat> MakeDoubleDensityDisk();
// 720 sectors of 128 bytes in the DOS 2 format.
std::unique_ptr<DiskFormat> MakeSingleDensityDisk();

// `sectors` sectors (kMyDosSmallest to kMyDosLargest) of 256 or 128 bytes in the MyDOS
// format for disks above 1023 sectors (VTOC byte 0 above 2, 16-bit links).
inline constexpr int kMyDosSmallest = 1024;
inline constexpr int kMyDosLargest = 65535;
std::unique_ptr<DiskFormat> MakeMyDosDisk(int sectors, int sector_size = 256);

// The sector counts of the MyDOS disks the fit mode chooses from, smallest first: those
// of drives and SIO hard-disk devices, all of 256-byte sectors.
inline constexpr int kMyDosFitSizes[] = {1440, 2048, 4096, 8192, 16384, 32768, 65535};

// The DOS a generated disk is formatted for; kNone leaves it all zero.
enum class DosChoice { kNone, kDos2, kDos25, kMyDos };

// The disk `dos` formats with this geometry: DOS 2.0 720 sectors of 128 or 256 bytes,
// DOS 2.5 1040 of 128, MyDOS any other count from 1024 to 65535; empty when `dos`
// can not format it.
std::unique_ptr<DiskFormat> FormatFor(DosChoice dos, int sector_size, std::int64_t sectors);

}  // namespace korvane
