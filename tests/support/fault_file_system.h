// Any file system (the real one unless another is given) with failures on demand: a test
// names an operation, and optionally which call of it and a part of the path, and that
// call fails. Tests run as root in CI, where permissions alone cannot make an operation
// fail.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <strings.h>

#include "file_system.h"
#include "posix_file_system.h"

namespace korvane::testing {

// FileSync: a new file's data brought to the disk as it is closed; it never fails, and
// `before` sees it.
enum class FsOperation {
    Read,
    Create,
    Write,
    Close,
    Rename,
    Remove,
    Sync,
    SyncDirectory,
    FileSync
};

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
        if (before) {
            before(operation, path);
        }
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
    bool Exists(const Path& path) override { return inner_.Exists(F(path)); }
    bool IsRegularFile(const Path& path) override { return inner_.IsRegularFile(F(path)); }
    CreateResult CreateExclusive(const Path& path) override { return inner_.CreateExclusive(path); }
    LockResult LockDirectory(const Path& directory) override {
        return inner_.LockDirectory(directory);
    }
    bool LockedDirectoryReplaced(const Path& directory) override {
        return inner_.LockedDirectoryReplaced(directory);
    }
    std::unique_ptr<DirectoryLock> HoldDirectory(const Path& directory) override {
        return inner_.HoldDirectory(directory);
    }
    DirectoryFate FateOf(const Path& directory) override { return inner_.FateOf(directory); }
    std::int64_t failed_operations() const override {
        return FileSystem::failed_operations() + inner_.failed_operations();
    }
    ReadResult ReadWhole(const Path& path, std::int64_t max) override {
        return Fail(Op::Read, path) ? ReadResult{kReadError, {}} : inner_.ReadWhole(F(path), max);
    }
    OpenResult OpenRead(const Path& path) override {
        return Fail(Op::Read, path) ? OpenResult{kReadError, {}} : inner_.OpenRead(F(path));
    }
    FsStatus Length(const Path& path, std::int64_t& length) override {
        return Fail(Op::Read, path) ? kReadError : inner_.Length(F(path), length);
    }
    // With `identity_per_spelling`, each spelling of a name has an identity of its own.
    std::optional<FileIdentity> Identity(const Path& path) override {
        std::optional<FileIdentity> identity = inner_.Identity(F(path));
        if (identity && identity_per_spelling && F(path) != path) {
            identity->inode ^= std::hash<std::string>()(path.filename().native());
        }
        return identity;
    }
    std::optional<FileStamp> Stamp(const Path& path) override {
        std::optional<FileStamp> stamp = inner_.Stamp(F(path));
        if (stamp) {
            stamp->identity = *Identity(path);
        }
        return stamp;
    }
    // Its writes and closing fail by the rules for `target`.
    CreateResult CreateTemporary(const Path& target) override;
    FsStatus RenameNoReplace(const Path& from, const Path& to) override {
        return Fail(Op::Rename, to) ? kInjected : inner_.RenameNoReplace(F(from), F(to));
    }
    FsStatus LinkNoReplace(const Path& existing, const Path& to) override {
        return !hard_links ? FsStatus::Unsupported("Operation not permitted (no hard links)")
               : Fail(Op::Rename, to) ? kInjected
                                      : inner_.LinkNoReplace(F(existing), F(to));
    }
    FsStatus RenameReplacing(const Path& from, const Path& to) override {
        return Fail(Op::Rename, to) ? kInjected : inner_.RenameReplacing(F(from), F(to));
    }
    FsStatus SyncFileSystem(const Path& directory) override {
        return Fail(Op::Sync, directory) ? kInjected : inner_.SyncFileSystem(directory);
    }
    FsStatus SyncDirectory(const Path& directory) override {
        return Fail(Op::SyncDirectory, directory) ? kInjected : inner_.SyncDirectory(directory);
    }
    bool SyncFileSystemWritesNames(const Path& directory) override {
        return sync_writes_names && inner_.SyncFileSystemWritesNames(directory);
    }
    FsStatus Remove(const Path& path) override {
        return Fail(Op::Remove, path) ? kInjected : inner_.Remove(F(path));
    }

    // False: behave like a file system without hard links (FAT).
    bool hard_links = true;
    // False: a volume whose sync writes no directory (FUSE).
    bool sync_writes_names = true;
    // Like a FUSE volume (exfat-fuse, ntfs-3g): neither RENAME_NOREPLACE nor hard links.
    void WithoutNoReplaceOrLinks() {
        hard_links = false;
        posix_.WithoutNoReplaceOrLinks();
    }
    // Like one of two FUSE mounts of one directory: flocks taken through it are its own.
    void LocksOfItsOwn() { posix_.LocksOfItsOwn(); }
    // True: names match whatever their letter case, as on FAT: a name leads to the entry
    // that differs from it only in case, and a new name keeps the case it was given.
    bool fold_case = false;
    bool identity_per_spelling = false;  // as exfat-fuse gives them
    // Called before each operation, to change the directory at that moment.
    std::function<void(FsOperation, const Path&)> before;

  private:
    // The real file system, with the fallbacks of a FUSE volume on demand.
    struct Posix final : PosixFileSystem {
        void WithoutNoReplaceOrLinks() { offers_links_ = offers_noreplace_ = false; }
        void LocksOfItsOwn() { shares_flock_ = false; }
    };
    // The path a case-folding file system takes `path` to.
    Path F(const Path& path) const {
        std::error_code ignored;
        const Path directory = fold_case ? path.parent_path() : Path();
        for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
            if (strcasecmp(entry.path().filename().c_str(), path.filename().c_str()) == 0) {
                return entry.path();
            }
        }
        return path;
    }
    inline static const FsStatus kInjected = FsStatus::Fail("injected failure");
    inline static const FsStatus kReadError = FsStatus::Fail("Input/output error (injected)");

    // Whether the call fails, counted among the failed operations when it does.
    bool Fail(Op operation, const Path& path) {
        return ShouldFail(operation, path) != nullptr && !Counted(kInjected).ok();
    }
    std::vector<Rule> rules_;
    Posix posix_;
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
        durable ? void(owner_.ShouldFail(FsOperation::FileSync, shown_)) : void();
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
