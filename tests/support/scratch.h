// Scratch directories removed with their content, whole-file helpers, and child processes
// with their exit status and output, for the tests.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvane::testing {

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
  public:
    TempDir() {
        std::string pattern = std::filesystem::temp_directory_path() / "korvane-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

using Bytes = std::vector<std::uint8_t>;

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes))) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

// In one read: byte by byte, an unoptimised build takes seconds over a 16 MB image.
inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    Bytes bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0).read(reinterpret_cast<char*>(bytes.data()), std::ssize(bytes));
    return bytes;
}

// Every entry of a directory (hidden ones included) with its content; directories and
// links show up with an empty content. For "nothing lost, nothing left behind" checks.
inline std::map<std::string, Bytes> Snapshot(const std::filesystem::path& directory) {
    std::map<std::string, Bytes> content;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const bool file = entry.is_regular_file() && !entry.is_symlink();
        content[entry.path().filename()] = file ? ReadFile(entry.path()) : Bytes();
    }
    return content;
}

// A program run with arguments: its exit status, standard output and standard error;
// standard input is /dev/null, as in CI, unless another file is named.
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
