#include "stream_report_sink.h"

#include <cerrno>

namespace korvane {

void StreamReportSink::Append(const std::string& line) {
    ++lines_;
    if (write_error_ != 0) {
        return;
    }
    errno = 0;
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
    // Line by line, as the window shows them.
    if (std::fflush(out_) != 0 || std::ferror(out_)) {
        write_error_ = errno != 0 ? errno : EIO;
        stop_request_ = kStopOutputFailed;
    }
}

}  // namespace korvane
