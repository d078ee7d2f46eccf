#include "template_builder.h"

#include <algorithm>

namespace korvane::testing {

namespace {

constexpr std::size_t kVtoc = SectorAt(360);
constexpr std::size_t kBitmap = kVtoc + 10;

}  // namespace

TemplateBuilder::TemplateBuilder() : image_(16 + 720 * 128, 0) {
    // Header of 720 sectors of 128 bytes: 92160 data bytes = 5760 paragraphs.
    const std::uint8_t header[8] = {0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00};
    std::copy(std::begin(header), std::end(header), image_.begin());
    // Boot sectors and free sectors carry patterns, so that a byte changed where it
    // should not be shows up in a comparison with the template.
    for (std::size_t i = SectorAt(1); i < SectorAt(4); ++i) {
        image_[i] = static_cast<std::uint8_t>(i * 7);
    }
    for (int sector = 4; sector <= 720; ++sector) {
        if (sector < 360 || sector > 368) {
            std::fill_n(image_.begin() + SectorAt(sector), 128,
                        static_cast<std::uint8_t>(0xA0 + sector % 16));
        }
    }
    // A freshly formatted DOS 2 disk: sectors 0 to 3 and 360 to 368 used, 707 free.
    image_[kVtoc] = 2;
    image_[kVtoc + 1] = 0xC3;
    image_[kVtoc + 2] = 0x02;
    for (int sector = 4; sector < 720; ++sector) {
        if (sector < 360 || sector > 368) {
            Free(sector);
        }
    }
    // Bytes the converter must carry over unchanged.
    image_[kVtoc + 5] = 0x55;
    image_[kVtoc + 100] = 0x66;
    image_[kVtoc + 127] = 0x77;
}

TemplateBuilder& TemplateBuilder::Free(int sector) {
    image_[kBitmap + static_cast<std::size_t>(sector / 8)] |=
        static_cast<std::uint8_t>(0x80 >> (sector % 8));
    return *this;
}

TemplateBuilder& TemplateBuilder::Used(int sector) {
    image_[kBitmap + static_cast<std::size_t>(sector / 8)] &=
        static_cast<std::uint8_t>(~(0x80 >> (sector % 8)));
    return *this;
}

TemplateBuilder& TemplateBuilder::NothingFree() {
    std::fill_n(image_.begin() + kBitmap, 90, 0);
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
    for (int sector = 361; sector <= 368; ++sector) {
        for (int slot = 0; slot < 8; ++slot) {
            Entry(sector, slot, 0x42);
        }
    }
    return *this;
}

TemplateBuilder& TemplateBuilder::Length(std::size_t length) {
    length_ = length;
    return *this;
}

TemplateBuilder& TemplateBuilder::HeaderByte(std::size_t offset, std::uint8_t value) {
    image_[offset] = value;
    return *this;
}

std::vector<std::uint8_t> TemplateBuilder::Build() const {
    std::vector<std::uint8_t> image = image_;
    int bits = 0;
    for (std::size_t i = kBitmap; i < kBitmap + 90; ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            bits += (image[i] >> bit) & 1;
        }
    }
    const std::uint16_t stored = stored_.value_or(static_cast<std::uint16_t>(bits));
    image[kVtoc + 3] = static_cast<std::uint8_t>(stored & 0xFF);
    image[kVtoc + 4] = static_cast<std::uint8_t>(stored >> 8);
    if (length_) {
        image.resize(*length_, 0);
    }
    return image;
}

}  // namespace korvane::testing
