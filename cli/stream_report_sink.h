// The report list of the command-line tool, written to standard output as the engine
// appends it: on a terminal line by line, so that a long run shows its progress;
// otherwise whole blocks (one file's lines, or the summary) at a time, gathered up to
// 64 kB or a twentieth of a second, so that a file or pipe gets few large writes, soon,
// and never a block cut short by an interruption. A line that can not be written stops
// the run.
#pragma once

#include <csignal>
#include <cstdio>
#include <string>

#include "report_sink.h"

namespace korvane {

// What the sink stores into the run's stop request when a line can not be written.
inline constexpr std::sig_atomic_t kStopOutputFailed = -1;

class StreamReportSink final : public ReportSink {
  public:
    StreamReportSink(std::FILE* out, volatile std::sig_atomic_t& stop_request);
    ~StreamReportSink() override { Flush(); }
    StreamReportSink(const StreamReportSink&) = delete;
    StreamReportSink& operator=(const StreamReportSink&) = delete;
    // The engines clear the report only before their first line; lines already written
    // cannot be taken back from a stream, so clearing only restarts the count.
    void Clear() override { lines_ = 0; }
    void Append(const std::string& line) override;
    std::int64_t LineCount() const override { return lines_; }
    void SelectLast() override {}
    void BlockComplete() override;
    // Writes the lines held back, if any: before a question, and at the end of a run.
    void Flush();
    // The error of the first line that could not be written, or 0.
    int write_error() const { return write_error_; }

  private:
    int fd_;
    bool line_by_line_;
    volatile std::sig_atomic_t& stop_request_;
    std::string pending_;
    std::int64_t flushed_ms_;  // when the last write went out, on the coarse clock
    std::int64_t lines_ = 0;
    int write_error_ = 0;
};

}  // namespace korvane
