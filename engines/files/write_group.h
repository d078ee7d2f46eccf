// Durable writes in groups: a batch writes the new files of several images under their
// temporary names, and brings them all to the disk with one sync. A name that needs no
// sync before it (a second name for an untouched, already durable image: its backup) is
// given just before that sync, and where the volume's sync also writes its directories
// (a local file system), that one sync makes the new files' data and those names durable
// together. Names that must first wait for the files' data (an image renamed to its
// backup name, where the volume has no hard links; a backup that replaces an old one), and
// the early names on volumes whose sync reaches no directory (FUSE, network), are made
// durable by a sync of the directory of their own. Only then do the new files take their
// real names, and the directory is synced again. Even where a power cut may keep any
// subset of the directory changes not yet synced, in any order, it leaves under a real
// name either the old file or a complete new one, and never loses an untouched image: on a
// local volume with hard links at the cost of one sync of the volume and one of the
// directory per group, instead of two syncs per file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
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

    // A waiting file, taken through the group's steps in turn; each step after a sync is
    // given its outcome.
    class Placing {
      public:
        virtual ~Placing() = default;
        // Before the files' sync: gives the names that may reach the disk before the new
        // files' data (a second name for an untouched file); true when it gave one.
        virtual bool KeepEarly() { return false; }
        // After the files' sync: undoes the early names if it failed; otherwise gives the
        // other names that must reach the disk before any new file takes its name; true
        // when it gave one.
        virtual bool Keep(const FsStatus& /*files_synced*/) { return false; }
        // After the directory's sync: gives the new file its name, or discards it.
        virtual void Name(const FsStatus& kept_synced) = 0;
        // After the directory's second sync: appends the outcome lines.
        virtual void Report(const FsStatus& names_synced) = 0;
    };
    // Adds a complete temporary file of `bytes` bytes that is to take the name `target`.
    void Defer(const std::filesystem::path& target, std::int64_t bytes, int expected_lines,
               std::unique_ptr<Placing> placing);
    // Marks `name` as one that a waiting file is to take (a backup name, say).
    void Claim(const std::filesystem::path& name);
    // Commits first when a waiting file is to take `name`, whatever its letter case: a
    // check for an existing name then sees it.
    void CommitIfWaiting(const std::filesystem::path& name);
    // Gives the early names, syncs the waiting files with one call, keeps what must wait
    // for them, syncs their directories where a name is not yet durable, names the new
    // files, syncs the directories again, and lets the held lines through with each
    // file's outcome in its place.
    void Commit();

  private:
    struct Waiting {
        int expected_lines;
        std::unique_ptr<Placing> placing;
    };
    struct Select {};
    struct BlockEnd {};
    // Syncs every directory of the group; the first failure.
    FsStatus SyncDirectories();
    FileSystem& fs_;
    ReportSink& report_;
    std::vector<std::int64_t>& block_starts_;
    // A held line: its place in `held_text_`.
    struct Line {
        std::size_t offset, size;
    };
    std::vector<std::variant<Line, Waiting, Select, BlockEnd>> held_;
    std::string held_text_;        // the held lines one after the other
    std::int64_t held_lines_ = 0;  // lines held, counting each placing as expected
    std::set<std::filesystem::path> directories_;
    std::filesystem::path last_directory_;  // the directory of the file deferred last
    // The waiting files' names (last parts), letter case folded.
    std::unordered_set<std::string> targets_;
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
