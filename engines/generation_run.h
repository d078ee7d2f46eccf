// The generator's run: one new, empty ATR image of the chosen geometry in the source
// directory, under the name the user typed with ".ATR" appended.
#pragma once

#include "engine_context.h"

namespace korvane {

// Writes the empty image that Txt_image_size, Combo_byte_per_sector and Txt_filename
// describe into source_path; true when the image was written.
bool RunAtrGeneration(EngineContext& context);

}  // namespace korvane
