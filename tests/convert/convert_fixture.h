// Shared set-up of the converter's and the generator's tests: a program directory with
// a template, a source directory, and an engine context over a fault-injecting file
// system, a tracking window and a recording report.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "conversion_run.h"
#include "dos2_disk.h"
#include "engine_context.h"
#include "fault_file_system.h"
#include "recording.h"
#include "scripted_prompt.h"
#include "temp_dir.h"
#include "template_builder.h"
#include "tracking_window.h"

namespace korvane::testing {

// XEX content of `length` bytes that differs from file to file; the first two bytes are
// $FF $FF like a real binary-load file unless `plain` is set.
Bytes XexBytes(std::size_t length, std::uint32_t seed, bool plain = false);

// The fail line of a converter block, written out in full.
std::string ConvertFailLine();

// Checks that `image` is `template_image` with `xex` added as AUTORUN.SYS exactly where
// DOS 2 would put it, byte for byte as the test tree's own DOS 2 writer puts it.
void ExpectImageHolds(const Bytes& image, const Bytes& template_image, const Bytes& xex);

struct ConvertFixture {
    ConvertFixture();
    void PutTemplate(const Bytes& bytes) { WriteFile(program_dir / "KELDRIX.ATR", bytes); }
    void PutXex(const std::string& name, const Bytes& bytes) {
        WriteFile(source_dir / name, bytes);
    }
    // What "Start Conversion" does: apply the source directory, then run the engine.
    ConversionRunTotals Run();
    Bytes Output(const std::string& name) const { return ReadFile(source_dir / name); }

    TempDir temp;
    std::filesystem::path program_dir;
    std::filesystem::path source_dir;
    FaultFileSystem fs;
    TrackingWindow window{fs};
    RecordingReport report;
    ScriptedPrompt prompt;
    ProgramState state;
    EngineContext context{window, report, prompt, fs, state};
    Bytes template_image;
};

}  // namespace korvane::testing
