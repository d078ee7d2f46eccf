#include "terminal_prompt.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <string>

#include "scripted_prompt.h"

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

}  // namespace

PromptAnswer AskOnTerminal(const Prompt& prompt) {
    const PromptAnswer unchanging = ScriptedPrompt::UnchangingAnswer(prompt);
    if (prompt.buttons == PromptButtons::Ok) {
        std::fprintf(stderr, "%s: %s\n", prompt.title.c_str(), prompt.text.c_str());
        return PromptAnswer::Ok;
    }
    if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr, "korvane-cli: \"%s\" - \"%s\" not answered (%s): %s\n",
                     prompt.title.c_str(), prompt.text.c_str(), OptionFor(prompt.topic),
                     AnswerName(unchanging));
        return unchanging;
    }
    // The report is buffered; the user must see the image's block before its question.
    std::fflush(stdout);
    const bool with_cancel = prompt.buttons == PromptButtons::YesNoCancel;
    for (;;) {
        std::fprintf(stderr, "%s\n%s %s ", prompt.title.c_str(), prompt.text.c_str(),
                     with_cancel ? "[Y]es/[n]o/[c]ancel" : "[Y]es/[n]o");
        std::fflush(stderr);
        std::string reply;
        int c;
        while ((c = std::getchar()) != EOF && c != '\n') {
            reply += static_cast<char>(c);
        }
        if (c == EOF && reply.empty()) {
            return unchanging;
        }
        const char first = reply.empty() ? 'y' : static_cast<char>(std::tolower(reply[0]));
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
