// Where the boot loader lives on a disk the converter lays out: its own pages $0700-$0AFF,
// or, for a file that loads into them or runs INIT routines while it loads, other pages
// the file never loads into.
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

// Why the loader leaves its own pages.
enum class LoaderMove {
    kNone,
    kFileLoadsThere,  // a segment loads into $0700-$0AFF
    kFileRunsInits,   // an INIT routine runs before the load is done: programs made for a
                      // machine without DOS may write into $0700-$0AFF from there
};

struct LoaderPlace {
    int page = kLoaderHome;  // the loader's first page; 0 when no pages are free
    LoaderMove why = LoaderMove::kNone;
};

// The loader's place for `xex`. A file that loads into its own pages gets the highest four
// pages below $9C00 (where the screen the OS opens with BASIC on begins) that the file never
// loads into, page 0 when there are none. A file that sets INITAD and loads into
// $8000-$BFFF gets $9800-$9BFF when it never loads there; every other file the loader's
// own pages.
LoaderPlace PlaceLoaderFor(std::span<const std::uint8_t> xex);

// `loader` moved to start at page `page`; empty when it is not the loader this program
// was built with (whose relocations it knows).
std::optional<BootLoader> MoveBootLoader(const BootLoader& loader, int page);

}  // namespace korvane
