// Any file system (the real one unless another is given) with failures on demand: a test
// names an operation, and optionally which call of it and a part of the path, and that
// call fails. Tests run as root in CI, where permissions alone cannot make an operation
// fail.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "file_system.h"

namespace korvane::testing {

enum class FsOperation { Read, Create, Write, Close, Rename, Remove };

class FaultFileSystem final : public FileSystem {
    using Path = std::filesystem::path;
    using Op = FsOperation;

  public:
    explicit FaultFileSystem(FileSystem* inner = nullptr) : inner_(inner ? *inner : posix_) {}
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
    const Rule* ShouldFail(FsOperation operation, const Path& path) {
        for (Rule& rule : rules_) {
            if (rule.operation == operation &&
                path.native().find(rule.path_part) != std::string::npos &&
                ++rule.seen == rule.nth) {
                return &rule;
            }
        }
        return nullptr;
    }

    FsStatus List(const Path& directory, std::vector<DirectoryEntry>& entries) override {
        return inner_.List(directory, entries);
    }
    bool Exists(const Path& path) override { return inner_.Exists(path); }
    bool IsRegularFile(const Path& path) override { return inner_.IsRegularFile(path); }
    CreateResult CreateExclusive(const Path& path) override { return inner_.CreateExclusive(path); }
    LockResult LockDirectory(const Path& directory) override {
        return inner_.LockDirectory(directory);
    }
    std::int64_t failed_operations() const override {
        return FileSystem::failed_operations() + inner_.failed_operations();
    }
    ReadResult ReadWhole(const Path& path, std::int64_t max) override {
        return Fail(Op::Read, path) ? ReadResult{kReadError, {}} : inner_.ReadWhole(path, max);
    }
    OpenResult OpenRead(const Path& path) override {
        return Fail(Op::Read, path) ? OpenResult{kReadError, {}} : inner_.OpenRead(path);
    }
    FsStatus Length(const Path& path, std::int64_t& length) override {
        return Fail(Op::Read, path) ? kReadError : inner_.Length(path, length);
    }
    // Its writes and closing fail by the rules for `target`.
    CreateResult CreateTemporary(const Path& target) override;
    FsStatus RenameNoReplace(const Path& from, const Path& to) override {
        return Fail(Op::Rename, to) ? kInjected : inner_.RenameNoReplace(from, to);
    }
    FsStatus LinkNoReplace(const Path& existing, const Path& to) override {
        return !hard_links ? FsStatus::Unsupported("Operation not permitted (no hard links)")
               : Fail(Op::Rename, to) ? kInjected
                                      : inner_.LinkNoReplace(existing, to);
    }
    FsStatus RenameReplacing(const Path& from, const Path& to) override {
        return Fail(Op::Rename, to) ? kInjected : inner_.RenameReplacing(from, to);
    }
    FsStatus Remove(const Path& path) override {
        return Fail(Op::Remove, path) ? kInjected : inner_.Remove(path);
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
    PosixFileSystem posix_;
    FileSystem& inner_;
};

// Its failures are counted by the users of the file, as a real file's are.
class FaultOutputFile final : public OutputFile {
  public:
    FaultOutputFile(FaultFileSystem& owner, std::filesystem::path shown,
                    std::unique_ptr<OutputFile> real)
        : owner_(owner), shown_(std::move(shown)), real_(std::move(real)) {}

    FsStatus Write(std::span<const std::uint8_t> bytes) override {
        if (const auto* rule = owner_.ShouldFail(FsOperation::Write, shown_)) {
            real_->Write(bytes.first(std::min(rule->partial, bytes.size())));
            return FsStatus::Fail("No space left on device (injected)");
        }
        return real_->Write(bytes);
    }
    FsStatus Adopt(const FileInfo& info) override { return real_->Adopt(info); }
    FsStatus Close(bool durable) override {
        const FsStatus status = real_->Close(durable);
        return owner_.ShouldFail(FsOperation::Close, shown_) != nullptr
                   ? FsStatus::Fail("injected failure")
                   : status;
    }

  private:
    FaultFileSystem& owner_;
    std::filesystem::path shown_;
    std::unique_ptr<OutputFile> real_;
};

inline CreateResult FaultFileSystem::CreateTemporary(const Path& target) {
    if (Fail(FsOperation::Create, target)) {
        return {kInjected, nullptr, {}};
    }
    CreateResult real = inner_.CreateTemporary(target);
    if (real.status.ok()) {
        real.file = std::make_unique<FaultOutputFile>(*this, target, std::move(real.file));
    }
    return real;
}

}  // namespace korvane::testing
