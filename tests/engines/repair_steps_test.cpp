// The repair steps of a repair run, one image at a time: each question with each answer,
// the lines they write and the bytes of the image that lands on disk.
#include <gtest/gtest.h>

#include "image_builder.h"
#include "repair_fixture.h"

namespace korvane::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kSectorTitle = "Set GAME.ATRsector size";
const std::string kSectorText = "<YES> 128 bytes /sector - <NO> 256 bytes / sector?";
const std::string kLengthText =
    "<YES> adapt physical file length - <NO> adapt header file length info?";
const std::string kSkipByUser = "        Skip repair selected by user";
const std::string kWritten[] = {"Write : Backup image as GAME_org.atr",
                                "        Generate new GAME.ATR file", ""};

Lines WithWrite(Lines lines) {
    lines.insert(lines.end(), std::begin(kWritten), std::end(kWritten));
    return lines;
}

void ExpectQuestion(const Prompt& asked, PromptTopic topic, const std::string& title,
                    const std::string& text, PromptButtons buttons) {
    EXPECT_EQ(asked.topic, topic);
    EXPECT_EQ(asked.title, title);
    EXPECT_EQ(asked.text, text);
    EXPECT_EQ(asked.buttons, buttons);
    EXPECT_EQ(asked.icon, PromptIcon::Question);
}

// ---- Sector size -------------------------------------------------------------------

class SectorSizeRepair : public RepairTest {
  protected:
    const Bytes original = ImageBuilder().SectorSize(512).StatedLength(1024).Fill(0x5A).Build();
    const Lines head = {"Read  : GAME.ATR",
                        PhysicalLine(1040),
                        kIdentifierOk,
                        ImageSizeLine(1024),
                        "        Header: ATARI sector size   = $200",
                        "ERROR : Expect $80 or $100 ATARI sector size"};
};

TEST_F(SectorSizeRepair, YesWrites128AndKeepsTheOldFileAsBackup) {
    prompt.Answer(PromptTopic::SectorSize, PromptAnswer::Yes);
    const CheckResult result = RepairImage("GAME.ATR", original);

    Lines expected = head;
    expected.push_back(kFailLine);
    EXPECT_EQ(report.lines, WithWrite(expected));
    EXPECT_EQ(result.verdict, Verdict::Fail);
    EXPECT_EQ(result.count, CountClass::Invalid);
    ASSERT_EQ(prompt.asked().size(), 1u);
    ExpectQuestion(prompt.asked()[0], PromptTopic::SectorSize, kSectorTitle, kSectorText,
                   PromptButtons::YesNoCancel);

    Bytes repaired = original;
    repaired[4] = 0x80;
    repaired[5] = 0x00;
    EXPECT_EQ(File("GAME.ATR"), repaired);
    EXPECT_EQ(File("GAME_org.atr"), original);
}

TEST_F(SectorSizeRepair, NoWrites256AndTheLayoutChecksFollow) {
    prompt.Answer(PromptTopic::SectorSize, PromptAnswer::No);
    RepairImage("GAME.ATR", original);

    Lines expected = head;
    expected.push_back(
        "        Info  : Long 256 bytes / sector implementation detected according to header "
        "information");
    expected.push_back(kFailLine);
    EXPECT_EQ(report.lines, WithWrite(expected));
    const Bytes written = File("GAME.ATR");
    EXPECT_EQ(written[4], 0x00);
    EXPECT_EQ(written[5], 0x01);
}

TEST_F(SectorSizeRepair, CancelClearsTheFailMarkAndTouchesNothing) {
    prompt.Answer(PromptTopic::SectorSize, PromptAnswer::Cancel);
    const CheckResult result = RepairImage("GAME.ATR", original);

    Lines expected = head;
    expected.insert(expected.end(), {kSkipByUser, "Result: PASS", ""});
    EXPECT_EQ(report.lines, expected);
    EXPECT_EQ(result.verdict, Verdict::Pass);
    EXPECT_EQ(result.count, CountClass::Valid);
    EXPECT_EQ(File("GAME.ATR"), original);
    EXPECT_FALSE(Has("GAME_org.atr"));
}

TEST_F(SectorSizeRepair, CancelThenAnotherFaultWritesTheOldSectorField) {
    prompt.Answer(PromptTopic::SectorSize, PromptAnswer::Cancel);
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    const Bytes shorter =
        ImageBuilder().SectorSize(512).StatedLength(1024).DataLength(1000).Build();
    const CheckResult result = RepairImage("GAME.ATR", shorter);

    EXPECT_EQ(result.verdict, Verdict::Fail);
    const Bytes written = File("GAME.ATR");
    ASSERT_EQ(written.size(), 1040u);
    EXPECT_EQ(SectorOf(written), 512);
    EXPECT_EQ(File("GAME_org.atr"), shorter);
}

// ---- Length against header ---------------------------------------------------------

TEST_F(RepairTest, HeaderWithoutSizeTakesThePhysicalLengthWithoutAsking) {
    const Bytes original = ImageBuilder().StatedLength(0).DataLength(1024).Fill(7).Build();
    RepairImage("GAME.ATR", original);

    EXPECT_EQ(report.lines,
              WithWrite({"Read  : GAME.ATR", PhysicalLine(1040), kIdentifierOk, ImageSizeLine(0),
                         SectorOkLine(128),
                         "        ERROR : Physical file size is 1024 bytes too large according "
                         "to header information",
                         "                Modify header", kFailLine}));
    EXPECT_TRUE(prompt.asked().empty());
    const Bytes written = File("GAME.ATR");
    ASSERT_EQ(written.size(), 1040u);
    EXPECT_EQ(written[2], 0x40);
    EXPECT_EQ(StatedOf(written), 1024);
}

TEST_F(RepairTest, YesCutsSurplusBytesFromTheEnd) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    Bytes original = ImageBuilder().StatedLength(1024).DataLength(1044).Fill(0x5A).Build();
    original.back() = 0x11;
    RepairImage("GAME.ATR", original);

    EXPECT_EQ(report.lines[5],
              "        ERROR : Physical file size is 20 bytes too large according to header "
              "information");
    EXPECT_EQ(report.lines[6], "                Cut 20 bytes unused space");
    EXPECT_EQ(report.lines[7], kFailLine);
    ASSERT_EQ(prompt.asked().size(), 1u);
    ExpectQuestion(prompt.asked()[0], PromptTopic::FileLength, "GAME.ATR is invalid", kLengthText,
                   PromptButtons::YesNoCancel);
    EXPECT_EQ(File("GAME.ATR"), Bytes(original.begin(), original.begin() + 1040));
}

TEST_F(RepairTest, YesAppendsZerosForMissingBytes) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    const Bytes original = ImageBuilder().StatedLength(1024).DataLength(1004).Fill(0x5A).Build();
    RepairImage("GAME.ATR", original);

    EXPECT_EQ(report.lines[5],
              "        ERROR : Physical file size is 20 bytes too small according to header "
              "information");
    EXPECT_EQ(report.lines[6], "                Add 20 bytes empty area");
    Bytes expected = original;
    expected.resize(1040, 0);
    EXPECT_EQ(File("GAME.ATR"), expected);
}

TEST_F(RepairTest, NoRoundsThePhysicalLengthDownIntoTheHeader) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::No);
    const Bytes original = ImageBuilder().StatedLength(960).DataLength(1000).Fill(0x5A).Build();
    RepairImage("GAME.ATR", original);

    EXPECT_EQ(report.lines[6], "                Modify header");
    const Bytes written = File("GAME.ATR");
    ASSERT_EQ(written.size(), 1016u);  // the 8 bytes beyond 992 stay
    EXPECT_EQ(StatedOf(written), 992);
    EXPECT_TRUE(std::equal(written.begin() + 16, written.end(), original.begin() + 16));
}

TEST_F(RepairTest, LengthCancelStillWritesWithClearedReservedBytes) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Cancel);
    const Bytes original = ImageBuilder().StatedLength(960).DataLength(1000).Reserved(0xAA).Build();
    const CheckResult result = RepairImage("GAME.ATR", original);

    EXPECT_EQ(report.lines[6], kFailLine);  // nothing between the error and the verdict
    EXPECT_EQ(result.count, CountClass::Invalid);
    Bytes expected = original;
    std::fill(expected.begin() + 8, expected.begin() + 16, 0);
    EXPECT_EQ(File("GAME.ATR"), expected);
    EXPECT_EQ(File("GAME_org.atr"), original);
}

// ---- Minimum size ------------------------------------------------------------------

TEST_F(RepairTest, SmallImageGrowsTo1kBWithoutAsking) {
    settings.expand_small = true;
    const Bytes original = ImageBuilder().StatedLength(608).Fill(0x5A).Build();
    RepairImage("GAME.ATR", original);

    EXPECT_EQ(report.lines, WithWrite({"Read  : GAME.ATR", PhysicalLine(624), kIdentifierOk,
                                       ImageSizeLine(608), SectorOkLine(128),
                                       "        ERROR : Physical file size is smaller than 1kB",
                                       "                Add 416 byte", kFailLine}));
    EXPECT_TRUE(prompt.asked().empty());
    const Bytes written = File("GAME.ATR");
    ASSERT_EQ(written.size(), 1040u);
    EXPECT_EQ(StatedOf(written), 1024);
    EXPECT_EQ(written[2], 0x40);
    EXPECT_TRUE(std::equal(original.begin() + 16, original.end(), written.begin() + 16));
    EXPECT_TRUE(std::all_of(written.begin() + 624, written.end(), [](auto b) { return b == 0; }));
}

TEST_F(RepairTest, MinimumSizeAppliesTo256ByteSectorsAndBareHeaders) {
    settings.expand_small = true;
    RepairImage("GAME.ATR", ImageBuilder().SectorSize(256).StatedLength(256).Build());
    EXPECT_EQ(report.lines[6], "                Add 768 byte");
    // The grown image is long-layout, which Both accepts.
    EXPECT_EQ(report.lines[7],
              "        Info  : Long 256 bytes / sector implementation detected according to header "
              "information");
    EXPECT_EQ(report.lines[8], kFailLine);
    EXPECT_EQ(StatedOf(File("GAME.ATR")), 1024);
    EXPECT_EQ(SectorOf(File("GAME.ATR")), 256);

    report.Clear();
    RepairImage("BARE.ATR", ImageBuilder().StatedLength(0).Build());
    EXPECT_EQ(report.lines[6], "                Add 1024 byte");
    EXPECT_EQ(File("BARE.ATR").size(), 1040u);
}

// ---- Layout ------------------------------------------------------------------------

class LayoutRepair : public RepairTest {
  protected:
    LayoutRepair() { settings.layout = LayoutMode::Long; }
    // 256-byte sectors, stated 1008 bytes in a 1024-byte file: neither layout.
    const Bytes original = ImageBuilder().SectorSize(256).StatedLength(1008).Fill(0x5A).Build();
    const Lines head = {
        "Read  : GAME.ATR",
        PhysicalLine(1024),
        kIdentifierOk,
        ImageSizeLine(1008),
        SectorOkLine(256),
        "        ERROR : Header file size is 16 bytes too small or ",
        "                240 bytes too larger for 256 bytes / sector implementation"};
};

TEST_F(LayoutRepair, YesAddsTheMissingBytes) {
    prompt.Answer(PromptTopic::Layout, PromptAnswer::Yes);
    RepairImage("GAME.ATR", original);

    Lines expected = head;
    expected.insert(expected.end(), {"                Add 16 bytes empty area", kFailLine});
    EXPECT_EQ(report.lines, WithWrite(expected));
    ASSERT_EQ(prompt.asked().size(), 1u);
    ExpectQuestion(prompt.asked()[0], PromptTopic::Layout, "GAME.ATR", "Add bytes?",
                   PromptButtons::YesNoCancel);
    const Bytes written = File("GAME.ATR");
    EXPECT_EQ(written.size(), 1040u);
    EXPECT_EQ(StatedOf(written), 1024);
}

TEST_F(LayoutRepair, NoCutsTheSurplusBytes) {
    prompt.Answer(PromptTopic::Layout, PromptAnswer::No);
    RepairImage("GAME.ATR", original);

    Lines expected = head;
    expected.insert(expected.end(), {"                Cut 240 byte", kFailLine});
    EXPECT_EQ(report.lines, WithWrite(expected));
    const Bytes written = File("GAME.ATR");
    EXPECT_EQ(written.size(), 784u);
    EXPECT_EQ(StatedOf(written), 768);
    EXPECT_TRUE(std::equal(written.begin() + 16, written.end(), original.begin() + 16));
}

TEST_F(LayoutRepair, CancelLeavesAPassingImageAlone) {
    prompt.Answer(PromptTopic::Layout, PromptAnswer::Cancel);
    const CheckResult result = RepairImage("GAME.ATR", original);

    Lines expected = head;
    expected.insert(expected.end(), {kSkipByUser, "Result: PASS", ""});
    EXPECT_EQ(report.lines, expected);
    EXPECT_EQ(result.count, CountClass::Valid);
    EXPECT_EQ(File("GAME.ATR"), original);
    EXPECT_FALSE(Has("GAME_org.atr"));
}

TEST_F(RepairTest, WrongLayoutOf384BytesIsMendedWithoutAsking) {
    settings.layout = LayoutMode::Short;
    RepairImage("LONG.ATR", ImageBuilder().SectorSize(256).StatedLength(92160).Build());
    EXPECT_EQ(report.lines[5],
              "        Info  : Long 256 bytes / sector implementation detected according to header "
              "information");
    EXPECT_EQ(report.lines[6],
              "        ERROR : Header file size is 384 bytes too large for 256 bytes / sector "
              "implementation");
    EXPECT_EQ(report.lines[7], "                Cut 384 byte");
    EXPECT_EQ(File("LONG.ATR").size(), 16u + 92160 - 384);
    EXPECT_EQ(StatedOf(File("LONG.ATR")), 92160 - 384);

    report.Clear();
    settings.layout = LayoutMode::Long;
    RepairImage("SHORT.ATR", ImageBuilder().SectorSize(256).StatedLength(183936).Build());
    EXPECT_EQ(report.lines[6],
              "        ERROR : Header file size is 384 bytes too small for 256 bytes / sector "
              "implementation");
    EXPECT_EQ(report.lines[7], "                Add 384 bytes empty area");
    EXPECT_EQ(StatedOf(File("SHORT.ATR")), 184320);
    EXPECT_TRUE(prompt.asked().empty());
}

// ---- Other faults and refusals -----------------------------------------------------

TEST_F(RepairTest, WrongIdentifierIsWrittenCorrectedWithoutAsking) {
    const Bytes original = ImageBuilder().Identifier(0x92, 0x02).StatedLength(1024).Build();
    RepairImage("GAME.ATR", original);
    EXPECT_TRUE(prompt.asked().empty());
    const Bytes written = File("GAME.ATR");
    EXPECT_EQ(written[0], 0x96);
    EXPECT_EQ(written[1], 0x02);
    EXPECT_EQ(File("GAME_org.atr"), original);
}

TEST_F(RepairTest, TooShortFileGetsNoRepairButCounts) {
    const CheckResult result = RepairImage("GAME.ATR", ImageBuilder::Raw(10, 0x96));
    EXPECT_EQ(report.lines.back(), kFailLine);
    EXPECT_EQ(result.count, CountClass::Invalid);
    EXPECT_EQ(File("GAME.ATR").size(), 10u);
    EXPECT_FALSE(Has("GAME_org.atr"));
}

TEST_F(RepairTest, CutLargerThanTheDataIsRefused) {
    settings.layout = LayoutMode::Short;
    // Header stating 0 and 256 bytes under Short: the layout asks to lose 384 bytes.
    RepairImage("ZERO.ATR", ImageBuilder().SectorSize(256).StatedLength(0).Build());
    EXPECT_EQ(report.lines[7],
              "                Refused: can not cut 384 byte from an image with 0 bytes of data");
    EXPECT_EQ(report.lines[8], kFailLine);
    EXPECT_EQ(File("ZERO.ATR").size(), 16u);

    report.Clear();
    RepairImage("SMALL.ATR", ImageBuilder().SectorSize(256).StatedLength(256).Build());
    EXPECT_EQ(report.lines[7],
              "                Refused: can not cut 384 byte from an image with 256 bytes of data");
    EXPECT_EQ(File("SMALL.ATR").size(), 272u);
}

TEST_F(RepairTest, GrowthBeyondTheLargestImageIsRefused) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    // One paragraph more than 65535 sectors of 256 bytes.
    const Bytes huge = ImageBuilder().Paragraphs(65535 * 16 + 1).DataLength(1024).Build();
    RepairImage("HUGE.ATR", huge);
    EXPECT_EQ(report.lines[6],
              "                Refused: the header states 16776976 bytes, more than the largest "
              "ATR image holds");
    EXPECT_EQ(File("HUGE.ATR").size(), 1040u);
    EXPECT_EQ(StatedOf(File("HUGE.ATR")), 16776976);

    // A header beyond the signed 32-bit lengths fails and is refused the same way.
    report.Clear();
    RepairImage("WILD.ATR", ImageBuilder().Paragraphs(0x08000000).DataLength(64).Build());
    EXPECT_NE(std::find(report.lines.begin(), report.lines.end(),
                        "                Refused: the header states 2147483648 bytes, more than "
                        "the largest ATR image holds"),
              report.lines.end());
    EXPECT_EQ(File("WILD.ATR").size(), 80u);
}

TEST_F(RepairTest, LargestImageIsReachedButNotPassed) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    constexpr std::int64_t kLargestData = 65535LL * 256;
    RepairImage("FULL.ATR",
                ImageBuilder().SectorSize(256).StatedLength(kLargestData).DataLength(0).Build());
    EXPECT_EQ(report.lines[6], "                Add 16776960 bytes empty area");
    EXPECT_EQ(File("FULL.ATR").size(), 16u + kLargestData);

    // A file already larger than the largest image may still be cut to its header's length.
    report.Clear();
    RepairImage("CUT.ATR",
                ImageBuilder().Paragraphs(65535 * 16 + 1).DataLength(kLargestData + 48).Build());
    EXPECT_EQ(report.lines[6], "                Cut 32 bytes unused space");
    EXPECT_EQ(File("CUT.ATR").size(), 16u + kLargestData + 16);

    // The layout's growth stops at the same bound.
    report.Clear();
    settings.layout = LayoutMode::Long;
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Cancel);
    prompt.Answer(PromptTopic::Layout, PromptAnswer::Yes);
    RepairImage("EDGE.ATR", ImageBuilder()
                                .SectorSize(256)
                                .StatedLength(kLargestData - 16)
                                .DataLength(kLargestData + 32)
                                .Build());
    EXPECT_NE(std::find(report.lines.begin(), report.lines.end(),
                        "                Refused: adding 16 bytes would exceed the largest ATR "
                        "image"),
              report.lines.end());
    EXPECT_EQ(File("EDGE.ATR").size(), 16u + kLargestData + 32);
}

}  // namespace
}  // namespace korvane::testing
