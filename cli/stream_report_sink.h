// The report list of the command-line tool: each line goes to standard output as soon
// as the engine appends it, so a long run over an archive shows progress and keeps
// little in memory.
#pragma once

#include <cstdio>

#include "report_sink.h"

namespace korvane {

class StreamReportSink final : public ReportSink {
  public:
    explicit StreamReportSink(std::FILE* out) : out_(out) {}
    // The engines clear the report only before their first line; lines already written
    // cannot be taken back from a stream, so clearing only restarts the count.
    void Clear() override { lines_ = 0; }
    void Append(const std::string& line) override;
    std::int64_t LineCount() const override { return lines_; }
    void SelectLast() override {}

  private:
    std::FILE* out_;
    std::int64_t lines_ = 0;
};

}  // namespace korvane
