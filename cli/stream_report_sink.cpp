#include "stream_report_sink.h"

namespace korvane {

void StreamReportSink::Append(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
    ++lines_;
}

}  // namespace korvane
