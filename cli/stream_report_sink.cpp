#include "stream_report_sink.h"

#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace korvane {

namespace {

// Milliseconds on the monotonic clock at its tick's resolution (a few ms), which is
// read without a system call: enough to hold a block back at most a twentieth of a second.
std::int64_t CoarseMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

StreamReportSink::StreamReportSink(std::FILE* out, volatile std::sig_atomic_t& stop_request)
    : fd_(::fileno(out)),
      line_by_line_(::isatty(fd_) == 1),
      stop_request_(stop_request),
      flushed_ms_(CoarseMilliseconds()) {}

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
    constexpr std::int64_t kHeldMs = 50;
    if (pending_.size() >= kGathered || CoarseMilliseconds() - flushed_ms_ >= kHeldMs) {
        Flush();
    }
}

void StreamReportSink::Flush() {
    flushed_ms_ = CoarseMilliseconds();
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
