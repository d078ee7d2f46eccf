// A repair whose file operations fail: at every step of writing the backup and the new
// image, the user's bytes must survive whole, nothing half-written or temporary may be
// left in the directory, the block gets one error line and the run goes on.
#include <gtest/gtest.h>

#include "fault_file_system.h"
#include "image_builder.h"
#include "repair_fixture.h"

namespace korvane::testing {
namespace {

Bytes Broken(std::uint8_t fill) {
    return ImageBuilder().StatedLength(1024).DataLength(1044).Reserved(0xAA).Fill(fill).Build();
}
const Bytes kOldBackup = ImageBuilder().StatedLength(1024).Fill(0x0B).Build();

enum class BackupAfter { Absent, Old };

struct FaultCase {
    const char* label;
    FsOperation operation;
    const char* path_part;
    std::size_t partial;  // bytes a failing write still writes
    bool old_backup;      // GAME_org.atr exists and the user agrees to replace it
    BackupAfter backup;   // what GAME_org.atr holds afterwards
    const char* error;    // the block's one error line
};

class RepairFaultBase : public RepairTest {
  protected:
    RepairFaultBase() {
        fs = &faulty;
        prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
        prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
        WriteFile(dir / "GAME.ATR", Broken(1));
        WriteFile(dir / "ZOO.ATR", Broken(2));
    }

    std::vector<std::string> GameBlock() const {
        const auto begin = std::find(report.lines.begin(), report.lines.end(), "Read  : GAME.ATR");
        const auto end = std::find(begin, report.lines.end(), "Read  : GAME_org.atr");
        const auto zoo = std::find(begin, report.lines.end(), "Read  : ZOO.ATR");
        return std::vector<std::string>(begin, std::min(end, zoo));
    }

    static std::vector<std::string> ErrorLines(const std::vector<std::string>& block) {
        std::vector<std::string> errors;
        for (const std::string& line : block) {
            if (line.rfind("        ERROR: ", 0) == 0) {
                errors.push_back(line);
            }
        }
        return errors;
    }

    void ExpectNothingTemporary() const {
        for (const auto& [name, content] : Snapshot(dir.path())) {
            EXPECT_NE(name[0], '.') << "left behind: " << name;
        }
    }

    // The image after the failing one is repaired as usual.
    void ExpectRunWentOn() const {
        EXPECT_EQ(File("ZOO_org.atr"), Broken(2));
        EXPECT_EQ(File("ZOO.ATR").size(), 1040u);
        EXPECT_NE(std::find(report.lines.begin(), report.lines.end(),
                            "        Generate new ZOO.ATR file"),
                  report.lines.end());
    }

    FaultFileSystem faulty;
};

void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << fault.label;
}

class RepairFault : public RepairFaultBase, public ::testing::WithParamInterface<FaultCase> {};
class RepairDoubleFault : public RepairFaultBase {};

TEST_P(RepairFault, OriginalSurvivesUnderItsOwnName) {
    const FaultCase& fault = GetParam();
    if (fault.old_backup) {
        WriteFile(dir / "GAME_org.atr", kOldBackup);
    }
    faulty.FailOn(fault.operation, 1, fault.path_part, fault.partial);
    const CheckRunTotals totals = RunBatch();

    EXPECT_EQ(File("GAME.ATR"), Broken(1));
    if (fault.backup == BackupAfter::Old) {
        EXPECT_EQ(File("GAME_org.atr"), kOldBackup);
    } else {
        EXPECT_FALSE(Has("GAME_org.atr"));
    }
    ExpectNothingTemporary();

    const std::vector<std::string> block = GameBlock();
    EXPECT_EQ(ErrorLines(block), std::vector<std::string>{fault.error});
    EXPECT_EQ(std::find(block.begin(), block.end(), "        Generate new GAME.ATR file"),
              block.end());
    EXPECT_EQ(block.back(), "");
    ExpectRunWentOn();
    if (!fault.old_backup) {
        EXPECT_EQ(totals.invalid_count, 2);  // a failed write still counts as repaired
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFileOperation, RepairFault,
    ::testing::Values(
        FaultCase{"Read", FsOperation::Read, "GAME", 0, false, BackupAfter::Absent,
                  "        ERROR: File can not be read - Input/output error (injected)"},
        FaultCase{"CreateTemporary", FsOperation::Create, "GAME", 0, false, BackupAfter::Absent,
                  "        ERROR: Can not write the repaired image - injected failure"},
        FaultCase{"DiskFull", FsOperation::Write, "GAME", 100, false, BackupAfter::Absent,
                  "        ERROR: Can not write the repaired image - No space left on device "
                  "(injected)"},
        FaultCase{"Close", FsOperation::Close, "GAME", 0, true, BackupAfter::Old,
                  "        ERROR: Can not write the repaired image - injected failure"},
        FaultCase{"DeleteOldBackup", FsOperation::Remove, "GAME_org", 0, true, BackupAfter::Old,
                  "        ERROR: Can not delete GAME_org.atr - injected failure"},
        FaultCase{"RenameToBackup", FsOperation::Rename, "GAME_org", 0, false, BackupAfter::Absent,
                  "        ERROR: Can not rename GAME.ATR to GAME_org.atr - injected failure"},
        FaultCase{"RenameToBackupAfterDelete", FsOperation::Rename, "GAME_org", 0, true,
                  BackupAfter::Absent,
                  "        ERROR: Can not rename GAME.ATR to GAME_org.atr - injected failure"},
        FaultCase{"RenameIntoPlace", FsOperation::Rename, "/GAME.ATR", 0, false,
                  BackupAfter::Absent,
                  "        ERROR: Can not rename the repaired image to GAME.ATR - injected "
                  "failure"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.label; });

TEST_F(RepairDoubleFault, FailedUndoKeepsTheOriginalWholeAsBackup) {
    // The new image can not take the name, and neither can the old file return to it.
    // A rule that fires stops the search, so the second rule sees only the undo.
    faulty.FailOn(FsOperation::Rename, 1, "/GAME.ATR");
    faulty.FailOn(FsOperation::Rename, 1, "/GAME.ATR");
    RunBatch();

    EXPECT_EQ(File("GAME_org.atr"), Broken(1));
    EXPECT_FALSE(Has("GAME.ATR"));
    ExpectNothingTemporary();
    EXPECT_EQ(ErrorLines(GameBlock()),
              std::vector<std::string>{
                  "        ERROR: Can not rename the repaired image to GAME.ATR - injected "
                  "failure; the untouched image stays as GAME_org.atr"});
    ExpectRunWentOn();
}

TEST_F(RepairDoubleFault, TemporaryFileThatCanNotBeRemovedIsNamed) {
    faulty.FailOn(FsOperation::Write, 1, "GAME", 10);
    faulty.FailOn(FsOperation::Remove, 1, ".GAME");
    RunBatch();

    EXPECT_EQ(File("GAME.ATR"), Broken(1));
    std::string temporary;
    for (const auto& [name, content] : Snapshot(dir.path())) {
        if (name[0] == '.') {
            temporary = name;
            EXPECT_EQ(content.size(), 10u);
        }
    }
    ASSERT_FALSE(temporary.empty());
    const std::vector<std::string> errors = ErrorLines(GameBlock());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0],
              "        ERROR: Can not write the repaired image - No space left on device "
              "(injected); the temporary file " +
                  temporary + " is left behind - injected failure");
    ExpectRunWentOn();
}

}  // namespace
}  // namespace korvane::testing
