// The header module's own operations: encoding, the setters and the layout rule.
#include "atr_header.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

TEST(AtrHeader, EncodingExamplesRoundTrip) {
    struct Case {
        std::int64_t data;
        int sector;
        std::vector<std::uint8_t> bytes;  // bytes 0 to 7; 8 to 15 are zero
    };
    const Case cases[] = {
        {92160, 128, {0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00}},
        {8388480, 128, {0x96, 0x02, 0xF8, 0xFF, 0x80, 0x00, 0x07, 0x00}},
        {16776576, 256, {0x96, 0x02, 0xD8, 0xFF, 0x00, 0x01, 0x0F, 0x00}},
        {std::int64_t{1} << 28, 128, {0x96, 0x02, 0x00, 0x00, 0x80, 0x00, 0x00, 0x01}},
    };
    for (const Case& c : cases) {
        const AtrHeaderBytes header = EncodeAtrHeader(c.data, c.sector);
        std::vector<std::uint8_t> expected = c.bytes;
        expected.resize(16, 0);
        EXPECT_EQ(std::vector<std::uint8_t>(header.begin(), header.end()), expected) << c.data;
        const AtrHeader decoded = DecodeAtrHeader(header);
        EXPECT_EQ(decoded.stated_length, c.data);
        EXPECT_EQ(decoded.sector_size, c.sector);
        EXPECT_TRUE(decoded.identifier_matches);
    }
}

TEST(AtrHeader, SettersTouchOnlyTheirField) {
    AtrHeaderBytes header;
    header.fill(0x5A);
    header[4] = 0x80;
    header[5] = 0x00;
    AtrHeaderBytes expected = header;
    SetAtrSectorSize(header, 256);
    expected[4] = 0x00;
    expected[5] = 0x01;
    EXPECT_EQ(header, expected);
    SetAtrImageSize(header, 1024);
    expected[2] = 0x40;
    expected[3] = expected[6] = expected[7] = 0x00;
    EXPECT_EQ(header, expected);
    SetAtrIdentifier(header);
    expected[0] = 0x96;
    expected[1] = 0x02;
    EXPECT_EQ(header, expected);
}

TEST(AtrHeader, GeometryAndLayout) {
    EXPECT_EQ(AtrDataLength(128, 720, AtrLayout::Short), 92160);
    EXPECT_EQ(AtrDataLength(256, 720, AtrLayout::Long), 184320);
    EXPECT_EQ(AtrDataLength(256, 720, AtrLayout::Short), 183936);
    EXPECT_EQ(ClassifyAtrLayout(184320), AtrLayout::Long);
    EXPECT_EQ(ClassifyAtrLayout(183936), AtrLayout::Short);
    EXPECT_EQ(ClassifyAtrLayout(1024), AtrLayout::Long);
    EXPECT_EQ(ClassifyAtrLayout(128), AtrLayout::Short);
    EXPECT_EQ(ClassifyAtrLayout(200), AtrLayout::Neither);
}

}  // namespace
}  // namespace korvane
