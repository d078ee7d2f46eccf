// The real file system with failures on demand: a test names an operation, and
// optionally which call of it and a part of the path, and that call fails. Tests run as
// root in CI, where permissions alone cannot make an operation fail.
#pragma once

#include <string>
#include <vector>

#include "file_system.h"

namespace korvane::testing {

enum class FsOperation { Read, Create, Write, Close, Rename, Remove };

class FaultFileSystem final : public PosixFileSystem {
    using Path = std::filesystem::path;
    using Op = FsOperation;
    using Posix = PosixFileSystem;

  public:
    // Fails the `nth` call (1-based, counted per operation) of `operation` whose path
    // contains `path_part` (empty: any path). A failing write first writes `partial`
    // bytes, like a disk that fills up midway. A temporary file's creation, writes and
    // closing match on the name it stands in for; renames and links on the new name.
    void FailOn(FsOperation operation, int nth = 1, std::string path_part = {},
                std::size_t partial = 0) {
        rules_.push_back({operation, nth, 0, std::move(path_part), partial});
    }
    struct Rule {
        FsOperation operation;
        int nth, seen;
        std::string path_part;
        std::size_t partial;
    };
    // The rule that makes this call fail, or none.
    const Rule* ShouldFail(FsOperation operation, const Path& path);

    ReadResult ReadWhole(const Path& path, std::int64_t max) override {
        return Fail(Op::Read, path) ? ReadResult{kReadError, {}} : Posix::ReadWhole(path, max);
    }
    OpenResult OpenRead(const Path& path) override {
        return Fail(Op::Read, path) ? OpenResult{kReadError, {}} : Posix::OpenRead(path);
    }
    FsStatus Length(const Path& path, std::int64_t& length) override {
        return Fail(Op::Read, path) ? kReadError : Posix::Length(path, length);
    }
    // Its writes and closing fail by the rules for `target`.
    CreateResult CreateTemporary(const Path& target) override;
    FsStatus RenameNoReplace(const Path& from, const Path& to) override {
        return Fail(Op::Rename, to) ? kInjected : Posix::RenameNoReplace(from, to);
    }
    FsStatus LinkNoReplace(const Path& existing, const Path& to) override {
        return !hard_links ? FsStatus::Unsupported("Operation not permitted (no hard links)")
               : Fail(Op::Rename, to) ? kInjected
                                      : Posix::LinkNoReplace(existing, to);
    }
    FsStatus RenameReplacing(const Path& from, const Path& to) override {
        return Fail(Op::Rename, to) ? kInjected : Posix::RenameReplacing(from, to);
    }
    FsStatus Remove(const Path& path) override {
        return Fail(Op::Remove, path) ? kInjected : Posix::Remove(path);
    }

    // False: behave like a file system without hard links (FAT).
    bool hard_links = true;

  private:
    inline static const FsStatus kInjected = FsStatus::Fail("injected failure");
    inline static const FsStatus kReadError = FsStatus::Fail("Input/output error (injected)");

    // Whether the call fails, counted among the failed operations when it does.
    bool Fail(Op operation, const Path& path) {
        return ShouldFail(operation, path) != nullptr && !Counted(kInjected).ok();
    }
    std::vector<Rule> rules_;
};

}  // namespace korvane::testing
