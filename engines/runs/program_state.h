// The values shared between the window's handlers and the engines.
#pragma once

#include <cstdint>
#include <vector>

#include "atr_header.h"

namespace korvane {

struct ProgramState {
    // True after "Start Repair", false after "Start Test" and "Start Conversion".
    bool repair_mode = false;
    // True while the file loop of the check or conversion engine runs.
    bool engine_running = false;
    // Entry i (1-based) is the report line where file i's block begins; entry count + 1
    // is the summary's first line. Grows to whatever a run needs.
    std::vector<std::int64_t> file_report_line = std::vector<std::int64_t>(2, 0);
    // Number of files of the last check or conversion run, for the report navigation.
    std::int64_t last_run_count = 0;
    // Layout mode of the last check run; it stays when no layout option is chosen.
    LayoutMode check_layout_mode = LayoutMode::Both;

    void SetFileReportLine(std::int64_t index, std::int64_t line) {
        if (static_cast<std::size_t>(index) >= file_report_line.size()) {
            file_report_line.resize(static_cast<std::size_t>(index) + 1, 0);
        }
        file_report_line[static_cast<std::size_t>(index)] = line;
    }
    std::int64_t FileReportLine(std::int64_t index) const {
        return static_cast<std::size_t>(index) < file_report_line.size()
                   ? file_report_line[static_cast<std::size_t>(index)]
                   : 0;
    }
};

}  // namespace korvane
