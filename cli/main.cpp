// korvane-cli: the suite's tools for scripts and whole archives.
#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "program_version.h"

namespace {

// Each command's usage lines; the last entry is the tool's own.
struct Usage {
    const char* command;
    const char* lines;
};
constexpr Usage kUsages[] = {
    {"check",
     "korvane-cli check    [--layout both|short|long] [--min-size|--no-min-size]\n"
     "                     [--json] DIR\n"},
    {"repair",
     "korvane-cli repair   [--layout both|short|long] [--min-size|--no-min-size]\n"
     "                     [--sector-size 128|256|skip] [--fix-length file|header|skip]\n"
     "                     [--fix-layout add|cut|skip] [--overwrite-backup yes|no]\n"
     "                     [--json] DIR\n"},
    {"convert", "korvane-cli convert  [--template FILE] [--fit] [--json] DIR\n"},
    {"generate",
     "korvane-cli generate [--sector-size 128|256] [--sectors N] [--name NAME]\n"
     "                     [--format dos2|dos25|mydos] [--json] DIR\n"},
    {"list", "korvane-cli list     DIR|IMAGE\n"},
    {"extract", "korvane-cli extract  IMAGE [NAME...] --to DIR\n"},
    {"", "korvane-cli --help | --version\n"},
};

// The usage of `command`, or of every command when it is empty, each line begun with
// `prefix`.
std::string UsageText(const std::string& command, const char* prefix) {
    std::string text = std::string(prefix) + "usage:\n";
    for (const Usage& usage : kUsages) {
        if (!command.empty() && command != usage.command) {
            continue;
        }
        for (const char* line = usage.lines; *line != '\0';) {
            const char* end = std::strchr(line, '\n');
            text += std::string(prefix) + "  " + std::string(line, end + 1);
            line = end + 1;
        }
    }
    return text;
}

constexpr const char* kExitStatuses =
    "exit status:\n"
    "  0    nothing was wrong\n"
    "  1    some image failed its check, was repaired or was not converted, or the image\n"
    "       could not be generated\n"
    "  2    usage error, a run that could not start, or a report that could not be written\n"
    "  3    some file operation (read, write, rename, remove) failed during the run\n"
    "  130  interrupted by SIGINT, after the image in hand\n"
    "  143  interrupted by SIGTERM, after the image in hand\n"
    "  141  the report's reader has gone (a closed pipe), after the image in hand\n";

struct OptionEntry {
    const char* name;  // without the leading "--"
    bool takes_value;
};

struct CommandOptions {
    const char* name;
    std::vector<OptionEntry> options;
    // The operands after the image: the names of extract.
    bool more_operands = false;
};

const CommandOptions kCommands[] = {
    {"check",
     {{"help", false},
      {"layout", true},
      {"min-size", false},
      {"no-min-size", false},
      {"json", false}}},
    {"repair",
     {{"help", false},
      {"layout", true},
      {"min-size", false},
      {"no-min-size", false},
      {"sector-size", true},
      {"fix-length", true},
      {"fix-layout", true},
      {"overwrite-backup", true},
      {"json", false}}},
    {"convert", {{"help", false}, {"template", true}, {"fit", false}, {"json", false}}},
    {"generate",
     {{"help", false},
      {"sector-size", true},
      {"sectors", true},
      {"name", true},
      {"format", true},
      {"json", false}}},
    {"list", {{"help", false}}},
    {"extract", {{"help", false}, {"to", true}}, true},
};

// getopt_long hands back this plus the option's index in its command's table.
constexpr int kFirstOption = 0x100;
// ParseArguments' result when a command's usage was asked for and shown.
constexpr int kHelpShown = -1;

// Says what is wrong and the usage of `command` (of all commands when empty) on standard
// error, every line marked as the tool's.
int UsageError(const std::string& message, const std::string& command = "") {
    std::fprintf(stderr, "korvane-cli: %s\n%s", message.c_str(),
                 UsageText(command, "korvane-cli: ").c_str());
    return korvane::kExitCannotStart;
}

// Reads the options and operands after the command word; 0 when they are well formed,
// kHelpShown after "--help", otherwise the exit status of the usage error already reported.
int ParseArguments(const CommandOptions& command, int argc, char** argv,
                   korvane::CommandLine& line) {
    std::vector<option> table;
    for (std::size_t i = 0; i < command.options.size(); ++i) {
        const OptionEntry& entry = command.options[i];
        table.push_back({entry.name, entry.takes_value ? required_argument : no_argument, nullptr,
                         kFirstOption + static_cast<int>(i)});
    }
    table.push_back({nullptr, 0, nullptr, 0});

    // argv[0] is the command word; the leading ":" reports a missing value apart from
    // an unknown option, and opterr = 0 leaves the messages to us.
    opterr = 0;
    optind = 1;
    for (;;) {
        const int found = getopt_long(argc, argv, ":", table.data(), nullptr);
        if (found == -1) {
            break;
        }
        if (found == ':') {
            return UsageError(std::string(argv[optind - 1]) + " needs a value", command.name);
        }
        // A known option given a value it does not take ("--fit=yes") comes back with its
        // own number in optopt.
        if (found == '?' && optopt >= kFirstOption) {
            const OptionEntry& entry =
                command.options[static_cast<std::size_t>(optopt - kFirstOption)];
            return UsageError(std::string("--") + entry.name + " takes no value", command.name);
        }
        if (found < kFirstOption) {
            // optopt holds a short option's letter; a long one is the word just passed.
            const std::string word = optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                                 : std::string(argv[optind - 1]);
            return UsageError("unknown option \"" + word + "\" for " + command.name, command.name);
        }
        const OptionEntry& entry = command.options[static_cast<std::size_t>(found - kFirstOption)];
        const std::string name = std::string("--") + entry.name;
        if (name == "--help") {
            std::fputs(UsageText(command.name, "").c_str(), stdout);
            std::fputs(kExitStatuses, stdout);
            return kHelpShown;
        }
        if (entry.takes_value) {
            line.options[name] = optarg;
        } else {
            line.flags.push_back(name);
        }
    }
    for (int i = optind; i < argc; ++i) {
        line.operands.emplace_back(argv[i]);
    }
    if (command.more_operands && line.operands.empty()) {
        return UsageError("an image is needed", command.name);
    }
    if (!command.more_operands && line.operands.size() != 1) {
        return UsageError("exactly one directory is needed", command.name);
    }
    if (line.operands.front().empty()) {
        return UsageError("the directory must not be empty", command.name);
    }
    const auto given = [&](const char* flag) {
        return std::find(line.flags.begin(), line.flags.end(), flag) != line.flags.end();
    };
    if (given("--min-size") && given("--no-min-size")) {
        return UsageError("--min-size and --no-min-size exclude each other", command.name);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return UsageError("no command given");
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
        std::fputs(UsageText("", "").c_str(), stdout);
        std::fputs(kExitStatuses, stdout);
        return korvane::kExitClean;
    }
    if (first == "--version") {
        std::printf("korvane-cli %s\n", korvane::kVersionText);
        return korvane::kExitClean;
    }
    const CommandOptions* command = nullptr;
    for (const CommandOptions& candidate : kCommands) {
        if (first == candidate.name) {
            command = &candidate;
        }
    }
    if (command == nullptr) {
        return UsageError("unknown command \"" + first + "\"");
    }

    korvane::CommandLine line;
    line.command = first;
    if (const int status = ParseArguments(*command, argc - 1, argv + 1, line); status != 0) {
        return status == kHelpShown ? korvane::kExitClean : status;
    }
    korvane::StopOnSignals();
    if (line.command == "check" || line.command == "repair") {
        return korvane::RunCheckCommand(line, line.command == "repair");
    }
    if (line.command == "convert") {
        return korvane::RunConvertCommand(line);
    }
    if (line.command == "list") {
        return korvane::RunListCommand(line);
    }
    if (line.command == "extract") {
        return korvane::RunExtractCommand(line);
    }
    return korvane::RunGenerateCommand(line);
}
