// korvane-cli: the suite's three tools for scripts and whole archives.
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "cli_commands.h"

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  korvane-cli check    [--layout both|short|long] [--min-size|--no-min-size] DIR\n"
    "  korvane-cli repair   [--layout both|short|long] [--min-size|--no-min-size]\n"
    "                       [--sector-size 128|256|skip] [--fix-length file|header|skip]\n"
    "                       [--fix-layout add|cut|skip] [--overwrite-backup yes|no] DIR\n"
    "  korvane-cli convert  [--template FILE] DIR\n"
    "  korvane-cli generate [--sector-size 128|256] [--sectors N] [--name NAME] DIR\n"
    "  korvane-cli --help | --version\n";

struct CommandSpec {
    const char* name;
    std::set<std::string> value_options;
    std::set<std::string> flags;
};

const CommandSpec kCommands[] = {
    {"check", {"--layout"}, {"--min-size", "--no-min-size"}},
    {"repair",
     {"--layout", "--sector-size", "--fix-length", "--fix-layout", "--overwrite-backup"},
     {"--min-size", "--no-min-size"}},
    {"convert", {"--template"}, {}},
    {"generate", {"--sector-size", "--sectors", "--name"}, {}},
};

int UsageError(const std::string& message) {
    std::fprintf(stderr, "korvane-cli: %s\n%s", message.c_str(), kUsage);
    return korvane::kExitCannotStart;
}

}  // namespace

int main(int argc, char** argv) {
    static char out_buffer[1 << 16];
    std::setvbuf(stdout, out_buffer, _IOFBF, sizeof out_buffer);

    if (argc < 2) {
        return UsageError("no command given");
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
        std::fputs(kUsage, stdout);
        return korvane::kExitClean;
    }
    if (first == "--version") {
        std::puts("korvane-cli 2.0.16");
        return korvane::kExitClean;
    }
    const CommandSpec* command = nullptr;
    for (const CommandSpec& candidate : kCommands) {
        if (first == candidate.name) {
            command = &candidate;
        }
    }
    if (command == nullptr) {
        return UsageError("unknown command \"" + first + "\"");
    }

    korvane::CommandLine line;
    line.command = first;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") {
            for (++i; i < argc; ++i) {
                line.operands.emplace_back(argv[i]);
            }
            break;
        }
        if (word.size() > 1 && word[0] == '-') {
            if (command->flags.count(word) != 0) {
                line.flags.push_back(word);
            } else if (command->value_options.count(word) != 0) {
                if (i + 1 >= argc) {
                    return UsageError(word + " needs a value");
                }
                line.options[word] = argv[++i];
            } else {
                return UsageError("unknown option \"" + word + "\" for " + first);
            }
            continue;
        }
        line.operands.push_back(word);
    }
    if (line.operands.size() != 1) {
        return UsageError("exactly one directory is needed");
    }

    if (line.command == "check" || line.command == "repair") {
        return korvane::RunCheckCommand(line, line.command == "repair");
    }
    if (line.command == "convert") {
        return korvane::RunConvertCommand(line);
    }
    if (line.command == "generate") {
        return korvane::RunGenerateCommand(line);
    }
    return UsageError("unknown command \"" + first + "\"");
}
