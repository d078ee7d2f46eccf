// ATR images built in memory for tests: a header with any identifier, stated length and
// sector size, followed by data of any physical length. The header is written byte by
// byte on purpose: the tests must not share the engine's encoder.
#pragma once

#include <cstdint>
#include <vector>

namespace korvane::testing {

struct Atr {
    std::int64_t stated = 92160;   // the data length the header states, rounded down to 16
    std::uint32_t sector = 128;    // the header's sector size
    std::int64_t data = -1;        // the data behind the header; -1: as stated
    std::uint8_t fill = 0;         // every data byte
    std::uint8_t reserved = 0;     // header bytes 8-15
    std::int64_t paragraphs = -1;  // the raw size field, for headers no length can express
    std::uint8_t id = 0x96;        // the identifier's first byte
};

inline std::vector<std::uint8_t> Image(const Atr& a) {
    const auto p = static_cast<std::uint32_t>(a.paragraphs >= 0 ? a.paragraphs : a.stated / 16);
    std::vector<std::uint8_t> image(16 + static_cast<std::size_t>(a.data >= 0 ? a.data : p * 16LL),
                                    a.fill);
    const std::uint32_t fields[8] = {a.id,     0x02,          p,       p >> 8,
                                     a.sector, a.sector >> 8, p >> 16, p >> 24};
    for (std::size_t i = 0; i < 16; ++i) {
        image[i] = static_cast<std::uint8_t>(i < 8 ? fields[i] : a.reserved);
    }
    return image;
}

}  // namespace korvane::testing
