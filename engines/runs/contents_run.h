// The disk-contents tool: the directory of each listed ATR image, the check of its DOS
// file system, and the extraction of its files into a folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "dos_volume.h"
#include "engine_context.h"
#include "file_system.h"
#include "report_sink.h"

namespace korvane {

struct ContentsRunTotals {
    std::int64_t sound_count = 0;    // DOS disks whose check found nothing
    std::int64_t damaged_count = 0;  // DOS disks with findings, and images not readable
    std::int64_t other_count = 0;    // disks with another file system or none
    std::int64_t failed_file_operations = 0;
};

enum class ContentsVerdict { kSound, kDamaged, kOther };

// Writes the block of report lines of the image `name` in `directory`: its file system,
// its files, its free sectors and the check's findings, then the Result line.
ContentsVerdict ListImageContents(const std::filesystem::path& directory,
                                  const std::filesystem::path& name, ReportSink& report,
                                  FileSystem& fs);

// Lists every file of the file list, one report block each, then the summary.
ContentsRunTotals RunDiskContents(EngineContext& context);

struct ExtractTotals {
    std::int64_t extracted = 0;
    std::int64_t missing = 0;  // asked-for names the disk does not hold, or no DOS disk
    std::int64_t damaged = 0;  // files whose chain the check found fault with
    std::int64_t failed_file_operations = 0;
};

// Writes the files of the image at `image` (those named in `wanted`, matched without
// regard to letter case, or all when it is empty) into `target` under host names made
// safe and unique, never replacing a file, each durable before the next; a block of
// report lines says what went where.
ExtractTotals ExtractImageFiles(const std::filesystem::path& image,
                                const std::vector<std::string>& wanted,
                                const std::filesystem::path& target, ReportSink& report,
                                FileSystem& fs);

// The host name a disk's file is written under: letters, digits, "_", "-" and one "."
// before the extension kept, every other byte "_".
std::string SafeHostName(const VolumeFile& file);

}  // namespace korvane
