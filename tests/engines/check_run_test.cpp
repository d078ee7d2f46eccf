// The check batch: blocks in list order with their report-line index, the summary in its
// variants, the settings read per run, the controls, and a count beyond 16 bits.
#include "check_run.h"

#include <gtest/gtest.h>

#include "check_fixture.h"
#include "image_builder.h"

namespace korvane::testing {
namespace {

const Lines kSummaryHead = {"", std::string(61, '='),
                            std::string(21, '=') + "   S U M M A R Y   " + std::string(21, '='),
                            std::string(61, '='), ""};
const std::string kClickLine = "Click on the filenames to see the detailed test information";

TEST_F(CheckTest, BlocksSummaryAndWhereEachBlockBegins) {
    WriteFile(dir / "A.ATR", ImageBuilder().Build());
    WriteFile(dir / "b.atr", ImageBuilder::Raw(3));  // a block without its empty last line
    WriteFile(dir / "c.atr", ImageBuilder().Identifier(0x00, 0x02).Build());
    const CheckRunTotals totals = Run();
    EXPECT_EQ(totals.valid_count, 1);
    EXPECT_EQ(totals.invalid_count, 2);

    const std::vector<std::int64_t> starts = {0, 7, 11, 18};
    for (std::size_t k = 0; k < starts.size(); ++k) {
        EXPECT_EQ(state.FileReportLine(static_cast<std::int64_t>(k + 1)), starts[k]) << k;
    }
    EXPECT_EQ(report.lines[7], "Read  : b.atr");
    EXPECT_EQ(report.lines[11], "Read  : c.atr");
    EXPECT_EQ(
        Lines(report.lines.begin() + 18, report.lines.end()),
        Join({kSummaryHead, {"Valid    ATR-files:  1", "Invalid  ATR-files:  2", "", kClickLine}}));
    EXPECT_EQ(report.selected, report.LineCount() - 1);
    EXPECT_EQ(state.last_run_count, 3);
    EXPECT_FALSE(state.engine_running);
}

TEST_F(CheckTest, SummaryWithoutInvalidImages) {
    const Lines nothing = Join({kSummaryHead, {"No invalid ATR-files found", "", kClickLine}});
    Run();
    EXPECT_EQ(report.lines, nothing);
    Run(true);
    EXPECT_EQ(report.lines, Join({kSummaryHead, {"Nothing found to repair"}}));
    WriteFile(dir / "ONE.ATR", ImageBuilder().Build());
    Run();
    EXPECT_EQ(Tail(nothing.size()), nothing);
}

TEST_F(CheckTest, LayoutOptionAndCheckBoxAreReadForEachRun) {
    WriteFile(dir / "dd.atr", ImageBuilder().SectorSize(256).StatedLength(720 * 128).Build());
    window.SetCheckValue(Control::chk_expand_images, 1);
    window.ChooseOption(Control::Opt_short);
    EXPECT_EQ(Run().invalid_count, 1);
    window.ChooseOption(Control::Opt_long);
    EXPECT_EQ(Run().invalid_count, 0);
    window.ChooseOption(Control::Opt_short);
    Run();
    // No option chosen: the previous run's mode (short) stays.
    window.ChooseOption(Control::source_file);
    EXPECT_EQ(Run().invalid_count, 1);

    // The 1 kB rule only when the box is ticked, not when it is greyed (2).
    std::filesystem::remove(dir / "dd.atr");
    WriteFile(dir / "small.atr", ImageBuilder().StatedLength(512).Build());
    for (const int box : {1, 2, 0}) {
        window.SetCheckValue(Control::chk_expand_images, box);
        EXPECT_EQ(Run().invalid_count, box == 1 ? 1 : 0) << box;
    }
}

TEST_F(CheckTest, ControlsProgressAndSelectionAfterTheRun) {
    for (const char* name : {"a.atr", "b.atr", "c.atr"}) {
        WriteFile(dir / name, ImageBuilder().Build());
    }
    Run();
    EXPECT_EQ(window.ProgressMaximum(), 3);
    EXPECT_EQ(window.ProgressValue(), 0);
    EXPECT_EQ(window.SelectedFileEntry(), 2);
    for (const Control c : {Control::cmd_start_test, Control::cmd_start_repair,
                            Control::source_path, Control::source_file, Control::source_dir,
                            Control::source_drive, Control::chk_expand_images}) {
        EXPECT_TRUE(window.Enabled(c));
    }
    // The count is refreshed from the directory after the run.
    WriteFile(dir / "d.atr", ImageBuilder().Build());
    Run();
    EXPECT_EQ(window.Caption(Control::source_count), "4");
}

// No 16-bit limits: more images than a signed or unsigned 16-bit count holds.
TEST_F(CheckTest, HundredThousandImagesAreCheckedWholeAndCountedRight) {
    const Bytes good = ImageBuilder().StatedLength(0).Build();
    const Bytes bad = ImageBuilder::Raw(4);
    constexpr int kImages = 100000;
    for (int i = 0; i < kImages; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "img%06d.atr", i);
        WriteFile(dir / name, i % 10 == 0 ? bad : good);
    }
    const CheckRunTotals totals = Run();
    EXPECT_EQ(totals.valid_count, 90000);
    EXPECT_EQ(totals.invalid_count, 10000);
    // Blocks of 7 lines, and 4 for each short file.
    EXPECT_EQ(state.FileReportLine(kImages + 1), 90000 * 7 + 10000 * 4);
    EXPECT_EQ(report.lines[static_cast<std::size_t>(state.FileReportLine(99999))],
              "Read  : img099998.atr");
    EXPECT_EQ(Tail(3)[0], "Invalid  ATR-files:  10000");
}

}  // namespace
}  // namespace korvane::testing
