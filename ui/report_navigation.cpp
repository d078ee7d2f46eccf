// The jump from a picked file name to that file's block in the report.
#include <QPushButton>

#include "file_list_view.h"
#include "main_window.h"
#include "report_list.h"

namespace korvane {

void MainWindow::source_file_Click() {
    ReportList* report = controls_.reportlst;
    const std::int64_t lines = report->LineCount();
    const bool generator_shown = !controls_.Cmd_generation->isHidden();
    // The engines' own selections while they run, the generator's report and a repair
    // report (whose file list no longer matches its blocks) are no jump targets.
    if (generator_shown || lines < 1 || state_.repair_mode || state_.engine_running ||
        applying_engine_selection_) {
        return;
    }
    const std::int64_t k = controls_.source_file->SelectedIndex();
    if (k < 0 || k + 1 > state_.last_run_count) {
        return;
    }
    const std::int64_t block_end = state_.FileReportLine(k + 2) - 2;
    const std::int64_t block_start = state_.FileReportLine(k + 1);
    if (block_end < 0 || block_end >= lines || block_start < 0 || block_start >= lines) {
        return;
    }
    // The lower end first, then the first line: a block that fits ends up wholly in view.
    report->SelectLine(block_end);
    report->SelectLine(block_start);
}

}  // namespace korvane
