#include "terminal_prompt.h"

#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "cli_commands.h"
#include "stream_report_sink.h"

namespace korvane {

namespace {

const char* AnswerName(PromptAnswer answer) {
    switch (answer) {
        case PromptAnswer::Yes:
            return "Yes";
        case PromptAnswer::No:
            return "No";
        case PromptAnswer::Cancel:
            return "Cancel";
        case PromptAnswer::Ok:
            break;
    }
    return "OK";
}

const char* OptionFor(PromptTopic topic) {
    switch (topic) {
        case PromptTopic::SectorSize:
            return "--sector-size";
        case PromptTopic::FileLength:
            return "--fix-length";
        case PromptTopic::Layout:
            return "--fix-layout";
        case PromptTopic::OverwriteBackup:
            return "--overwrite-backup";
        case PromptTopic::MissingTemplate:
        case PromptTopic::DirectoryInUse:
            break;
    }
    return "";
}

// One line typed on the terminal, without its end; none at the end of input, or when
// SIGINT or SIGTERM asks the run to stop: then the wait ends at once.
std::optional<std::string> ReadReply() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &stops, &previous);
    std::optional<std::string> reply = std::string();
    for (;;) {
        // The stop signals come through only inside ppoll, which they end: one that came
        // before is seen here, and the read below never waits.
        if (g_stop_request != 0) {
            reply.reset();
            break;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::ppoll(&input, 1, nullptr, &previous) < 0) {
            if (errno == EINTR) {
                continue;
            }
            reply.reset();
            break;
        }
        char c = 0;
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got <= 0 || c == '\n') {
            if (got < 0 || (got == 0 && reply->empty())) {
                reply.reset();
            }
            break;
        }
        *reply += c;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return reply;
}

}  // namespace

ScriptedPrompt TerminalPrompt(StreamReportSink& report) {
    return ScriptedPrompt(
        [&report](const Prompt& prompt) {
            // The user must see the image's block before its question.
            report.Flush();
            return AskOnTerminal(prompt);
        },
        ScriptedPrompt::Record::None);
}

PromptAnswer AskOnTerminal(const Prompt& prompt) {
    const PromptAnswer unchanging = ScriptedPrompt::UnchangingAnswer(prompt);
    if (prompt.buttons == PromptButtons::Ok) {
        std::fprintf(stderr, "korvane-cli: %s: %s\n", prompt.title.c_str(), prompt.text.c_str());
        return PromptAnswer::Ok;
    }
    if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "korvane-cli: \"%s\" - \"%s\" not answered (%s): %s\n",
                     prompt.title.c_str(), prompt.text.c_str(), OptionFor(prompt.topic),
                     AnswerName(unchanging));
        return unchanging;
    }
    const bool with_cancel = prompt.buttons == PromptButtons::YesNoCancel;
    for (;;) {
        std::fprintf(stderr, "korvane-cli: %s\nkorvane-cli: %s %s ", prompt.title.c_str(),
                     prompt.text.c_str(), with_cancel ? "[Y]es/[n]o/[c]ancel" : "[Y]es/[n]o");
        std::fflush(stderr);
        const std::optional<std::string> reply = ReadReply();
        if (!reply) {
            std::fputc('\n', stderr);
            return unchanging;
        }
        const char first =
            reply->empty()
                ? 'y'
                : static_cast<char>(std::tolower(static_cast<unsigned char>((*reply)[0])));
        if (first == 'y') {
            return PromptAnswer::Yes;  // the first button is the default
        }
        if (first == 'n') {
            return PromptAnswer::No;
        }
        if (first == 'c' && with_cancel) {
            return PromptAnswer::Cancel;
        }
    }
}

}  // namespace korvane
