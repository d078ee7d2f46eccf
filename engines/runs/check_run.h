// The check-and-repair tool's batch run over the listed ATR images.
#pragma once

#include <string>

#include "engine_context.h"

namespace korvane {

struct CheckRunTotals {
    std::int64_t valid_count = 0;
    std::int64_t invalid_count = 0;  // failing images; repaired ones in a repair run
    // Another run held the directory: this one stopped before any file.
    bool could_not_start = false;
    // File operations (list, read, write, rename, remove) that failed during the run.
    std::int64_t failed_file_operations = 0;
};

// Checks (or, with repair_mode, repairs) every file of the file list, one report block
// each, then writes the summary; reads its inputs from the window's controls.
CheckRunTotals RunAtrCheck(EngineContext& context);

// The summary's framed head, shared by the check and the conversion reports.
void AppendSummaryHead(ReportSink& report);
// The summary's last lines: an empty line and the hint that a file name shows its block
// of `what` information, selected.
void AppendClickHint(ReportSink& report, const std::string& what);

}  // namespace korvane
