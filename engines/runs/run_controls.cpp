#include "run_controls.h"

#include <string>

#include "report_text.h"

namespace korvane {

void LockControls(WindowControls& window, std::span<const Control> controls) {
    for (const Control control : controls) {
        window.SetEnabled(control, false);
    }
}

void UnlockAndRelist(WindowControls& window, std::span<const Control> controls) {
    for (const Control control : controls) {
        window.SetEnabled(control, true);
    }
    window.RefreshFileList();
    window.SetCaption(Control::source_count, std::to_string(window.FileCount()));
    window.SetProgressValue(0);
}

bool RunFileBatch(EngineContext& context, std::span<const Control> controls,
                  const BatchFileStep& each, const std::function<void()>& summary,
                  const std::function<void()>& finish) {
    WindowControls& window = context.window;
    ProgramState& state = context.state;
    LockControls(window, controls);
    const std::int64_t count = LeadingNumber(window.Caption(Control::source_count));
    window.SetProgressRange(0, count);
    state.engine_running = true;

    const std::filesystem::path directory = window.SourcePath();
    const std::unique_ptr<DirectoryLock> held = context.fs.HoldDirectory(directory);
    const std::int64_t listed = window.FileCount();
    bool interrupted = false;
    bool gone = false;
    bool replaced = false;
    for (std::int64_t i = 1; i <= count && !interrupted && !gone && !replaced; ++i) {
        state.SetFileReportLine(i, context.report.LineCount());
        window.SetProgressValue(i);
        if (i > listed) {
            each(nullptr);
            continue;
        }
        window.SelectFileEntry(i - 1);
        const std::filesystem::path name = window.FileEntry(i - 1);
        const std::int64_t failures = context.fs.failed_operations();
        each(&name);
        // A directory held for reading is looked at every 64 files and after a file whose
        // reading failed (in a removed one every file fails); any other after each file.
        const bool look =
            held == nullptr || i % 64 == 0 || context.fs.failed_operations() != failures;
        const FileSystem::DirectoryFate fate =
            look ? context.fs.FateOf(directory) : FileSystem::DirectoryFate::Present;
        if (fate == FileSystem::DirectoryFate::Gone) {
            // Every further file would fail alike: one line instead of a block for each.
            // The summary of what was done still follows.
            context.report.Append("ERROR: The directory " + DisplayName(directory) +
                                  " is gone - the run stops");
            gone = true;
        } else if (fate == FileSystem::DirectoryFate::Replaced) {
            // Renamed away and another put in its place: the run's files stay in the
            // directory it locked, and none is written into the new one.
            context.report.Append("ERROR: The directory " + DisplayName(directory) +
                                  " was replaced by another - the run stops");
            replaced = true;
        }
        // Handed on before the stop request is read: a report that can no longer be
        // written stops the run before the next file.
        context.report.BlockComplete();
        interrupted = context.stop_request != nullptr && *context.stop_request != 0;
    }
    state.SetFileReportLine(count + 1, context.report.LineCount());
    state.last_run_count = count;
    state.engine_running = false;

    if (!interrupted) {
        summary();
        context.report.BlockComplete();
    }
    if (finish) {
        finish();
    }
    UnlockAndRelist(window, controls);
    return !interrupted;
}

}  // namespace korvane
