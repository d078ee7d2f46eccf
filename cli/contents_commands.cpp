// korvane-cli list and extract: the disk-contents tool over a directory or one image.
#include <cstdio>

#include "cli_commands.h"
#include "contents_run.h"
#include "engine_context.h"
#include "plain_window.h"
#include "posix_file_system.h"
#include "program_location.h"
#include "report_text.h"
#include "scripted_prompt.h"
#include "stream_report_sink.h"
#include "terminal_prompt.h"

namespace korvane {

int RunListCommand(const CommandLine& line) {
    PosixFileSystem fs;
    PlainWindow window(fs);
    window.SetPattern("*.atr");
    const std::filesystem::path operand = AbsoluteDirectory(line.operands.front());
    if (fs.IsRegularFile(operand)) {
        // One image: its directory, with the file list holding it alone.
        window.ApplySingleFile(operand.parent_path(), operand.filename());
    } else if (!ApplyCommandDirectory(window, line)) {
        return kExitCannotStart;
    }
    StreamReportSink report(stdout, g_stop_request);
    ScriptedPrompt prompt = TerminalPrompt(report);
    ProgramState state;
    EngineContext context{window, report, prompt, fs, state, &g_stop_request, PrintNotice};
    const ContentsRunTotals totals = RunDiskContents(context);
    return FinishRun(report, totals.failed_file_operations > 0 ? kExitFileOperationFailed
                             : totals.damaged_count > 0        ? kExitFindings
                                                               : kExitClean);
}

int RunExtractCommand(const CommandLine& line) {
    const auto to = line.options.find("--to");
    if (to == line.options.end() || to->second.empty()) {
        std::fprintf(stderr, "korvane-cli: extract needs --to DIR\n");
        return kExitCannotStart;
    }
    PosixFileSystem fs;
    const std::filesystem::path target = AbsoluteDirectory(to->second);
    std::vector<DirectoryEntry> entries;
    if (const FsStatus listed = fs.List(target, entries); !listed.ok()) {
        std::fprintf(stderr, "korvane-cli: can not read directory %s: %s\n",
                     DisplayName(target).c_str(), listed.reason().c_str());
        return kExitCannotStart;
    }
    const std::filesystem::path image = AbsoluteDirectory(line.operands.front());
    const std::vector<std::string> wanted(line.operands.begin() + 1, line.operands.end());
    StreamReportSink report(stdout, g_stop_request);
    const ExtractTotals totals = ExtractImageFiles(image, wanted, target, report, fs);
    report.BlockComplete();
    return FinishRun(report, totals.failed_file_operations > 0     ? kExitFileOperationFailed
                             : totals.missing + totals.damaged > 0 ? kExitFindings
                                                                   : kExitClean);
}

}  // namespace korvane
