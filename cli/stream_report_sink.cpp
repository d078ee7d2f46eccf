#include "stream_report_sink.h"

#include <unistd.h>

#include <cerrno>

namespace korvane {

StreamReportSink::StreamReportSink(std::FILE* out, volatile std::sig_atomic_t& stop_request)
    : fd_(::fileno(out)), line_by_line_(::isatty(fd_) == 1), stop_request_(stop_request) {}

void StreamReportSink::Append(const std::string& line) {
    ++lines_;
    if (write_error_ != 0) {
        return;
    }
    pending_ += line;
    pending_ += '\n';
    if (line_by_line_) {
        Flush();
    }
}

void StreamReportSink::BlockComplete() {
    constexpr std::size_t kGathered = 64 * 1024;
    constexpr auto kHeld = std::chrono::milliseconds(50);
    if (pending_.size() >= kGathered || std::chrono::steady_clock::now() - flushed_ >= kHeld) {
        Flush();
    }
}

void StreamReportSink::Flush() {
    flushed_ = std::chrono::steady_clock::now();
    std::size_t done = 0;
    while (write_error_ == 0 && done < pending_.size()) {
        const ssize_t written = ::write(fd_, pending_.data() + done, pending_.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written == 0 || errno != EINTR) {
            write_error_ = written < 0 ? errno : EIO;
            stop_request_ = kStopOutputFailed;
        }
    }
    pending_.clear();
}

}  // namespace korvane
