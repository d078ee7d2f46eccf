// The report as JSON for scripts (`--json`): one object per line of output, one for each
// file's block of the report and one for the summary. The engines write their report
// lines as always; this sink reads each whole block and writes what it says as fields:
// the file's name, its sizes and layout, each finding with a stable code, the result and
// what was written. The block's own lines go along in "report".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report_sink.h"
#include "window_controls.h"

namespace korvane {

class StreamReportSink;

class JsonReportSink final : public ReportSink {
  public:
    // `command` is korvane-cli's command word; `window` lists the files of the run, whose
    // names are taken from it as bytes rather than from the report's shown names.
    JsonReportSink(StreamReportSink& out, std::string command, const WindowControls& window);
    ~JsonReportSink() override { Finish(); }
    JsonReportSink(const JsonReportSink&) = delete;
    JsonReportSink& operator=(const JsonReportSink&) = delete;
    void Clear() override { lines_ = 0; }
    void Append(const std::string& line) override;
    std::int64_t LineCount() const override { return lines_; }
    void SelectLast() override {}
    void BlockComplete() override;
    // Writes what is left of the report: at the end of a run.
    void Finish() { BlockComplete(); }

  private:
    std::string FileObject(const std::vector<std::string>& lines);
    std::string SummaryObject(const std::vector<std::string>& lines) const;

    StreamReportSink& out_;
    std::string command_;
    const WindowControls& window_;
    std::vector<std::string> block_;
    std::int64_t lines_ = 0;
    std::int64_t next_file_ = 0;  // the file list's entry the next block may be about
};

}  // namespace korvane
