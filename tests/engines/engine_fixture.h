// The engines as the start buttons run them, over a scratch directory: one image checked
// alone, or the whole batch with the window's options as they stand.
#pragma once

#include "report_text.h"
#include "support.h"

namespace korvane::testing {

class Engine : public ::testing::Test {
  protected:
    CheckResult CheckFile(const std::string& name, const Bytes& bytes) {
        WriteFile(dir / name, bytes);
        return CheckImage({name, dir / name, dir.path()}, settings, report, prompt, *fs);
    }
    // The batch as the start buttons run it, with the window's options as they stand.
    CheckRunTotals RunBatch(bool repair_mode) {
        EXPECT_TRUE(window.ApplyDirectory(dir.path()).ok());
        state.repair_mode = repair_mode;
        EngineContext context{window, report, prompt, *fs, state};
        return RunAtrCheck(context);
    }
    Lines Tail(std::size_t n) const { return Lines(report.lines.end() - n, report.lines.end()); }

    TempDir dir;
    CheckSettings settings{true, LayoutMode::Both, false};
    ScriptedPrompt prompt;
    RecordingReport report;
    PosixFileSystem posix;
    FileSystem* fs = &posix;
    PlainWindow window{posix};
    ProgramState state;
};

}  // namespace korvane::testing
