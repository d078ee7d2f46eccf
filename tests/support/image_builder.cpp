#include "image_builder.h"

namespace korvane::testing {

ImageBuilder& ImageBuilder::Identifier(std::uint8_t first, std::uint8_t second) {
    id0_ = first;
    id1_ = second;
    return *this;
}

ImageBuilder& ImageBuilder::StatedLength(std::int64_t bytes) {
    paragraphs_ = static_cast<std::uint32_t>(bytes / 16);
    return *this;
}

ImageBuilder& ImageBuilder::Paragraphs(std::uint32_t paragraphs) {
    paragraphs_ = paragraphs;
    return *this;
}

ImageBuilder& ImageBuilder::SectorSize(std::uint16_t bytes) {
    sector_size_ = bytes;
    return *this;
}

ImageBuilder& ImageBuilder::DataLength(std::int64_t bytes) {
    data_length_ = bytes;
    return *this;
}

ImageBuilder& ImageBuilder::Reserved(std::uint8_t value) {
    reserved_ = value;
    return *this;
}

ImageBuilder& ImageBuilder::Fill(std::uint8_t value) {
    fill_ = value;
    return *this;
}

std::vector<std::uint8_t> ImageBuilder::Raw(std::size_t bytes, std::uint8_t value) {
    return std::vector<std::uint8_t>(bytes, value);
}

std::vector<std::uint8_t> ImageBuilder::Build() const {
    const std::int64_t data =
        data_length_ >= 0 ? data_length_ : static_cast<std::int64_t>(paragraphs_) * 16;
    std::vector<std::uint8_t> image(16 + static_cast<std::size_t>(data), fill_);
    // Written byte by byte on purpose: the tests must not share the engine's encoder.
    image[0] = id0_;
    image[1] = id1_;
    image[2] = static_cast<std::uint8_t>(paragraphs_);
    image[3] = static_cast<std::uint8_t>(paragraphs_ >> 8);
    image[4] = static_cast<std::uint8_t>(sector_size_);
    image[5] = static_cast<std::uint8_t>(sector_size_ >> 8);
    image[6] = static_cast<std::uint8_t>(paragraphs_ >> 16);
    image[7] = static_cast<std::uint8_t>(paragraphs_ >> 24);
    for (int i = 8; i < 16; ++i) {
        image[static_cast<std::size_t>(i)] = reserved_;
    }
    return image;
}

}  // namespace korvane::testing
