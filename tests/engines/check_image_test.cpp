// The per-image test: the block of report lines for good and broken images, line for line.
#include "check_image.h"

#include <gtest/gtest.h>

#include "fault_file_system.h"
#include "image_builder.h"
#include "recording.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

namespace korvane {
namespace {

using testing::Bytes;
using testing::ImageBuilder;
using testing::RecordingReport;
using testing::TempDir;

const std::string kFail =
    "Result: ======================================= F A I L "
    "=======================================";

struct Checked {
    CheckResult result;
    std::vector<std::string> lines;
};

Checked Check(const Bytes& image, LayoutMode layout = LayoutMode::Both, bool expand_small = true,
              const std::string& name = "IMAGE.ATR") {
    TempDir dir;
    testing::WriteFile(dir / name, image);
    PosixFileSystem fs;
    RecordingReport report;
    ScriptedPrompt prompt;
    CheckSettings settings{false, layout, expand_small};
    const CheckResult result =
        CheckImage({name, dir / name, dir.path()}, settings, report, prompt, fs);
    EXPECT_TRUE(prompt.asked().empty()) << "a test run never asks";
    EXPECT_EQ(testing::ReadFile(dir / name), image) << "a test run never writes";
    return {result, report.lines};
}

// The lines after "Read", the physical length, identifier, size and sector size lines.
std::vector<std::string> Findings(const Checked& checked) {
    return std::vector<std::string>(checked.lines.begin() + 5, checked.lines.end());
}

TEST(CheckImage, GoodSingleDensityImagePasses) {
    const Checked c = Check(ImageBuilder().StatedLength(720 * 128).Build());
    const std::vector<std::string> expected = {
        "Read  : IMAGE.ATR",
        "        Physical filelength         = $16810 bytes (92176 byte)",
        "        Header: ATR-file identifier = Ok",
        "        Header: Image size          = $16800 bytes (92160 byte)",
        "        Header: ATARI sector size   = Ok ($80 byte)",
        "Result: PASS",
        "",
    };
    EXPECT_EQ(c.lines, expected);
    EXPECT_EQ(c.result.verdict, Verdict::Pass);
    EXPECT_EQ(c.result.count, CountClass::Valid);
}

TEST(CheckImage, TooShortFileFailsWithoutTrailingEmptyLine) {
    const Checked c = Check(ImageBuilder::Raw(15));
    const std::vector<std::string> expected = {
        "Read  : IMAGE.ATR",
        "        Physical filelength         = $F bytes (15 byte)",
        "        ERROR: Filelength shall be more than 16 bytes",
        kFail,
    };
    EXPECT_EQ(c.lines, expected);
    EXPECT_EQ(c.result.count, CountClass::Invalid);
    EXPECT_EQ(kFail.size(), 95u);
}

TEST(CheckImage, HeaderOnlyImageAndTheOneKilobyteRule) {
    const Bytes header_only = ImageBuilder().StatedLength(0).Build();
    ASSERT_EQ(header_only.size(), 16u);
    const Checked relaxed = Check(header_only, LayoutMode::Both, false);
    const std::vector<std::string> expected = {
        "Read  : IMAGE.ATR",
        "        Physical filelength         = $10 bytes (16 byte)",
        "        Header: ATR-file identifier = Ok",
        "        Header: Image size          = $0 bytes (0 byte)",
        "        Header: ATARI sector size   = Ok ($80 byte)",
        "Result: PASS",
        "",
    };
    EXPECT_EQ(relaxed.lines, expected);

    const Checked strict = Check(header_only, LayoutMode::Both, true);
    EXPECT_EQ(Findings(strict),
              (std::vector<std::string>{"        ERROR : Physical file size is smaller than 1kB",
                                        kFail, ""}));
    EXPECT_EQ(Check(ImageBuilder().StatedLength(1024).Build()).result.verdict, Verdict::Pass);
    const Checked just_below = Check(ImageBuilder().StatedLength(1008).DataLength(1023).Build());
    EXPECT_EQ(just_below.result.verdict, Verdict::Fail);
    EXPECT_EQ(just_below.lines[6], "        ERROR : Physical file size is smaller than 1kB");
}

TEST(CheckImage, WrongIdentifierShowsTheBytesRead) {
    const Checked c = Check(ImageBuilder().Identifier(0x92, 0x02).Build());
    EXPECT_EQ(c.lines[2],
              "        Header: ATR-file identifier = Fail - Expect $96,$02 - Read $92 $2");
    EXPECT_EQ(c.lines[5], kFail);
    EXPECT_EQ(c.result.count, CountClass::Invalid);
}

TEST(CheckImage, LengthAgainstHeader) {
    const Checked large = Check(ImageBuilder().StatedLength(92160).DataLength(92180).Build());
    EXPECT_EQ(Findings(large),
              (std::vector<std::string>{
                  "        ERROR : Physical file size is 20 bytes too large according to header "
                  "information",
                  kFail, ""}));
    const Checked small = Check(ImageBuilder().StatedLength(92160).DataLength(92140).Build());
    EXPECT_EQ(small.lines[5],
              "        ERROR : Physical file size is 20 bytes too small according to header "
              "information");
}

TEST(CheckImage, SingleDensityImagesGetNoLayoutCheck) {
    // 1008 is no multiple of 128, yet only 256-byte sectors have layouts.
    const Checked c = Check(ImageBuilder().StatedLength(1008).Build(), LayoutMode::Short, false);
    EXPECT_EQ(c.result.verdict, Verdict::Pass);
    EXPECT_EQ(c.lines.size(), 7u);
}

TEST(CheckImage, BadSectorSizeHasItsOwnUnindentedLineAndNoLayoutLines) {
    const Checked c = Check(ImageBuilder().SectorSize(512).StatedLength(1008).Build());
    EXPECT_EQ(c.lines[4], "        Header: ATARI sector size   = $200");
    EXPECT_EQ(c.lines[5], "ERROR : Expect $80 or $100 ATARI sector size");
    EXPECT_EQ(c.lines[6], "        ERROR : Physical file size is smaller than 1kB");
    EXPECT_EQ(c.lines[7], kFail);
    EXPECT_EQ(c.lines.size(), 9u);
}

// The layout rule for double-density images under the three options.
TEST(CheckImage, DoubleDensityLayouts) {
    const std::string long_info =
        "        Info  : Long 256 bytes / sector implementation detected according to header "
        "information";
    const std::string short_info =
        "        Info  : Short 256 bytes / sector implementation detected according to header "
        "information";
    const std::string too_large_384 =
        "        ERROR : Header file size is 384 bytes too large for 256 bytes / sector "
        "implementation";
    const std::string too_small_384 =
        "        ERROR : Header file size is 384 bytes too small for 256 bytes / sector "
        "implementation";

    const Bytes long_image = ImageBuilder().SectorSize(256).StatedLength(720 * 128).Build();
    EXPECT_EQ(Findings(Check(long_image, LayoutMode::Long)),
              (std::vector<std::string>{long_info, "Result: PASS", ""}));
    EXPECT_EQ(Check(long_image, LayoutMode::Both).result.verdict, Verdict::Pass);
    EXPECT_EQ(Findings(Check(long_image, LayoutMode::Short)),
              (std::vector<std::string>{long_info, too_large_384, kFail, ""}));

    const Bytes short_image = ImageBuilder().SectorSize(256).StatedLength(720 * 256 - 384).Build();
    EXPECT_EQ(Findings(Check(short_image, LayoutMode::Short)),
              (std::vector<std::string>{short_info, "Result: PASS", ""}));
    EXPECT_EQ(Check(short_image, LayoutMode::Both).result.verdict, Verdict::Pass);
    EXPECT_EQ(Findings(Check(short_image, LayoutMode::Long)),
              (std::vector<std::string>{short_info, too_small_384, kFail, ""}));
}

TEST(CheckImage, LayoutCorrectionNamesBothWaysToMend) {
    const Bytes odd = ImageBuilder().SectorSize(256).StatedLength(1008).Build();
    const auto two_lines = [](int add, int cut) {
        return std::vector<std::string>{
            "        ERROR : Header file size is " + std::to_string(add) + " bytes too small or ",
            "                " + std::to_string(cut) +
                " bytes too larger for 256 bytes / sector implementation",
            kFail, ""};
    };
    EXPECT_EQ(Findings(Check(odd, LayoutMode::Long, false)), two_lines(16, 240));
    EXPECT_EQ(Findings(Check(odd, LayoutMode::Short, false)), two_lines(144, 112));
    EXPECT_EQ(Findings(Check(odd, LayoutMode::Both, false)), two_lines(144, 112));

    // Below 384 bytes the truncating remainder goes negative: 208 gives 432 and 176.
    const Bytes tiny = ImageBuilder().SectorSize(256).StatedLength(208).Build();
    EXPECT_EQ(Findings(Check(tiny, LayoutMode::Short, false)), two_lines(432, 176));
}

TEST(CheckImage, HeaderBeyondTheDataModelFailsAndIsReported) {
    // Byte 7 = 8: the stated length plus the header no longer fits a signed 32-bit length.
    Bytes image = ImageBuilder().StatedLength(1024).Build();
    image[7] = 0x08;
    const Checked c = Check(image);
    EXPECT_EQ(c.result.verdict, Verdict::Fail);
    EXPECT_EQ(c.lines[3],
              "        Header: Image size          = $80000400 bytes (2147484672 byte)");
    EXPECT_EQ(c.lines[4],
              "        ERROR : Header image size is beyond the largest length an image can have");

    // A sector size of 32768 or more fails as a wrong sector size.
    const Checked wide = Check(ImageBuilder().SectorSize(0x8000).StatedLength(1024).Build());
    EXPECT_EQ(wide.lines[4], "        Header: ATARI sector size   = $8000");
    EXPECT_EQ(wide.result.verdict, Verdict::Fail);
}

TEST(CheckImage, UnreadableFileFailsAndTheBlockStaysWhole) {
    TempDir dir;
    testing::WriteFile(dir / "GONE.ATR", ImageBuilder().Build());
    testing::FaultFileSystem fs;
    fs.FailOn(testing::FsOperation::Read);
    RecordingReport report;
    ScriptedPrompt prompt;
    const CheckResult result =
        CheckImage({"GONE.ATR", dir / "GONE.ATR", dir.path()}, CheckSettings{}, report, prompt, fs);
    EXPECT_EQ(result.verdict, Verdict::Fail);
    EXPECT_EQ(result.count, CountClass::Invalid);
    const std::vector<std::string> expected = {
        "Read  : GONE.ATR",
        "        ERROR: File can not be read - Input/output error (injected)",
        kFail,
        "",
    };
    EXPECT_EQ(report.lines, expected);

    // A file that vanished between the listing and the read.
    PosixFileSystem real;
    report.Clear();
    CheckImage({"VANISHED.ATR", dir / "VANISHED.ATR", dir.path()}, CheckSettings{}, report, prompt,
               real);
    ASSERT_EQ(report.lines.size(), 4u);
    EXPECT_EQ(report.lines[1], "        ERROR: File can not be read - No such file or directory");

    // A file replaced by a directory of the same name after the listing.
    std::filesystem::create_directory(dir / "NOWDIR.ATR");
    report.Clear();
    const CheckResult replaced = CheckImage({"NOWDIR.ATR", dir / "NOWDIR.ATR", dir.path()},
                                            CheckSettings{}, report, prompt, real);
    EXPECT_EQ(replaced.count, CountClass::Invalid);
    EXPECT_EQ(report.lines[1], "        ERROR: File can not be read - not a regular file");
}

}  // namespace
}  // namespace korvane
