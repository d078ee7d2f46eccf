// The repair steps of a repair run, one image at a time: for each fault and each answer,
// the block of report lines, the questions asked and the bytes that land on disk.
#include <gtest/gtest.h>

#include "check_fixture.h"
#include "image_builder.h"

namespace korvane::testing {
namespace {

using Answers = std::vector<std::pair<PromptTopic, PromptAnswer>>;
// How a failing image is written: its new length, stated length and sector size (0 and
// -1 keep the old ones); the reserved bytes are always cleared.
struct Mend {
    std::size_t length = 0;
    std::int64_t stated = -1;
    int sector = 0;
};

const std::string kSkipByUser = "        Skip repair selected by user";
const std::string kSector512 = "        Header: ATARI sector size   = $200";
constexpr std::int64_t kLargestData = 65535LL * 256;

// The box each question shows for GAME.ATR.
void ExpectQuestion(const Prompt& asked, PromptTopic topic) {
    const std::map<PromptTopic, std::pair<std::string, std::string>> boxes = {
        {PromptTopic::SectorSize,
         {"Set GAME.ATRsector size", "<YES> 128 bytes /sector - <NO> 256 bytes / sector?"}},
        {PromptTopic::FileLength,
         {"GAME.ATR is invalid",
          "<YES> adapt physical file length - <NO> adapt header file length info?"}},
        {PromptTopic::Layout, {"GAME.ATR", "Add bytes?"}},
    };
    EXPECT_EQ(asked.topic, topic);
    EXPECT_EQ(asked.title, boxes.at(topic).first);
    EXPECT_EQ(asked.text, boxes.at(topic).second);
    EXPECT_EQ(asked.buttons, PromptButtons::YesNoCancel);
    EXPECT_EQ(asked.icon, PromptIcon::Question);
}

struct RepairCase {
    const char* label;
    ImageBuilder image;
    Answers answers;  // in the order the questions come
    LayoutMode layout;
    bool expand_small;
    Lines lines;  // the block after Read, length, identifier and size, up to the verdict
    Mend mend;    // a failing image is written with these changes
};

void PrintTo(const RepairCase& c, std::ostream* out) {
    *out << c.label;
}

class RepairStep : public CheckTest, public ::testing::WithParamInterface<RepairCase> {};

TEST_P(RepairStep, LinesQuestionsAndWrittenBytes) {
    const RepairCase& c = GetParam();
    settings.layout = c.layout;
    settings.expand_small = c.expand_small;
    for (const auto& [topic, answer] : c.answers) {
        prompt.Answer(topic, answer);
    }
    const Bytes original = c.image.Build();
    const CheckResult result = CheckFile("GAME.ATR", original);

    const bool written = c.lines.back() == kFailLine;
    Lines expected =
        Join({Head("GAME.ATR", static_cast<std::int64_t>(original.size()), StatedOf(original)),
              c.lines});
    if (written) {
        expected.insert(expected.end(), {"Write : Backup image as GAME_org.atr",
                                         "        Generate new GAME.ATR file", ""});
    }
    EXPECT_EQ(report.lines, expected);
    EXPECT_EQ(result.count, written ? CountClass::Invalid : CountClass::Valid);
    ASSERT_EQ(prompt.asked().size(), c.answers.size());
    for (std::size_t i = 0; i < c.answers.size(); ++i) {
        ExpectQuestion(prompt.asked()[i], c.answers[i].first);
    }

    Bytes mended = original;
    if (c.mend.length != 0) {
        mended.resize(c.mend.length, 0);
    }
    for (std::size_t i = 0; i < 4 && c.mend.stated >= 0; ++i) {
        mended[i < 2 ? 2 + i : 4 + i] = static_cast<std::uint8_t>(c.mend.stated / 16 >> 8 * i);
    }
    if (c.mend.sector != 0) {
        mended[4] = static_cast<std::uint8_t>(c.mend.sector);
        mended[5] = static_cast<std::uint8_t>(c.mend.sector >> 8);
    }
    if (written) {
        std::fill(mended.begin() + 8, mended.begin() + 16, 0);
        EXPECT_TRUE(File("GAME_org.atr") == original) << "the backup is not the old image";
    }
    const Bytes file = File("GAME.ATR");
    EXPECT_EQ(file.size(), mended.size());
    EXPECT_TRUE(file == mended) << "GAME.ATR holds other bytes";
    EXPECT_EQ(Snapshot(dir.path()).size(), written ? 2u : 1u);
}

constexpr auto kYes = PromptAnswer::Yes;
constexpr auto kNo = PromptAnswer::No;
constexpr auto kCancel = PromptAnswer::Cancel;
constexpr auto kSectorQ = PromptTopic::SectorSize;
constexpr auto kLengthQ = PromptTopic::FileLength;
constexpr auto kLayoutQ = PromptTopic::Layout;
constexpr auto kBoth = LayoutMode::Both;
constexpr auto kShort = LayoutMode::Short;
constexpr auto kLong = LayoutMode::Long;
const ImageBuilder k512 = ImageBuilder().SectorSize(512).StatedLength(1024).Fill(0x5A);
const ImageBuilder kOdd = ImageBuilder().SectorSize(256).StatedLength(1008).Fill(0x5A);
const ImageBuilder kTooLong = ImageBuilder().StatedLength(960).DataLength(1000).Fill(0x5A);

INSTANTIATE_TEST_SUITE_P(
    Faults, RepairStep,
    ::testing::Values(
        // Sector size: Yes 128, No 256 (and the layout checks follow), Cancel clears the
        // fail mark; after a Cancel another fault still writes the old sector field.
        RepairCase{"SectorYes", k512, Answers{{kSectorQ, kYes}}, kBoth, false,
                   Lines{kSector512, kBadSector, kFailLine}, Mend{0, -1, 128}},
        RepairCase{"SectorNo", k512, Answers{{kSectorQ, kNo}}, kBoth, false,
                   Lines{kSector512, kBadSector, kLongInfo, kFailLine}, Mend{0, -1, 256}},
        RepairCase{"SectorCancel", k512, Answers{{kSectorQ, kCancel}}, kBoth, false,
                   Lines{kSector512, kBadSector, kSkipByUser, "Result: PASS", ""}, Mend{}},
        RepairCase{"SectorCancelThenLength", ImageBuilder(k512).DataLength(1000),
                   Answers{{kSectorQ, kCancel}, {kLengthQ, kYes}}, kBoth, false,
                   Lines{kSector512, kBadSector, kSkipByUser, LengthError(24, "small"),
                         Step("Add 24 bytes empty area"), kFailLine},
                   Mend{1040}},
        // Length against the header: a header without a size takes the file's without
        // asking; Yes cuts or pads the file, No rounds its length down into the header
        // (the 8 bytes beyond stay), Cancel still writes with the reserved bytes cleared.
        RepairCase{
            "HeaderWithoutSize", ImageBuilder().StatedLength(0).DataLength(1024).Fill(7), Answers{},
            kBoth, false,
            Lines{SectorOkLine(128), LengthError(1024, "large"), Step("Modify header"), kFailLine},
            Mend{0, 1024}},
        RepairCase{"LengthYesCuts", ImageBuilder().DataLength(1044).StatedLength(1024).Fill(0x5A),
                   Answers{{kLengthQ, kYes}}, kBoth, false,
                   Lines{SectorOkLine(128), LengthError(20, "large"),
                         Step("Cut 20 bytes unused space"), kFailLine},
                   Mend{1040}},
        RepairCase{"LengthYesPads", ImageBuilder().DataLength(1004).StatedLength(1024).Fill(0x5A),
                   Answers{{kLengthQ, kYes}}, kBoth, false,
                   Lines{SectorOkLine(128), LengthError(20, "small"),
                         Step("Add 20 bytes empty area"), kFailLine},
                   Mend{1040}},
        RepairCase{
            "LengthNoRoundsDown", kTooLong, Answers{{kLengthQ, kNo}}, kBoth, false,
            Lines{SectorOkLine(128), LengthError(40, "large"), Step("Modify header"), kFailLine},
            Mend{0, 992}},
        RepairCase{"LengthCancel", ImageBuilder(kTooLong).Reserved(0xAA),
                   Answers{{kLengthQ, kCancel}}, kBoth, false,
                   Lines{SectorOkLine(128), LengthError(40, "large"), kFailLine}, Mend{}},
        // The 1 kB rule grows the image without asking, for either sector size.
        RepairCase{"SmallImageGrows", ImageBuilder().StatedLength(608).Fill(0x5A), Answers{}, kBoth,
                   true, Lines{SectorOkLine(128), kTooSmall1k, Step("Add 416 byte"), kFailLine},
                   Mend{1040, 1024}},
        RepairCase{
            "SmallDoubleDensityGrows", ImageBuilder().SectorSize(256).StatedLength(256), Answers{},
            kBoth, true,
            Lines{SectorOkLine(256), kTooSmall1k, Step("Add 768 byte"), kLongInfo, kFailLine},
            Mend{1040, 1024}},
        RepairCase{"LayoutYesAdds", kOdd, Answers{{kLayoutQ, kYes}}, kLong, false,
                   Join({{SectorOkLine(256)},
                         TwoWays(16, 240),
                         {Step("Add 16 bytes empty area"), kFailLine}}),
                   Mend{1040, 1024}},
        RepairCase{"LayoutNoCuts", kOdd, Answers{{kLayoutQ, kNo}}, kLong, false,
                   Join({{SectorOkLine(256)}, TwoWays(16, 240), {Step("Cut 240 byte"), kFailLine}}),
                   Mend{784, 768}},
        RepairCase{"LayoutCancel", kOdd, Answers{{kLayoutQ, kCancel}}, kLong, false,
                   Join({{SectorOkLine(256)}, TwoWays(16, 240), {kSkipByUser, "Result: PASS", ""}}),
                   Mend{}},
        RepairCase{
            "LongUnderShort", ImageBuilder().SectorSize(256).StatedLength(92160), Answers{}, kShort,
            false,
            Lines{SectorOkLine(256), kLongInfo, kTooLarge384, Step("Cut 384 byte"), kFailLine},
            Mend{16 + 92160 - 384, 92160 - 384}},
        RepairCase{"ShortUnderLong", ImageBuilder().SectorSize(256).StatedLength(183936), Answers{},
                   kLong, false,
                   Lines{SectorOkLine(256), kShortInfo, kTooSmall384,
                         Step("Add 384 bytes empty area"), kFailLine},
                   Mend{16 + 184320, 184320}},
        // Refusals: a cut larger than the data, growth beyond the largest image (65535
        // sectors of 256 bytes) by the header's length or by the layout. A file already
        // larger than the largest image may still be cut to its header's length.
        RepairCase{"CutBeyondTheData", ImageBuilder().SectorSize(256).StatedLength(256), Answers{},
                   kShort, false,
                   Lines{SectorOkLine(256), kLongInfo, kTooLarge384,
                         Step("Refused: can not cut 384 byte from an image with 256 bytes of data"),
                         kFailLine},
                   Mend{}},
        RepairCase{"HeaderBeyondTheLargestImage",
                   ImageBuilder().Paragraphs(65535 * 16 + 1).DataLength(1024),
                   Answers{{kLengthQ, kYes}}, kBoth, false,
                   Lines{SectorOkLine(128), LengthError(16775952, "small"),
                         Step("Refused: the header states 16776976 bytes, more than the largest "
                              "ATR image holds"),
                         kFailLine},
                   Mend{}},
        RepairCase{"HeaderBeyond32Bits", ImageBuilder().Paragraphs(0x08000000).DataLength(64),
                   Answers{{kLengthQ, kYes}}, kBoth, false,
                   Lines{"        ERROR : Header image size is beyond the largest length an image "
                         "can have",
                         SectorOkLine(128), LengthError(2147483584, "small"),
                         Step("Refused: the header states 2147483648 bytes, more than the largest "
                              "ATR image holds"),
                         kFailLine},
                   Mend{}},
        RepairCase{"GrowsToTheLargestImage",
                   ImageBuilder().SectorSize(256).StatedLength(kLargestData).DataLength(0),
                   Answers{{kLengthQ, kYes}}, kBoth, false,
                   Lines{SectorOkLine(256), LengthError(kLargestData, "small"),
                         Step("Add 16776960 bytes empty area"), kLongInfo, kFailLine},
                   Mend{16 + kLargestData}},
        RepairCase{"CutAboveTheLargestImage",
                   ImageBuilder().Paragraphs(65535 * 16 + 1).DataLength(kLargestData + 48),
                   Answers{{kLengthQ, kYes}}, kBoth, false,
                   Lines{SectorOkLine(128), LengthError(32, "large"),
                         Step("Cut 32 bytes unused space"), kFailLine},
                   Mend{16 + kLargestData + 16}},
        RepairCase{"LayoutGrowthBeyondTheLargestImage",
                   ImageBuilder()
                       .SectorSize(256)
                       .StatedLength(kLargestData - 16)
                       .DataLength(kLargestData + 32),
                   Answers{{kLengthQ, kCancel}, {kLayoutQ, kYes}}, kLong, false,
                   Join({{SectorOkLine(256), LengthError(48, "large")},
                         TwoWays(16, 240),
                         {Step("Refused: adding 16 bytes would exceed the largest ATR image"),
                          kFailLine}}),
                   Mend{}}),
    [](const ::testing::TestParamInfo<RepairCase>& info) { return info.param.label; });

TEST_F(CheckTest, WrongIdentifierIsWrittenCorrectedWithoutAsking) {
    const Bytes original = ImageBuilder().Identifier(0x92, 0x02).StatedLength(1024).Build();
    CheckFile("GAME.ATR", original);
    EXPECT_EQ(report.lines[2],
              "        Header: ATR-file identifier = Fail - Expect $96,$02 - Read $92 $2");
    EXPECT_TRUE(prompt.asked().empty());
    Bytes expected = original;
    expected[0] = 0x96;
    EXPECT_EQ(File("GAME.ATR"), expected);
    EXPECT_EQ(File("GAME_org.atr"), original);
}

}  // namespace
}  // namespace korvane::testing
