// The DOS 2 writer and its sector allocator, checked with the independent reader.
#include "xex_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "convert_fixture.h"

namespace korvane::testing {
namespace {

// Writes `xex` into a copy of `image` the way one conversion does; the lines it reports.
Lines Write(Bytes& image, const Bytes& xex, bool ok = true) {
    Bytes vtoc(image.begin() + kVtoc, image.begin() + kVtoc + 128);
    RecordingReport report;
    EXPECT_EQ(WriteXexToImage(xex, image, vtoc, report), ok);
    return report.lines;
}

// Random templates (free sectors, entries taken or deleted) and lengths up to the free
// space, among them the sector-count boundaries and sectors above 255, whose high bits
// share byte 125 with the file number. The content is not examined: $FF $FF or not.
TEST(WriteXexToImage, RandomTemplatesAndLengths) {
    const char* given = std::getenv("KORVANE_TEST_SEED");
    const auto seed = given != nullptr
                          ? static_cast<std::uint32_t>(std::strtoul(given, nullptr, 10))
                          : std::random_device{}();
    std::printf("XEX writer seed: %u (rerun with KORVANE_TEST_SEED=%u)\n", seed, seed);
    std::mt19937 random(seed);
    const std::size_t lengths[] = {128, 250, 251, 707 * 125};
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", seed " + std::to_string(seed));
        Bytes tmpl = Template();
        const unsigned density = random() % 100 + 1;
        for (int sector = 0; round >= 4 && sector < 720; ++sector) {
            SetFree(tmpl, sector, random() % 100 < density && (sector < 360 || sector > 368));
        }
        SetFree(tmpl, static_cast<int>(random() % 359) + 1, true);
        SetFree(tmpl, static_cast<int>(random() % 351) + 369, true);
        for (int i = static_cast<int>(random() % 64); i > 0 && round >= 4; --i) {
            tmpl[EntryAt(i - 1)] = random() % 3 == 0 ? 0x80 : 0x42;
        }
        Recount(tmpl);
        const int usable = (tmpl[kVtoc + 3] | tmpl[kVtoc + 4] << 8) - (SectorFree(tmpl, 0) ? 1 : 0);
        const std::size_t length =
            round < 4 ? lengths[round] : 128 + random() % (usable * 125u - 127);
        const Bytes xex = XexBytes(length, static_cast<std::uint32_t>(random()), round % 3 == 0);
        Bytes image = tmpl;
        EXPECT_TRUE(Write(image, xex).empty());
        ExpectImageHolds(image, tmpl, xex);
    }
}

TEST(WriteXexToImage, RefusesWhatDoesNotFit) {
    Bytes two_free = Template({4, 5}), lying = Template({4, 5}, 3), no_entry = Template();
    EXPECT_EQ(Write(two_free, XexBytes(251, 1), false),
              Lines{"ERROR: To less space on ATR image for the XEX file"});
    EXPECT_TRUE(Write(lying, XexBytes(251, 1), false).empty());  // the chain breaks off
    for (int entry = 0; entry < 64; ++entry) {
        no_entry[EntryAt(entry)] = 0x42;
    }
    EXPECT_EQ(Write(no_entry, XexBytes(200, 1), false),
              Lines{"ERROR: No free directory entry on ATR image for the XEX file"});
}

}  // namespace
}  // namespace korvane::testing
