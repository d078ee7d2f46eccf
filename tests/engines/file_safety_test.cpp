// What the writing runs promise about the user's files beyond the report: one writing run
// per directory, backups never lost within a run, long names, odd files in place of
// images, the original's mode and owner, failed operations counted.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "conversion_run.h"
#include "engine_fixture.h"
#include "generation_run.h"

namespace korvane::testing {
namespace {

// A 1 kB image whose file is 20 bytes longer than its header says.
Bytes TooLong(std::uint8_t fill) {
    return Image({.stated = 1024, .data = 1044, .fill = fill});
}

class FileSafety : public Engine {
  protected:
    FileSafety() { prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes); }
    GenerationTotals Generate(const std::string& name) {
        window.SetText(Control::Txt_filename, name);
        window.SetText(Control::Txt_image_size, "1040");
        window.SetText(Control::Combo_byte_per_sector, "128");
        EXPECT_TRUE(window.ApplyDirectory(dir.path()).ok());
        EngineContext context{window, report, prompt, *fs, state};
        return RunAtrGeneration(context);
    }
    bool Has(const std::filesystem::path& name) const {
        return std::filesystem::exists(dir / name);
    }
    bool Reported(const std::string& part) const {
        return std::any_of(report.lines.begin(), report.lines.end(),
                           [&](const std::string& line) { return line.find(part) != line.npos; });
    }
};

TEST_F(FileSafety, RacesOneWritingRunPerDirectoryAndNoBackupReplacedInARun) {
    WriteFile(dir / "A.ATR", TooLong(1));
    WriteFile(dir / "A.B.ATR", TooLong(2));
    const auto before = Snapshot(dir.path());
    {
        LockResult other = PosixFileSystem().LockDirectory(dir.path());  // another run
        EngineContext context{window, report, prompt, *fs, state};
        EXPECT_TRUE(RunBatch(true).could_not_start);
        EXPECT_TRUE(RunXexConversionWithTemplate(context, dir / "none").could_not_start);
        EXPECT_TRUE(Generate("NEW").could_not_start);
        EXPECT_EQ(Snapshot(dir.path()), before);
        ASSERT_EQ(prompt.asked().size(), 3u) << "nothing but the one box each";
        EXPECT_EQ(prompt.asked()[2].icon, PromptIcon::Critical);
        EXPECT_FALSE(RunBatch(false).could_not_start) << "a check run takes no lock";
    }
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    RunBatch(true);
    EXPECT_EQ(ReadFile(dir / "A_org.atr"), TooLong(1)) << "the backup the run itself wrote stays";
    EXPECT_EQ(ReadFile(dir / "A.B.ATR"), TooLong(2));
    EXPECT_TRUE(Reported("Skip repair - A_org.atr already holds the original of another image"));
}

TEST_F(FileSafety, NamesLongTemporaryAndLeftBehind) {
    const std::string longest = "LONG." + std::string(246, 'N') + ".ATR";  // 255 bytes
    WriteFile(dir / longest, TooLong(1));
    EXPECT_EQ(RunBatch(true).failed_file_operations, 0);
    EXPECT_EQ(ReadFile(dir / longest).size(), 1040u);
    EXPECT_TRUE(Generate(std::string(251, 'G')).generated);

    // A temporary file of an ended process goes, one of a living one stays.
    const auto ours = PosixFileSystem().CreateTemporary(dir / "A.ATR").path.filename();
    if (fork() == 0) {
        PosixFileSystem().CreateTemporary(dir / std::string(200, 'A'));
        _exit(0);
    }
    wait(nullptr);
    EXPECT_TRUE(Generate("ANOTHER").generated);
    const std::string stale = report.lines.front().substr(8, ours.native().size());  // same length
    EXPECT_EQ(report.lines.front(),
              "Removed " + stale + ", a temporary file left by an interrupted run");
    EXPECT_TRUE(Has(ours) && !Has(stale) && stale != ours);

    FaultFileSystem faulty;
    fs = &faulty;
    faulty.FailOn(FsOperation::Write);
    faulty.FailOn(FsOperation::Remove, 1, "/.korvane-");
    EXPECT_EQ(Generate("FULL").failed_file_operations, 2) << "the write and the removal";
    EXPECT_TRUE(Reported("ERROR: Can not write " + DisplayName(dir / "FULL.ATR") +
                         " - No space left on device (injected); the temporary file "));
    EXPECT_TRUE(Reported("is left behind - injected failure") && !Has("FULL.ATR"));
}

TEST_F(FileSafety, OddFilesModeAndOwner) {
    ASSERT_EQ(mkfifo((dir / "PIPE.ATR").c_str(), 0644), 0);
    EXPECT_EQ(posix.ReadWhole(dir / "PIPE.ATR", 100).status.reason(), "not a regular file");
    std::filesystem::remove(dir / "PIPE.ATR");

    // A sparse image to repair by a cut, owned by someone else.
    WriteFile(dir / "GAME.ATR", Image({.stated = 32 << 20, .data = 0}));
    std::filesystem::resize_file(dir / "GAME.ATR", 16 + (32 << 20) + 4096);
    ASSERT_EQ(chmod((dir / "GAME.ATR").c_str(), 0600) | chown((dir / "GAME.ATR").c_str(), 12, 34),
              0);
    ASSERT_EQ(RunBatch(true).invalid_count, 1);
    struct stat repaired {};
    ASSERT_EQ(stat((dir / "GAME.ATR").c_str(), &repaired), 0);
    EXPECT_EQ(
        std::tuple(repaired.st_size, repaired.st_mode & 07777, repaired.st_uid, repaired.st_gid),
        std::tuple(16 + (32 << 20), 0600u, 12u, 34u));
}

}  // namespace
}  // namespace korvane::testing
