// What an engine run is handed: the window's controls, the report, the questions, the
// file system and the values shared with the window's handlers.
#pragma once

#include <csignal>
#include <functional>
#include <string>

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
    // Set (non-zero) by whoever wants the run to end: a batch stops after the file in hand.
    const volatile std::sig_atomic_t* stop_request = nullptr;
    // Notes about the directory rather than its files (a stale temporary file removed):
    // shown outside the report, which holds only the lines of the run's steps.
    std::function<void(const std::string&)> notice = [](const std::string&) {};
};

}  // namespace korvane
