// Durable writes in groups: a batch writes the new files of several images under their
// temporary names, brings them all to the disk with one sync, and only then gives each
// its real name and syncs the directory once. A crash at any instant leaves under a real
// name either the old file or a complete new one, at the cost of one sync per group
// instead of two per file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "file_system.h"
#include "report_sink.h"
#include "user_prompt.h"

namespace korvane {

// Stands between a batch and its report: while files of the group wait for their names,
// the report lines that follow them are held, so that each file's block keeps its order.
class WriteGroup final : public ReportSink {
  public:
    // Placings run after the group's sync; each appends `expected_lines` report lines in
    // the usual case, and where it appends more, the recorded block starts in
    // `block_starts` that lie behind it move down.
    WriteGroup(FileSystem& fs, ReportSink& report, std::vector<std::int64_t>& block_starts)
        : fs_(fs), report_(report), block_starts_(block_starts) {}
    ~WriteGroup() override { Commit(); }
    WriteGroup(const WriteGroup&) = delete;
    WriteGroup& operator=(const WriteGroup&) = delete;

    void Clear() override;
    void Append(const std::string& line) override;
    std::int64_t LineCount() const override;
    void SelectLast() override;
    void BlockComplete() override;

    // Called with the outcome of the group's sync: on success gives the file its name,
    // otherwise discards it; either way appends its outcome lines.
    using Place = std::function<void(const FsStatus& synced)>;
    // Adds a complete temporary file of `bytes` bytes that is to take the name `target`.
    void Defer(const std::filesystem::path& target, std::int64_t bytes, int expected_lines,
               Place place);
    // Marks `name` as one that a waiting file is to take (a backup name, say).
    void Claim(const std::filesystem::path& name);
    // Commits first when a waiting file is to take `name`, whatever its letter case: a
    // check for an existing name then sees it.
    void CommitIfWaiting(const std::filesystem::path& name);
    // Syncs the waiting files with one call, places each in order with its lines, syncs
    // their directories once, and lets the held lines through.
    void Commit();

  private:
    struct Placing {
        int expected_lines;
        Place place;
    };
    struct Select {};
    struct BlockEnd {};
    FileSystem& fs_;
    ReportSink& report_;
    std::vector<std::int64_t>& block_starts_;
    std::vector<std::variant<std::string, Placing, Select, BlockEnd>> held_;
    std::int64_t held_lines_ = 0;  // lines held, counting each placing as expected
    std::set<std::filesystem::path> directories_;
    std::set<std::string> targets_;  // the waiting files' names, letter case folded
    std::int64_t bytes_ = 0;
    std::size_t files_ = 0;
};

// The questions of a run whose files wait in a group: before a box is shown, the group is
// committed, so that the user sees the report up to the image asked about. Questions
// answered ahead (command-line options) do not break the group.
class GroupPrompt final : public UserPrompt {
  public:
    GroupPrompt(UserPrompt& prompt, WriteGroup& group) : prompt_(prompt), group_(group) {}
    PromptAnswer Ask(const Prompt& prompt) override {
        if (!prompt_.AnswersAhead(prompt.topic)) {
            group_.Commit();
        }
        return prompt_.Ask(prompt);
    }

  private:
    UserPrompt& prompt_;
    WriteGroup& group_;
};

}  // namespace korvane
