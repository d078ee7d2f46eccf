// The converter's batch run: one bootable ATR image per listed XEX file, each a copy of
// the template disk with the XEX file added as AUTORUN.SYS.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "engine_context.h"
#include "template_image.h"

namespace korvane {

struct ConversionRunTotals {
    std::int64_t converted_count = 0;
    std::int64_t not_converted_count = 0;
    // The template was missing or invalid: the run ended before any XEX file.
    bool template_failed = false;
    // Another run held the directory: this one stopped before any file.
    bool could_not_start = false;
    // File operations (list, read, write, rename, remove) that failed during the run.
    std::int64_t failed_file_operations = 0;
};

// The output image's name for an XEX file: the name up to and including its first "."
// followed by "ATR".
std::filesystem::path OutputNameFor(const std::filesystem::path& xex_name);

class WriteGroup;
// Builds the image for one XEX file from fresh copies of the template and writes it as
// a new file at `output_path`; true when the file was written. With a `group` the file
// waits there for its name, and `failed_later` is called if it can not take it then.
// The image is built in `image_buffer` when one is given, so that a run reuses its memory.
bool BuildAtrImage(EngineContext& context, const std::filesystem::path& output_path,
                   std::span<const std::uint8_t> xex, const LoadedTemplate& loaded,
                   WriteGroup* group = nullptr, const std::function<void()>& failed_later = nullptr,
                   std::vector<std::uint8_t>* image_buffer = nullptr);

// Converts every XEX file of the file list with the template KELDRIX.ATR of the program
// directory, one report block each, then writes the summary.
ConversionRunTotals RunXexConversion(EngineContext& context,
                                     const std::filesystem::path& program_directory);

// The same run with the template read from `template_path`.
ConversionRunTotals RunXexConversionWithTemplate(EngineContext& context,
                                                 const std::filesystem::path& template_path);

}  // namespace korvane
