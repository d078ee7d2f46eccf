// Runs a program with arguments and collects its exit status, standard output and
// standard error; standard input is /dev/null, as in CI, unless another file is named.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace korvane::testing {

struct CommandResult {
    int exit_status = -1;  // 128 + the signal's number when a signal ended it
    std::string out;
    std::string err;
};

inline CommandResult RunCommand(const std::filesystem::path& program,
                                const std::vector<std::string>& args,
                                const std::filesystem::path& working_dir = {},
                                const std::filesystem::path& input = "/dev/null") {
    const TempDir io;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDWR, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (io / "out").c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, (io / "err").c_str(), O_WRONLY | O_CREAT, 0600);
    if (!working_dir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());
    }
    posix_spawnattr_t attributes;  // a new session: a terminal as input becomes its own
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 127 << 8;
    if (posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ) == 0) {
        waitpid(pid, &status, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto text = [&](const char* name) {
        const Bytes bytes = ReadFile(io / name);
        return std::string(bytes.begin(), bytes.end());
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), text("out"),
            text("err")};
}

#ifdef KORVANE_CLI
// Runs korvane-cli with the words of `line`; "D" at a word's start stands for `dir`, ''
// for an empty word.
inline CommandResult RunCli(const std::string& line, const std::string& dir = "",
                            const std::filesystem::path& cwd = {}) {
    std::istringstream words(line);
    std::vector<std::string> args;
    for (std::string word; words >> word;) {
        args.push_back(word == "''" ? "" : word[0] == 'D' ? dir + word.substr(1) : word);
    }
    return RunCommand(KORVANE_CLI, args, cwd);
}
#endif

// Splits output into lines ended by "\n" (a last line without one is kept too).
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace korvane::testing
