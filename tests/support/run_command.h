// Runs a program with arguments and collects its exit status, standard output and
// standard error; standard input is /dev/null, as in CI, unless another file is named.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::testing {

struct CommandResult {
    int exit_status = -1;  // 128 + the signal's number when a signal ended it
    std::string out;
    std::string err;
};

CommandResult RunCommand(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::filesystem::path& working_dir = {},
                         const std::filesystem::path& input = "/dev/null");

// Splits output into lines ended by "\n" (a last line without one is kept too).
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace korvane::testing
