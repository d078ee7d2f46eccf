// The generator's geometry: the two lists of sector sizes and sector counts the user
// chooses from, and the size of the image file they make.
#pragma once

#include <array>
#include <string_view>

#include "window_controls.h"

namespace korvane {

// Items of Combo_no_of_sectors, in list order; item 1 ("720") is chosen at start-up.
inline constexpr std::array<std::string_view, 7> kSectorCountItems = {
    "256", "720", "1040", "1440", "2880", "32767", "65535"};
inline constexpr int kSectorCountStartItem = 1;

// Items of Combo_byte_per_sector, in list order; item 0 ("128") is chosen at start-up.
inline constexpr std::array<std::string_view, 2> kSectorSizeItems = {"128", "256"};
inline constexpr int kSectorSizeStartItem = 0;

// Items of Combo_format, the DOS a new image is formatted for; item 0, no DOS (all
// sectors zero), is chosen at start-up.
inline constexpr std::array<std::string_view, 4> kFormatItems = {"No DOS", "DOS 2.0", "DOS 2.5",
                                                                 "MyDOS"};
inline constexpr int kFormatStartItem = 0;

// Shows in Txt_image_size the length of the whole image file, header included, for the
// chosen sector count and sector size; 256-byte sectors are counted in the short layout.
void UpdateImageSize(WindowControls& window);

}  // namespace korvane
