// Answers for questions that no command-line option answered: asked on the terminal when
// standard input is one, otherwise the answer that changes nothing, with a note.
#pragma once

#include "scripted_prompt.h"
#include "user_prompt.h"

namespace korvane {

// A question is asked on the terminal only while no stop is requested: SIGINT or SIGTERM
// ends the wait at once, and the question gets the answer that changes nothing.
PromptAnswer AskOnTerminal(const Prompt& prompt);

class StreamReportSink;
// The questions of a command: those that no option answers go to AskOnTerminal, after
// the report's lines held back so far are written.
ScriptedPrompt TerminalPrompt(StreamReportSink& report);

}  // namespace korvane
