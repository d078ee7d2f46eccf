// Files and disks the loader refuses: each gives its message on the screen and a halt
// inside the loader, from which RESET restarts the machine.
#include <gtest/gtest.h>

#include "boot_fixture.h"
#include "boot_test_files.h"
#include "dos2_layout.h"

namespace korvane::boottest {
namespace {

using sim::BootEnd;
using sim::CallKind;
using sim::ProgramCall;

constexpr std::uint16_t kLoaderStart = 0x0700;

sim::BootOptions WithReset(int failing_sector = 0) {
    sim::BootOptions options;
    options.press_reset_after_halt = true;
    if (failing_sector != 0) {
        options.failing_reads[failing_sector] = sim::kAlwaysFails;
    }
    return options;
}

void ExpectRefused(const sim::BootResult& result, const std::string& message) {
    EXPECT_EQ(result.screen[0], "  BOOT ERROR: " + message);
    EXPECT_EQ(result.end, BootEnd::kHalted);
    EXPECT_GE(result.pc, kLoaderStart);
    EXPECT_LT(result.pc, LoaderEnd(result));
    ASSERT_TRUE(result.after_reset);
    EXPECT_EQ(result.after_reset->end, BootEnd::kColdStart);
    EXPECT_TRUE(std::none_of(result.calls.begin(), result.calls.end(),
                             [](const ProgramCall& call) { return call.kind == CallKind::kRun; }));
}

TEST(LoaderRefusal, MalformedFiles) {
    const std::uint16_t end = LoaderEnd(BootXexFile(files::kXexMarkers).result);
    const std::pair<std::vector<std::uint8_t>, const char*> cases[] = {
        // Segments touching either end of the loader, or covering it.
        {Xex().Segment(0x06FF, {1, 2}).bytes(), "SEGMENT OVERLAPS LOADER"},
        {Xex().Segment(static_cast<std::uint16_t>(end - 1), {1}).bytes(),
         "SEGMENT OVERLAPS LOADER"},
        {Xex().Segment(0x0600, std::vector<std::uint8_t>(0x1000, 0)).bytes(),
         "SEGMENT OVERLAPS LOADER"},
        {Xex().Segment(0x3000, {1}).Raw({0x00, 0x40, 0x10}).bytes(), "FILE ENDS INSIDE A SEGMENT"},
        {{'1', '0', ' ', 'P', 'R', 'I', 'N', 'T'}, "NOT A BINARY FILE"},
        {{0xFF, 0x00, 0x00, 0x30, 0x00, 0x30, 0x00}, "NOT A BINARY FILE"},
        {{0xFF}, "NOT A BINARY FILE"},
        {Xex().Raw({0x00, 0x30, 0xFF, 0x2F, 0x00}).bytes(), "BAD SEGMENT HEADER"},  // end < start
    };
    for (const auto& [xex, message] : cases) {
        SCOPED_TRACE(message);
        ExpectRefused(BootXex(xex, WithReset()).result, message);
    }
}

TEST(LoaderRefusal, SegmentOverTheLoaderIsRefusedBeforeAnyByteLands) {
    const sim::BootResult result = BootXexFile(files::kXexOverLoader, WithReset()).result;
    ExpectRefused(result, "SEGMENT OVERLAPS LOADER");
    EXPECT_EQ(result.calls, (std::vector<ProgramCall>{{CallKind::kInit, 0x2000}}));
    EXPECT_EQ(result.ram[0x0600], 'O');
    EXPECT_TRUE(std::equal(result.ram.begin() + 0x0800, result.ram.begin() + 0x0810,
                           Template().begin() + 16 + 0x0100));
}

TEST(LoaderRefusal, FileEndingInsideASegmentGetsNoInitOrRun) {
    const sim::BootResult result = BootXexFile(files::kXexTruncated, WithReset()).result;
    ExpectRefused(result, "FILE ENDS INSIDE A SEGMENT");
    EXPECT_EQ(result.calls, (std::vector<ProgramCall>{{CallKind::kInit, 0x2000}}));
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(result.ram[0x3000 + i], 0x80 + i);
    }
    EXPECT_EQ(result.ram[0x3028], 0);
}

TEST(LoaderRefusal, DiskWithoutAutorunIsRefusedAfterTheFirstEmptyEntry) {
    const auto empty = sim::BootAtr(Template(), WithReset());
    ExpectRefused(empty, "AUTORUN.SYS NOT FOUND");
    std::vector<int> expected;
    for (int sector = 1; sector <= empty.boot_sectors; ++sector) {
        expected.push_back(sector);
    }
    expected.push_back(dos2::kDirectoryFirstSector);
    EXPECT_EQ(empty.SectorsRead(), expected);

    auto atr = Template();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(WriteDos2File(atr, "AUTORUN.BAK", std::vector<std::uint8_t>(5, 0)));
    }
    const auto others = sim::BootAtr(atr, WithReset());
    ExpectRefused(others, "AUTORUN.SYS NOT FOUND");
    expected.push_back(dos2::kDirectoryFirstSector + 1);
    EXPECT_EQ(others.SectorsRead(), expected);
    EXPECT_TRUE(others.calls.empty());
}

TEST(LoaderRefusal, UnreadableSectorsStopTheLoadAfterRetries) {
    ExpectRefused(BootXexFile(files::kXexSingleRun, WithReset(dos2::kDirectoryFirstSector)).result,
                  "DISK READ ERROR");
    const int bad = BootXexFile(files::kXexInitChain).file.sectors.at(1);
    const sim::BootResult result = BootXexFile(files::kXexInitChain, WithReset(bad)).result;
    ExpectRefused(result, "DISK READ ERROR");
    EXPECT_GE(std::count_if(result.sector_reads.begin(), result.sector_reads.end(),
                            [&](const sim::SectorRead& read) { return read.sector == bad; }),
              2);
    EXPECT_EQ(result.sector_reads.back().sector, bad);
}

TEST(LoaderRefusal, BrokenSectorLinks) {
    const Booted booted = BootXexFile(files::kXexInitChain);
    // A sector of another file (number 5) in the chain.
    auto atr = booted.atr;
    const std::size_t link = dos2::SectorOffset(booted.file.sectors[1]) + dos2::kLinkFileNumber;
    atr[link] = static_cast<std::uint8_t>(atr[link] + (5 << 2));
    ExpectRefused(sim::BootAtr(atr, WithReset()), "FILE NUMBER MISMATCH");
    // A byte count above a sector's 125 data bytes.
    atr = booted.atr;
    atr[dos2::SectorOffset(booted.file.sectors[0]) + dos2::kLinkByteCount] = 126;
    ExpectRefused(sim::BootAtr(atr, WithReset()), "BAD SECTOR LINK");
}

}  // namespace
}  // namespace korvane::boottest
