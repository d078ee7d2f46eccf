#include "check_run.h"

#include "check_image.h"
#include "directory_lock.h"
#include "report_text.h"
#include "run_controls.h"
#include "write_group.h"

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

void AppendClickHint(ReportSink& report, const std::string& what) {
    report.Append("");
    report.Append("Click on the filenames to see the detailed " + what + " information");
    report.SelectLast();
}

CheckRunTotals RunAtrCheck(EngineContext& outer) {
    WindowControls& window = outer.window;
    ProgramState& state = outer.state;
    const bool repair_mode = state.repair_mode;
    outer.report.Clear();
    // Repaired images wait in groups for their names; the report and the questions go
    // through the group, so that every line keeps its place.
    WriteGroup group(outer.fs, outer.report, state.file_report_line);
    GroupPrompt group_prompt(outer.prompt, group);
    EngineContext context{window,      group, group_prompt, outer.fs, state, outer.stop_request,
                          outer.notice};
    ReportSink& report = context.report;
    const std::int64_t failures_before = context.fs.failed_operations();
    std::unique_ptr<DirectoryLock> lock;
    if (repair_mode && !StartWritingRun(context, window.SourcePath(), lock)) {
        CheckRunTotals refused;
        refused.could_not_start = true;
        refused.failed_file_operations = context.fs.failed_operations() - failures_before;
        return refused;
    }

    // With no option chosen the previous run's layout mode stays.
    if (window.OptionChosen(Control::Opt_both)) {
        state.check_layout_mode = LayoutMode::Both;
    } else if (window.OptionChosen(Control::Opt_long)) {
        state.check_layout_mode = LayoutMode::Long;
    } else if (window.OptionChosen(Control::Opt_short)) {
        state.check_layout_mode = LayoutMode::Short;
    }
    CheckSettings settings;
    settings.repair_mode = repair_mode;
    settings.layout = state.check_layout_mode;
    settings.expand_small = window.CheckValue(Control::chk_expand_images) == 1;
    settings.stop_request = context.stop_request;
    settings.group = repair_mode ? &group : nullptr;

    const std::filesystem::path directory = window.SourcePath();
    const std::filesystem::path backup_dir = window.DirectoryPath();
    // Where names match whatever their letter case, the run knows its own backups by name.
    settings.written_files->folds_case = repair_mode && context.fs.FoldsCase(backup_dir);
    CheckRunTotals totals;
    ImageLocation image;
    image.backup_dir = backup_dir;
    // A repair's image paths are the directory's with the name replaced, which spares
    // taking the whole path apart again for every file; a check opens by the name.
    image.path = JoinPath(directory, "-");
    if (!repair_mode) {
        settings.directory = directory;
    }
    const auto check_one = [&](const std::filesystem::path* name) {
        if (name == nullptr) {
            return;
        }
        image.name = *name;
        // A waiting image that is to take this name (as its backup) takes it first, so
        // that the block describes the file as it then is. Only a repair run has any.
        if (repair_mode) {
            image.path.replace_filename(image.name);
            group.CommitIfWaiting(image.path);
        }
        const CheckResult result = CheckImage(image, settings, report, context.prompt, context.fs);
        if (result.count == CountClass::Valid) {
            ++totals.valid_count;
        } else if (result.count == CountClass::Invalid) {
            ++totals.invalid_count;
        }
    };
    const auto summary = [&] {
        AppendSummaryHead(report);
        if (totals.invalid_count < 1) {
            report.Append(repair_mode ? "Nothing found to repair" : "No invalid ATR-files found");
        } else {
            report.Append("Valid    ATR-files: " + SummaryCount(totals.valid_count));
            report.Append((repair_mode ? "Repaired ATR-files: " : "Invalid  ATR-files: ") +
                          SummaryCount(totals.invalid_count));
        }
        if (!repair_mode) {
            AppendClickHint(report, "test");
        }
    };
    RunFileBatch(context, kLockedControls, check_one, summary, [&] { group.Commit(); });
    totals.failed_file_operations = context.fs.failed_operations() - failures_before;
    return totals;
}

}  // namespace korvane
