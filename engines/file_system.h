// FileSystem: every file operation of the engines goes through this small seam, so that
// tests can make any single operation fail and check what is left in the directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace korvane {

// Outcome of a file operation: ok, or failed with a short reason for the report.
class FsStatus {
  public:
    static FsStatus Ok() { return FsStatus(); }
    static FsStatus Fail(std::string reason) { return FsStatus(std::move(reason)); }
    // The file system cannot do this at all (hard links on FAT, for one).
    static FsStatus Unsupported(std::string reason) {
        FsStatus status(std::move(reason));
        status.unsupported_ = true;
        return status;
    }
    bool ok() const { return !failed_; }
    bool unsupported() const { return unsupported_; }
    const std::string& reason() const { return reason_; }

  private:
    FsStatus() = default;
    explicit FsStatus(std::string reason) : failed_(true), reason_(std::move(reason)) {}
    bool failed_ = false;
    bool unsupported_ = false;
    std::string reason_;
};

struct DirectoryEntry {
    std::filesystem::path name;
    bool regular_file = false;  // a regular file, or a link that leads to one
};

struct ReadResult {
    FsStatus status = FsStatus::Ok();
    std::vector<std::uint8_t> bytes;
};

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual FsStatus Write(std::span<const std::uint8_t> bytes) = 0;
    // Flushes and closes; with `durable` the data reaches the disk before it returns.
    virtual FsStatus Close(bool durable) = 0;
};

struct CreateResult {
    FsStatus status = FsStatus::Ok();
    std::unique_ptr<OutputFile> file;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual FsStatus List(const std::filesystem::path& directory,
                          std::vector<DirectoryEntry>& entries) = 0;
    // Reads a whole file; a file longer than `max_length` is refused unread.
    virtual ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) = 0;
    // Anything of that name: file, directory or link, dangling or not.
    virtual bool Exists(const std::filesystem::path& path) = 0;
    // A regular file, or a link that leads to one.
    virtual bool IsRegularFile(const std::filesystem::path& path) = 0;
    // Creates a new file; fails when anything of that name exists.
    virtual CreateResult CreateExclusive(const std::filesystem::path& path) = 0;
    // Renames without ever replacing: fails when `to` exists.
    virtual FsStatus RenameNoReplace(const std::filesystem::path& from,
                                     const std::filesystem::path& to) = 0;
    // Gives an existing file a second name; fails when `to` exists. A file system
    // without hard links (the default here) answers unsupported.
    virtual FsStatus LinkNoReplace(const std::filesystem::path& /*existing*/,
                                   const std::filesystem::path& /*to*/) {
        return FsStatus::Unsupported("no hard links");
    }
    // Renames in one step, replacing what `to` names; only used after a hard link.
    virtual FsStatus RenameReplacing(const std::filesystem::path& /*from*/,
                                     const std::filesystem::path& /*to*/) {
        return FsStatus::Unsupported("no replacing rename");
    }
    virtual FsStatus Remove(const std::filesystem::path& path) = 0;
};

// The operating system's file system.
class PosixFileSystem final : public FileSystem {
  public:
    FsStatus List(const std::filesystem::path& directory,
                  std::vector<DirectoryEntry>& entries) override;
    ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) override;
    bool Exists(const std::filesystem::path& path) override;
    bool IsRegularFile(const std::filesystem::path& path) override;
    CreateResult CreateExclusive(const std::filesystem::path& path) override;
    FsStatus RenameNoReplace(const std::filesystem::path& from,
                             const std::filesystem::path& to) override;
    FsStatus LinkNoReplace(const std::filesystem::path& existing,
                           const std::filesystem::path& to) override;
    FsStatus RenameReplacing(const std::filesystem::path& from,
                             const std::filesystem::path& to) override;
    FsStatus Remove(const std::filesystem::path& path) override;
};

// Name of the hidden temporary file beside `target` that a new file is written under
// before it is renamed into place.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& target);

// Writes a complete new file at `target` without ever leaving a partial one behind and
// without replacing anything that appeared meanwhile: the bytes go to a temporary name in
// the same directory, which is then renamed into place. `write_body` writes the content;
// on any failure the temporary file is removed and the reason returned.
FsStatus WriteNewFile(FileSystem& fs, const std::filesystem::path& target,
                      const std::function<FsStatus(OutputFile&)>& write_body, bool durable = false);

}  // namespace korvane
