// korvane-cli repair as a script runs it: the options answer the questions, stdin is not
// a terminal, standard output carries the report alone, and the exit status tells
// whether anything was repaired.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "check_run.h"
#include "engine_context.h"
#include "image_builder.h"
#include "plain_window.h"
#include "recording.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

extern char** environ;

namespace korvane::testing {
namespace {

struct CliRun {
    int exit_code = -1;
    std::string out;
    std::string err;
};

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Runs korvane-cli with stdin from /dev/null, capturing stdout and stderr.
CliRun RunCli(const std::vector<std::string>& arguments) {
    TempDir capture;
    const std::string out = (capture / "out").string();
    const std::string err = (capture / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> words = {KORVANE_CLI};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    CliRun run;
    const int spawned = posix_spawn(&child, KORVANE_CLI, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "can not start " << KORVANE_CLI;
        return run;
    }
    int status = 0;
    waitpid(child, &status, 0);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Text(ReadFile(out));
    run.err = Text(ReadFile(err));
    return run;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const std::string kSummaryHead = Joined(
    {"", std::string(61, '='), std::string(21, '=') + "   S U M M A R Y   " + std::string(21, '='),
     std::string(61, '='), ""});

Bytes Sector512() {
    return ImageBuilder().SectorSize(512).StatedLength(1024).Build();
}
Bytes TooLong() {
    return ImageBuilder().StatedLength(960).DataLength(1000).Fill(0x33).Build();
}
Bytes OddLayout() {
    return ImageBuilder().SectorSize(256).StatedLength(1008).Fill(0x44).Build();
}

TEST(CliRepair, NothingToRepairExitsZero) {
    TempDir dir;
    WriteFile(dir / "GOOD.ATR", ImageBuilder().StatedLength(1024).Build());
    const CliRun run = RunCli({"repair", dir.path().string()});

    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(
        run.out,
        Joined({"Read  : GOOD.ATR", "        Physical filelength         = $410 bytes (1040 byte)",
                "        Header: ATR-file identifier = Ok",
                "        Header: Image size          = $400 bytes (1024 byte)",
                "        Header: ATARI sector size   = Ok ($80 byte)", "Result: PASS", ""}) +
            kSummaryHead + "Nothing found to repair\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Snapshot(dir.path()).size(), 1u);
}

TEST(CliRepair, OptionsAnswerTheirQuestionForEveryImage) {
    TempDir dir;
    WriteFile(dir / "A.ATR", Sector512());
    WriteFile(dir / "B.ATR", TooLong());
    WriteFile(dir / "C.ATR", OddLayout());
    WriteFile(dir / "D.ATR", Sector512());
    WriteFile(dir / "D_org.atr", Bytes{'o', 'l', 'd'});
    const CliRun run = RunCli({"repair", "--layout", "long", "--no-min-size", "--sector-size",
                               "256", "--fix-length", "header", "--fix-layout", "cut",
                               "--overwrite-backup", "yes", dir.path().string()});

    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "");
    for (const char* name : {"A.ATR", "D.ATR"}) {
        const Bytes written = ReadFile(dir / name);
        EXPECT_EQ(written[4], 0x00) << name;
        EXPECT_EQ(written[5], 0x01) << name;
        EXPECT_EQ(ReadFile(dir / (std::string(1, name[0]) + "_org.atr")), Sector512()) << name;
    }
    EXPECT_EQ(ReadFile(dir / "B.ATR").size(), 1016u);
    EXPECT_EQ(ReadFile(dir / "B.ATR")[2], 992 / 16);
    EXPECT_EQ(ReadFile(dir / "C.ATR").size(), 784u);
    EXPECT_TRUE(Contains(run.out, "        Overwrite existing Backupfile\n"));
    EXPECT_TRUE(Contains(run.out, "                Cut 240 byte\n"));
    EXPECT_TRUE(Contains(run.out, "\nValid    ATR-files:  0\nRepaired ATR-files:  4\n"));
}

TEST(CliRepair, UnansweredQuestionsChangeNothingAndSaySoOnStderr) {
    TempDir dir;
    WriteFile(dir / "L.ATR", TooLong());
    WriteFile(dir / "L_org.atr", Bytes{'o', 'l', 'd'});
    WriteFile(dir / "M.ATR", OddLayout());
    WriteFile(dir / "S.ATR", Sector512());
    const auto before = Snapshot(dir.path());
    const CliRun run = RunCli({"repair", "--layout", "long", "--no-min-size", dir.path().string()});

    EXPECT_EQ(Snapshot(dir.path()), before);
    EXPECT_EQ(run.exit_code, 1);  // L.ATR still fails and counts as repaired
    EXPECT_TRUE(Contains(run.out, "Write : Backup image as L_org.atr\n        Skip repair\n"));
    EXPECT_TRUE(Contains(run.out,
                         "ERROR : Expect $80 or $100 ATARI sector size\n"
                         "        Skip repair selected by user\nResult: PASS\n"));
    for (const char* option :
         {"--fix-length", "--overwrite-backup", "--fix-layout", "--sector-size"}) {
        EXPECT_TRUE(Contains(run.err, option)) << option << " in\n" << run.err;
    }
    EXPECT_FALSE(Contains(run.out, "korvane-cli"));
}

TEST(CliRepair, UsageErrorsExitTwoWithoutAReport) {
    TempDir dir;
    WriteFile(dir / "A.ATR", TooLong());
    const auto before = Snapshot(dir.path());
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"repair", "--fix-length", "maybe", dir.path().string()},
             {"repair", "--sector-size", "512", dir.path().string()},
             {"repair", "--fix-layout", "yes", dir.path().string()},
             {"repair", "--overwrite-backup", "always", dir.path().string()},
             {"repair", "--layout", "wide", dir.path().string()},
             {"repair", "--fix-length"},
             {"repair", (dir / "missing").string()},
             {"repair", (dir / "A.ATR").string()}}) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.exit_code, 2) << arguments[1];
        EXPECT_EQ(run.out, "") << arguments[1];
        EXPECT_NE(run.err, "") << arguments[1];
    }
    EXPECT_EQ(Snapshot(dir.path()), before);
}

// The command-line run and the engine run in-process over equal directories write the
// same report and leave the same files.
TEST(CliRepair, StandardOutputIsExactlyTheReport) {
    TempDir by_cli;
    TempDir in_process;
    const std::vector<std::pair<std::string, Bytes>> images = {
        {"A.ATR", Sector512()},
        {"B.ATR", TooLong()},
        {"C.ATR", OddLayout()},
        {"D.ATR", ImageBuilder::Raw(7)},
        {"E.ATR", ImageBuilder().SectorSize(256).StatedLength(92160).Build()},
        {"F_org.atr", TooLong()},
        {"G.ATR", ImageBuilder().StatedLength(608).Build()},
        {"H.ATR", ImageBuilder().Identifier(0x92, 0x02).StatedLength(1024).Build()},
    };
    for (const auto& [name, bytes] : images) {
        WriteFile(by_cli / name, bytes);
        WriteFile(in_process / name, bytes);
    }
    WriteFile(by_cli / "B_org.atr", Bytes{1});
    WriteFile(in_process / "B_org.atr", Bytes{1});

    const CliRun run =
        RunCli({"repair", "--layout", "short", "--sector-size", "128", "--fix-length", "file",
                "--fix-layout", "add", "--overwrite-backup", "yes", by_cli.path().string()});

    PosixFileSystem fs;
    PlainWindow window(fs);
    window.SetPattern("*.atr");
    window.ChooseOption(Control::Opt_short);
    window.SetCheckValue(Control::chk_expand_images, 1);
    ASSERT_TRUE(window.ApplyDirectory(in_process.path()).ok());
    ScriptedPrompt prompt;
    prompt.Answer(PromptTopic::SectorSize, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::Layout, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    RecordingReport report;
    ProgramState state;
    state.repair_mode = true;
    EngineContext context{window, report, prompt, fs, state};
    RunAtrCheck(context);

    EXPECT_EQ(run.out, Joined(report.lines));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(Snapshot(by_cli.path()), Snapshot(in_process.path()));
}

}  // namespace
}  // namespace korvane::testing
