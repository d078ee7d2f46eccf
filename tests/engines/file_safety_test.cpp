// What the writing runs promise about the user's files beyond the report: one writing run
// per directory, backups never lost within a run, long names, odd files in place of
// images, the original's mode and owner, failed operations counted, no image held whole.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "check_fixture.h"
#include "conversion_run.h"
#include "fault_file_system.h"
#include "generation_run.h"
#include "image_builder.h"

namespace korvane::testing {
namespace {

Bytes TooLong(std::uint8_t fill) {
    return ImageBuilder().StatedLength(1024).DataLength(1044).Fill(fill).Build();
}

class FileSafety : public CheckTest {
  protected:
    EngineContext Context() { return {window, report, prompt, *fs, state}; }
    GenerationTotals Generate(const std::string& name) {
        window.SetText(Control::Txt_filename, name);
        window.SetText(Control::Txt_image_size, "1040");
        window.SetText(Control::Combo_byte_per_sector, "128");
        EXPECT_TRUE(window.ApplyDirectory(dir.path()).ok());
        EngineContext context = Context();
        return RunAtrGeneration(context);
    }
};

TEST_F(FileSafety, RacesOneWritingRunPerDirectoryAndNoBackupReplacedInARun) {
    WriteFile(dir / "A.ATR", TooLong(1));
    WriteFile(dir / "A.B.ATR", TooLong(2));
    const auto before = Snapshot(dir.path());
    {
        LockResult other = PosixFileSystem().LockDirectory(dir.path());  // another run
        ASSERT_TRUE(other.status.ok());
        EngineContext context = Context();
        EXPECT_TRUE(RunBatch().could_not_start);
        EXPECT_TRUE(RunXexConversionWithTemplate(context, dir / "none").could_not_start);
        EXPECT_TRUE(Generate("NEW").could_not_start);
        EXPECT_EQ(Snapshot(dir.path()), before);
        ASSERT_EQ(prompt.asked().size(), 3u) << "nothing but the one box each";
        for (const Prompt& box : prompt.asked()) {
            EXPECT_EQ(box.icon, PromptIcon::Critical);
            EXPECT_EQ(box.buttons, PromptButtons::Ok);
        }
        EXPECT_FALSE(Run(false).could_not_start) << "a check run takes no lock";
    }
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    RunBatch();
    EXPECT_EQ(File("A_org.atr"), TooLong(1)) << "the backup the run itself wrote stays";
    EXPECT_EQ(File("A.B.ATR"), TooLong(2));
    EXPECT_NE(std::find(report.lines.begin(), report.lines.end(),
                        "        Skip repair - A_org.atr already holds the original of another "
                        "image of this run"),
              report.lines.end());
}

TEST_F(FileSafety, NamesLongTemporaryAndLeftBehind) {
    const std::string longest = "LONG." + std::string(246, 'N') + ".ATR";  // 255 bytes
    WriteFile(dir / longest, TooLong(1));
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    EXPECT_EQ(RunBatch().failed_file_operations, 0);
    EXPECT_EQ(File(longest).size(), 1040u);
    EXPECT_TRUE(Generate(std::string(251, 'G')).generated);

    // A temporary file of an ended process goes, one of a living one stays.
    const auto ours = PosixFileSystem().CreateTemporary(dir / "A.ATR");
    if (fork() == 0) {
        PosixFileSystem().CreateTemporary(dir / "A.ATR");
        _exit(0);
    }
    wait(nullptr);
    std::string stale;
    for (const auto& [name, bytes] : Snapshot(dir.path())) {
        stale = name[0] == '.' && name != ours.path.filename() ? name : stale;
    }
    ASSERT_EQ(ours.path.filename().native().size(), stale.size()) << "of one length";
    EXPECT_TRUE(Generate("ANOTHER").generated);
    EXPECT_EQ(report.lines.front(), "Removed " + stale +
                                        ", a temporary file left by an "
                                        "interrupted run");
    EXPECT_TRUE(Has(ours.path.filename()) && !Has(stale));

    FaultFileSystem faulty;
    fs = &faulty;
    faulty.FailOn(FsOperation::Write);
    faulty.FailOn(FsOperation::Remove, 1, "/.korvane-");
    const GenerationTotals failed = Generate("FULL");
    EXPECT_NE(report.lines.front().find("is left behind - injected failure"), std::string::npos);
    EXPECT_EQ(failed.failed_file_operations, 2) << "the write and the removal";
}

TEST_F(FileSafety, OddFilesAreRefusedAndTheModeAndOwnerStay) {
    ASSERT_EQ(mkfifo((dir / "PIPE.ATR").c_str(), 0644), 0);
    std::int64_t length = 0;
    const std::string refused = "not a regular file";
    EXPECT_EQ(posix.OpenRead(dir / "PIPE.ATR").status.reason(), refused);
    EXPECT_EQ(posix.Length(dir / "PIPE.ATR", length).reason(), refused);
    EXPECT_EQ(posix.ReadWhole(dir / "PIPE.ATR", 100).status.reason(), refused);

    WriteFile(dir / "GAME.ATR", TooLong(1));
    ASSERT_EQ(chmod((dir / "GAME.ATR").c_str(), 0600), 0);
    ASSERT_EQ(chown((dir / "GAME.ATR").c_str(), 1234, 5678), 0);
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    const CheckRunTotals totals = RunBatch();
    EXPECT_EQ(totals.invalid_count, 1);
    struct stat repaired {};
    ASSERT_EQ(stat((dir / "GAME.ATR").c_str(), &repaired), 0);
    EXPECT_EQ(repaired.st_mode & 07777, 0600u);
    EXPECT_EQ(repaired.st_uid, 1234u);
    EXPECT_EQ(repaired.st_gid, 5678u);
}

TEST_F(FileSafety, MemoryNoImageIsHeldWhole) {
    const auto sparse = [&](const std::string& name, std::int64_t data, std::int64_t stated) {
        WriteFile(dir / name, ImageBuilder().StatedLength(stated).DataLength(0).Build());
        std::filesystem::resize_file(dir / name, 16 + data);
    };
    sparse("CHECK.ATR", 1LL << 30, 1LL << 30);
    sparse("REPAIR.ATR", 32LL << 20, (32LL << 20) - 4096);  // cut 4096 bytes
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peak_before = usage.ru_maxrss;
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    EXPECT_EQ(RunBatch().invalid_count, 1);
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peak_before, 16 * 1024) << "kB";
    EXPECT_EQ(std::filesystem::file_size(dir / "REPAIR.ATR"), 16 + (32u << 20) - 4096);
}

}  // namespace
}  // namespace korvane::testing
