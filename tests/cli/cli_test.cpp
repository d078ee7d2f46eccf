// korvane-cli check and repair as a script runs them: standard output holds exactly the
// report the engine writes in-process over an equal directory, the options set the
// window's settings and answer the questions, messages go to standard error, and the
// exit status says whether anything failed or was repaired.
#include <gtest/gtest.h>

#include "check_run.h"
#include "image_builder.h"
#include "plain_window.h"
#include "recording.h"
#include "run_command.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

namespace korvane::testing {
namespace {

CommandResult Cli(const std::vector<std::string>& args, const std::filesystem::path& cwd = {}) {
    return RunCommand(KORVANE_CLI, args, cwd);
}

// Images for every fault and question, a backup that exists and one that fails itself,
// and a file the pattern leaves out.
void PutImages(const std::filesystem::path& dir) {
    const std::pair<const char*, Bytes> images[] = {
        {"A.ATR", ImageBuilder().SectorSize(512).StatedLength(1024).Build()},
        {"B.ATR", ImageBuilder().StatedLength(960).DataLength(1000).Fill(0x33).Build()},
        {"B_org.atr", {1}},
        {"C.ATR", ImageBuilder().SectorSize(256).StatedLength(1008).Fill(0x44).Build()},
        {"D.ATR", ImageBuilder::Raw(7)},
        {"E.ATR", ImageBuilder().SectorSize(256).StatedLength(92160).Build()},
        {"F_org.atr", ImageBuilder().StatedLength(960).DataLength(1000).Build()},
        {"G.ATR", ImageBuilder().StatedLength(608).Build()},
        {"H.ATR", ImageBuilder().Identifier(0x92, 0x02).StatedLength(1024).Build()},
        {"good.atr", ImageBuilder().Build()},
        {"skip.xex", ImageBuilder().Build()},
    };
    for (const auto& [name, bytes] : images) {
        WriteFile(dir / name, bytes);
    }
}

using Answers = std::vector<std::pair<PromptTopic, PromptAnswer>>;

// The report of the engine run in-process over `dir` as the window would run it.
std::string EngineReport(const std::filesystem::path& dir, Control layout, int check_box,
                         bool repair, const Answers& answers) {
    PosixFileSystem fs;
    PlainWindow window(fs);
    window.ChooseOption(layout);
    window.SetCheckValue(Control::chk_expand_images, check_box);
    EXPECT_TRUE(window.ApplyDirectory(dir).ok());
    ScriptedPrompt prompt;
    for (const auto& [topic, answer] : answers) {
        prompt.Answer(topic, answer);
    }
    RecordingReport report;
    ProgramState state;
    state.repair_mode = repair;
    EngineContext context{window, report, prompt, fs, state};
    RunAtrCheck(context);
    std::string text;
    for (const std::string& line : report.lines) {
        text += line + "\n";
    }
    return text;
}

struct Variant {
    std::vector<std::string> options;
    Control layout;
    int check_box;
    Answers answers;  // what the options answer; the rest is left unchanged
    bool every_question_unanswered = false;
};

constexpr auto kYes = PromptAnswer::Yes;
constexpr auto kNo = PromptAnswer::No;

TEST(Cli, CheckAndRepairWriteTheEngineReportAndLeaveTheSameFiles) {
    const Variant variants[] = {
        {{}, Control::Opt_both, 1, {}},
        {{"--layout", "long", "--no-min-size"}, Control::Opt_long, 0, {}, true},
        {{"--layout", "short", "--min-size", "--sector-size", "128", "--fix-length", "file",
          "--fix-layout", "add", "--overwrite-backup", "yes"},
         Control::Opt_short,
         1,
         {{PromptTopic::SectorSize, kYes},
          {PromptTopic::FileLength, kYes},
          {PromptTopic::Layout, kYes},
          {PromptTopic::OverwriteBackup, kYes}}},
        {{"--layout", "long", "--no-min-size", "--sector-size", "256", "--fix-length", "header",
          "--fix-layout", "cut", "--overwrite-backup", "no"},
         Control::Opt_long,
         0,
         {{PromptTopic::SectorSize, kNo},
          {PromptTopic::FileLength, kNo},
          {PromptTopic::Layout, kNo},
          {PromptTopic::OverwriteBackup, kNo}}},
    };
    for (const bool repair : {false, true}) {
        for (const Variant& v : variants) {
            SCOPED_TRACE(::testing::Message()
                         << (repair ? "repair " : "check ") << ::testing::PrintToString(v.options));
            TempDir by_cli;
            TempDir in_process;
            PutImages(by_cli.path());
            PutImages(in_process.path());
            std::vector<std::string> args = {repair ? "repair" : "check"};
            // A test run takes the layout options only.
            args.insert(args.end(), v.options.begin(),
                        v.options.begin() + (repair ? v.options.size()
                                                    : std::min<std::size_t>(3, v.options.size())));
            args.push_back(by_cli.path().native());
            const CommandResult run = Cli(args);

            EXPECT_EQ(run.out, EngineReport(in_process.path(), v.layout, v.check_box, repair,
                                            repair ? v.answers : Answers{}));
            EXPECT_EQ(Snapshot(by_cli.path()), Snapshot(in_process.path()));
            EXPECT_EQ(run.exit_status, 1);
            if (!repair || !v.every_question_unanswered) {
                EXPECT_EQ(run.err.empty(), !repair || !v.answers.empty()) << run.err;
                continue;
            }
            // Unanswered questions get the answer that changes nothing, and each names its
            // option on stderr.
            for (const char* option :
                 {"--fix-length", "--overwrite-backup", "--fix-layout", "--sector-size"}) {
                EXPECT_NE(run.err.find(option), std::string::npos) << option << " in\n" << run.err;
            }
        }
    }
}

TEST(Cli, ExitStatusZeroWhenNothingFailsOrNeedsARepair) {
    TempDir dir;
    for (const char* command : {"check", "repair"}) {
        const CommandResult empty = Cli({command, dir.path().native()});
        EXPECT_EQ(empty.exit_status, 0);
        EXPECT_EQ(empty.out, EngineReport(dir.path(), Control::Opt_both, 1,
                                          std::string(command) == "repair", {}));
    }
    WriteFile(dir / "a.atr", ImageBuilder().Build());
    EXPECT_EQ(Cli({"check", dir.path().native()}).exit_status, 0);
    EXPECT_EQ(Cli({"repair", dir.path().native()}).exit_status, 0);
    WriteFile(dir / "b.atr", ImageBuilder::Raw(3));
    EXPECT_EQ(Cli({"check", dir.path().native()}).exit_status, 1);
}

TEST(Cli, UsageErrorsExitTwoWithoutAReport) {
    TempDir dir;
    WriteFile(dir / "A.ATR", ImageBuilder().StatedLength(960).DataLength(1000).Build());
    const auto before = Snapshot(dir.path());
    const std::string d = dir.path().native();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"check"},
        {"check", "--layout", "middle", d},
        {"check", "--layout"},
        {"check", "--fix-length", "file", d},
        {"check", d, d},
        {"frobnicate", d},
        {"check", (dir / "missing").native()},
        {"repair", "--fix-length", "maybe", d},
        {"repair", "--sector-size", "512", d},
        {"repair", "--fix-layout", "yes", d},
        {"repair", "--overwrite-backup", "always", d},
        {"repair", "--fix-length"},
        {"repair", (dir / "A.ATR").native()},
    };
    for (const auto& args : bad) {
        const CommandResult result = Cli(args);
        EXPECT_EQ(result.exit_status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(result.out, "") << ::testing::PrintToString(args);
        EXPECT_NE(result.err, "") << ::testing::PrintToString(args);
    }
    EXPECT_EQ(Snapshot(dir.path()), before);
    EXPECT_EQ(Cli({"--help"}).exit_status, 0);
    EXPECT_EQ(Cli({"--version"}).out, "korvane-cli 2.0.16\n");
}

TEST(Cli, RelativeDirectoryAndOddNames) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    WriteFile(dir / "sub" / "line\nbreak\xFE.atr", ImageBuilder().Build());
    const CommandResult result = Cli({"check", "sub/"}, dir.path());
    const auto lines = SplitLines(result.out);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Read  : line\\x0Abreak\\xFE.atr");
    EXPECT_EQ(lines[5], "Result: PASS");
    EXPECT_EQ(result.exit_status, 0);
}

}  // namespace
}  // namespace korvane::testing
