// The DOS 2 writer and the sector allocator, checked with the independent reader.
#include "xex_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "convert_fixture.h"

namespace korvane::testing {
namespace {

constexpr std::size_t kVtoc = SectorAt(360);

struct Written {
    bool ok = false;
    Bytes image;
    Lines lines;
};

// Writes `xex` into a copy of `template_image` the way one conversion does.
Written Write(const Bytes& template_image, const Bytes& xex) {
    Written result;
    result.image = template_image;
    Bytes vtoc(result.image.begin() + kVtoc, result.image.begin() + kVtoc + 128);
    RecordingReport report;
    result.ok = WriteXexToImage(xex, result.image, vtoc, report);
    result.lines = report.lines;
    return result;
}

TEST(TakeFreeSector, AscendingOrderPassingOverSectorZero) {
    Bytes vtoc(128, 0);
    vtoc[10] = 0x80 | 0x08;  // sectors 0 and 4
    vtoc[11] = 0x01;         // sector 15
    vtoc[99] = 0x01;         // sector 719
    EXPECT_EQ(TakeFreeSector(vtoc), 4);
    EXPECT_EQ(vtoc[10], 0x00) << "the bit of sector 0 is cleared on the way";
    EXPECT_EQ(TakeFreeSector(vtoc), 15);
    EXPECT_EQ(TakeFreeSector(vtoc), 719);
    EXPECT_EQ(TakeFreeSector(vtoc), 0);
    EXPECT_EQ(std::count(vtoc.begin(), vtoc.end(), 0), 128);
}

TEST(WriteXexToImage, SectorCountsAtTheBoundaries) {
    const Bytes fresh = TemplateBuilder().Build();
    // 128 bytes: 125 + 3; 250: 125 + 125 with no third sector; 251: 125 + 125 + 1.
    for (const std::size_t length : {128u, 250u, 251u, 375u, 376u}) {
        SCOPED_TRACE(length);
        const Bytes xex = XexBytes(length, static_cast<std::uint32_t>(length));
        const Written written = Write(fresh, xex);
        ASSERT_TRUE(written.ok);
        EXPECT_TRUE(written.lines.empty());
        ExpectImageHolds(written.image, fresh, xex);
    }
    // The 128-byte case byte by byte: sectors 4 and 5 of a fresh disk, entry in slot 0.
    const Bytes xex = XexBytes(128, 1);
    const Bytes image = Write(fresh, xex).image;
    EXPECT_EQ(image[SectorAt(4) + 125], 0x00);
    EXPECT_EQ(image[SectorAt(4) + 126], 5);
    EXPECT_EQ(image[SectorAt(4) + 127], 125);
    EXPECT_EQ(image[SectorAt(5) + 3], 0x00);
    EXPECT_EQ(image[SectorAt(5) + 4], fresh[SectorAt(5) + 4]);
    EXPECT_EQ(image[SectorAt(5) + 125], 0x00);
    EXPECT_EQ(image[SectorAt(5) + 126], 0x00);
    EXPECT_EQ(image[SectorAt(5) + 127], 3);
    const Bytes entry(image.begin() + SectorAt(361), image.begin() + SectorAt(361) + 16);
    EXPECT_EQ(entry,
              (Bytes{0x42, 2, 0, 4, 0, 'A', 'U', 'T', 'O', 'R', 'U', 'N', ' ', 'S', 'Y', 'S'}));
    EXPECT_EQ(VtocStoredFree(image), 705);
}

TEST(WriteXexToImage, FollowsTheFreeSectorsOfTheBitField) {
    // Free below 11: exactly 4, 9 and 10; more from 20 on.
    TemplateBuilder builder;
    builder.NothingFree().Free(4).Free(9).Free(10);
    for (int sector = 20; sector < 60; ++sector) {
        builder.Free(sector);
    }
    const Bytes tmpl = builder.Build();
    const Bytes xex = XexBytes(300, 7);
    const Written written = Write(tmpl, xex);
    ASSERT_TRUE(written.ok);
    ExpectImageHolds(written.image, tmpl, xex);
    const Dos2File file = ReadDos2File(written.image, *FindDos2Entry(written.image, "AUTORUN SYS"));
    EXPECT_EQ(file.sectors, (std::vector<int>{4, 9, 10}));
    EXPECT_EQ(file.byte_counts, (std::vector<int>{125, 125, 50}));
    EXPECT_EQ(VtocStoredFree(written.image), 40);
}

TEST(WriteXexToImage, DirectorySlotAndFileNumber) {
    const Bytes xex = XexBytes(600, 3);
    struct Case {
        const char* what;
        TemplateBuilder builder;
        int file_number;
    };
    std::vector<Case> cases;
    // A deleted entry ahead of a never-used one is taken.
    cases.push_back(
        {"deleted first", TemplateBuilder().Entry(361, 0, 0x42).Entry(361, 1, 0x80), 1});
    cases.push_back({"slot 3",
                     TemplateBuilder().Entry(361, 0, 0x42).Entry(361, 1, 0x42).Entry(361, 2, 0x42),
                     3});
    TemplateBuilder full_first_sector;
    for (int slot = 0; slot < 8; ++slot) {
        full_first_sector.Entry(361, slot, slot == 5 ? 0x62 : 0x42);  // a locked one too
    }
    cases.push_back({"sector 362", full_first_sector, 8});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Only sectors above 255 free, so the link's high bits share byte 125.
        c.builder.NothingFree();
        for (int sector = 300; sector < 320; ++sector) {
            c.builder.Free(sector);
        }
        const Bytes tmpl = c.builder.Build();
        const Written written = Write(tmpl, xex);
        ASSERT_TRUE(written.ok);
        ExpectImageHolds(written.image, tmpl, xex);
        EXPECT_EQ(FindDos2Entry(written.image, "AUTORUN SYS")->file_number, c.file_number);
        // Sector 300 links to 301 ($12D): byte 125 = number * 4 + 1, byte 126 = $2D.
        EXPECT_EQ(written.image[SectorAt(300) + 125], c.file_number * 4 + 1);
        EXPECT_EQ(written.image[SectorAt(300) + 126], 0x2D);
        EXPECT_EQ(written.image[SectorAt(304) + 125], c.file_number * 4) << "last sector";
    }
}

TEST(WriteXexToImage, RefusesWhatDoesNotFit) {
    // The stored count is below the sectors needed: the writer's own space line.
    const Bytes small = TemplateBuilder().NothingFree().Free(4).Free(5).Build();
    Written written = Write(small, XexBytes(251, 1));
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.lines, Lines{"ERROR: To less space on ATR image for the XEX file"});
    // The stored count promises more than the bit field holds: the chain breaks off.
    const Bytes lying = TemplateBuilder().NothingFree().Free(4).Free(5).StoredCount(3).Build();
    written = Write(lying, XexBytes(251, 1));
    EXPECT_FALSE(written.ok);
    EXPECT_TRUE(written.lines.empty());
    // No free directory entry: refused in our own words rather than written unfindable.
    const Bytes full = TemplateBuilder().DirectoryFull().Build();
    written = Write(full, XexBytes(200, 1));
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.lines, Lines{"ERROR: No free directory entry on ATR image for the XEX file"});
}

TEST(WriteXexToImage, ContentIsNotExamined) {
    const Bytes tmpl = TemplateBuilder().Build();
    for (const bool plain : {false, true}) {
        const Bytes xex = XexBytes(1000, 11, plain);
        const Written written = Write(tmpl, xex);
        ASSERT_TRUE(written.ok);
        ExpectImageHolds(written.image, tmpl, xex);
    }
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
        const int usable = VtocFreeBits(tmpl) - (VtocSectorFree(tmpl, 0) ? 1 : 0);
        const std::size_t most = static_cast<std::size_t>(std::max(usable, 2)) * 125;
        const std::size_t length = 128 + random() % (most - 127);
        const Bytes xex = XexBytes(length, static_cast<std::uint32_t>(random()));
        const Written written = Write(tmpl, xex);
        if (usable * 125 < static_cast<int>(length)) {
            EXPECT_FALSE(written.ok);
            continue;
        }
        ASSERT_TRUE(written.ok) << "round " << round;
        ExpectImageHolds(written.image, tmpl, xex);
    }
}

}  // namespace
}  // namespace korvane::testing
