// The operating system's file system behind the FileSystem seam.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "file_system.h"

namespace korvane {

// The operating system's file system. Files are opened without blocking, so that a FIFO
// or device put in place of a file is refused at once instead of waiting forever.
class PosixFileSystem : public FileSystem {
  public:
    FsStatus List(const std::filesystem::path& directory,
                  std::vector<DirectoryEntry>& entries) override;
    FsStatus ForEachEntry(const std::filesystem::path& directory,
                          const std::function<void(DirectoryEntry&)>& each) override;
    ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) override;
    OpenResult OpenRead(const std::filesystem::path& path) override;
    OpenResult OpenToCheck(const std::filesystem::path& path) override;
    OpenResult OpenToCheckIn(const std::filesystem::path& directory,
                             const std::filesystem::path& name) override;
    FsStatus Length(const std::filesystem::path& path, std::int64_t& length) override;
    bool Exists(const std::filesystem::path& path) override;
    bool ExistsAs(const std::filesystem::path& path,
                  std::optional<FileIdentity>& identity) override;
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
    std::optional<FileStamp> Stamp(const std::filesystem::path& path) override;
    FsStatus SyncDirectory(const std::filesystem::path& directory) override;
    FsStatus SyncFileSystem(const std::filesystem::path& directory) override;
    bool SyncFileSystemWritesNames(const std::filesystem::path& directory) override;
    LockResult LockDirectory(const std::filesystem::path& directory) override;
    bool LockedDirectoryReplaced(const std::filesystem::path& directory) override;
    std::unique_ptr<DirectoryLock> HoldDirectory(const std::filesystem::path& directory) override;
    DirectoryFate FateOf(const std::filesystem::path& directory) override;

  protected:
    // False: take the fallbacks as on a volume that refuses RENAME_NOREPLACE or hard
    // links (FUSE volumes such as exfat-fuse and ntfs-3g), which the lock keeps safe.
    bool offers_noreplace_ = true;
    bool offers_links_ = true;
    // False: as on a FUSE volume reached through two mounts, where an flock taken through
    // one is not seen through the other.
    bool shares_flock_ = true;

  private:
    // A name as the *at calls take it: relative to the locked (or else the held) directory
    // when it lies in it, otherwise the whole path from the working directory.
    struct Place {
        int directory;
        std::string name;
    };
    Place At(const std::filesystem::path& path) const;
    // OpenToCheck of `name` relative to `directory_fd`; `fall_back` set where the file
    // must be opened as by OpenRead instead.
    OpenResult OpenToCheckAt(int directory_fd, const char* name, bool& fall_back);
    // fsync of `directory`, or syncfs of its whole volume.
    FsStatus Sync(const std::filesystem::path& directory, bool whole_volume);
    // The directory whose lock is held, and the one held open for a run, each shared with
    // its handle, which clears it when released (it may outlive the file system).
    struct Locked {
        std::filesystem::path path;
        int fd = -1;
        FileIdentity identity;          // of the directory opened
        int syncfs_reaches_files = -1;  // of its volume: -1 not asked yet, 0 no, 1 yes
    };
    std::shared_ptr<Locked> locked_ = std::make_shared<Locked>();
    std::shared_ptr<Locked> held_ = std::make_shared<Locked>();
};

}  // namespace korvane
