// ReportSink: the report list `reportlst`, a list of text lines.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

class ReportSink {
  public:
    virtual ~ReportSink() = default;
    virtual void Clear() = 0;
    virtual void Append(const std::string& line) = 0;
    virtual std::int64_t LineCount() const = 0;
    // Makes the last line the selected and visible one.
    virtual void SelectLast() = 0;
    // The lines so far end with a whole block (one file's lines, or the summary): a sink
    // that passes its lines on in groups passes them now.
    virtual void BlockComplete() {}
};

}  // namespace korvane
