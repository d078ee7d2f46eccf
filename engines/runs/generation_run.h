// The generator's run: one new, empty ATR image of the chosen geometry in the source
// directory, under the name the user typed with ".ATR" appended.
#pragma once

#include <cstdint>

#include "engine_context.h"

namespace korvane {

struct GenerationTotals {
    bool generated = false;
    // Another run held the directory: this one stopped before writing.
    bool could_not_start = false;
    // File operations (list, read, write, rename, remove) that failed during the run.
    std::int64_t failed_file_operations = 0;
    // True when the image was written.
    operator bool() const { return generated; }  // NOLINT(google-explicit-constructor)
};

// Writes the empty image that Txt_image_size, Combo_byte_per_sector and Txt_filename
// describe into source_path.
GenerationTotals RunAtrGeneration(EngineContext& context);

}  // namespace korvane
