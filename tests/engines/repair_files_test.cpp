// The backup and the new image of a repair run: backup names, the overwrite question,
// backups that are themselves skipped, and how the batch counts repaired images.
#include <gtest/gtest.h>

#include "check_fixture.h"
#include "image_builder.h"

namespace korvane::testing {
namespace {

// A 1 kB image whose file is 20 bytes longer than its header says.
Bytes TooLong(std::uint8_t fill) {
    return ImageBuilder().StatedLength(1024).DataLength(1044).Reserved(0xAA).Fill(fill).Build();
}

TEST(BackupName, CutsAtTheFirstDot) {
    EXPECT_EQ(BackupName("GAME.ATR"), "GAME_org.atr");
    EXPECT_EQ(BackupName("MY.GAME.ATR"), "MY_org.atr");
    EXPECT_EQ(BackupName("game.atr"), "game_org.atr");
    EXPECT_EQ(BackupName("NODOT"), "NODOT_org.atr");
    EXPECT_EQ(BackupName(".atr"), "_org.atr");
}

TEST_F(CheckTest, SecondRepairAsksBeforeReplacingTheBackup) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    CheckFile("MY.GAME.ATR", TooLong(1));
    EXPECT_EQ(Tail(3), (Lines{"Write : Backup image as MY_org.atr",
                              "        Generate new MY.GAME.ATR file", ""}));
    report.Clear();
    settings.written_backups->clear();     // a second run
    CheckFile("MY.GAME.ATR", TooLong(2));  // broken again

    ASSERT_EQ(prompt.asked().size(), 3u);
    const Prompt& question = prompt.asked()[2];
    EXPECT_EQ(question.topic, PromptTopic::OverwriteBackup);
    EXPECT_EQ(question.title, "File MY_org.atr exists");
    EXPECT_EQ(question.text, "Overwrite?");
    EXPECT_EQ(question.buttons, PromptButtons::YesNo);
    EXPECT_EQ(question.icon, PromptIcon::Question);
    EXPECT_EQ(report.selected, report.LineCount() - 4);
    EXPECT_EQ(Tail(4),
              (Lines{"Write : Backup image as MY_org.atr", "        Overwrite existing Backupfile",
                     "        Generate new MY.GAME.ATR file", ""}));
    EXPECT_EQ(File("MY_org.atr"), TooLong(2));
    EXPECT_EQ(File("MY.GAME.ATR").size(), 1040u);
    EXPECT_EQ(Snapshot(dir.path()).size(), 2u);
}

// Repaired, passing, declined, skipped and too short images in one batch.
TEST_F(CheckTest, BatchCountsRepairedImagesAndSkipsBackups) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::No);
    const Bytes good = ImageBuilder().StatedLength(1024).Build();
    WriteFile(dir / "A.ATR", TooLong(1));
    WriteFile(dir / "B.ATR", good);
    WriteFile(dir / "C_org.atr", TooLong(3));       // a failing backup: skipped, not counted,
    WriteFile(dir / "c2_ORG.Atr.atr", TooLong(4));  // its mark in any letter case
    WriteFile(dir / "D.ATR", ImageBuilder::Raw(5));
    WriteFile(dir / "E.ATR", TooLong(5));
    WriteFile(dir / "E_org.atr", good);  // passes; replacing it is declined
    const auto before = Snapshot(dir.path());
    const CheckRunTotals totals = RunBatch();

    EXPECT_EQ(totals.valid_count, 2);    // B, E_org
    EXPECT_EQ(totals.invalid_count, 3);  // A repaired, D too short, E declined
    EXPECT_EQ(Tail(2), (Lines{"Valid    ATR-files:  2", "Repaired ATR-files:  3"}));
    for (const char* name : {"C_org.atr", "c2_ORG.Atr.atr"}) {
        const auto skip =
            std::find(report.lines.begin(), report.lines.end(), std::string("Skip ") + name);
        ASSERT_NE(skip, report.lines.end()) << name;
        EXPECT_EQ(*(skip - 1), kFailLine);
        EXPECT_EQ(*(skip + 1), "");
    }
    const auto declined =
        std::find(report.lines.begin(), report.lines.end(), "Write : Backup image as E_org.atr");
    ASSERT_NE(declined, report.lines.end());
    EXPECT_EQ(Lines(declined + 1, declined + 3), (Lines{"        Skip repair", ""}));

    // Only A was written; everything else is as it was.
    auto after = Snapshot(dir.path());
    EXPECT_EQ(after["A_org.atr"], TooLong(1));
    EXPECT_EQ(after["A.ATR"].size(), 1040u);
    after.erase("A_org.atr");
    after.erase("A.ATR");
    auto unchanged = before;
    unchanged.erase("A.ATR");
    EXPECT_EQ(after, unchanged);
}

}  // namespace
}  // namespace korvane::testing
