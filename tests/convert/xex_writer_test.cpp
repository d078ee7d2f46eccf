// The DOS 2 writer and the sector allocator, checked with the independent reader.
#include "xex_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "convert_fixture.h"

namespace korvane::testing {
namespace {

struct Written {
    bool ok = false;
    Bytes image;
    Lines lines;
};

// Writes `xex` into a copy of `template_image` the way one conversion does.
Written Write(const Bytes& template_image, const Bytes& xex) {
    Written result{false, template_image, {}};
    Bytes vtoc(result.image.begin() + SectorAt(360), result.image.begin() + SectorAt(361));
    RecordingReport report;
    result.ok = WriteXexToImage(xex, result.image, vtoc, report);
    result.lines = report.lines;
    return result;
}

void ExpectWritten(const Bytes& template_image, const Bytes& xex) {
    const Written written = Write(template_image, xex);
    ASSERT_TRUE(written.ok);
    EXPECT_TRUE(written.lines.empty());
    ExpectImageHolds(written.image, template_image, xex);
}

TEST(WriteXexToImage, SectorCountsAtTheBoundaries) {
    const Bytes fresh = TemplateBuilder().Build();
    // 128 bytes: 125 + 3; 250: 125 + 125 with no third sector; 251: 125 + 125 + 1. The
    // content is not examined: a file need not start with $FF $FF.
    for (const std::size_t length : {128u, 250u, 251u, 375u, 376u}) {
        SCOPED_TRACE(length);
        ExpectWritten(fresh, XexBytes(length, static_cast<std::uint32_t>(length)));
        ExpectWritten(fresh, XexBytes(length, 1, true));
    }
    // The 128-byte case byte by byte: sectors 4 and 5 of a fresh disk, entry in slot 0.
    const Bytes image = Write(fresh, XexBytes(128, 1)).image;
    const auto bytes = [&](int sector, std::size_t from, std::size_t to) {
        return Bytes(image.begin() + SectorAt(sector) + from,
                     image.begin() + SectorAt(sector) + to);
    };
    EXPECT_EQ(bytes(4, 125, 128), (Bytes{0x00, 5, 125}));
    EXPECT_EQ(bytes(5, 3, 5), (Bytes{0x00, fresh[SectorAt(5) + 4]}));
    EXPECT_EQ(bytes(5, 125, 128), (Bytes{0x00, 0x00, 3}));
    EXPECT_EQ(bytes(361, 0, 16),
              (Bytes{0x42, 2, 0, 4, 0, 'A', 'U', 'T', 'O', 'R', 'U', 'N', ' ', 'S', 'Y', 'S'}));
    EXPECT_EQ(image[kVtocAt + 3] | image[kVtocAt + 4] << 8, 705);
}

// A deleted entry ahead of a never-used one is taken; only sector 0 and sectors above 255
// free: sector 0 loses its bit, and the links' high bits share byte 125 with the number.
TEST(WriteXexToImage, DeletedEntryFileNumberAndLongLinks) {
    TemplateBuilder builder;
    builder.Entry(361, 0, 0x42).Entry(361, 1, 0x80).NothingFree().Free(0);
    for (int sector = 300; sector < 320; ++sector) {
        builder.Free(sector);
    }
    const Bytes tmpl = builder.Build();
    const Bytes xex = XexBytes(600, 3);
    const Written written = Write(tmpl, xex);
    ExpectImageHolds(written.image, tmpl, xex);
    // Entry 1 starts at sector 300 ($12C), which links to 301 ($12D).
    EXPECT_EQ(written.image[SectorAt(361) + 16], 0x42);
    EXPECT_EQ(written.image[SectorAt(361) + 16 + 3], 0x2C);
    EXPECT_EQ(written.image[SectorAt(361) + 16 + 4], 0x01);
    EXPECT_EQ(written.image[SectorAt(300) + 125], 1 * 4 + 1);
    EXPECT_EQ(written.image[SectorAt(300) + 126], 0x2D);
    EXPECT_EQ(written.image[SectorAt(304) + 125], 1 * 4) << "last sector";
    EXPECT_FALSE(SectorFree(written.image, 0));
}

TEST(WriteXexToImage, RefusesWhatDoesNotFit) {
    // The stored count is below the sectors needed: the writer's own space line.
    const Bytes small = TemplateBuilder().NothingFree().Free(4).Free(5).Build();
    EXPECT_EQ(Write(small, XexBytes(251, 1)).lines,
              Lines{"ERROR: To less space on ATR image for the XEX file"});
    // The stored count promises more than the bit field holds: the chain breaks off.
    const Written lying = Write(
        TemplateBuilder().NothingFree().Free(4).Free(5).StoredCount(3).Build(), XexBytes(251, 1));
    EXPECT_FALSE(lying.ok);
    EXPECT_TRUE(lying.lines.empty());
    // No free directory entry: refused in our own words rather than written unfindable.
    const Written full = Write(TemplateBuilder().DirectoryFull().Build(), XexBytes(200, 1));
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.lines, Lines{"ERROR: No free directory entry on ATR image for the XEX file"});
}

TEST(WriteXexToImage, RandomTemplatesAndLengths) {
    const std::uint32_t seed = std::random_device{}();
    std::cout << "seed " << seed << std::endl;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    for (int round = 0; round < 150; ++round) {
        TemplateBuilder builder;
        builder.NothingFree();
        const int density = static_cast<int>(random() % 100) + 1;
        // The VTOC and directory sectors are never free on a DOS 2 disk.
        for (int sector = 0; sector < 720; ++sector) {
            if (static_cast<int>(random() % 100) < density && (sector < 360 || sector > 368)) {
                builder.Free(sector);
            }
        }
        builder.Free(static_cast<int>(random() % 359) + 1)
            .Free(static_cast<int>(random() % 351) + 369);
        const int taken = static_cast<int>(random() % 64);
        for (int i = 0; i < taken; ++i) {
            builder.Entry(361 + i / 8, i % 8, random() % 3 == 0 ? 0x80 : 0x42);
        }
        const Bytes tmpl = builder.Build();
        int usable = 0;
        for (int sector = 1; sector < 720; ++sector) {
            usable += SectorFree(tmpl, sector) ? 1 : 0;
        }
        const std::size_t most = static_cast<std::size_t>(std::max(usable, 2)) * 125;
        const std::size_t length = 128 + random() % (most - 127);
        const Bytes xex = XexBytes(length, static_cast<std::uint32_t>(random()));
        const Written written = Write(tmpl, xex);
        ASSERT_EQ(written.ok, usable * 125 >= static_cast<int>(length)) << "round " << round;
        if (written.ok) {
            ExpectImageHolds(written.image, tmpl, xex);
        }
    }
}

}  // namespace
}  // namespace korvane::testing
