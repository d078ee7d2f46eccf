// Images the converter makes from the real KELDRIX.ATR boot in the 6502 simulation just as
// the plain program does on a disk of the test tree's DOS 2 writer, for every test program.
#include <gtest/gtest.h>

#include "boot_sim.h"
#include "boot_test_files.h"
#include "convert_fixture.h"

namespace korvane::testing {
namespace {

namespace files = boottest::files;

// Extra $FF $FF markers after the first pair bring a program to the converter's least
// length of 128 bytes; the binary load skips them.
Bytes PaddedToMinimum(const Bytes& xex) {
    Bytes padded(xex.begin(), xex.begin() + 2);
    while (padded.size() + xex.size() - 2 < 128) {
        padded.insert(padded.end(), {0xFF, 0xFF});
    }
    padded.insert(padded.end(), xex.begin() + 2, xex.end());
    return padded;
}

TEST(ConvertedImagesBoot, EveryTestProgramBootsAsItself) {
    const std::pair<const char*, const char*> programs[] = {
        {"SINGLE.XEX", files::kXexSingleRun}, {"CHAIN.XEX", files::kXexInitChain},
        {"NORUN.XEX", files::kXexNoRun},      {"INITONLY.XEX", files::kXexInitOnly},
        {"MARKERS.XEX", files::kXexMarkers},  {"OVER.XEX", files::kXexOverLoader},
        {"TRUNC.XEX", files::kXexTruncated},  {"INITRUN.XEX", files::kXexInitThenRun},
        {"LARGEST.XEX", files::kXexLargest},
    };
    ConvertFixture f;
    f.template_image = ReadFile(files::kTemplateImage);
    f.PutTemplate(f.template_image);
    for (const auto& [name, path] : programs) {
        f.PutXex(name, PaddedToMinimum(ReadFile(path)));
    }
    ASSERT_EQ(f.Run().converted_count, static_cast<std::int64_t>(std::size(programs)));

    for (const auto& [name, path] : programs) {
        SCOPED_TRACE(name);
        const Bytes program = ReadFile(path);
        const Bytes xex = PaddedToMinimum(program);
        const std::string stem(name, std::string(name).find('.') + 1);
        const Bytes atr = f.Output(stem + "ATR");
        ExpectImageHolds(atr, f.template_image, xex);

        const sim::BootResult converted = sim::BootAtr(atr);
        const sim::BootResult plain = sim::BootAtr(WithAutorun(f.template_image, program).value());
        EXPECT_NE(converted.end, sim::BootEnd::kBootFailed);
        EXPECT_EQ(converted.end, plain.end);
        EXPECT_EQ(converted.pc, plain.pc);
        EXPECT_EQ(converted.calls, plain.calls);
        EXPECT_EQ(converted.screen, plain.screen);
    }
}

}  // namespace
}  // namespace korvane::testing
