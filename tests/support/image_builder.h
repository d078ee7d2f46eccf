// Builds ATR images in memory for tests: a header with any identifier, stated length and
// sector size, followed by data of any physical length.
#pragma once

#include <cstdint>
#include <vector>

namespace korvane::testing {

class ImageBuilder {
  public:
    ImageBuilder& Identifier(std::uint8_t first, std::uint8_t second) {
        id_[0] = first;
        id_[1] = second;
        return *this;
    }
    // Stated data length in bytes (written as paragraphs, rounded down).
    ImageBuilder& StatedLength(std::int64_t bytes) { return Paragraphs(bytes / 16); }
    // The raw image_size field, for headers no length can express.
    ImageBuilder& Paragraphs(std::int64_t n) { return Set(paragraphs_, n); }
    ImageBuilder& SectorSize(std::uint16_t bytes) { return Set(sector_size_, bytes); }
    // Length of the data behind the header; defaults to the stated length.
    ImageBuilder& DataLength(std::int64_t bytes) { return Set(data_length_, bytes); }
    ImageBuilder& Reserved(std::uint8_t value) { return Set(reserved_, value); }  // bytes 8-15
    ImageBuilder& Fill(std::uint8_t value) { return Set(fill_, value); }          // every data byte
    // A whole file of `bytes` length that need not even hold a header.
    static std::vector<std::uint8_t> Raw(std::size_t bytes, std::uint8_t value = 0) {
        return std::vector<std::uint8_t>(bytes, value);
    }
    std::vector<std::uint8_t> Build() const;

  private:
    template <typename T>
    ImageBuilder& Set(T& field, std::int64_t value) {
        field = static_cast<T>(value);
        return *this;
    }
    std::uint8_t id_[2] = {0x96, 0x02};
    std::uint32_t paragraphs_ = 92160 / 16;
    std::uint32_t sector_size_ = 128;
    std::int64_t data_length_ = -1;
    std::uint8_t reserved_ = 0;
    std::uint8_t fill_ = 0;
};

}  // namespace korvane::testing
