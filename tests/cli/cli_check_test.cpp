// korvane-cli check: the report on standard output, exactly the engine's lines, and the
// exit status and messages of the command-line contract.
#include <gtest/gtest.h>

#include "check_run.h"
#include "image_builder.h"
#include "plain_window.h"
#include "recording.h"
#include "run_command.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

namespace korvane {
namespace {

using testing::ImageBuilder;
using testing::RunCommand;
using testing::SplitLines;
using testing::TempDir;

testing::CommandResult Cli(const std::vector<std::string>& args,
                           const std::filesystem::path& cwd = {}) {
    return RunCommand(KORVANE_CLI, args, cwd);
}

// The lines the report list holds after a test run of the same engine in-process.
std::vector<std::string> WindowReport(const std::filesystem::path& dir, Control layout,
                                      int check_box) {
    PosixFileSystem fs;
    PlainWindow window(fs);
    window.ChooseOption(layout);
    window.SetCheckValue(Control::chk_expand_images, check_box);
    EXPECT_TRUE(window.ApplyDirectory(dir).ok());
    testing::RecordingReport report;
    ScriptedPrompt prompt;
    ProgramState state;
    EngineContext context{window, report, prompt, fs, state};
    RunAtrCheck(context);
    return report.lines;
}

void MixedDirectory(const std::filesystem::path& dir) {
    testing::WriteFile(dir / "good.atr", ImageBuilder().Build());
    testing::WriteFile(dir / "dd.ATR",
                       ImageBuilder().SectorSize(256).StatedLength(720 * 128).Build());
    testing::WriteFile(dir / "small.atr", ImageBuilder().StatedLength(512).Build());
    testing::WriteFile(dir / "odd.atr", ImageBuilder().SectorSize(256).StatedLength(1008).Build());
    testing::WriteFile(dir / "skip.xex", ImageBuilder().Build());
}

TEST(CliCheck, StandardOutputIsTheReportLineForLine) {
    TempDir dir;
    MixedDirectory(dir.path());
    struct Variant {
        std::vector<std::string> options;
        Control layout;
        int check_box;
    };
    const Variant variants[] = {
        {{}, Control::Opt_both, 1},
        {{"--layout", "short", "--no-min-size"}, Control::Opt_short, 0},
        {{"--layout", "long", "--min-size"}, Control::Opt_long, 1},
    };
    for (const Variant& v : variants) {
        std::vector<std::string> args = {"check"};
        args.insert(args.end(), v.options.begin(), v.options.end());
        args.push_back(dir.path().native());
        const auto result = Cli(args);
        EXPECT_EQ(SplitLines(result.out), WindowReport(dir.path(), v.layout, v.check_box));
        EXPECT_EQ(result.exit_status, 1);
        EXPECT_EQ(result.err, "");
        ASSERT_FALSE(result.out.empty());
        EXPECT_EQ(result.out.back(), '\n');
    }
}

TEST(CliCheck, ExitStatusFollowsTheFindings) {
    TempDir clean;
    testing::WriteFile(clean / "a.atr", ImageBuilder().Build());
    EXPECT_EQ(Cli({"check", clean.path().native()}).exit_status, 0);

    TempDir empty;
    const auto nothing = Cli({"check", empty.path().native()});
    EXPECT_EQ(nothing.exit_status, 0);
    EXPECT_NE(nothing.out.find("No invalid ATR-files found"), std::string::npos);

    testing::WriteFile(clean / "b.atr", ImageBuilder::Raw(3));
    EXPECT_EQ(Cli({"check", clean.path().native()}).exit_status, 1);
}

TEST(CliCheck, UsageErrorsGoToStandardErrorWithStatusTwo) {
    TempDir dir;
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"check"},
        {"check", "--layout", "middle", dir.path().native()},
        {"check", "--layout"},
        {"check", "--fix-length", "file", dir.path().native()},
        {"check", dir.path().native(), dir.path().native()},
        {"frobnicate", dir.path().native()},
        {"check", (dir / "missing").native()},
    };
    for (const auto& args : bad) {
        const auto result = Cli(args);
        EXPECT_EQ(result.exit_status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(result.out, "") << ::testing::PrintToString(args);
        EXPECT_NE(result.err, "") << ::testing::PrintToString(args);
    }
    EXPECT_EQ(Cli({"--help"}).exit_status, 0);
    EXPECT_EQ(Cli({"--version"}).out, "korvane-cli 2.0.16\n");
}

TEST(CliCheck, RelativeDirectoryAndOddNames) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    const std::string odd = "line\nbreak\xFE.atr";
    testing::WriteFile(dir / "sub" / odd, ImageBuilder().Build());
    const auto result = Cli({"check", "sub/"}, dir.path());
    const auto lines = SplitLines(result.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Read  : line\\x0Abreak\\xFE.atr");
    EXPECT_EQ(lines[5], "Result: PASS");
    EXPECT_EQ(result.exit_status, 0);
}

}  // namespace
}  // namespace korvane
