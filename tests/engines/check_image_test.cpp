// The per-image test of a test run: the block of report lines for good and broken images,
// line for line, under each layout option and with and without the 1 kB rule.
#include <gtest/gtest.h>

#include "check_fixture.h"
#include "fault_file_system.h"
#include "image_builder.h"

namespace korvane::testing {
namespace {

Lines Pass(Lines lines) {
    return Join({lines, {"Result: PASS", ""}});
}
Lines Fail(Lines lines) {
    return Join({lines, {kFailLine, ""}});
}

struct CheckCase {
    const char* label;
    Bytes image;
    LayoutMode layout;
    bool expand_small;
    std::size_t from;  // the first block line compared
    Lines lines;
};

void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.label;
}

class CheckBlock : public CheckTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckBlock, LinesVerdictAndNothingTouched) {
    const CheckCase& c = GetParam();
    settings = {false, c.layout, c.expand_small};
    const CheckResult result = CheckFile("IMAGE.ATR", c.image);

    ASSERT_GE(report.lines.size(), c.from);
    EXPECT_EQ(Lines(report.lines.begin() + static_cast<long>(c.from), report.lines.end()), c.lines);
    const bool pass = std::find(c.lines.begin(), c.lines.end(), "Result: PASS") != c.lines.end();
    EXPECT_EQ(result.verdict, pass ? Verdict::Pass : Verdict::Fail);
    EXPECT_EQ(result.count, pass ? CountClass::Valid : CountClass::Invalid);
    EXPECT_TRUE(prompt.asked().empty()) << "a test run never asks";
    EXPECT_EQ(File("IMAGE.ATR"), c.image) << "a test run never writes";
    EXPECT_EQ(Snapshot(dir.path()).size(), 1u);
}

const Bytes kLong720 = ImageBuilder().SectorSize(256).StatedLength(720 * 128).Build();
const Bytes kShort720 = ImageBuilder().SectorSize(256).StatedLength(720 * 256 - 384).Build();
const Bytes kOdd1008 = ImageBuilder().SectorSize(256).StatedLength(1008).Build();
constexpr auto kBoth = LayoutMode::Both;
constexpr auto kShort = LayoutMode::Short;
constexpr auto kLong = LayoutMode::Long;

INSTANTIATE_TEST_SUITE_P(
    Images, CheckBlock,
    ::testing::Values(
        // Reserved bytes are not looked at.
        CheckCase{"GoodSingleDensity", ImageBuilder().Reserved(0xA5).Build(), kBoth, true, 0,
                  Lines{"Read  : IMAGE.ATR",
                        "        Physical filelength         = $16810 bytes (92176 byte)",
                        "        Header: ATR-file identifier = Ok",
                        "        Header: Image size          = $16800 bytes (92160 byte)",
                        "        Header: ATARI sector size   = Ok ($80 byte)", "Result: PASS", ""}},
        // Too short for a header: no empty line after the verdict.
        CheckCase{
            "TooShort", ImageBuilder::Raw(15), kBoth, true, 0,
            Lines{"Read  : IMAGE.ATR", "        Physical filelength         = $F bytes (15 byte)",
                  "        ERROR: Filelength shall be more than 16 bytes",
                  "Result: ======================================= F A I L "
                  "======================================="}},
        CheckCase{
            "HeaderOnly", ImageBuilder().StatedLength(0).Build(), kBoth, false, 1,
            Pass({"        Physical filelength         = $10 bytes (16 byte)", kIdentifierOk,
                  "        Header: Image size          = $0 bytes (0 byte)", SectorOkLine(128)})},
        CheckCase{"HeaderOnlyUnder1kRule", ImageBuilder().StatedLength(0).Build(), kBoth, true, 5,
                  Fail({kTooSmall1k})},
        CheckCase{"Exactly1k", ImageBuilder().StatedLength(1024).Build(), kBoth, true, 5, Pass({})},
        CheckCase{"OneByteBelow1k", ImageBuilder().StatedLength(1008).DataLength(1023).Build(),
                  kBoth, true, 5, Fail({LengthError(15, "large"), kTooSmall1k})},
        CheckCase{"WrongIdentifier", ImageBuilder().Identifier(0x92, 0x02).Build(), kBoth, true, 2,
                  Fail({"        Header: ATR-file identifier = Fail - Expect $96,$02 - Read $92 $2",
                        ImageSizeLine(92160), SectorOkLine(128)})},
        CheckCase{"FileTooLong", ImageBuilder().DataLength(92180).Build(), kBoth, true, 5,
                  Fail({LengthError(20, "large")})},
        CheckCase{"FileTooShort", ImageBuilder().DataLength(92140).Build(), kBoth, true, 5,
                  Fail({LengthError(20, "small")})},
        // Only 256-byte sectors have layouts.
        CheckCase{"SingleDensityHasNoLayout", ImageBuilder().StatedLength(1008).Build(), kShort,
                  false, 5, Pass({})},
        CheckCase{"BadSectorSize", ImageBuilder().SectorSize(512).StatedLength(1008).Build(), kBoth,
                  true, 4,
                  Fail({"        Header: ATARI sector size   = $200", kBadSector, kTooSmall1k})},
        CheckCase{"SectorSizeBeyond16Bits",
                  ImageBuilder().SectorSize(0x8000).StatedLength(1024).Build(), kBoth, true, 4,
                  Fail({"        Header: ATARI sector size   = $8000", kBadSector})},
        // 16 + the stated length is one past the largest signed 32-bit length.
        CheckCase{"HeaderBeyondTheLargestLength",
                  ImageBuilder().Paragraphs(0x07FFFFFF).DataLength(1024).Build(), kBoth, true, 3,
                  Fail({"        Header: Image size          = $7FFFFFF0 bytes (2147483632 byte)",
                        "        ERROR : Header image size is beyond the largest length an image "
                        "can have",
                        SectorOkLine(128), LengthError(2147482608, "small")})},
        CheckCase{"LongUnderLong", kLong720, kLong, true, 5, Pass({kLongInfo})},
        CheckCase{"LongUnderBoth", kLong720, kBoth, true, 5, Pass({kLongInfo})},
        CheckCase{"LongUnderShort", kLong720, kShort, true, 5, Fail({kLongInfo, kTooLarge384})},
        CheckCase{"ShortUnderShort", kShort720, kShort, true, 5, Pass({kShortInfo})},
        CheckCase{"ShortUnderBoth", kShort720, kBoth, true, 5, Pass({kShortInfo})},
        CheckCase{"ShortUnderLong", kShort720, kLong, true, 5, Fail({kShortInfo, kTooSmall384})},
        CheckCase{"NeitherUnderLong", kOdd1008, kLong, false, 5, Fail(TwoWays(16, 240))},
        CheckCase{"NeitherUnderShort", kOdd1008, kShort, false, 5, Fail(TwoWays(144, 112))},
        CheckCase{"NeitherUnderBoth", kOdd1008, kBoth, false, 5, Fail(TwoWays(144, 112))},
        // Below 384 bytes the truncating remainder goes negative: 208 gives 432 and 176.
        CheckCase{"TinyUnderShort", ImageBuilder().SectorSize(256).StatedLength(208).Build(),
                  kShort, false, 5, Fail(TwoWays(432, 176))}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.label; });

TEST_F(CheckTest, UnreadableFileFailsAndTheBlockStaysWhole) {
    settings.repair_mode = false;
    FaultFileSystem faulty;
    faulty.FailOn(FsOperation::Read);
    fs = &faulty;
    const CheckResult result = CheckFile("GONE.ATR", ImageBuilder().Build());
    EXPECT_EQ(result.count, CountClass::Invalid);
    EXPECT_EQ(report.lines,
              (Lines{"Read  : GONE.ATR",
                     "        ERROR: File can not be read - Input/output error (injected)",
                     kFailLine, ""}));

    // A file that vanished, or became a directory, between the listing and the read.
    fs = &posix;
    std::filesystem::create_directory(dir / "NOWDIR.ATR");
    for (const auto& [name, reason] : {std::pair{"VANISHED.ATR", "No such file or directory"},
                                       std::pair{"NOWDIR.ATR", "not a regular file"}}) {
        report.Clear();
        const CheckResult gone =
            CheckImage({name, dir / name, dir.path()}, settings, report, prompt, *fs);
        EXPECT_EQ(gone.count, CountClass::Invalid);
        EXPECT_EQ(
            report.lines,
            (Lines{std::string("Read  : ") + name,
                   std::string("        ERROR: File can not be read - ") + reason, kFailLine, ""}));
    }
}

}  // namespace
}  // namespace korvane::testing
