// The commands of korvane-cli. Each sets up the plain-data window the way the window's
// start button would, runs the same engine, and returns the exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "plain_window.h"

namespace korvane {

inline constexpr int kExitClean = 0;
inline constexpr int kExitFindings = 1;
inline constexpr int kExitCannotStart = 2;

struct CommandLine {
    std::string command;
    std::map<std::string, std::string> options;  // --name value
    std::vector<std::string> flags;              // --name without a value
    std::vector<std::string> operands;
};

int RunCheckCommand(const CommandLine& line, bool repair);
int RunConvertCommand(const CommandLine& line);
int RunGenerateCommand(const CommandLine& line);

// Points the plain window at the command's directory the way a start button does; on
// failure says why on standard error and returns false.
bool ApplyCommandDirectory(PlainWindow& window, const CommandLine& line);

// The option's value, or `fallback` when the option was not given.
std::string OptionValue(const CommandLine& line, const std::string& name,
                        const std::string& fallback);

}  // namespace korvane
