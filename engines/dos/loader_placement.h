// Where the boot loader lives on a disk the converter lays out: its own pages $0700-$0AFF,
// or, for a file that loads into them, other pages the file never loads into.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>

#include "dos_disk.h"

namespace korvane {

inline constexpr int kLoaderHome = 0x07;  // first page of the loader as assembled
inline constexpr int kLoaderPages = 4;

// The pages the segments of a binary load file load into; the walk ends at the end of
// the file or at the first header that is no segment's (an end below its start).
std::bitset<256> LoadedPages(std::span<const std::uint8_t> xex);

// The loader's first page for `xex`: kLoaderHome when the file leaves $0700-$0AFF alone,
// else the highest four pages below $9C00 (where the screen the OS opens with BASIC on
// begins) that the file never loads into; 0 when there are none.
int LoaderPageFor(std::span<const std::uint8_t> xex);

// `loader` moved to start at page `page`; empty when it is not the loader this program
// was built with (whose relocations it knows).
std::optional<BootLoader> MoveBootLoader(const BootLoader& loader, int page);

}  // namespace korvane
