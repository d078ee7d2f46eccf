// korvane-cli: the suite's tools for scripts and whole archives.
#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_commands.h"
#include "program_version.h"

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  korvane-cli check    [--layout both|short|long] [--min-size|--no-min-size]\n"
    "                       [--json] DIR\n"
    "  korvane-cli repair   [--layout both|short|long] [--min-size|--no-min-size]\n"
    "                       [--sector-size 128|256|skip] [--fix-length file|header|skip]\n"
    "                       [--fix-layout add|cut|skip] [--overwrite-backup yes|no]\n"
    "                       [--json] DIR\n"
    "  korvane-cli convert  [--template FILE] [--fit] [--json] DIR\n"
    "  korvane-cli generate [--sector-size 128|256] [--sectors N] [--name NAME]\n"
    "                       [--json] DIR\n"
    "  korvane-cli list     DIR|IMAGE\n"
    "  korvane-cli extract  IMAGE [NAME...] --to DIR\n"
    "  korvane-cli --help | --version\n";

constexpr const char* kExitStatuses =
    "exit status:\n"
    "  0    nothing was wrong\n"
    "  1    some image failed its check, was repaired or was not converted, the image\n"
    "       could not be generated, a disk's file system has faults, or a file to extract\n"
    "       is not on the disk\n"
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
    {"check", {{"layout", true}, {"min-size", false}, {"no-min-size", false}, {"json", false}}},
    {"repair",
     {{"layout", true},
      {"min-size", false},
      {"no-min-size", false},
      {"sector-size", true},
      {"fix-length", true},
      {"fix-layout", true},
      {"overwrite-backup", true},
      {"json", false}}},
    {"convert", {{"template", true}, {"fit", false}, {"json", false}}},
    {"generate", {{"sector-size", true}, {"sectors", true}, {"name", true}, {"json", false}}},
    {"list", {}},
    {"extract", {{"to", true}}, true},
};

// getopt_long hands back this plus the option's index in its command's table.
constexpr int kFirstOption = 0x100;

int UsageError(const std::string& message) {
    std::fprintf(stderr, "korvane-cli: %s\n%s", message.c_str(), kUsage);
    return korvane::kExitCannotStart;
}

// Reads the options and operands after the command word; 0 when they are well formed,
// otherwise the exit status of the usage error already reported.
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
            return UsageError(std::string(argv[optind - 1]) + " needs a value");
        }
        if (found < kFirstOption) {
            // optopt holds a short option's letter; a long one is the word just passed.
            const std::string word = optopt != 0 ? std::string("-") + static_cast<char>(optopt)
                                                 : std::string(argv[optind - 1]);
            return UsageError("unknown option \"" + word + "\" for " + command.name);
        }
        const OptionEntry& entry = command.options[static_cast<std::size_t>(found - kFirstOption)];
        const std::string name = std::string("--") + entry.name;
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
        return UsageError("an image is needed");
    }
    if (!command.more_operands && line.operands.size() != 1) {
        return UsageError("exactly one directory is needed");
    }
    if (line.operands.front().empty()) {
        return UsageError("the directory must not be empty");
    }
    const auto given = [&](const char* flag) {
        return std::find(line.flags.begin(), line.flags.end(), flag) != line.flags.end();
    };
    if (given("--min-size") && given("--no-min-size")) {
        return UsageError("--min-size and --no-min-size exclude each other");
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
        std::fputs(kUsage, stdout);
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
        return status;
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
