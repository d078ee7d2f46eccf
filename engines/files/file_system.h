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

// What fstat tells of a file opened for reading; a repaired image takes over its mode
// and owner.
struct FileInfo {
    std::int64_t length = 0;
    std::uint32_t mode = 0644;
    std::int64_t owner = -1;  // -1: unknown, left as it is
    std::int64_t group = -1;
};

// Which file a name leads to, whatever the name's letter case: its device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
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

class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual FsStatus Write(std::span<const std::uint8_t> bytes) = 0;
    // Gives the file the mode of `info`, and its owner and group where the process may.
    virtual FsStatus Adopt(const FileInfo& /*info*/) { return FsStatus::Ok(); }
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
    // Reads a whole file; a file longer than `max_length` is refused unread.
    virtual ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) = 0;
    // Opens a regular file for reading in parts; anything else is refused.
    virtual OpenResult OpenRead(const std::filesystem::path& path);
    // The length of a regular file, without reading it.
    virtual FsStatus Length(const std::filesystem::path& path, std::int64_t& length);
    // Anything of that name: file, directory or link, dangling or not.
    virtual bool Exists(const std::filesystem::path& path) = 0;
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
    // Brings every file written so far on the volume of `directory` to the disk, with one
    // call for all of them.
    virtual FsStatus SyncFileSystem(const std::filesystem::path& /*directory*/) {
        return FsStatus::Ok();
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

// The operating system's file system. Files are opened without blocking, so that a FIFO
// or device put in place of a file is refused at once instead of waiting forever.
class PosixFileSystem : public FileSystem {
  public:
    FsStatus List(const std::filesystem::path& directory,
                  std::vector<DirectoryEntry>& entries) override;
    ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) override;
    OpenResult OpenRead(const std::filesystem::path& path) override;
    FsStatus Length(const std::filesystem::path& path, std::int64_t& length) override;
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
    std::optional<FileIdentity> Identity(const std::filesystem::path& path) override;
    FsStatus SyncDirectory(const std::filesystem::path& directory) override;
    FsStatus SyncFileSystem(const std::filesystem::path& directory) override;
    LockResult LockDirectory(const std::filesystem::path& directory) override;
    bool LockedDirectoryReplaced(const std::filesystem::path& directory) override;

  protected:
    // False: take the fallbacks as on a volume that refuses RENAME_NOREPLACE or hard
    // links (FUSE volumes such as exfat-fuse and ntfs-3g), which the lock keeps safe.
    bool offers_noreplace_ = true;
    bool offers_links_ = true;

  private:
    // A name as the *at calls take it: relative to the locked directory when it lies in
    // it, otherwise the whole path from the working directory.
    struct Place {
        int directory;
        std::string name;
    };
    Place At(const std::filesystem::path& path) const;
    // fsync of `directory`, or syncfs of its whole volume.
    FsStatus Sync(const std::filesystem::path& directory, bool whole_volume);
    // The directory whose lock is held, shared with the lock, which clears it when
    // released (it may outlive the file system).
    struct Locked {
        std::filesystem::path path;
        int fd = -1;
    };
    std::shared_ptr<Locked> locked_ = std::make_shared<Locked>();
};

// A fresh temporary name in `directory`: hidden, of one fixed length whatever the name
// it stands in for, ".korvane-" followed by the writing process's id and a counter.
std::filesystem::path TemporaryNameIn(const std::filesystem::path& directory);
// Whether `name` is exactly of the form TemporaryNameIn gives: ".korvane-", ten decimal
// digits, "-", eight lower-case hexadecimal digits, ".tmp".
bool IsTemporaryName(const std::string& name);

// Writes a complete file under a temporary name beside `target`: `write_body` writes the
// content, and on any failure the temporary file is removed again. On success the
// returned path names the closed, complete temporary file; on failure the reason also
// tells of a temporary file that could not be removed.
struct WrittenTemporary {
    FsStatus status = FsStatus::Ok();
    std::filesystem::path path;
};
WrittenTemporary WriteTemporary(FileSystem& fs, const std::filesystem::path& target,
                                const std::function<FsStatus(OutputFile&)>& write_body,
                                bool durable);
// Removes a temporary file; returns "" or the words for the report that it stays.
std::string DiscardTemporary(FileSystem& fs, const std::filesystem::path& temporary);

// Renames a complete temporary file to `target`, never over anything of that name; on
// failure removes the temporary file (the reason tells if that failed too).
FsStatus PlaceTemporary(FileSystem& fs, const std::filesystem::path& temporary,
                        const std::filesystem::path& target);

// Writes a complete new file at `target` without ever leaving a partial one behind and
// without replacing anything that appeared meanwhile: WriteTemporary, then a rename
// into place that never replaces. With `durable`, the file's bytes reach the disk before
// the rename and the new name after it.
FsStatus WriteNewFile(FileSystem& fs, const std::filesystem::path& target,
                      const std::function<FsStatus(OutputFile&)>& write_body, bool durable);

}  // namespace korvane
