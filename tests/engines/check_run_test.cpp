// The check batch: blocks in list order, the summary in its variants, file_report_line,
// and the controls a run locks and restores.
#include "check_run.h"

#include <gtest/gtest.h>

#include "image_builder.h"
#include "plain_window.h"
#include "recording.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

namespace korvane {
namespace {

using testing::ImageBuilder;
using testing::RecordingReport;
using testing::TempDir;

const std::vector<std::string> kSummaryHead = {
    "",
    "=============================================================",
    "=====================   S U M M A R Y   =====================",
    "=============================================================",
    "",
};

// A window pointed at a directory, as the start buttons leave it.
struct CheckRun {
    explicit CheckRun(const std::filesystem::path& directory, bool repair = false)
        : window(fs) {
        window.SetCheckValue(Control::chk_expand_images, 1);
        EXPECT_TRUE(window.ApplyDirectory(directory).ok());
        state.repair_mode = repair;
    }
    CheckRunTotals Start() {
        EngineContext context{window, report, prompt, fs, state};
        return RunAtrCheck(context);
    }
    std::vector<std::string> Tail(std::size_t from) const {
        return std::vector<std::string>(report.lines.begin() + static_cast<long>(from),
                                        report.lines.end());
    }

    PosixFileSystem fs;
    PlainWindow window;
    RecordingReport report;
    ScriptedPrompt prompt;
    ProgramState state;
};

TEST(RunAtrCheck, GoodAndBrokenImageWithSummaryAndIndex) {
    TempDir dir;
    testing::WriteFile(dir / "A.ATR", ImageBuilder().Build());
    testing::WriteFile(dir / "b.atr", ImageBuilder().Identifier(0x00, 0x02).Build());
    CheckRun run(dir.path());
    const CheckRunTotals totals = run.Start();
    EXPECT_EQ(totals.valid_count, 1);
    EXPECT_EQ(totals.invalid_count, 1);

    EXPECT_EQ(run.report.lines[0], "Read  : A.ATR");
    EXPECT_EQ(run.report.lines[7], "Read  : b.atr");
    EXPECT_EQ(run.report.lines[12].substr(0, 8), "Result: ");
    EXPECT_EQ(run.state.FileReportLine(1), 0);
    EXPECT_EQ(run.state.FileReportLine(2), 7);
    EXPECT_EQ(run.state.FileReportLine(3), 14);

    std::vector<std::string> summary = kSummaryHead;
    summary.insert(summary.end(),
                   {"Valid    ATR-files:  1", "Invalid  ATR-files:  1", "",
                    "Click on the filenames to see the detailed test information"});
    EXPECT_EQ(run.Tail(14), summary);
    EXPECT_EQ(run.report.selected, run.report.LineCount() - 1);
    EXPECT_EQ(run.state.last_run_count, 2);
}

TEST(RunAtrCheck, AllPassingAndEmptyDirectories) {
    TempDir dir;
    testing::WriteFile(dir / "ONE.ATR", ImageBuilder().Build());
    CheckRun passing(dir.path());
    EXPECT_EQ(passing.Start().invalid_count, 0);
    std::vector<std::string> summary = kSummaryHead;
    summary.insert(summary.end(), {"No invalid ATR-files found", "",
                                   "Click on the filenames to see the detailed test information"});
    EXPECT_EQ(passing.Tail(7), summary);

    TempDir empty;
    CheckRun nothing(empty.path());
    nothing.Start();
    EXPECT_EQ(nothing.report.lines, summary);
    EXPECT_EQ(nothing.state.FileReportLine(1), 0);

    CheckRun repair(empty.path(), true);
    repair.Start();
    std::vector<std::string> repair_summary = kSummaryHead;
    repair_summary.push_back("Nothing found to repair");
    EXPECT_EQ(repair.report.lines, repair_summary);
}

TEST(RunAtrCheck, ShortImageInTheMiddleRunsIntoTheNextBlock) {
    TempDir dir;
    testing::WriteFile(dir / "1.atr", ImageBuilder().Build());
    testing::WriteFile(dir / "2.atr", ImageBuilder::Raw(3));
    testing::WriteFile(dir / "3.atr", ImageBuilder().Build());
    CheckRun run(dir.path());
    run.Start();
    EXPECT_EQ(run.state.FileReportLine(2), 7);
    EXPECT_EQ(run.state.FileReportLine(3), 11);
    EXPECT_EQ(run.report.lines[10].substr(0, 8), "Result: ");
    EXPECT_EQ(run.report.lines[11], "Read  : 3.atr");
}

TEST(RunAtrCheck, LayoutOptionIsReadPerRunAndKeptWhenNoneIsChosen) {
    TempDir dir;
    testing::WriteFile(dir / "dd.atr",
                       ImageBuilder().SectorSize(256).StatedLength(720 * 128).Build());
    CheckRun run(dir.path());
    run.window.ChooseOption(Control::Opt_short);
    EXPECT_EQ(run.Start().invalid_count, 1);
    run.window.ChooseOption(Control::Opt_long);
    EXPECT_EQ(run.Start().invalid_count, 0);
    run.window.ChooseOption(Control::Opt_short);
    run.Start();
    // No option chosen: the previous run's mode (short) stays.
    run.window.ChooseOption(Control::source_file);
    EXPECT_EQ(run.Start().invalid_count, 1);
}

TEST(RunAtrCheck, ControlsProgressAndSelectionDuringAndAfterTheRun) {
    TempDir dir;
    for (const char* name : {"a.atr", "b.atr", "c.atr"}) {
        testing::WriteFile(dir / name, ImageBuilder().Build());
    }
    CheckRun run(dir.path());
    run.Start();
    EXPECT_EQ(run.window.ProgressMaximum(), 3);
    EXPECT_EQ(run.window.ProgressValue(), 0);
    EXPECT_EQ(run.window.SelectedFileEntry(), 2);
    EXPECT_FALSE(run.state.engine_running);
    for (const Control c : {Control::cmd_start_test, Control::cmd_start_repair,
                            Control::source_file, Control::chk_expand_images}) {
        EXPECT_TRUE(run.window.Enabled(c));
    }
    // The count is refreshed after the run from the directory.
    testing::WriteFile(dir / "d.atr", ImageBuilder().Build());
    run.Start();
    EXPECT_EQ(run.window.Caption(Control::source_count), "4");
}

TEST(RunAtrCheck, CheckBoxOnlyCountsWhenTicked) {
    TempDir dir;
    testing::WriteFile(dir / "small.atr", ImageBuilder().StatedLength(512).Build());
    CheckRun run(dir.path());
    EXPECT_EQ(run.Start().invalid_count, 1);
    run.window.SetCheckValue(Control::chk_expand_images, 2);  // greyed
    EXPECT_EQ(run.Start().invalid_count, 0);
    run.window.SetCheckValue(Control::chk_expand_images, 0);
    EXPECT_EQ(run.Start().invalid_count, 0);
}

// No 16-bit limits: more images than a signed or unsigned 16-bit count holds.
TEST(RunAtrCheck, HundredThousandImagesAreCheckedWholeAndCountedRight) {
    TempDir dir;
    const testing::Bytes good = ImageBuilder().StatedLength(0).Build();
    const testing::Bytes bad = ImageBuilder::Raw(4);
    constexpr int kImages = 100000;
    for (int i = 0; i < kImages; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "img%06d.atr", i);
        testing::WriteFile(dir / name, i % 10 == 0 ? bad : good);
    }
    CheckRun run(dir.path());
    run.window.SetCheckValue(Control::chk_expand_images, 0);
    const CheckRunTotals totals = run.Start();
    EXPECT_EQ(totals.valid_count, 90000);
    EXPECT_EQ(totals.invalid_count, 10000);
    // Blocks of 7 lines, and 4 for each short file.
    EXPECT_EQ(run.state.FileReportLine(kImages + 1), 90000 * 7 + 10000 * 4);
    EXPECT_EQ(run.report.lines[static_cast<std::size_t>(run.state.FileReportLine(99999))],
              "Read  : img099998.atr");
    EXPECT_EQ(run.Tail(run.report.lines.size() - 4)[1], "Invalid  ATR-files:  10000");
}

}  // namespace
}  // namespace korvane
