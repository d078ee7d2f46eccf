// Answers for questions that no command-line option answered: asked on the terminal when
// standard input is one, otherwise the answer that changes nothing, with a note.
#pragma once

#include "user_prompt.h"

namespace korvane {

PromptAnswer AskOnTerminal(const Prompt& prompt);

}  // namespace korvane
