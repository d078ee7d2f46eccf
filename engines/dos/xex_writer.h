// Writes an XEX file into a copy of the template disk as the DOS 2 file AUTORUN.SYS:
// data sectors with link bytes, one directory entry and the VTOC updated.
#pragma once

#include <cstdint>
#include <span>

#include "report_sink.h"

namespace korvane {

// Takes the first free sector of the VTOC's bit field (1 to 719) and marks it used;
// 0 when none is free. A free bit of sector 0 is cleared and passed over. The search
// begins at `from`, below which no sector may be free: a writer that takes sector after
// sector goes on behind the one it took last, so that a file takes linear time.
int TakeFreeSector(std::span<std::uint8_t> vtoc, int from = 0);

// Writes `xex` into the image copy (92176 bytes) as AUTORUN.SYS, taking sectors from the
// VTOC copy, and writes the VTOC copy over sector 360. False when the file does not fit
// or the directory has no free entry.
bool WriteXexToImage(std::span<const std::uint8_t> xex, std::span<std::uint8_t> image,
                     std::span<std::uint8_t> vtoc, ReportSink& report);

}  // namespace korvane
