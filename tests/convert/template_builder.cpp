#include "template_builder.h"

#include <algorithm>

#include "dos2_disk.h"

namespace korvane::testing {

TemplateBuilder::TemplateBuilder() : image_(16 + 720 * 128, 0) {
    // Header of 720 sectors of 128 bytes: 92160 data bytes = 5760 paragraphs.
    const std::uint8_t header[8] = {0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00};
    std::copy(std::begin(header), std::end(header), image_.begin());
    // Boot sectors and free sectors carry patterns, so that a byte changed where it
    // should not be shows up in a comparison with the template.
    for (std::size_t i = SectorAt(1); i < SectorAt(4); ++i) {
        image_[i] = static_cast<std::uint8_t>(i * 7);
    }
    // A freshly formatted DOS 2 disk: sectors 0 to 3 and 360 to 368 used, 707 free.
    image_[kVtocAt] = 2;
    image_[kVtocAt + 1] = 0xC3;
    image_[kVtocAt + 2] = 0x02;
    for (int sector = 4; sector <= 720; ++sector) {
        if (sector >= 360 && sector <= 368) {
            continue;
        }
        std::fill_n(image_.begin() + SectorAt(sector), 128,
                    static_cast<std::uint8_t>(0xA0 + sector % 16));
        if (sector < 720) {  // sector 720 has no bit
            Free(sector);
        }
    }
    // Bytes the converter must carry over unchanged.
    image_[kVtocAt + 5] = 0x55;
    image_[kVtocAt + 100] = 0x66;
    image_[kVtocAt + 127] = 0x77;
}

TemplateBuilder& TemplateBuilder::Free(int sector) {
    SetSectorFree(image_, sector, true);
    return *this;
}

TemplateBuilder& TemplateBuilder::NothingFree() {
    std::fill_n(image_.begin() + kVtocAt + 10, 90, 0);
    return *this;
}

TemplateBuilder& TemplateBuilder::StoredCount(std::uint16_t count) {
    stored_ = count;
    return *this;
}

TemplateBuilder& TemplateBuilder::Entry(int sector, int slot, std::uint8_t flags) {
    image_[SectorAt(sector) + static_cast<std::size_t>(slot) * 16] = flags;
    return *this;
}

TemplateBuilder& TemplateBuilder::DirectoryFull() {
    for (int entry = 0; entry < 64; ++entry) {
        Entry(361 + entry / 8, entry % 8, 0x42);
    }
    return *this;
}

TemplateBuilder& TemplateBuilder::Length(std::size_t length) {
    length_ = length;
    return *this;
}

std::vector<std::uint8_t> TemplateBuilder::Build() const {
    std::vector<std::uint8_t> image = image_;
    int bits = 0;
    for (int sector = 0; sector < 720; ++sector) {
        bits += SectorFree(image, sector) ? 1 : 0;
    }
    const std::uint16_t stored = stored_.value_or(static_cast<std::uint16_t>(bits));
    image[kVtocAt + 3] = static_cast<std::uint8_t>(stored & 0xFF);
    image[kVtocAt + 4] = static_cast<std::uint8_t>(stored >> 8);
    if (length_) {
        image.resize(*length_, 0);
    }
    return image;
}

}  // namespace korvane::testing
