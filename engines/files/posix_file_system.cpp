#include "posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>

#include "lock_file.h"
#include "mapped_copy.h"
#include "posix_status.h"
#include "report_text.h"

namespace korvane {

namespace {

// Volumes whose files a syncfs does not bring to the disk: the kernel keeps no dirty pages
// of them to write back, it hands the data to a daemon or a server, which is only told
// to keep them by an fsync of each file.
bool SyncfsReachesFiles(int fd) {
    struct statfs volume {};
    if (::fstatfs(fd, &volume) != 0) {
        return false;
    }
    switch (static_cast<unsigned long>(volume.f_type)) {
        case 0x65735546:  // FUSE (exfat-fuse, ntfs-3g, sshfs, bindfs)
        case 0x6969:      // NFS
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x517B:      // SMB
        case 0x00C36400:  // Ceph
        case 0x01021997:  // 9P
        case 0x5346414F:  // AFS
        case 0x73757245:  // Coda
        case 0x47504653:  // GPFS
        case 0x0BD00BD0:  // Lustre
        case 0x013111A8:  // IBRIX
        case 0x564C:      // NCP
        case 0xF15F:      // eCryptfs: its syncfs leaves the lower volume unsynced
            return false;
        default:
            return true;
    }
}

// The mode a new file gets when it takes no original's: 0666 without the umask's bits.
mode_t NewFileMode() {
    static const mode_t mode = [] {
        // Read where the kernel tells it, so that no other thread sees a changed umask.
        if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
            char line[256];
            unsigned mask = 0;
            while (std::fgets(line, sizeof line, status) != nullptr) {
                if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                    std::fclose(status);
                    return static_cast<mode_t>(0666 & ~mask);
                }
            }
            std::fclose(status);
        }
        const mode_t mask = ::umask(022);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// A new file is created readable by its owner alone, and only widened to its final mode
// (the original's, or that of a new file) once its owner and group are set: a private
// image is never readable by others, not even for a moment.
class PosixOutputFile final : public OutputFile {
  public:
    PosixOutputFile(int fd, bool fsync_always) : fd_(fd), fsync_always_(fsync_always) {}
    ~PosixOutputFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    FsStatus Write(std::span<const std::uint8_t> bytes) override {
        const std::uint8_t* data = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(fd_, data, left);
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return ErrnoStatus(errno);
            }
            data += written;
            left -= static_cast<std::size_t>(written);
            position_ += written;
        }
        return FsStatus::Ok();
    }

    FsStatus CopyFrom(InputFile& source, std::int64_t from, std::int64_t to, std::int64_t zeros,
                      std::int64_t& copied) override;

    FsStatus Adopt(const FileInfo& info) override {
        // What the new file already has is not set again (a file of the user's own in a
        // directory of the user's group has its owner and group from the start).
        struct stat now {};
        const bool known = ::fstat(fd_, &now) == 0;
        if (known) {
            identity_ = FileIdentity{now.st_dev, now.st_ino};
        }
        // The owner first: changing it may clear the set-id bits that the mode then sets.
        // Volumes without owners or modes (FAT, exFAT, FUSE) refuse them: kept as they come.
        const bool owned = known && now.st_uid == info.owner && now.st_gid == info.group;
        if (info.owner >= 0 && !owned &&
            ::fchown(fd_, static_cast<uid_t>(info.owner), static_cast<gid_t>(info.group)) != 0 &&
            !Refused(errno)) {
            return ErrnoStatus(errno);
        }
        const mode_t mode = static_cast<mode_t>(info.mode & 07777);
        if (!(owned && (now.st_mode & 07777) == mode) && ::fchmod(fd_, mode) != 0 &&
            !Refused(errno)) {
            return ErrnoStatus(errno);
        }
        adopted_ = true;
        return FsStatus::Ok();
    }

    std::optional<FileIdentity> Identity() const override { return identity_; }

    // Without `durable` the file waits for the syncfs of its group, which does not reach
    // it on some volumes: there it is synced on its own.
    FsStatus Close(bool durable) override {
        FsStatus status = FsStatus::Ok();
        if (!adopted_ && ::fchmod(fd_, NewFileMode()) != 0 && !Refused(errno)) {
            status = ErrnoStatus(errno);
        }
        if ((durable || fsync_always_) && ::fsync(fd_) != 0 && status.ok()) {
            status = ErrnoStatus(errno);
        }
        if (::close(fd_) != 0 && status.ok()) {
            status = ErrnoStatus(errno);
        }
        fd_ = -1;
        return status;
    }

  private:
    // Copies inside the kernel; false when the file system refuses before the first byte.
    bool CopyInKernel(int source, std::int64_t from, std::int64_t to, bool sparse,
                      std::int64_t& copied, FsStatus& status);
    // Extends the file by `zeros` bytes, a hole where the file system has them.
    FsStatus Extend(std::int64_t zeros);

    int fd_;
    bool fsync_always_;
    bool adopted_ = false;
    std::optional<FileIdentity> identity_;
    std::int64_t position_ = 0;  // bytes written so far
};

class PosixInputFile final : public InputFile {
  public:
    // `known_regular` false: opened without looking at its type, which a failed read
    // looks at then.
    PosixInputFile(int fd, const FileInfo& info, std::int64_t allocated, bool known_regular = true)
        : fd_(fd), info_(info), allocated_(allocated), known_regular_(known_regular) {}
    ~PosixInputFile() override { ::close(fd_); }
    const FileInfo& info() const override { return info_; }
    int fd() const { return fd_; }
    // Fewer bytes on the disk than its length: a file with holes.
    bool sparse() const { return allocated_ < info_.length; }

    FsStatus ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes, std::size_t& got) override {
        got = 0;
        // Megabytes within the length the file had when opened: through a mapping.
        if (bytes.size() >= kMappedReadAtLeast && offset >= 0 && offset < info_.length) {
            const auto within =
                std::min(bytes.size(), static_cast<std::size_t>(info_.length - offset));
            if (within >= kMappedReadAtLeast &&
                CopyThroughMapping(fd_, offset, bytes.data(), within)) {
                got = within;
            }
        }
        while (got < bytes.size()) {
            const ssize_t read = ::pread(fd_, bytes.data() + got, bytes.size() - got,
                                         static_cast<off_t>(offset) + static_cast<off_t>(got));
            if (read < 0 && errno == EINTR) {
                continue;
            }
            if (read < 0) {
                // A directory put in the place of a listed file reads as EISDIR.
                const int error = errno;
                struct stat st {};
                return !known_regular_ && ::fstat(fd_, &st) == 0 && !S_ISREG(st.st_mode)
                           ? FsStatus::Fail("not a regular file")
                           : ErrnoStatus(error);
            }
            if (read == 0) {
                break;
            }
            got += static_cast<std::size_t>(read);
        }
        return FsStatus::Ok();
    }

  private:
    int fd_;
    FileInfo info_;
    std::int64_t allocated_;
    bool known_regular_;
};

FsStatus PosixOutputFile::CopyFrom(InputFile& source, std::int64_t from, std::int64_t to,
                                   std::int64_t zeros, std::int64_t& copied) {
    const auto* posix = dynamic_cast<PosixInputFile*>(&source);
    FsStatus status = FsStatus::Ok();
    copied = 0;
    if (posix == nullptr || !CopyInKernel(posix->fd(), from, to, posix->sparse(), copied, status)) {
        return OutputFile::CopyFrom(source, from, to, zeros, copied);
    }
    return status.ok() ? Extend(zeros) : status;
}

bool PosixOutputFile::CopyInKernel(int source, std::int64_t from, std::int64_t to, bool sparse,
                                   std::int64_t& copied, FsStatus& status) {
    // A file with holes: only its data is copied, at the same distance from the start, and
    // its holes stay holes; the end of the file is where the source ends now.
    const std::int64_t start = position_;
    const off_t end = sparse ? std::min<off_t>(to, ::lseek(source, 0, SEEK_END)) : to;
    for (off_t at = from; at < end;) {
        off_t data = sparse ? ::lseek(source, at, SEEK_DATA) : at;
        off_t hole = end;
        if (sparse && (data < 0 || data >= end)) {
            data = end;  // holes to the end (ENXIO)
        } else if (sparse) {
            hole = std::min<off_t>(end, ::lseek(source, data, SEEK_HOLE));
        }
        if (data > at && ::lseek(fd_, start + (data - from), SEEK_SET) < 0) {
            status = ErrnoStatus(errno);
            return true;
        }
        at = data;
        while (at < hole) {
            const ssize_t moved =
                ::copy_file_range(source, &at, fd_, nullptr, static_cast<size_t>(hole - at), 0);
            if (moved < 0 && errno == EINTR) {
                continue;
            }
            if (moved < 0 && at == from && (Refused(errno) || errno == EXDEV || errno == EBADF)) {
                ::lseek(fd_, start, SEEK_SET);
                return false;  // nothing copied yet: through a buffer instead
            }
            if (moved <= 0) {
                status = moved < 0 ? ErrnoStatus(errno) : FsStatus::Ok();
                copied = at - from;
                position_ = start + copied;
                return true;  // an error, or the source ended before `to`
            }
        }
    }
    copied = end - from;
    position_ = start + copied;
    // A hole at the end is the file's length, not yet its size.
    if (sparse && (::ftruncate(fd_, position_) != 0 || ::lseek(fd_, position_, SEEK_SET) < 0)) {
        status = ErrnoStatus(errno);
    }
    return true;
}

FsStatus PosixOutputFile::Extend(std::int64_t zeros) {
    if (zeros <= 0) {
        return FsStatus::Ok();
    }
    position_ += zeros;
    if (::ftruncate(fd_, position_) != 0 || ::lseek(fd_, position_, SEEK_SET) < 0) {
        return ErrnoStatus(errno);
    }
    return FsStatus::Ok();
}

class PosixDirectoryLock final : public DirectoryLock {
  public:
    PosixDirectoryLock(int fd, LockFile file, std::function<void()> released)
        : fd_(fd), file_(std::move(file)), released_(std::move(released)) {}
    ~PosixDirectoryLock() override {
        released_();
        ReleaseLockFile(fd_, file_);
        ::close(fd_);  // closing releases the flock
    }

  private:
    int fd_;
    LockFile file_;
    std::function<void()> released_;
};

// Opens a file for reading without blocking (a FIFO would wait for a writer) and keeps it
// only when it is a regular file; returns the descriptor or -1 with `status` set.
int OpenRegular(int directory, const std::string& name, FileInfo& info, FsStatus& status,
                std::int64_t* allocated = nullptr) {
    const int fd = ::openat(directory, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        status = ErrnoStatus(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        status = S_ISREG(st.st_mode) ? ErrnoStatus(errno) : FsStatus::Fail("not a regular file");
        ::close(fd);
        return -1;
    }
    info = {static_cast<std::int64_t>(st.st_size), st.st_mode, st.st_uid, st.st_gid,
            FileIdentity{st.st_dev, st.st_ino}};
    if (allocated != nullptr) {
        *allocated = static_cast<std::int64_t>(st.st_blocks) * 512;
    }
    return fd;
}

// The name of `path` in `directory` when it names an entry right in it, else empty: by
// their bytes (the paths a run joins), else component by component.
std::string_view NameIn(const std::filesystem::path& path, const std::filesystem::path& directory) {
    const std::string& whole = path.native();
    const std::size_t slash = whole.rfind('/');
    if (slash != std::string::npos && slash + 1 < whole.size() &&
        std::string_view(whole).substr(0, slash) == directory.native()) {
        return std::string_view(whole).substr(slash + 1);
    }
    return slash != std::string::npos && path.parent_path() == directory
               ? std::string_view(whole).substr(slash + 1)
               : std::string_view();
}

// Whether two paths name the same directory: by their bytes, else component by component.
bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b) {
    return a.native() == b.native() || a == b;
}

}  // namespace

PosixFileSystem::Place PosixFileSystem::At(const std::filesystem::path& path) const {
    for (const Locked* open : {locked_.get(), held_.get()}) {
        const std::string_view name = open->fd >= 0 ? NameIn(path, open->path) : std::string_view();
        if (!name.empty()) {
            return {open->fd, std::string(name)};
        }
    }
    return {AT_FDCWD, path.native()};
}

FsStatus PosixFileSystem::List(const std::filesystem::path& directory,
                               std::vector<DirectoryEntry>& entries) {
    entries.clear();
    return ForEachEntry(directory,
                        [&](DirectoryEntry& entry) { entries.push_back(std::move(entry)); });
}

FsStatus PosixFileSystem::ForEachEntry(const std::filesystem::path& directory,
                                       const std::function<void(DirectoryEntry&)>& each) {
    // By its path, also while locked: the file list shows what the path names now.
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = fd < 0 ? nullptr : ::fdopendir(fd);
    if (listing == nullptr) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        return Counted(ErrnoStatus(error));
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(listing);
        if (entry == nullptr) {
            break;
        }
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) {
            continue;
        }
        // The listing tells most types; a link is followed, so that a link to a regular
        // file counts, and a file system that tells none is asked for each. A dangling
        // link is no file; an entry whose type can not be read (a loop of links) is kept,
        // so that reading it fails where the user sees it.
        bool regular = entry->d_type == DT_REG;
        bool unknown = false;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            const bool stated = ::fstatat(::dirfd(listing), name, &info, 0) == 0;
            regular = stated && S_ISREG(info.st_mode);
            unknown = !stated && errno != ENOENT;
        }
        DirectoryEntry listed{name, regular, unknown};
        each(listed);
    }
    const int error = errno;
    ::closedir(listing);
    return error == 0 ? FsStatus::Ok() : Counted(ErrnoStatus(error));
}

ReadResult PosixFileSystem::ReadWhole(const std::filesystem::path& path, std::int64_t max_length) {
    ReadResult result;
    FileInfo info;
    const Place place = At(path);
    const int fd = OpenRegular(place.directory, place.name, info, result.status);
    if (fd < 0) {
        Counted(result.status);
        return result;
    }
    if (info.length > max_length) {
        result.status =
            FsStatus::Fail("file is larger than " + std::to_string(max_length) + " bytes");
        ::close(fd);
        return result;
    }
    // Read to the end even if the length changed since fstat, but never past the limit.
    result.bytes.resize(static_cast<std::size_t>(info.length) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == result.bytes.size()) {
            if (static_cast<std::int64_t>(filled) > max_length) {
                result.status =
                    FsStatus::Fail("file is larger than " + std::to_string(max_length) + " bytes");
                break;
            }
            result.bytes.resize(filled + 65536);
        }
        const ssize_t got = ::read(fd, result.bytes.data() + filled, result.bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.status = ErrnoStatus(errno);
            break;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (result.status.ok() && static_cast<std::int64_t>(filled) > max_length) {
        result.status =
            FsStatus::Fail("file is larger than " + std::to_string(max_length) + " bytes");
    }
    if (!Counted(result.status).ok()) {
        result.bytes.clear();
        return result;
    }
    result.bytes.resize(filled);
    return result;
}

OpenResult PosixFileSystem::OpenRead(const std::filesystem::path& path) {
    OpenResult result;
    FileInfo info;
    const Place place = At(path);
    std::int64_t allocated = 0;
    const int fd = OpenRegular(place.directory, place.name, info, result.status, &allocated);
    if (fd < 0) {
        Counted(result.status);
        return result;
    }
    result.file = std::make_unique<PosixInputFile>(fd, info, allocated);
    return result;
}

OpenResult PosixFileSystem::OpenToCheckAt(int directory_fd, const char* name, bool& fall_back) {
    // The length is where the file ends, a cheaper call than fstat. Where that finds no
    // end or an empty file (a FIFO, a device or a directory put in the listed file's
    // place since, or a file of nothing) fstat tells what it is, as for any other open.
    OpenResult result;
    fall_back = false;
    const int fd = ::openat(directory_fd, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.status = Counted(ErrnoStatus(errno));
        return result;
    }
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end <= 0) {
        ::close(fd);
        fall_back = true;
        return result;
    }
    FileInfo info;
    info.length = static_cast<std::int64_t>(end);
    result.file = std::make_unique<PosixInputFile>(fd, info, info.length, false);
    return result;
}

OpenResult PosixFileSystem::OpenToCheck(const std::filesystem::path& path) {
    const Place place = At(path);
    bool fall_back = false;
    OpenResult result = OpenToCheckAt(place.directory, place.name.c_str(), fall_back);
    return fall_back ? OpenRead(path) : std::move(result);
}

OpenResult PosixFileSystem::OpenToCheckIn(const std::filesystem::path& directory,
                                          const std::filesystem::path& name) {
    // In the directory held or locked by that very path: by the name alone.
    for (const Locked* open : {locked_.get(), held_.get()}) {
        if (open->fd >= 0 && open->path.native() == directory.native() && !name.empty() &&
            name.native().find('/') == std::string::npos) {
            bool fall_back = false;
            OpenResult result = OpenToCheckAt(open->fd, name.c_str(), fall_back);
            return fall_back ? OpenRead(JoinPath(directory, name)) : std::move(result);
        }
    }
    return OpenToCheck(JoinPath(directory, name));
}

FsStatus PosixFileSystem::Length(const std::filesystem::path& path, std::int64_t& length) {
    FsStatus status = FsStatus::Ok();
    FileInfo info;
    const Place place = At(path);
    const int fd = OpenRegular(place.directory, place.name, info, status);
    length = info.length;
    if (fd >= 0) {
        ::close(fd);
    }
    return Counted(status);
}

// The flock keeps out runs that reach the directory by the same path or a bind mount;
// the lock file in the directory also those that reach it through another FUSE mount
// (bindfs, a second mount of one share), where each mount keeps flocks of its own.
LockResult PosixFileSystem::LockDirectory(const std::filesystem::path& directory) {
    LockResult result;
    LockFile file;
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        result.status = ErrnoStatus(errno);
    } else if (shares_flock_ && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result.status = errno == EWOULDBLOCK ? FsStatus::Fail("another run is writing into it")
                                             : ErrnoStatus(errno);
        ::close(fd);
    } else if (result.status = TakeLockFile(fd, file); !result.status.ok()) {
        ::close(fd);
    } else {
        struct stat info {};
        ::fstat(fd, &info);  // of a descriptor just opened: can not fail
        *locked_ = {directory, fd, {info.st_dev, info.st_ino}};
        result.lock =
            std::make_unique<PosixDirectoryLock>(fd, std::move(file), [locked = locked_, fd] {
                if (locked->fd == fd) {
                    *locked = {};
                }
            });
    }
    return result;
}

bool PosixFileSystem::LockedDirectoryReplaced(const std::filesystem::path& directory) {
    struct stat named {};
    return locked_->fd >= 0 && directory == locked_->path &&
           ::stat(directory.c_str(), &named) == 0 &&
           FileIdentity{named.st_dev, named.st_ino} != locked_->identity;
}

std::unique_ptr<DirectoryLock> PosixFileSystem::HoldDirectory(
    const std::filesystem::path& directory) {
    if (held_->fd >= 0 || (locked_->fd >= 0 && locked_->path == directory)) {
        return nullptr;
    }
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;  // its files are then opened by their paths, and fail alike
    }
    *held_ = {directory, fd, {}};
    return std::make_unique<PosixDirectoryLock>(fd, LockFile{}, [held = held_, fd] {
        if (held->fd == fd) {
            *held = {};
        }
    });
}

FileSystem::DirectoryFate PosixFileSystem::FateOf(const std::filesystem::path& directory) {
    // Held: a removed directory has no links left; one renamed away is still read.
    struct stat info {};
    if (held_->fd >= 0 && SamePath(directory, held_->path) && ::fstat(held_->fd, &info) == 0) {
        return info.st_nlink == 0 ? DirectoryFate::Gone : DirectoryFate::Present;
    }
    // Locked: one look at what the path names now.
    if (locked_->fd >= 0 && SamePath(directory, locked_->path)) {
        return ::stat(directory.c_str(), &info) != 0 ? DirectoryFate::Gone
               : FileIdentity{info.st_dev, info.st_ino} != locked_->identity
                   ? DirectoryFate::Replaced
                   : DirectoryFate::Present;
    }
    return FileSystem::FateOf(directory);
}

bool PosixFileSystem::Exists(const std::filesystem::path& path) {
    struct stat info {};
    const Place place = At(path);
    return ::fstatat(place.directory, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

bool PosixFileSystem::ExistsAs(const std::filesystem::path& path,
                               std::optional<FileIdentity>& identity) {
    struct stat info {};
    const Place place = At(path);
    const bool exists =
        ::fstatat(place.directory, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    identity = exists ? std::optional(FileIdentity{info.st_dev, info.st_ino}) : std::nullopt;
    return exists;
}

bool PosixFileSystem::IsRegularFile(const std::filesystem::path& path) {
    struct stat info {};
    const Place place = At(path);
    return ::fstatat(place.directory, place.name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode);
}

std::optional<FileIdentity> PosixFileSystem::Identity(const std::filesystem::path& path) {
    struct stat info {};
    const Place place = At(path);
    if (::fstatat(place.directory, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

std::optional<FileStamp> PosixFileSystem::Stamp(const std::filesystem::path& path) {
    struct stat info {};
    const Place place = At(path);
    if (::fstatat(place.directory, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    const auto ns = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    return FileStamp{{info.st_dev, info.st_ino}, info.st_size, ns(info.st_mtim), ns(info.st_ctim)};
}

CreateResult PosixFileSystem::CreateExclusive(const std::filesystem::path& path) {
    CreateResult result;
    const Place place = At(path);
    const int fd = ::openat(place.directory, place.name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        result.status = Counted(ErrnoStatus(errno));
        return result;
    }
    // Asked once for the files of a locked or held directory: they share its volume.
    Locked* open = place.directory == locked_->fd ? locked_.get()
                   : place.directory == held_->fd ? held_.get()
                                                  : nullptr;
    if (open == nullptr || open->syncfs_reaches_files < 0) {
        const bool reaches = SyncfsReachesFiles(fd);
        if (open != nullptr) {
            open->syncfs_reaches_files = reaches ? 1 : 0;
        }
        result.file = std::make_unique<PosixOutputFile>(fd, !reaches);
    } else {
        result.file = std::make_unique<PosixOutputFile>(fd, open->syncfs_reaches_files == 0);
    }
    return result;
}

FsStatus PosixFileSystem::Remove(const std::filesystem::path& path) {
    const Place place = At(path);
    if (::unlinkat(place.directory, place.name.c_str(), 0) != 0) {
        return Counted(ErrnoStatus(errno));
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::Sync(const std::filesystem::path& directory, bool whole_volume) {
    const bool locked = locked_->fd >= 0 && directory == locked_->path;
    const int fd =
        locked ? locked_->fd : ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Some file systems can not sync a directory (EINVAL): their renames are as durable
    // as they get.
    FsStatus status =
        fd < 0 || ((whole_volume ? ::syncfs(fd) : ::fsync(fd)) != 0 && errno != EINVAL)
            ? ErrnoStatus(errno)
            : FsStatus::Ok();
    if (!locked && fd >= 0) {
        ::close(fd);
    }
    return Counted(status);
}

FsStatus PosixFileSystem::SyncDirectory(const std::filesystem::path& directory) {
    return Sync(directory, false);
}

FsStatus PosixFileSystem::SyncFileSystem(const std::filesystem::path& directory) {
    return Sync(directory, true);
}

// Where a syncfs writes back the files' pages, it writes the whole volume's changes, its
// directories' too (a journal commit on ext4, XFS and btrfs): the volumes whose files it
// reaches are the ones whose names it makes durable.
bool PosixFileSystem::SyncFileSystemWritesNames(const std::filesystem::path& directory) {
    for (Locked* open : {locked_.get(), held_.get()}) {
        if (open->fd >= 0 && directory == open->path) {
            if (open->syncfs_reaches_files < 0) {
                open->syncfs_reaches_files = SyncfsReachesFiles(open->fd) ? 1 : 0;
            }
            return open->syncfs_reaches_files == 1;
        }
    }
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool reaches = fd >= 0 && SyncfsReachesFiles(fd);
    if (fd >= 0) {
        ::close(fd);
    }
    return reaches;
}

}  // namespace korvane
