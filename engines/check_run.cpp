#include "check_run.h"

#include "check_image.h"
#include "directory_lock.h"
#include "report_text.h"
#include "run_controls.h"

namespace korvane {

namespace {

// The controls a check run locks while it goes through the files.
constexpr Control kLockedControls[] = {
    Control::cmd_start_test,    Control::cmd_start_repair, Control::source_path,
    Control::source_file,       Control::source_dir,       Control::source_drive,
    Control::chk_expand_images,
};

}  // namespace

void AppendSummaryHead(ReportSink& report) {
    report.Append("");
    report.Append(kSummaryRule);
    report.Append(kSummaryTitle);
    report.Append(kSummaryRule);
    report.Append("");
}

CheckRunTotals RunAtrCheck(EngineContext& context) {
    WindowControls& window = context.window;
    ReportSink& report = context.report;
    ProgramState& state = context.state;
    const bool repair_mode = state.repair_mode;

    LockControls(window, kLockedControls);
    const std::int64_t count = LeadingNumber(window.Caption(Control::source_count));
    window.SetProgressRange(0, count);
    report.Clear();
    const std::int64_t failures_before = context.fs.failed_operations();
    std::unique_ptr<DirectoryLock> lock;
    if (repair_mode && !StartWritingRun(context, window.SourcePath(), lock)) {
        UnlockAndRelist(window, kLockedControls);
        return {0, 0, true, context.fs.failed_operations() - failures_before};
    }
    std::int64_t valid_count = 0;
    std::int64_t invalid_count = 0;

    // With no option chosen the previous run's layout mode stays.
    if (window.OptionChosen(Control::Opt_both)) {
        state.check_layout_mode = static_cast<int>(LayoutMode::Both);
    } else if (window.OptionChosen(Control::Opt_long)) {
        state.check_layout_mode = static_cast<int>(LayoutMode::Long);
    } else if (window.OptionChosen(Control::Opt_short)) {
        state.check_layout_mode = static_cast<int>(LayoutMode::Short);
    }
    state.engine_running = true;

    CheckSettings settings;
    settings.repair_mode = repair_mode;
    settings.layout = static_cast<LayoutMode>(state.check_layout_mode);
    settings.expand_small = window.CheckValue(Control::chk_expand_images) == 1;

    const std::filesystem::path directory = window.SourcePath();
    const std::filesystem::path backup_dir = window.DirectoryPath();
    const std::int64_t listed = window.FileCount();
    for (std::int64_t i = 1; i <= count; ++i) {
        state.SetFileReportLine(i, report.LineCount());
        window.SetProgressValue(i);
        if (i > listed) {
            // The count and the list disagree only if the directory changed under us.
            continue;
        }
        window.SelectFileEntry(i - 1);
        ImageLocation image;
        image.name = window.FileEntry(i - 1);
        image.path = JoinPath(directory, image.name);
        image.backup_dir = backup_dir;
        const CheckResult result = CheckImage(image, settings, report, context.prompt, context.fs);
        if (result.count == CountClass::Valid) {
            ++valid_count;
        } else if (result.count == CountClass::Invalid) {
            ++invalid_count;
        }
    }
    state.SetFileReportLine(count + 1, report.LineCount());
    state.last_run_count = count;
    state.engine_running = false;

    AppendSummaryHead(report);
    if (invalid_count < 1) {
        report.Append(repair_mode ? "Nothing found to repair" : "No invalid ATR-files found");
    } else {
        report.Append("Valid    ATR-files: " + SummaryCount(valid_count));
        report.Append((repair_mode ? "Repaired ATR-files: " : "Invalid  ATR-files: ") +
                      SummaryCount(invalid_count));
    }
    if (!repair_mode) {
        report.Append("");
        report.Append("Click on the filenames to see the detailed test information");
        report.SelectLast();
    }

    UnlockAndRelist(window, kLockedControls);
    return {valid_count, invalid_count, false, context.fs.failed_operations() - failures_before};
}

}  // namespace korvane
