// Booting KELDRIX.ATR with well-formed programs as AUTORUN.SYS: what lands where, which
// INIT and RUN calls happen in which order, and which sectors are read.
#include <gtest/gtest.h>

#include "boot_fixture.h"
#include "boot_test_files.h"
#include "dos2_layout.h"

namespace korvane::boottest {
namespace {

using sim::BootEnd;
using sim::CallKind;
using sim::ProgramCall;
using Ranges = std::vector<std::pair<std::uint16_t, std::uint16_t>>;

constexpr std::uint16_t kInitad = 0x02E2;
constexpr std::uint16_t kRunad = 0x02E0;
constexpr std::uint16_t kColdsv = 0xE477;

// The address the file itself leaves at `vector` (RUNAD or INITAD).
std::uint16_t VectorIn(const std::vector<std::uint8_t>& xex, std::uint16_t vector) {
    std::uint16_t value = 0;
    for (const XexSegment& segment : Segments(xex)) {
        if (segment.start <= vector && segment.start + segment.data.size() >= vector + 2u) {
            const std::size_t at = vector - segment.start;
            value = static_cast<std::uint16_t>(segment.data[at] | segment.data[at + 1] << 8);
        }
    }
    return value;
}

// Every byte of every segment is in memory as the last segment covering it left it,
// except in the ranges the program itself writes to; and only the boot sectors, the
// directory up to the file's entry and the file's chain were read, each read well formed.
void ExpectLoaded(const Booted& booted, Ranges written = {}) {
    std::vector<int> expected(0x10000, -1);
    for (const XexSegment& segment : Segments(booted.xex)) {
        for (std::size_t i = 0; i < segment.data.size(); ++i) {
            expected[segment.start + i] = segment.data[i];
        }
    }
    written.push_back({kRunad, kInitad + 1});  // the loader's own vectors
    int wrong = 0;
    for (int address = 0; address < 0x10000; ++address) {
        bool skip = expected[address] < 0;
        for (const auto& [first, last] : written) {
            skip = skip || (address >= first && address <= last);
        }
        if (!skip && booted.result.ram[address] != expected[address] && ++wrong < 5) {
            ADD_FAILURE() << "byte at $" << std::hex << address << " is "
                          << int{booted.result.ram[address]} << ", file has " << expected[address];
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(booted.result.SectorsRead(), ExpectedSectors(booted.result, booted.file));
    for (const auto& read : booted.result.sector_reads) {
        EXPECT_TRUE(read.ok && read.request_valid) << "sector " << read.sector;
    }
}

TEST(LoaderLoad, EachTestProgramLoadsAndRunsInOrder) {
    // An address of 0 stands for the one the file leaves at INITAD or RUNAD.
    struct Case {
        const char* path;
        std::vector<ProgramCall> calls;
        std::uint16_t text_at;
        std::string text;  // what the program leaves there
        Ranges written;    // where the program writes
    };
    const Case cases[] = {
        {files::kXexSingleRun, {{CallKind::kRun, 0x2000}}, 0x0600, "SINGLE", {}},
        // The INITs wreck the device control block; the reads after them still work.
        {files::kXexInitChain,
         {{CallKind::kInit, 0x3000},
          {CallKind::kInit, 0x3100},
          {CallKind::kInit, 0},
          {CallKind::kRun, 0}},
         0x0680,
         "\x04"
         "ABCR",
         {{0x0680, 0x0680}}},
        // Without RUNAD the first segment runs.
        {files::kXexNoRun, {{CallKind::kRun, 0x2400}}, 0x0600, "N", {}},
        {files::kXexMarkers, {{CallKind::kRun, 0x4200}}, 0x0600, "M", {}},
        {files::kXexInitThenRun,
         {{CallKind::kInit, 0x2000}, {CallKind::kRun, 0}},
         0x0610,
         "KELDRIX RUN OK",
         {{0x0600, 0x0600}}},
        // When INIT did the work the boot ends cleanly through DOSVEC.
        {files::kXexInitOnly, {{CallKind::kInit, 0x2800}}, 0x0600, "I", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const Booted booted = BootXexFile(c.path);
        const sim::BootResult& result = booted.result;
        std::vector<ProgramCall> calls = c.calls;
        for (ProgramCall& call : calls) {
            if (call.address == 0) {
                call.address = VectorIn(booted.xex, call.kind == CallKind::kRun ? kRunad : kInitad);
            }
        }
        EXPECT_EQ(result.calls, calls);
        EXPECT_EQ(RamText(result, c.text_at, c.text.size()), c.text);
        ExpectLoaded(booted, c.written);
        EXPECT_EQ(result.ScreenText().find("ERROR"), std::string::npos);
        if (c.path == files::kXexInitOnly) {
            EXPECT_TRUE(result.boot_returned);
            EXPECT_EQ(result.dosvec_target, kColdsv);
            EXPECT_EQ(result.end, BootEnd::kColdStart);
        } else {
            EXPECT_EQ(result.end, BootEnd::kHalted);
            EXPECT_GE(result.pc, LoaderEnd(result)) << "halted in the loader";
        }
    }
    EXPECT_EQ(BootXexFile(files::kXexInitThenRun).result.screen[0], "KELDRIX RUN OK");
}

TEST(LoaderLoad, ResetDuringTheProgramRestartsTheMachine) {
    sim::BootOptions options;
    options.press_reset_after_halt = true;
    const sim::BootResult result = BootXexFile(files::kXexSingleRun, options).result;
    EXPECT_EQ(result.ram[0x0244], 0);                // COLDST: warm start
    EXPECT_EQ(result.ram[0x09] & 0x01, 1);           // BOOT?: DOSINI is called
    EXPECT_EQ(result.Word(0x0A), kColdsv);           // DOSVEC
    EXPECT_EQ(result.ram[result.Word(0x0C)], 0x60);  // DOSINI -> RTS
    ASSERT_TRUE(result.after_reset);
    EXPECT_EQ(result.after_reset->dosini_called, result.Word(0x0C));
    EXPECT_EQ(result.after_reset->end, BootEnd::kColdStart);
}

TEST(LoaderLoad, LargestFileThatFitsLoadsUnderTheSwitchedOffBasic) {
    const auto xex = ReadFile(files::kXexLargest);
    const int free = Template()[dos2::kVtocOffset + 3] | Template()[dos2::kVtocOffset + 4] << 8;
    ASSERT_EQ(xex.size(), static_cast<std::size_t>(free) * 125);
    const Booted booted = BootXex(xex);
    const auto& result = booted.result;
    EXPECT_EQ(booted.file.sectors.size(), static_cast<std::size_t>(free));

    const auto segments = Segments(xex);
    ASSERT_EQ(segments.size(), 6u);
    EXPECT_EQ(result.calls, (std::vector<ProgramCall>{{CallKind::kInit, 0x1E00},
                                                      {CallKind::kRun, VectorIn(xex, kRunad)}}));
    // The INIT saw the first $2000-$BFFF segment before the second replaced it.
    EXPECT_TRUE(std::equal(segments[1].data.begin(), segments[1].data.begin() + 256,
                           result.ram.begin() + 0x1F00));
    EXPECT_EQ(RamText(result, 0x1D00, 2), "LG");
    ExpectLoaded(booted, {{0x1D00, 0x1D01}, {0x1F00, 0x1FFF}});
    EXPECT_FALSE(result.basic_rom_enabled);
}

TEST(LoaderLoad, TransientReadErrorsAreRetried) {
    const int flaky = BootXexFile(files::kXexMarkers).file.sectors.front();
    sim::BootOptions options;
    options.failing_reads[flaky] = 2;
    const Booted booted = BootXexFile(files::kXexMarkers, options);
    const auto failures = std::count_if(
        booted.result.sector_reads.begin(), booted.result.sector_reads.end(),
        [&](const sim::SectorRead& read) { return read.sector == flaky && !read.ok; });
    EXPECT_EQ(failures, 2);
    EXPECT_EQ(booted.result.SectorsRead(), ExpectedSectors(booted.result, booted.file));
    EXPECT_EQ(booted.result.calls.size(), 1u);
}

// Deleted, open and unused entries are passed over, also into a later directory sector;
// the chain's file number is the entry's place in the directory.
TEST(LoaderLoad, FindsTheEntryPastOtherEntries) {
    auto atr = Template();
    const auto decoy = Xex().Segment(0x2000, {0x4C, 0x00, 0x20}).Run(0x2000).bytes();
    ASSERT_TRUE(WriteDos2File(atr, "AUTORUN.SYS", decoy));  // slot 0: deleted below
    ASSERT_TRUE(WriteDos2File(atr, "AUTORUN.SYS", decoy));  // slot 1: open for output
    ASSERT_TRUE(WriteDos2File(atr, "AUTORUN.SYS", decoy));  // slot 2: flags without "in use"
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(WriteDos2File(atr, i == 0 ? "AUTORUNX.SYS" : "OTHER.DAT", decoy));
    }
    const auto file = WriteDos2File(atr, "AUTORUN.SYS", ReadFile(files::kXexNoRun));
    ASSERT_TRUE(file);
    ASSERT_EQ(file->file_number, 9);
    const std::size_t directory = dos2::SectorOffset(dos2::kDirectoryFirstSector);
    atr[directory + 0 * 16] = 0x80;
    atr[directory + 1 * 16] = 0x43;
    atr[directory + 2 * 16] = 0x02;
    const auto result = sim::BootAtr(atr);
    EXPECT_EQ(result.calls, (std::vector<ProgramCall>{{CallKind::kRun, 0x2400}}));
    EXPECT_EQ(result.SectorsRead(), ExpectedSectors(result, *file));
}

TEST(LoaderLoad, SegmentsRightBelowAndRightAboveTheLoaderLoad) {
    const std::uint16_t end = LoaderEnd(BootXexFile(files::kXexMarkers).result);
    ASSERT_GT(end, 0x0700 + 128);
    const Booted booted = BootXex(Xex()
                                      .Segment(0x06FE, {0xAA, 0xBB})
                                      .Segment(end, {0xCC, 0xDD})
                                      .Segment(0x3000, {0x4C, 0x00, 0x30})
                                      .Run(0x3000)
                                      .bytes());
    EXPECT_EQ(booted.result.ram[0x06FF], 0xBB);
    EXPECT_EQ(booted.result.ram[end], 0xCC);
    EXPECT_EQ(booted.result.calls, (std::vector<ProgramCall>{{CallKind::kRun, 0x3000}}));
}

}  // namespace
}  // namespace korvane::boottest
