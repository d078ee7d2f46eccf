// The backup and the new image of a repair run: names, the overwrite question, backups
// that are themselves skipped, and how the batch counts repaired images.
#include <gtest/gtest.h>

#include "image_builder.h"
#include "repair_fixture.h"

namespace korvane::testing {
namespace {

// A 1 kB image whose file is 20 bytes longer than its header says, with marked reserved
// bytes so that the written header can be told from the old one.
Bytes TooLong(std::uint8_t fill) {
    return ImageBuilder().StatedLength(1024).DataLength(1044).Reserved(0xAA).Fill(fill).Build();
}

std::vector<std::string> Entries(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& [name, content] : Snapshot(directory)) {
        names.push_back(name);
    }
    return names;
}

TEST(BackupName, CutsAtTheFirstDot) {
    EXPECT_EQ(BackupName("GAME.ATR"), "GAME_org.atr");
    EXPECT_EQ(BackupName("MY.GAME.ATR"), "MY_org.atr");
    EXPECT_EQ(BackupName("game.atr"), "game_org.atr");
    EXPECT_EQ(BackupName("NODOT"), "NODOT_org.atr");
    EXPECT_EQ(BackupName(".atr"), "_org.atr");
}

class BackupFiles : public RepairTest {
  protected:
    BackupFiles() { prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes); }
};

TEST_F(BackupFiles, OldFileBecomesTheBackupAndTheNewImageTakesItsName) {
    const Bytes original = TooLong(0x5A);
    RepairImage("GAME.ATR", original);

    EXPECT_EQ(std::vector<std::string>(report.lines.end() - 4, report.lines.end()),
              (std::vector<std::string>{kFailLine, "Write : Backup image as GAME_org.atr",
                                        "        Generate new GAME.ATR file", ""}));
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"GAME.ATR", "GAME_org.atr"}));
    EXPECT_EQ(File("GAME_org.atr"), original);
    const Bytes written = File("GAME.ATR");
    ASSERT_EQ(written.size(), 1040u);
    EXPECT_TRUE(ReservedZero(written));
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + 8, original.begin()));
    EXPECT_TRUE(std::equal(written.begin() + 16, written.end(), original.begin() + 16));
}

TEST_F(BackupFiles, BackupNameEndsAtTheFirstDotAndWorksWithoutOne) {
    RepairImage("MY.GAME.ATR", TooLong(1));
    EXPECT_EQ(report.lines[report.lines.size() - 3], "Write : Backup image as MY_org.atr");
    EXPECT_EQ(File("MY_org.atr"), TooLong(1));

    // The file list never offers such a name, but the step must cope with one.
    RepairImage("NODOT", TooLong(2));
    EXPECT_EQ(File("NODOT_org.atr"), TooLong(2));
    EXPECT_EQ(File("NODOT").size(), 1040u);
}

TEST_F(BackupFiles, SecondRunAsksBeforeReplacingTheBackup) {
    RepairImage("GAME.ATR", TooLong(1));
    // The repaired image is broken again before the second run.
    WriteFile(dir / "GAME.ATR", TooLong(2));
    report.Clear();

    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    RepairExisting("GAME.ATR");
    ASSERT_EQ(prompt.asked().size(), 3u);
    const Prompt& question = prompt.asked()[2];
    EXPECT_EQ(question.topic, PromptTopic::OverwriteBackup);
    EXPECT_EQ(question.title, "File GAME_org.atr exists");
    EXPECT_EQ(question.text, "Overwrite?");
    EXPECT_EQ(question.buttons, PromptButtons::YesNo);
    EXPECT_EQ(question.icon, PromptIcon::Question);
    EXPECT_EQ(report.selected, static_cast<std::int64_t>(report.lines.size()) - 4);
    EXPECT_EQ(std::vector<std::string>(report.lines.end() - 4, report.lines.end()),
              (std::vector<std::string>{"Write : Backup image as GAME_org.atr",
                                        "        Overwrite existing Backupfile",
                                        "        Generate new GAME.ATR file", ""}));
    EXPECT_EQ(File("GAME_org.atr"), TooLong(2));
    EXPECT_EQ(Entries(dir.path()).size(), 2u);
}

TEST_F(BackupFiles, DeclinedOverwriteLeavesBothFilesButCountsAsRepaired) {
    const Bytes old_backup = ImageBuilder().StatedLength(1024).Build();  // passes
    WriteFile(dir / "GAME_org.atr", old_backup);
    WriteFile(dir / "GAME.ATR", TooLong(1));
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::No);
    const CheckRunTotals totals = RunBatch();

    EXPECT_EQ(File("GAME.ATR"), TooLong(1));
    EXPECT_EQ(File("GAME_org.atr"), old_backup);
    const auto write_line =
        std::find(report.lines.begin(), report.lines.end(), "Write : Backup image as GAME_org.atr");
    ASSERT_NE(write_line, report.lines.end());
    EXPECT_EQ(*(write_line + 1), "        Skip repair");
    EXPECT_EQ(*(write_line + 2), "");
    EXPECT_EQ(totals.valid_count, 1);
    EXPECT_EQ(totals.invalid_count, 1);
    EXPECT_EQ(std::vector<std::string>(report.lines.end() - 2, report.lines.end()),
              (std::vector<std::string>{"Valid    ATR-files:  1", "Repaired ATR-files:  1"}));
}

TEST_F(BackupFiles, FailingBackupIsSkippedAndNotCounted) {
    // The backup mark counts in any letter case.
    WriteFile(dir / "OLD_org.atr", TooLong(1));
    WriteFile(dir / "two_ORG.Atr.atr", TooLong(2));
    const CheckRunTotals totals = RunBatch();

    for (const char* name : {"OLD_org.atr", "two_ORG.Atr.atr"}) {
        const auto skip =
            std::find(report.lines.begin(), report.lines.end(), std::string("Skip ") + name);
        ASSERT_NE(skip, report.lines.end()) << name;
        EXPECT_EQ(*(skip - 1), kFailLine);
        EXPECT_EQ(*(skip + 1), "");
    }
    EXPECT_EQ(File("OLD_org.atr"), TooLong(1));
    EXPECT_EQ(File("two_ORG.Atr.atr"), TooLong(2));
    EXPECT_EQ(Entries(dir.path()).size(), 2u);
    EXPECT_EQ(totals.valid_count, 0);
    EXPECT_EQ(totals.invalid_count, 0);
    EXPECT_EQ(report.lines.back(), "Nothing found to repair");
}

TEST_F(BackupFiles, BatchCountsRepairedPassingAndSkippedImages) {
    WriteFile(dir / "A.ATR", TooLong(1));
    WriteFile(dir / "B.ATR", ImageBuilder().StatedLength(1024).Build());
    WriteFile(dir / "C_org.atr", TooLong(3));
    WriteFile(dir / "D.ATR", ImageBuilder::Raw(5));
    const CheckRunTotals totals = RunBatch();

    EXPECT_EQ(totals.valid_count, 1);    // B
    EXPECT_EQ(totals.invalid_count, 2);  // A repaired, D too short but counted
    EXPECT_EQ(std::vector<std::string>(report.lines.end() - 2, report.lines.end()),
              (std::vector<std::string>{"Valid    ATR-files:  1", "Repaired ATR-files:  2"}));
    EXPECT_EQ(File("A_org.atr"), TooLong(1));
    EXPECT_FALSE(Has("B_org.atr"));
    EXPECT_FALSE(Has("D_org.atr"));
}

}  // namespace
}  // namespace korvane::testing
