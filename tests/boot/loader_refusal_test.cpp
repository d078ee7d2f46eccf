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

void ExpectRefused(const sim::BootResult& result, const std::string& message) {
    EXPECT_EQ(result.screen[0], "  BOOT ERROR: " + message);
    EXPECT_EQ(result.end, BootEnd::kHalted);
    EXPECT_GE(result.pc, kLoaderStart);
    EXPECT_LT(result.pc, LoaderEnd(result));
    ASSERT_TRUE(result.after_reset);
    EXPECT_EQ(result.after_reset->end, BootEnd::kColdStart);
}

sim::BootOptions WithReset() {
    sim::BootOptions options;
    options.press_reset_after_halt = true;
    return options;
}

Booted Boot(std::vector<std::uint8_t> xex) {
    return BootXex(std::move(xex), WithReset());
}

TEST(LoaderRefusal, SegmentOverTheLoaderIsRefusedBeforeAnyByteLands) {
    const Booted booted = BootXexFile(files::kXexOverLoader, WithReset());
    ExpectRefused(booted.result, "SEGMENT OVERLAPS LOADER");
    EXPECT_EQ(booted.result.calls, (std::vector<ProgramCall>{{CallKind::kInit, 0x2000}}));
    EXPECT_EQ(booted.result.ram[0x0600], 'O');
    const auto& loader = Template();
    for (std::uint16_t address = 0x0800; address < 0x0810; ++address) {
        EXPECT_EQ(booted.result.ram[address], loader[16 + address - kLoaderStart]);
    }
}

TEST(LoaderRefusal, SegmentsTouchingEitherEndOfTheLoaderAreRefused) {
    const std::uint16_t end = LoaderEnd(BootXexFile(files::kXexMarkers).result);
    ExpectRefused(Boot(Xex().Segment(0x06FF, {1, 2}).bytes()).result, "SEGMENT OVERLAPS LOADER");
    ExpectRefused(Boot(Xex().Segment(static_cast<std::uint16_t>(end - 1), {1}).bytes()).result,
                  "SEGMENT OVERLAPS LOADER");
    ExpectRefused(Boot(Xex().Segment(0x0600, std::vector<std::uint8_t>(0x1000, 0)).bytes()).result,
                  "SEGMENT OVERLAPS LOADER");
}

TEST(LoaderRefusal, FileEndingInsideASegmentGetsNoInitOrRun) {
    const Booted booted = BootXexFile(files::kXexTruncated, WithReset());
    ExpectRefused(booted.result, "FILE ENDS INSIDE A SEGMENT");
    EXPECT_EQ(booted.result.calls, (std::vector<ProgramCall>{{CallKind::kInit, 0x2000}}));
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(booted.result.ram[0x3000 + i], 0x80 + i);
    }
    EXPECT_EQ(booted.result.ram[0x3028], 0);
}

TEST(LoaderRefusal, FileEndingInsideASegmentHeaderIsRefused) {
    const auto xex = Xex().Segment(0x3000, {1}).Raw({0x00, 0x40, 0x10}).bytes();
    ExpectRefused(Boot(xex).result, "FILE ENDS INSIDE A SEGMENT");
}

TEST(LoaderRefusal, FileWithoutBinaryHeaderIsRefused) {
    const std::vector<std::uint8_t> text = {'1', '0', ' ', 'P', 'R', 'I', 'N', 'T'};
    ExpectRefused(Boot(text).result, "NOT A BINARY FILE");
    ExpectRefused(Boot({0xFF, 0x00, 0x00, 0x30, 0x00, 0x30, 0x00}).result, "NOT A BINARY FILE");
    ExpectRefused(Boot({0xFF}).result, "NOT A BINARY FILE");
}

TEST(LoaderRefusal, SegmentEndingBeforeItStartsIsRefused) {
    const auto xex = Xex().Raw({0x00, 0x30, 0xFF, 0x2F, 0x00}).bytes();
    ExpectRefused(Boot(xex).result, "BAD SEGMENT HEADER");
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

TEST(LoaderRefusal, UnreadableSectorStopsTheLoadAfterRetries) {
    const Booted probe = BootXexFile(files::kXexInitChain);
    ASSERT_GE(probe.file.sectors.size(), 2u);
    const int bad = probe.file.sectors[1];
    sim::BootOptions options = WithReset();
    options.failing_reads[bad] = sim::kAlwaysFails;
    const Booted booted = BootXexFile(files::kXexInitChain, options);
    ExpectRefused(booted.result, "DISK READ ERROR");
    int attempts = 0;
    for (const auto& read : booted.result.sector_reads) {
        attempts += read.sector == bad ? 1 : 0;
    }
    EXPECT_GE(attempts, 2);
    EXPECT_EQ(booted.result.sector_reads.back().sector, bad);
    EXPECT_TRUE(std::none_of(booted.result.calls.begin(), booted.result.calls.end(),
                             [](const ProgramCall& call) { return call.kind == CallKind::kRun; }));
}

TEST(LoaderRefusal, UnreadableDirectoryIsAReadError) {
    sim::BootOptions options = WithReset();
    options.failing_reads[dos2::kDirectoryFirstSector] = sim::kAlwaysFails;
    ExpectRefused(BootXexFile(files::kXexSingleRun, options).result, "DISK READ ERROR");
}

TEST(LoaderRefusal, SectorOfAnotherFileInTheChainIsRefused) {
    Booted booted = BootXexFile(files::kXexInitChain);
    auto atr = booted.atr;
    const std::size_t link = dos2::SectorOffset(booted.file.sectors[1]) + dos2::kLinkFileNumber;
    atr[link] = static_cast<std::uint8_t>(atr[link] + (5 << 2));  // file number 5
    const auto result = sim::BootAtr(atr, WithReset());
    ExpectRefused(result, "FILE NUMBER MISMATCH");
    EXPECT_TRUE(std::none_of(result.calls.begin(), result.calls.end(),
                             [](const ProgramCall& call) { return call.kind == CallKind::kRun; }));
}

TEST(LoaderRefusal, ByteCountAboveASectorsDataIsRefused) {
    Booted booted = BootXexFile(files::kXexInitChain);
    auto atr = booted.atr;
    atr[dos2::SectorOffset(booted.file.sectors[0]) + dos2::kLinkByteCount] = 126;
    ExpectRefused(sim::BootAtr(atr, WithReset()), "BAD SECTOR LINK");
}

}  // namespace
}  // namespace korvane::boottest
