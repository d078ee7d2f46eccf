// The converter's fit mode: the boot loader taken from the template, and the smallest
// larger disk that holds a file the template cannot.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "dos_disk.h"

namespace korvane {

// The template's boot sectors and its locked loader file KELDRIX.SYS (directory entry
// 0, followed by its DOS 2 links); empty when the template does not hold them.
std::optional<BootLoader> TakeBootLoader(std::span<const std::uint8_t> template_bytes);

// The smallest disk of a standard geometry that holds `length` bytes as AUTORUN.SYS
// beside a loader file of `loader_length` bytes: enhanced density, double density, then
// MyDOS disks of the sizes drives and SIO devices have; empty when even the largest does
// not. The sectors the two files leave are free.
std::unique_ptr<DiskFormat> SmallestDiskFor(std::int64_t length, std::int64_t loader_length);

// The largest file any of those disks holds.
std::int64_t LargestFitLength(std::int64_t loader_length);

// "N sectors of S bytes".
std::string DescribeDisk(const DiskFormat& format);

}  // namespace korvane
