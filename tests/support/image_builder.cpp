#include "image_builder.h"

namespace korvane::testing {

std::vector<std::uint8_t> ImageBuilder::Build() const {
    const std::int64_t data = data_length_ >= 0 ? data_length_ : paragraphs_ * 16LL;
    std::vector<std::uint8_t> image(16 + static_cast<std::size_t>(data), fill_);
    // Written byte by byte on purpose: the tests must not share the engine's encoder.
    const std::uint32_t fields[8] = {id_[0],
                                     id_[1],
                                     paragraphs_,
                                     paragraphs_ >> 8,
                                     sector_size_,
                                     sector_size_ >> 8,
                                     paragraphs_ >> 16,
                                     paragraphs_ >> 24};
    for (std::size_t i = 0; i < 16; ++i) {
        image[i] = static_cast<std::uint8_t>(i < 8 ? fields[i] : reserved_);
    }
    return image;
}

}  // namespace korvane::testing
