#include "image_geometry.h"

#include <cstdio>

#include "atr_header.h"
#include "report_text.h"

namespace korvane {

void UpdateImageSize(WindowControls& window) {
    const double sectors =
        static_cast<double>(LeadingNumber(window.ComboText(Control::Combo_no_of_sectors)));
    const std::string size_text = window.ComboText(Control::Combo_byte_per_sector);
    const double sector_size = static_cast<double>(LeadingNumber(size_text));

    // Floating point, so that the largest choice (65535 x 256) cannot overflow.
    double size = sectors * sector_size + static_cast<double>(atr::kHeaderSize);
    if (size_text == "256") {
        // Short layout: the first three sectors take 128 bytes each.
        size -= static_cast<double>(atr::kShortBootArea);
    }
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.0f", size);
    window.SetText(Control::Txt_image_size, digits);
}

}  // namespace korvane
