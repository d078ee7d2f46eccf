// The disks the converter's fit mode lays out when a file does not fit the template, each
// kind in a file of its own: DOS 2.5 enhanced density (dos25_disk.cpp), DOS 2 double
// density (double_density_disk.cpp) and the MyDOS format for large disks (mydos_disk.cpp).
#pragma once

#include <cstdint>
#include <memory>

#include "dos_disk.h"

namespace korvane {

// 1040 sectors of 128 bytes in the DOS 2.5 format, with its second VTOC sector.
std::unique_ptr<DiskFormat> MakeEnhancedDensityDisk();

// 720 sectors of 256 bytes in the DOS 2 format.
std::unique_ptr<DiskFormat> MakeDoubleDensityDisk();

// `sectors` sectors of 256 bytes (kMyDosSmallest to kMyDosLargest) in the MyDOS format.
std::unique_ptr<DiskFormat> MakeMyDosDisk(int sectors);

// The fewest sectors (from kMyDosSmallest, where 16-bit links begin) of a MyDOS disk that
// keeps `file_sectors` sectors free; 0 when even the largest does not.
inline constexpr int kMyDosSmallest = 1024;
inline constexpr int kMyDosLargest = 65535;
int MyDosSectorsFor(std::int64_t file_sectors);

}  // namespace korvane
