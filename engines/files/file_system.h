// FileSystem: every file operation of the engines goes through this small seam, so that
// tests can make any single operation fail and check what is left in the directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "large_buffer.h"

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
    bool type_unknown = false;  // its type could not be read
};

struct ReadResult {
    FsStatus status = FsStatus::Ok();
    std::vector<std::uint8_t> bytes;
};

// Which file a name leads to, whatever the name's letter case: its device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// What fstat tells of a file opened for reading; a repaired image takes over its mode
// and owner.
struct FileInfo {
    std::int64_t length = 0;
    std::uint32_t mode = 0644;
    std::int64_t owner = -1;  // -1: unknown, left as it is
    std::int64_t group = -1;
    std::optional<FileIdentity> identity;  // of the file opened, where the system tells it
};

// A file's identity with what changes when its content does: two stamps of one name that
// differ tell that the file was replaced or written meanwhile.
struct FileStamp {
    FileIdentity identity;
    std::int64_t length = 0;
    std::int64_t modified_ns = 0;
    std::int64_t changed_ns = 0;
    bool operator==(const FileStamp&) const = default;
};

class InputFile {
  public:
    virtual ~InputFile() = default;
    virtual const FileInfo& info() const = 0;
    // Reads up to `bytes.size()` bytes from `offset`; fewer only at the end of the file.
    virtual FsStatus ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes,
                            std::size_t& got) = 0;
};

struct OpenResult {
    FsStatus status = FsStatus::Ok();
    std::unique_ptr<InputFile> file;
};

// Reads `file` from its start to its end into `bytes`, whose memory is reused: to the end
// even if the length changed since it was opened, but never past `max_length`.
FsStatus ReadToEnd(InputFile& file, std::int64_t max_length, std::vector<std::uint8_t>& bytes);
FsStatus ReadToEnd(InputFile& file, std::int64_t max_length,
                   std::vector<std::uint8_t, FillAllocator<std::uint8_t>>& bytes);

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual FsStatus Write(std::span<const std::uint8_t> bytes) = 0;
    // Gives the file the mode of `info`, and its owner and group where the process may.
    virtual FsStatus Adopt(const FileInfo& /*info*/) { return FsStatus::Ok(); }
    // The new file's identity, where adopting learned it; none: ask by its name.
    virtual std::optional<FileIdentity> Identity() const { return std::nullopt; }
    // Appends bytes `from` to `to` of `source`, then `zeros` zero bytes; `copied` tells how
    // many of the source's bytes came (fewer when it ended before `to`). Through a buffer
    // here; a file system may copy inside the kernel and leave holes for the zeros.
    virtual FsStatus CopyFrom(InputFile& source, std::int64_t from, std::int64_t to,
                              std::int64_t zeros, std::int64_t& copied);
    // Flushes and closes; with `durable` the data reaches the disk before it returns.
    virtual FsStatus Close(bool durable) = 0;
};

struct CreateResult {
    FsStatus status = FsStatus::Ok();
    std::unique_ptr<OutputFile> file;
    std::filesystem::path path;  // the name it was created under
};

// Held for a run that writes into a directory; released when destroyed.
class DirectoryLock {
  public:
    virtual ~DirectoryLock() = default;
};

struct LockResult {
    FsStatus status = FsStatus::Ok();
    std::unique_ptr<DirectoryLock> lock;  // may be empty where nothing needs holding
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual FsStatus List(const std::filesystem::path& directory,
                          std::vector<DirectoryEntry>& entries) = 0;
    // Hands each entry of `directory` to `each` in turn, without holding them all.
    virtual FsStatus ForEachEntry(const std::filesystem::path& directory,
                                  const std::function<void(DirectoryEntry&)>& each);
    // Reads a whole file; a file longer than `max_length` is refused unread.
    virtual ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) = 0;
    // Opens a regular file for reading in parts; anything else is refused.
    virtual OpenResult OpenRead(const std::filesystem::path& path);
    // Opens a file that the listing found regular, to read its header and length (a
    // check): only the length of its FileInfo is sure. By default as OpenRead.
    virtual OpenResult OpenToCheck(const std::filesystem::path& path) { return OpenRead(path); }
    // OpenToCheck of the file `name` in `directory`, without the path made where the file
    // system reaches the directory otherwise.
    virtual OpenResult OpenToCheckIn(const std::filesystem::path& directory,
                                     const std::filesystem::path& name);
    // The length of a regular file, without reading it.
    virtual FsStatus Length(const std::filesystem::path& path, std::int64_t& length);
    // Anything of that name: file, directory or link, dangling or not.
    virtual bool Exists(const std::filesystem::path& path) = 0;
    // Exists and Identity with one look: `identity` is set where the file system tells it.
    virtual bool ExistsAs(const std::filesystem::path& path,
                          std::optional<FileIdentity>& identity) {
        identity = Identity(path);
        return identity.has_value() || Exists(path);
    }
    // A regular file, or a link that leads to one.
    virtual bool IsRegularFile(const std::filesystem::path& path) = 0;
    // Creates a new file; fails when anything of that name exists.
    virtual CreateResult CreateExclusive(const std::filesystem::path& path) = 0;
    // Creates a new file under a temporary name beside `target` (see TemporaryNameIn).
    virtual CreateResult CreateTemporary(const std::filesystem::path& target);
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
    // Which file `path` names (a link itself, not what it leads to); none when nothing
    // of that name exists or the file system can not tell.
    virtual std::optional<FileIdentity> Identity(const std::filesystem::path& /*path*/) {
        return std::nullopt;
    }
    // The identity and the length and times of change of what `path` names; none when
    // nothing of that name exists or the file system can not tell.
    virtual std::optional<FileStamp> Stamp(const std::filesystem::path& path);
    // Whether `directory` takes a name whatever its letter case (FAT, exFAT, NTFS through
    // FUSE), found out with a temporary file of ours looked up in capitals.
    virtual bool FoldsCase(const std::filesystem::path& directory);
    // Brings every file written so far on the volume of `directory` to the disk, with one
    // call for all of them.
    virtual FsStatus SyncFileSystem(const std::filesystem::path& /*directory*/) {
        return FsStatus::Ok();
    }
    // Whether SyncFileSystem on the volume of `directory` also brings its directories'
    // changes to the disk (a local volume), or only files' data (the default: none).
    virtual bool SyncFileSystemWritesNames(const std::filesystem::path& /*directory*/) {
        return false;
    }
    // Makes the names in `directory` (renames, new and removed files) reach the disk.
    virtual FsStatus SyncDirectory(const std::filesystem::path& /*directory*/) {
        return FsStatus::Ok();
    }
    // Takes the exclusive advisory lock of a directory without waiting; fails when another
    // run holds it. The default holds nothing. While the lock is held, every operation on
    // a name in that directory goes to the directory that was locked, even when its path
    // comes to name another one.
    virtual LockResult LockDirectory(const std::filesystem::path& /*directory*/) { return {}; }
    // Whether the path of the locked `directory` now names another directory than the one
    // locked (it was renamed away and replaced).
    virtual bool LockedDirectoryReplaced(const std::filesystem::path& /*directory*/) {
        return false;
    }
    // Keeps `directory` open for the length of a run that reads in it: its files are then
    // opened through the open directory, without walking the path again for each, and
    // they stay those of the directory that was listed. Released when the handle goes; the
    // default holds nothing, and a directory already locked needs no holding.
    virtual std::unique_ptr<DirectoryLock> HoldDirectory(
        const std::filesystem::path& /*directory*/) {
        return nullptr;
    }
    // What became of the directory of a run: gone (a held directory removed, any other
    // whose path names nothing any more), or a locked one replaced by another.
    enum class DirectoryFate { Present, Gone, Replaced };
    virtual DirectoryFate FateOf(const std::filesystem::path& directory) {
        return !Exists(directory)                   ? DirectoryFate::Gone
               : LockedDirectoryReplaced(directory) ? DirectoryFate::Replaced
                                                    : DirectoryFate::Present;
    }
    // How many file operations (list, read, write, rename, remove) have failed so far.
    virtual std::int64_t failed_operations() const { return failed_; }
    // Takes back `count` failures that are no failure of the run (a stale file that stays).
    void Forgive(std::int64_t count) { failed_ -= count; }
    // Counts `status` when it is a failure, and returns it: for the failures of the input
    // and output files, which their users count.
    FsStatus Counted(FsStatus status) {
        if (!status.ok() && !status.unsupported()) {
            ++failed_;
        }
        return status;
    }

  private:
    std::int64_t failed_ = 0;
};

}  // namespace korvane
