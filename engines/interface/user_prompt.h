// UserPrompt: the modal message boxes through which an engine asks the user.
#pragma once

#include <string>

namespace korvane {

enum class PromptButtons { YesNoCancel, YesNo, Ok };
enum class PromptIcon { Question, Critical };
enum class PromptAnswer { Yes, No, Cancel, Ok };
// Which question a box asks, so that answers can be given ahead (command-line options,
// tests) without matching on the text.
enum class PromptTopic {
    SectorSize,
    FileLength,
    Layout,
    OverwriteBackup,
    MissingTemplate,
    DirectoryInUse,  // another run writes into the directory
};

struct Prompt {
    PromptTopic topic = PromptTopic::MissingTemplate;
    std::string title;
    std::string text;
    PromptIcon icon = PromptIcon::Question;
    PromptButtons buttons = PromptButtons::Ok;
    // More for a reader who asks for it, such as the full path of a missing file.
    std::string detail = {};
    // The first button is always the default one.
};

class UserPrompt {
  public:
    virtual ~UserPrompt() = default;
    // Shows the box and returns the button pressed; closing a three-button box is Cancel.
    virtual PromptAnswer Ask(const Prompt& prompt) = 0;
    // Whether a question of `topic` is answered without showing anything to the user.
    virtual bool AnswersAhead(PromptTopic /*topic*/) const { return false; }
};

}  // namespace korvane
