// What an engine run is handed: the window's controls, the report, the questions, the
// file system and the values shared with the window's handlers.
#pragma once

#include "file_system.h"
#include "program_state.h"
#include "report_sink.h"
#include "user_prompt.h"
#include "window_controls.h"

namespace korvane {

struct EngineContext {
    WindowControls& window;
    ReportSink& report;
    UserPrompt& prompt;
    FileSystem& fs;
    ProgramState& state;
};

}  // namespace korvane
