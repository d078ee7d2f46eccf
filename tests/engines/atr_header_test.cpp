// Header fields the check lines do not show: the range flag and the layout lengths.
#include "atr_header.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

TEST(DecodeAtrHeader, FieldsAndRange) {
    struct Case {
        std::vector<std::uint8_t> first;
        std::uint32_t image_size;
        int sector_size;
        bool identifier_matches;
        bool in_range;
    };
    const Case cases[] = {
        {{0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00}, 5760, 128, true, true},
        {{0x96, 0x03, 0, 0, 0x80, 0, 0x01, 0x00}, 65536, 128, false, true},
        {{0x02, 0x96, 0, 0, 0x80, 0, 0x00, 0x01}, 1u << 24, 128, false, true},
        // 16 + the stated length must fit a signed 32-bit length.
        {{0x96, 0x02, 0xFE, 0xFF, 0x80, 0, 0xFF, 0x07}, 0x07FFFFFE, 128, true, true},
        {{0x96, 0x02, 0xFF, 0xFF, 0x80, 0, 0xFF, 0x07}, 0x07FFFFFF, 128, true, false},
        // A sector size must fit a signed 16-bit value.
        {{0x96, 0x02, 0, 0, 0xFF, 0x7F}, 0, 0x7FFF, true, true},
        {{0x96, 0x02, 0, 0, 0x00, 0x80}, 0, 0x8000, true, false},
    };
    for (const Case& c : cases) {
        AtrHeaderBytes bytes{};
        std::fill(bytes.begin() + 8, bytes.end(), 0xA5);  // reserved bytes are ignored
        std::copy(c.first.begin(), c.first.end(), bytes.begin());
        const AtrHeader h = DecodeAtrHeader(bytes);
        SCOPED_TRACE(c.image_size);
        EXPECT_EQ(h.image_size, c.image_size);
        EXPECT_EQ(h.stated_length, std::int64_t{c.image_size} * 16);
        EXPECT_EQ(h.sector_size, c.sector_size);
        EXPECT_EQ(h.identifier_matches, c.identifier_matches);
        EXPECT_EQ(h.identifier_byte0, c.first[0]);
        EXPECT_EQ(h.identifier_byte1, c.first[1]);
        EXPECT_EQ(h.in_range, c.in_range);
    }
}

TEST(AtrDataLength, ShortLayoutLeavesOutThreeHalfSectors) {
    EXPECT_EQ(AtrDataLength(128, 720, AtrLayout::Long), 92160);
    EXPECT_EQ(AtrDataLength(128, 720, AtrLayout::Short), 92160);
    EXPECT_EQ(AtrDataLength(256, 720, AtrLayout::Long), 184320);
    EXPECT_EQ(AtrDataLength(256, 65535, AtrLayout::Short), 16776576);
}

}  // namespace
}  // namespace korvane
