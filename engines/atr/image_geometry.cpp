#include "image_geometry.h"

#include <string>

#include "atr_header.h"
#include "report_text.h"

namespace korvane {

void UpdateImageSize(WindowControls& window) {
    const std::int64_t sectors = LeadingNumber(window.ComboText(Control::Combo_no_of_sectors));
    const std::int64_t sector_size =
        LeadingNumber(window.ComboText(Control::Combo_byte_per_sector));
    // The lists hold at most 65535 sectors of 256 bytes; 256-byte images are generated in
    // the short layout.
    const std::int64_t size =
        static_cast<std::int64_t>(atr::kHeaderSize) +
        AtrDataLength(static_cast<int>(sector_size), sectors, AtrLayout::Short);
    window.SetText(Control::Txt_image_size, std::to_string(size));
}

}  // namespace korvane
