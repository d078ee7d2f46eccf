// A repair whose file operations fail: at every step of writing the backup and the new
// image, the user's bytes must survive whole, nothing half-written or temporary may be
// left in the directory, the block gets one error line and the run goes on.
#include <gtest/gtest.h>

#include "check_fixture.h"
#include "fault_file_system.h"
#include "image_builder.h"

namespace korvane::testing {
namespace {

Bytes Broken(std::uint8_t fill) {
    return ImageBuilder().StatedLength(1024).DataLength(1044).Reserved(0xAA).Fill(fill).Build();
}
const Bytes kOldBackup = ImageBuilder().StatedLength(1024).Fill(0x0B).Build();

struct FaultCase {
    const char* label;
    FsOperation operation;
    const char* path_part;
    std::size_t partial;  // bytes a failing write still writes
    bool old_backup;      // GAME_org.atr exists, the user agrees to replace it, and it stays
    const char* error;    // the block's one error line
};

void PrintTo(const FaultCase& fault, std::ostream* out) {
    *out << fault.label;
}

class FaultyRepair : public CheckTest {
  protected:
    FaultyRepair() {
        fs = &faulty;
        prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
        prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
        WriteFile(dir / "GAME.ATR", Broken(1));
        WriteFile(dir / "ZOO.ATR", Broken(2));
    }

    // The error lines of GAME.ATR's block, which must end with its empty line.
    Lines GameErrors() const {
        const auto begin = std::find(report.lines.begin(), report.lines.end(), "Read  : GAME.ATR");
        const auto end = std::find_if(begin + 1, report.lines.end(), [](const std::string& line) {
            return line.rfind("Read  : ", 0) == 0;
        });
        EXPECT_EQ(*(end - 1), "");
        Lines errors;
        for (auto line = begin; line != end; ++line) {
            EXPECT_NE(*line, "        Generate new GAME.ATR file");
            if (line->rfind("        ERROR: ", 0) == 0) {
                errors.push_back(*line);
            }
        }
        return errors;
    }

    // The whole directory afterwards: the old image untouched under its name, nothing
    // temporary, and the image after the failing one repaired as usual.
    void ExpectDirectory(const Bytes& game, const Bytes* game_backup) const {
        Bytes zoo = Broken(2);
        zoo.resize(1040);
        std::fill(zoo.begin() + 8, zoo.begin() + 16, 0);
        std::map<std::string, Bytes> expected = {
            {"GAME.ATR", game}, {"ZOO.ATR", zoo}, {"ZOO_org.atr", Broken(2)}};
        if (game_backup != nullptr) {
            expected["GAME_org.atr"] = *game_backup;
        }
        EXPECT_EQ(Snapshot(dir.path()), expected);
    }

    FaultFileSystem faulty;
};

// Each fault on a file system with hard links and on one without (FAT).
class RepairFault : public FaultyRepair,
                    public ::testing::WithParamInterface<std::tuple<FaultCase, bool>> {};

TEST_P(RepairFault, OriginalSurvivesUnderItsOwnName) {
    const FaultCase& fault = std::get<0>(GetParam());
    faulty.hard_links = std::get<1>(GetParam());
    if (fault.old_backup) {
        WriteFile(dir / "GAME_org.atr", kOldBackup);
    }
    faulty.FailOn(fault.operation, 1, fault.path_part, fault.partial);
    const CheckRunTotals totals = RunBatch();

    const bool backup_stays = fault.old_backup && fault.operation != FsOperation::Rename;
    ExpectDirectory(Broken(1), backup_stays ? &kOldBackup : nullptr);
    EXPECT_EQ(GameErrors(), Lines{fault.error});
    if (!fault.old_backup) {
        EXPECT_EQ(totals.invalid_count, 2);  // a failed write still counts as repaired
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFileOperation, RepairFault,
    ::testing::Combine(
        ::testing::Values(
            FaultCase{"Read", FsOperation::Read, "GAME", 0, false,
                      "        ERROR: File can not be read - Input/output error (injected)"},
            FaultCase{"CreateTemporary", FsOperation::Create, "GAME", 0, false,
                      "        ERROR: Can not write the repaired image - injected failure"},
            FaultCase{"DiskFull", FsOperation::Write, "GAME", 100, false,
                      "        ERROR: Can not write the repaired image - No space left on device "
                      "(injected)"},
            FaultCase{"Close", FsOperation::Close, "GAME", 0, true,
                      "        ERROR: Can not write the repaired image - injected failure"},
            FaultCase{"DeleteOldBackup", FsOperation::Remove, "GAME_org", 0, true,
                      "        ERROR: Can not delete GAME_org.atr - injected failure"},
            FaultCase{"RenameToBackup", FsOperation::Rename, "GAME_org", 0, false,
                      "        ERROR: Can not rename GAME.ATR to GAME_org.atr - injected failure"},
            FaultCase{"RenameToBackupAfterDelete", FsOperation::Rename, "GAME_org", 0, true,
                      "        ERROR: Can not rename GAME.ATR to GAME_org.atr - injected failure"},
            FaultCase{"RenameIntoPlace", FsOperation::Rename, "/GAME.ATR", 0, false,
                      "        ERROR: Can not rename the repaired image to GAME.ATR - injected "
                      "failure"}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<FaultCase, bool>>& info) {
        return std::string(std::get<0>(info.param).label) +
               (std::get<1>(info.param) ? "" : "WithoutHardLinks");
    });

TEST_F(FaultyRepair, NameNeverGoesMissingWithHardLinks) {
    // The new image can not take the name, and the backup link can not be removed
    // again: the untouched image stands under both names.
    faulty.FailOn(FsOperation::Rename, 1, "/GAME.ATR");
    faulty.FailOn(FsOperation::Remove, 1, "GAME_org");
    RunBatch();
    EXPECT_EQ(GameErrors(), Lines{"        ERROR: Can not rename the repaired image to GAME.ATR - "
                                  "injected failure; the untouched image is also kept as "
                                  "GAME_org.atr"});
    const Bytes original = Broken(1);
    ExpectDirectory(original, &original);
}

TEST_F(FaultyRepair, FailedUndoWithoutHardLinksKeepsTheOriginalWholeAsBackup) {
    // The new image can not take the name, and neither can the old file return to it.
    // A rule that fires stops the search, so the second rule sees only the undo.
    faulty.hard_links = false;
    faulty.FailOn(FsOperation::Rename, 1, "/GAME.ATR");
    faulty.FailOn(FsOperation::Rename, 1, "/GAME.ATR");
    RunBatch();
    EXPECT_EQ(GameErrors(), Lines{"        ERROR: Can not rename the repaired image to GAME.ATR - "
                                  "injected failure; the untouched image stays as GAME_org.atr"});
    auto left = Snapshot(dir.path());
    EXPECT_EQ(left["GAME_org.atr"], Broken(1));
    EXPECT_EQ(left.count("GAME.ATR"), 0u);
    EXPECT_EQ(left.size(), 3u) << "GAME_org.atr, ZOO.ATR and ZOO_org.atr";
}

TEST_F(FaultyRepair, TemporaryFileThatCanNotBeRemovedIsNamed) {
    faulty.FailOn(FsOperation::Write, 1, "GAME", 10);
    faulty.FailOn(FsOperation::Remove, 1, "/.korvane-");
    RunBatch();
    auto left = Snapshot(dir.path());
    const std::string temporary = left.begin()->first;  // the only name before "GAME.ATR"
    ASSERT_EQ(temporary[0], '.');
    EXPECT_EQ(left[temporary].size(), 10u);
    EXPECT_EQ(GameErrors(), Lines{"        ERROR: Can not write the repaired image - No space left "
                                  "on device (injected); the temporary file " +
                                  temporary + " is left behind - injected failure"});
    left.erase(temporary);
    EXPECT_EQ(left.size(), 3u);
    EXPECT_EQ(left["GAME.ATR"], Broken(1));
}

}  // namespace
}  // namespace korvane::testing
