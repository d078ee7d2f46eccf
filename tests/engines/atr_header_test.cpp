#include "atr_header.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane {
namespace {

AtrHeaderBytes Bytes(std::vector<std::uint8_t> first) {
    AtrHeaderBytes header{};
    std::copy(first.begin(), first.end(), header.begin());
    return header;
}

TEST(DecodeAtrHeader, SingleDensityDisk) {
    const AtrHeader h = DecodeAtrHeader(Bytes({0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(h.identifier_matches);
    EXPECT_EQ(h.image_size, 5760u);
    EXPECT_EQ(h.stated_length, 92160);
    EXPECT_EQ(h.sector_size, 128);
    EXPECT_EQ(h.stated_length + 16, 92176);
    EXPECT_TRUE(h.in_range);
}

TEST(DecodeAtrHeader, HighSizeBytesCount) {
    EXPECT_EQ(DecodeAtrHeader(Bytes({0x96, 0x02, 0, 0, 0x80, 0, 0x01, 0x00})).image_size, 65536u);
    EXPECT_EQ(DecodeAtrHeader(Bytes({0x96, 0x02, 0, 0, 0x80, 0, 0x01, 0x00})).stated_length,
              1048576);
    EXPECT_EQ(DecodeAtrHeader(Bytes({0x96, 0x02, 0, 0, 0x80, 0, 0x00, 0x01})).image_size, 1u << 24);
}

TEST(DecodeAtrHeader, IdentifierMustMatchExactly) {
    EXPECT_FALSE(DecodeAtrHeader(Bytes({0x96, 0x03})).identifier_matches);
    const AtrHeader swapped = DecodeAtrHeader(Bytes({0x02, 0x96}));
    EXPECT_FALSE(swapped.identifier_matches);
    EXPECT_EQ(swapped.identifier_byte0, 0x02);
    EXPECT_EQ(swapped.identifier_byte1, 0x96);
}

TEST(DecodeAtrHeader, ReservedBytesAreIgnored) {
    AtrHeaderBytes noisy = Bytes({0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00});
    for (int i = 8; i < 16; ++i) {
        noisy[static_cast<std::size_t>(i)] = 0xA5;
    }
    const AtrHeader h = DecodeAtrHeader(noisy);
    EXPECT_EQ(h.stated_length, 92160);
    EXPECT_EQ(h.sector_size, 128);
    EXPECT_TRUE(h.identifier_matches);
}

TEST(DecodeAtrHeader, OutOfRangeHeadersAreFlagged) {
    // Byte 7 of 8 or more: the expected length no longer fits a signed 32-bit length.
    EXPECT_FALSE(DecodeAtrHeader(Bytes({0x96, 0x02, 0, 0, 0x80, 0, 0, 0x08})).in_range);
    EXPECT_TRUE(DecodeAtrHeader(Bytes({0x96, 0x02, 0xFE, 0xFF, 0x80, 0, 0xFF, 0x07})).in_range);
    // image_size 2^27 - 1: 16 + its length is one past the largest signed 32-bit value.
    const AtrHeader edge = DecodeAtrHeader(Bytes({0x96, 0x02, 0xFF, 0xFF, 0x80, 0, 0xFF, 0x07}));
    EXPECT_FALSE(edge.in_range);
    EXPECT_EQ(edge.stated_length, (int64_t{1} << 31) - 16);
    // A sector size of 32768 or more does not fit a signed 16-bit value.
    EXPECT_FALSE(DecodeAtrHeader(Bytes({0x96, 0x02, 0, 0, 0x00, 0x80})).in_range);
    EXPECT_TRUE(DecodeAtrHeader(Bytes({0x96, 0x02, 0, 0, 0xFF, 0x7F})).in_range);
}

TEST(EncodeAtrHeader, KnownGeometries) {
    struct Case {
        int64_t data;
        int sector;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {92160, 128, {0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00}},
        {133120, 128, {0x96, 0x02, 0x80, 0x20, 0x80, 0x00, 0x00, 0x00}},
        {8388480, 128, {0x96, 0x02, 0xF8, 0xFF, 0x80, 0x00, 0x07, 0x00}},
        {183936, 256, {0x96, 0x02, 0xE8, 0x2C, 0x00, 0x01, 0x00, 0x00}},
        {16776576, 256, {0x96, 0x02, 0xD8, 0xFF, 0x00, 0x01, 0x0F, 0x00}},
    };
    for (const Case& c : cases) {
        const AtrHeaderBytes header = EncodeAtrHeader(c.data, c.sector);
        for (std::size_t i = 0; i < 16; ++i) {
            const std::uint8_t want = i < c.bytes.size() ? c.bytes[i] : 0;
            EXPECT_EQ(header[i], want) << "data " << c.data << " byte " << i;
        }
        EXPECT_EQ(DecodeAtrHeader(header).stated_length, c.data);
    }
}

TEST(AtrSetters, TouchOnlyTheirOwnBytes) {
    AtrHeaderBytes header;
    header.fill(0x5A);
    header[4] = 0x80;
    header[5] = 0x00;
    AtrHeaderBytes before = header;
    SetAtrSectorSize(header, 256);
    EXPECT_EQ(header[4], 0x00);
    EXPECT_EQ(header[5], 0x01);
    header[4] = before[4];
    header[5] = before[5];
    EXPECT_EQ(header, before);

    SetAtrImageSize(header, 16776576);
    EXPECT_EQ(header[2], 0xD8);
    EXPECT_EQ(header[3], 0xFF);
    EXPECT_EQ(header[6], 0x0F);
    EXPECT_EQ(header[7], 0x00);
    EXPECT_EQ(header[0], 0x5A);
    EXPECT_EQ(header[4], 0x80);
    EXPECT_EQ(header[8], 0x5A);

    SetAtrIdentifier(header);
    EXPECT_EQ(header[0], 0x96);
    EXPECT_EQ(header[1], 0x02);
    EXPECT_EQ(header[2], 0xD8);
}

TEST(AtrGeometry, DataLengthAndLayout) {
    EXPECT_EQ(AtrDataLength(128, 720, AtrLayout::Long), 92160);
    EXPECT_EQ(AtrDataLength(256, 720, AtrLayout::Short), 183936);
    EXPECT_EQ(AtrDataLength(256, 720, AtrLayout::Long), 184320);
    EXPECT_EQ(AtrDataLength(256, 65535, AtrLayout::Short), 16776576);

    EXPECT_EQ(ClassifyAtrLayout(184320), AtrLayout::Long);
    EXPECT_EQ(ClassifyAtrLayout(183936), AtrLayout::Short);
    EXPECT_EQ(ClassifyAtrLayout(1024), AtrLayout::Long);
    EXPECT_EQ(ClassifyAtrLayout(200), AtrLayout::Neither);
    EXPECT_EQ(ClassifyAtrLayout(128), AtrLayout::Short);
    EXPECT_EQ(ClassifyAtrLayout(0), AtrLayout::Long);
    EXPECT_EQ(ClassifyAtrLayout(256), AtrLayout::Long);
}

}  // namespace
}  // namespace korvane
