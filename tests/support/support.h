// Everything the engine tests build on: the engines' run entry points with a plain window,
// scripted answers and a recording report, images built in code, scratch directories,
// fault injection and child processes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "check_image.h"
#include "check_run.h"
#include "conversion_run.h"
#include "fault_file_system.h"
#include "plain_window.h"
#include "report_sink.h"
#include "scratch.h"
#include "scripted_prompt.h"

namespace korvane::testing {

// ATR images built in memory for tests: a header with any identifier, stated length and
// sector size, followed by data of any physical length. The header is written byte by
// byte on purpose: the tests must not share the engine's encoder.
struct Atr {
    std::int64_t stated = 92160;   // the data length the header states, rounded down to 16
    std::uint32_t sector = 128;    // the header's sector size
    std::int64_t data = -1;        // the data behind the header; -1: as stated
    std::uint8_t fill = 0;         // every data byte
    std::int64_t filled = -1;      // only so many data bytes hold `fill`, the rest zeros
    std::uint8_t reserved = 0;     // header bytes 8-15
    std::int64_t paragraphs = -1;  // the raw size field, for headers no length can express
    std::uint8_t id = 0x96;        // the identifier's first byte
};

inline std::vector<std::uint8_t> Image(const Atr& a) {
    const auto p = static_cast<std::uint32_t>(a.paragraphs >= 0 ? a.paragraphs : a.stated / 16);
    std::vector<std::uint8_t> image(16 + static_cast<std::size_t>(a.data >= 0 ? a.data : p * 16LL),
                                    a.fill);
    if (a.filled >= 0) {
        std::fill(image.begin() + 16 + a.filled, image.end(), 0);
    }
    const std::uint32_t fields[8] = {a.id,     0x02,          p,       p >> 8,
                                     a.sector, a.sector >> 8, p >> 16, p >> 24};
    for (std::size_t i = 0; i < 16; ++i) {
        image[i] = static_cast<std::uint8_t>(i < 8 ? fields[i] : a.reserved);
    }
    return image;
}

// Report lines as a test expects them, and several expected parts joined into one.
using Lines = std::vector<std::string>;
inline Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// A report list that keeps its lines, for tests to compare line for line.
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
