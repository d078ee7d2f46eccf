// Images the converter makes from the real KELDRIX.ATR boot in the 6502 simulation just
// as the boot tests' own reference disks do, for every test program.
#include <gtest/gtest.h>

#include "boot_sim.h"
#include "boot_test_files.h"
#include "convert_fixture.h"
#include "dos2_writer.h"

namespace korvane::testing {
namespace {

namespace files = boottest::files;

// Extra $FF $FF markers after the first pair bring a program to the converter's least
// length of 128 bytes; the binary load skips them.
Bytes PaddedToMinimum(const Bytes& xex) {
    Bytes padded(xex.begin(), xex.begin() + 2);
    while (padded.size() + xex.size() - 2 < 128) {
        padded.push_back(0xFF);
        padded.push_back(0xFF);
    }
    padded.insert(padded.end(), xex.begin() + 2, xex.end());
    return padded;
}

TEST(ConvertedImagesBoot, EveryTestProgramBootsLikeTheReferenceDisk) {
    const std::vector<std::pair<const char*, const char*>> programs = {
        {"SINGLE.XEX", files::kXexSingleRun}, {"CHAIN.XEX", files::kXexInitChain},
        {"NORUN.XEX", files::kXexNoRun},      {"INITONLY.XEX", files::kXexInitOnly},
        {"MARKERS.XEX", files::kXexMarkers},  {"OVER.XEX", files::kXexOverLoader},
        {"TRUNC.XEX", files::kXexTruncated},  {"INITRUN.XEX", files::kXexInitThenRun},
        {"LARGEST.XEX", files::kXexLargest},
    };
    ConvertFixture f;
    f.template_image = ReadFile(files::kTemplateImage);
    f.PutTemplate(f.template_image);
    std::map<std::string, Bytes> xex;
    for (const auto& [name, path] : programs) {
        const Bytes program = ReadFile(path);
        ASSERT_GE(program.size(), 2u);
        ASSERT_EQ(program[0], 0xFF) << path;
        xex[name] = PaddedToMinimum(program);
        f.PutXex(name, xex[name]);
    }
    const ConversionRunTotals totals = f.Run();
    ASSERT_EQ(totals.converted_count, static_cast<std::int64_t>(programs.size()));

    for (const auto& [name, path] : programs) {
        SCOPED_TRACE(name);
        const std::string stem(name, std::string(name).find('.') + 1);
        const Bytes atr = f.Output(stem + "ATR");
        ExpectImageHolds(atr, f.template_image, xex[name]);
        const sim::BootResult converted = sim::BootAtr(atr);
        const sim::BootResult reference =
            sim::BootAtr(boottest::WithAutorun(f.template_image, xex[name]));
        EXPECT_EQ(converted.end, reference.end);
        EXPECT_EQ(converted.pc, reference.pc);
        EXPECT_EQ(converted.calls, reference.calls);
        EXPECT_EQ(converted.SectorsRead(), reference.SectorsRead());
        EXPECT_EQ(converted.screen, reference.screen);
        EXPECT_TRUE(converted.ram == reference.ram) << "memory after the boot differs";
        EXPECT_NE(converted.end, sim::BootEnd::kBootFailed);
    }

    // Two outcomes spelled out: the plain program runs, and the largest file that fits
    // the template loads whole and runs after its INIT.
    const sim::BootResult single = sim::BootAtr(f.Output("SINGLE.ATR"));
    EXPECT_EQ(single.calls, (std::vector<sim::ProgramCall>{{sim::CallKind::kRun, 0x2000}}));
    EXPECT_EQ(single.end, sim::BootEnd::kHalted);
    EXPECT_EQ(std::string(single.ram.begin() + 0x0600, single.ram.begin() + 0x0606), "SINGLE");
    EXPECT_EQ(xex["LARGEST.XEX"].size(),
              static_cast<std::size_t>(VtocStoredFree(f.template_image)) * 125);
    const sim::BootResult largest = sim::BootAtr(f.Output("LARGEST.ATR"));
    ASSERT_EQ(largest.calls.size(), 2u);
    EXPECT_EQ(largest.calls[0], (sim::ProgramCall{sim::CallKind::kInit, 0x1E00}));
    EXPECT_EQ(largest.calls[1].kind, sim::CallKind::kRun);
    EXPECT_EQ(std::string(largest.ram.begin() + 0x1D00, largest.ram.begin() + 0x1D02), "LG");
}

}  // namespace
}  // namespace korvane::testing
