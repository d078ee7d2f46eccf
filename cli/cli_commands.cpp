#include "cli_commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "check_run.h"
#include "engine_context.h"
#include "file_system.h"
#include "plain_window.h"
#include "posix_file_system.h"
#include "program_location.h"
#include "report_text.h"
#include "scripted_prompt.h"
#include "stream_report_sink.h"
#include "terminal_prompt.h"

namespace korvane {

volatile std::sig_atomic_t g_stop_request = 0;

void StopOnSignals() {
    struct sigaction action {};
    action.sa_handler = [](int signal) { g_stop_request = signal; };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader of the report that quits (`| head`) makes the next write fail with EPIPE
    // instead of killing the run in the middle of an image.
    std::signal(SIGPIPE, SIG_IGN);
}

void PrintNotice(const std::string& line) {
    std::fprintf(stderr, "korvane-cli: %s\n", line.c_str());
}

int FinishRun(StreamReportSink& report, int status) {
    report.Flush();
    if (report.write_error() == EPIPE) {
        std::fprintf(stderr,
                     "korvane-cli: run stopped, the report's reader has gone (%s); the report "
                     "ends with the last file done\n",
                     std::strerror(EPIPE));
        return kExitSignalBase + SIGPIPE;
    }
    if (report.write_error() != 0) {
        std::fprintf(stderr, "korvane-cli: can not write the report: %s\n",
                     std::strerror(report.write_error()));
        return kExitCannotStart;
    }
    if (g_stop_request > 0) {
        std::fprintf(stderr,
                     "korvane-cli: run interrupted (%s); the report ends with the last "
                     "file done\n",
                     g_stop_request == SIGINT ? "SIGINT" : "SIGTERM");
        return kExitSignalBase + g_stop_request;
    }
    return status;
}

std::string OptionValue(const CommandLine& line, const std::string& name,
                        const std::string& fallback) {
    const auto it = line.options.find(name);
    return it == line.options.end() ? fallback : it->second;
}

bool ApplyCommandDirectory(PlainWindow& window, const CommandLine& line) {
    const std::filesystem::path directory = AbsoluteDirectory(line.operands.front());
    const FsStatus listed = window.ApplyDirectory(directory);
    if (!listed.ok()) {
        std::fprintf(stderr, "korvane-cli: can not read directory %s: %s\n",
                     DisplayName(directory).c_str(), listed.reason().c_str());
        return false;
    }
    return true;
}

ReportOutput::ReportOutput(const CommandLine& line, const WindowControls& window)
    : stream_(stdout, g_stop_request),
      json_sink_(stream_, line.command, window),
      json_(HasFlag(line, "--json")) {}

int ReportOutput::Finish(int status) {
    if (json_) {
        json_sink_.Finish();
    }
    return FinishRun(stream_, status);
}

bool HasFlag(const CommandLine& line, const std::string& flag) {
    return std::find(line.flags.begin(), line.flags.end(), flag) != line.flags.end();
}

namespace {

// Turns a command-line answer word into the button it stands for.
bool AddAnswer(ScriptedPrompt& prompt, const CommandLine& line, const std::string& option,
               PromptTopic topic, const std::map<std::string, PromptAnswer>& words) {
    const auto given = line.options.find(option);
    if (given == line.options.end()) {
        return true;
    }
    const auto word = words.find(given->second);
    if (word == words.end()) {
        std::fprintf(stderr, "korvane-cli: %s does not take \"%s\"\n", option.c_str(),
                     given->second.c_str());
        return false;
    }
    prompt.Answer(topic, word->second);
    return true;
}

}  // namespace

int RunCheckCommand(const CommandLine& line, bool repair) {
    const std::string layout = OptionValue(line, "--layout", "both");
    if (layout != "both" && layout != "short" && layout != "long") {
        std::fprintf(stderr, "korvane-cli: --layout takes both, short or long\n");
        return kExitCannotStart;
    }
    PosixFileSystem fs;
    PlainWindow window(fs);
    ReportOutput output(line, window);
    ScriptedPrompt prompt = TerminalPrompt(output.stream());
    if (repair) {
        const bool answers_ok =
            AddAnswer(prompt, line, "--sector-size", PromptTopic::SectorSize,
                      {{"128", PromptAnswer::Yes},
                       {"256", PromptAnswer::No},
                       {"skip", PromptAnswer::Cancel}}) &&
            AddAnswer(prompt, line, "--fix-length", PromptTopic::FileLength,
                      {{"file", PromptAnswer::Yes},
                       {"header", PromptAnswer::No},
                       {"skip", PromptAnswer::Cancel}}) &&
            AddAnswer(prompt, line, "--fix-layout", PromptTopic::Layout,
                      {{"add", PromptAnswer::Yes},
                       {"cut", PromptAnswer::No},
                       {"skip", PromptAnswer::Cancel}}) &&
            AddAnswer(prompt, line, "--overwrite-backup", PromptTopic::OverwriteBackup,
                      {{"yes", PromptAnswer::Yes}, {"no", PromptAnswer::No}});
        if (!answers_ok) {
            return kExitCannotStart;
        }
    }

    window.SetPattern("*.atr");
    window.KeepListAfterRuns();
    window.ChooseOption(layout == "short"  ? Control::Opt_short
                        : layout == "long" ? Control::Opt_long
                                           : Control::Opt_both);
    window.SetCheckValue(Control::chk_expand_images, HasFlag(line, "--no-min-size") ? 0 : 1);
    if (!ApplyCommandDirectory(window, line)) {
        return kExitCannotStart;
    }

    ProgramState state;
    state.repair_mode = repair;
    EngineContext context{window, output.sink(), prompt, fs, state, &g_stop_request, PrintNotice};
    const CheckRunTotals totals = RunAtrCheck(context);
    if (totals.could_not_start) {
        return kExitCannotStart;
    }
    return output.Finish(totals.failed_file_operations > 0 ? kExitFileOperationFailed
                         : totals.invalid_count > 0        ? kExitFindings
                                                           : kExitClean);
}

}  // namespace korvane
