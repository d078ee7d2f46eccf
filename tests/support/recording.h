// A report list that keeps its lines, for tests to compare line for line.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "report_sink.h"

namespace korvane::testing {

// Report lines as a test expects them, and several expected parts joined into one.
using Lines = std::vector<std::string>;
inline Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

class RecordingReport final : public ReportSink {
  public:
    void Clear() override {
        lines.clear();
        selected = -1;
    }
    void Append(const std::string& line) override { lines.push_back(line); }
    std::int64_t LineCount() const override { return static_cast<std::int64_t>(lines.size()); }
    void SelectLast() override { selected = LineCount() - 1; }

    std::vector<std::string> lines;
    std::int64_t selected = -1;
};

}  // namespace korvane::testing
