// A UserPrompt whose answers are given ahead, one per question topic: the command-line
// options and the tests answer through it. A topic without an answer goes to `fallback`.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "user_prompt.h"

namespace korvane {

class ScriptedPrompt final : public UserPrompt {
  public:
    using Fallback = std::function<PromptAnswer(const Prompt&)>;
    // Whether every box asked is kept for asked(). A run over a whole archive keeps none:
    // one question per image would otherwise hold a few hundred bytes per image.
    enum class Record { Every, None };

    explicit ScriptedPrompt(Fallback fallback = nullptr, Record record = Record::Every)
        : fallback_(std::move(fallback)), record_(record) {}

    void Answer(PromptTopic topic, PromptAnswer answer) { answers_[topic] = answer; }

    PromptAnswer Ask(const Prompt& prompt) override {
        if (record_ == Record::Every) {
            asked_.push_back(prompt);
        }
        const auto it = answers_.find(prompt.topic);
        if (it != answers_.end()) {
            return it->second;
        }
        return fallback_ ? fallback_(prompt) : UnchangingAnswer(prompt);
    }

    bool AnswersAhead(PromptTopic topic) const override {
        return answers_.count(topic) != 0 || !fallback_;
    }

    // Every box shown so far, in order, where they are kept.
    const std::vector<Prompt>& asked() const { return asked_; }

    // The answer that changes nothing: Cancel, No for a Yes/No box, OK for a message.
    static PromptAnswer UnchangingAnswer(const Prompt& prompt) {
        switch (prompt.buttons) {
            case PromptButtons::YesNoCancel:
                return PromptAnswer::Cancel;
            case PromptButtons::YesNo:
                return PromptAnswer::No;
            case PromptButtons::Ok:
                break;
        }
        return PromptAnswer::Ok;
    }

  private:
    Fallback fallback_;
    Record record_;
    std::map<PromptTopic, PromptAnswer> answers_;
    std::vector<Prompt> asked_;
};

}  // namespace korvane
