// The commands of korvane-cli. Each sets up the plain-data window the way the window's
// start button would, runs the same engine, and returns the exit status.
#pragma once

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "json_report_sink.h"
#include "plain_window.h"
#include "stream_report_sink.h"

namespace korvane {

inline constexpr int kExitClean = 0;
inline constexpr int kExitFindings = 1;
inline constexpr int kExitCannotStart = 2;
// Some file operation (read, write, rename, remove) failed during the run.
inline constexpr int kExitFileOperationFailed = 3;
// An interrupted run exits with 128 + the signal's number: 130 (SIGINT), 143 (SIGTERM).
inline constexpr int kExitSignalBase = 128;

// The run's stop request: the number of the signal that asked the run to end, or
// kStopOutputFailed when the report could not be written.
extern volatile std::sig_atomic_t g_stop_request;

// Lets SIGINT and SIGTERM end a run after the file in hand.
void StopOnSignals();

struct CommandLine {
    std::string command;
    std::map<std::string, std::string> options;  // --name value
    std::vector<std::string> flags;              // --name without a value
    std::vector<std::string> operands;
};

int RunCheckCommand(const CommandLine& line, bool repair);
int RunConvertCommand(const CommandLine& line);
int RunGenerateCommand(const CommandLine& line);
int RunListCommand(const CommandLine& line);
int RunExtractCommand(const CommandLine& line);

// Points the plain window at the command's directory the way a start button does; on
// failure says why on standard error and returns false.
bool ApplyCommandDirectory(PlainWindow& window, const CommandLine& line);

// Writes an engine's notice (not a report line) to standard error.
void PrintNotice(const std::string& line);

// Writes the rest of the report and returns the exit status of a run that ended with
// `status`, unless its report could not be written (2; 141 when its reader has gone) or
// a signal interrupted it; each of these is said on standard error.
int FinishRun(StreamReportSink& report, int status);

// Where a command's report goes: standard output as text, or with --json as JSON.
class ReportOutput {
  public:
    ReportOutput(const CommandLine& line, const WindowControls& window);
    ReportOutput(const ReportOutput&) = delete;
    ReportOutput& operator=(const ReportOutput&) = delete;
    // The sink the engines write into.
    ReportSink& sink() { return json_ ? static_cast<ReportSink&>(json_sink_) : stream_; }
    // The text stream underneath, which a question on the terminal flushes first.
    StreamReportSink& stream() { return stream_; }
    // FinishRun for this output.
    int Finish(int status);

  private:
    StreamReportSink stream_;
    JsonReportSink json_sink_;
    bool json_;
};

// Whether the flag `flag` (e.g. "--fit") was given.
bool HasFlag(const CommandLine& line, const std::string& flag);

// The option's value, or `fallback` when the option was not given.
std::string OptionValue(const CommandLine& line, const std::string& name,
                        const std::string& fallback);

}  // namespace korvane
