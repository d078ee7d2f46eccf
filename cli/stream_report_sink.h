// The report list of the command-line tool: each line goes to standard output as soon
// as the engine appends it, so a long run over an archive shows progress and keeps
// little in memory. A line that can not be written stops the run.
#pragma once

#include <csignal>
#include <cstdio>

#include "report_sink.h"

namespace korvane {

// What the sink stores into the run's stop request when a line can not be written.
inline constexpr std::sig_atomic_t kStopOutputFailed = -1;

class StreamReportSink final : public ReportSink {
  public:
    StreamReportSink(std::FILE* out, volatile std::sig_atomic_t& stop_request)
        : out_(out), stop_request_(stop_request) {}
    // The engines clear the report only before their first line; lines already written
    // cannot be taken back from a stream, so clearing only restarts the count.
    void Clear() override { lines_ = 0; }
    void Append(const std::string& line) override;
    std::int64_t LineCount() const override { return lines_; }
    void SelectLast() override {}
    // The error of the first line that could not be written, or 0.
    int write_error() const { return write_error_; }

  private:
    std::FILE* out_;
    volatile std::sig_atomic_t& stop_request_;
    std::int64_t lines_ = 0;
    int write_error_ = 0;
};

}  // namespace korvane
