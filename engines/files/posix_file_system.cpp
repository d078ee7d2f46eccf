#include "file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "report_text.h"

namespace korvane {

namespace {

FsStatus ErrnoStatus(int error) {
    return FsStatus::Fail(std::strerror(error));
}

// The answers of a file system that can not do a thing at all, rather than failing at it.
bool Refused(int error) {
    return error == EPERM || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

class PosixOutputFile final : public OutputFile {
  public:
    explicit PosixOutputFile(int fd) : fd_(fd) {}
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
        }
        return FsStatus::Ok();
    }

    FsStatus Adopt(const FileInfo& info) override {
        // The owner first: changing it may clear the set-id bits that the mode then sets.
        // Volumes without owners or modes (FAT, exFAT, FUSE) refuse them: kept as they come.
        if (info.owner >= 0 &&
            ::fchown(fd_, static_cast<uid_t>(info.owner), static_cast<gid_t>(info.group)) != 0 &&
            !Refused(errno)) {
            return ErrnoStatus(errno);
        }
        if (::fchmod(fd_, static_cast<mode_t>(info.mode & 07777)) != 0 && !Refused(errno)) {
            return ErrnoStatus(errno);
        }
        return FsStatus::Ok();
    }

    FsStatus Close(bool durable) override {
        FsStatus status = FsStatus::Ok();
        if (durable && ::fsync(fd_) != 0) {
            status = ErrnoStatus(errno);
        }
        if (::close(fd_) != 0 && status.ok()) {
            status = ErrnoStatus(errno);
        }
        fd_ = -1;
        return status;
    }

  private:
    int fd_;
};

class PosixInputFile final : public InputFile {
  public:
    PosixInputFile(int fd, const FileInfo& info) : fd_(fd), info_(info) {}
    ~PosixInputFile() override { ::close(fd_); }
    const FileInfo& info() const override { return info_; }

    FsStatus ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes, std::size_t& got) override {
        got = 0;
        while (got < bytes.size()) {
            const ssize_t read = ::pread(fd_, bytes.data() + got, bytes.size() - got,
                                         static_cast<off_t>(offset) + static_cast<off_t>(got));
            if (read < 0 && errno == EINTR) {
                continue;
            }
            if (read < 0) {
                return ErrnoStatus(errno);
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
};

class PosixDirectoryLock final : public DirectoryLock {
  public:
    PosixDirectoryLock(int fd, std::function<void()> released)
        : fd_(fd), released_(std::move(released)) {}
    ~PosixDirectoryLock() override {
        released_();
        ::close(fd_);  // closing releases the lock
    }

  private:
    int fd_;
    std::function<void()> released_;
};

// Opens a file for reading without blocking (a FIFO would wait for a writer) and keeps it
// only when it is a regular file; returns the descriptor or -1 with `status` set.
int OpenRegular(int directory, const std::string& name, FileInfo& info, FsStatus& status) {
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
    info = {static_cast<std::int64_t>(st.st_size), st.st_mode, st.st_uid, st.st_gid};
    return fd;
}

}  // namespace

OpenResult FileSystem::OpenRead(const std::filesystem::path& path) {
    // Without a file system of its own: the whole file, kept in memory.
    class WholeFile final : public InputFile {
      public:
        explicit WholeFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
            info_.length = static_cast<std::int64_t>(bytes_.size());
        }
        const FileInfo& info() const override { return info_; }
        FsStatus ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes,
                        std::size_t& got) override {
            const auto from = std::min(bytes_.size(), static_cast<std::size_t>(offset));
            got = std::min(bytes.size(), bytes_.size() - from);
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(from), got, bytes.begin());
            return FsStatus::Ok();
        }

      private:
        std::vector<std::uint8_t> bytes_;
        FileInfo info_;
    };
    ReadResult read = ReadWhole(path, INT64_MAX);
    OpenResult result{read.status, nullptr};
    if (read.status.ok()) {
        result.file = std::make_unique<WholeFile>(std::move(read.bytes));
    }
    return result;
}

FsStatus FileSystem::Length(const std::filesystem::path& path, std::int64_t& length) {
    OpenResult opened = OpenRead(path);
    length = opened.status.ok() ? opened.file->info().length : 0;
    return opened.status;
}

CreateResult FileSystem::CreateTemporary(const std::filesystem::path& target) {
    // A name that is taken (a leftover that could not be removed, of a process that had
    // the same id) is passed over for the next one.
    std::filesystem::path temporary = TemporaryNameIn(target.parent_path());
    for (int tries = 1; tries < 100 && Exists(temporary); ++tries) {
        temporary = TemporaryNameIn(target.parent_path());
    }
    CreateResult result = CreateExclusive(temporary);
    result.path = temporary;
    return result;
}

PosixFileSystem::Place PosixFileSystem::At(const std::filesystem::path& path) const {
    if (locked_->fd >= 0 && path.has_parent_path() && path.parent_path() == locked_->path) {
        return {locked_->fd, path.filename().native()};
    }
    return {AT_FDCWD, path.native()};
}

FsStatus PosixFileSystem::List(const std::filesystem::path& directory,
                               std::vector<DirectoryEntry>& entries) {
    entries.clear();
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
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        // Following links, so that a link to a regular file counts.
        struct stat info {};
        const bool regular =
            ::fstatat(::dirfd(listing), name.c_str(), &info, 0) == 0 && S_ISREG(info.st_mode);
        entries.push_back({name, regular});
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
    const int fd = OpenRegular(place.directory, place.name, info, result.status);
    if (fd < 0) {
        Counted(result.status);
        return result;
    }
    result.file = std::make_unique<PosixInputFile>(fd, info);
    return result;
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

LockResult PosixFileSystem::LockDirectory(const std::filesystem::path& directory) {
    LockResult result;
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        result.status = ErrnoStatus(errno);
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result.status = errno == EWOULDBLOCK ? FsStatus::Fail("another run is writing into it")
                                             : ErrnoStatus(errno);
        ::close(fd);
    } else {
        *locked_ = {directory, fd};
        result.lock = std::make_unique<PosixDirectoryLock>(fd, [locked = locked_, fd] {
            if (locked->fd == fd) {
                *locked = {};
            }
        });
    }
    return result;
}

bool PosixFileSystem::LockedDirectoryReplaced(const std::filesystem::path& directory) {
    struct stat named {};
    struct stat locked {};
    return locked_->fd >= 0 && directory == locked_->path &&
           ::stat(directory.c_str(), &named) == 0 && ::fstat(locked_->fd, &locked) == 0 &&
           (named.st_dev != locked.st_dev || named.st_ino != locked.st_ino);
}

bool PosixFileSystem::Exists(const std::filesystem::path& path) {
    struct stat info {};
    const Place place = At(path);
    return ::fstatat(place.directory, place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
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

CreateResult PosixFileSystem::CreateExclusive(const std::filesystem::path& path) {
    CreateResult result;
    const Place place = At(path);
    const int fd = ::openat(place.directory, place.name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        result.status = Counted(ErrnoStatus(errno));
        return result;
    }
    result.file = std::make_unique<PosixOutputFile>(fd);
    return result;
}

FsStatus PosixFileSystem::RenameNoReplace(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    const Place source = At(from);
    const Place target = At(to);
    if (offers_noreplace_ && ::renameat2(source.directory, source.name.c_str(), target.directory,
                                         target.name.c_str(), RENAME_NOREPLACE) == 0) {
        return FsStatus::Ok();
    }
    if (offers_noreplace_ && errno != EINVAL && errno != ENOSYS) {
        return Counted(ErrnoStatus(errno));
    }
    // Without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (offers_links_ && ::linkat(source.directory, source.name.c_str(), target.directory,
                                  target.name.c_str(), 0) == 0) {
        if (::unlinkat(source.directory, source.name.c_str(), 0) != 0) {
            const int error = errno;
            ::unlinkat(target.directory, target.name.c_str(), 0);
            return Counted(ErrnoStatus(error));
        }
        return FsStatus::Ok();
    }
    if (offers_links_ && !Refused(errno) && errno != EXDEV) {
        return Counted(ErrnoStatus(errno));
    }
    // Neither (FUSE volumes): look, then rename. Only a program that ignores the
    // directory's lock could put a file under the name in between.
    if (Exists(to)) {
        return Counted(ErrnoStatus(EEXIST));
    }
    if (::renameat(source.directory, source.name.c_str(), target.directory, target.name.c_str()) !=
        0) {
        return Counted(ErrnoStatus(errno));
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::LinkNoReplace(const std::filesystem::path& existing,
                                        const std::filesystem::path& to) {
    const Place source = At(existing);
    const Place target = At(to);
    if (!offers_links_) {
        return FsStatus::Unsupported(std::strerror(EPERM));
    }
    if (::linkat(source.directory, source.name.c_str(), target.directory, target.name.c_str(), 0) ==
        0) {
        return FsStatus::Ok();
    }
    const int error = errno;
    if (Refused(error) || error == EXDEV || error == EMLINK) {
        return FsStatus::Unsupported(std::strerror(error));
    }
    return Counted(ErrnoStatus(error));
}

FsStatus PosixFileSystem::RenameReplacing(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    const Place source = At(from);
    const Place target = At(to);
    if (::renameat(source.directory, source.name.c_str(), target.directory, target.name.c_str()) !=
        0) {
        return Counted(ErrnoStatus(errno));
    }
    return FsStatus::Ok();
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

std::filesystem::path TemporaryNameIn(const std::filesystem::path& directory) {
    static std::atomic<unsigned> counter{0};
    char name[40];
    std::snprintf(name, sizeof name, ".korvane-%010ld-%08x.tmp", static_cast<long>(::getpid()),
                  counter++);
    return directory / name;
}

bool IsTemporaryName(const std::string& name) {
    // ".korvane-" 0-8, the process id 9-18, "-" 19, the counter 20-27, ".tmp" 28-31.
    const auto digits = [&](std::size_t from, std::size_t count, bool hex) {
        return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(from),
                           name.begin() + static_cast<std::ptrdiff_t>(from + count), [&](char c) {
                               return std::isdigit(static_cast<unsigned char>(c)) ||
                                      (hex && c >= 'a' && c <= 'f');
                           });
    };
    return name.size() == 32 && name.starts_with(".korvane-") && digits(9, 10, false) &&
           name[19] == '-' && digits(20, 8, true) && name.ends_with(".tmp");
}

std::string DiscardTemporary(FileSystem& fs, const std::filesystem::path& temporary) {
    const FsStatus removed = fs.Remove(temporary);
    return removed.ok() ? std::string()
                        : "; the temporary file " + DisplayName(temporary.filename()) +
                              " is left behind - " + removed.reason();
}

WrittenTemporary WriteTemporary(FileSystem& fs, const std::filesystem::path& target,
                                const std::function<FsStatus(OutputFile&)>& write_body,
                                bool durable) {
    CreateResult created = fs.CreateTemporary(target);
    if (!created.status.ok()) {
        return {created.status, {}};
    }
    FsStatus status = write_body(*created.file);
    const FsStatus closed = created.file->Close(durable);
    if (status.ok()) {
        status = closed;
    }
    if (!fs.Counted(status).ok()) {
        return {FsStatus::Fail(status.reason() + DiscardTemporary(fs, created.path)), {}};
    }
    return {status, created.path};
}

FsStatus PlaceTemporary(FileSystem& fs, const std::filesystem::path& temporary,
                        const std::filesystem::path& target) {
    const FsStatus renamed = fs.RenameNoReplace(temporary, target);
    return renamed.ok() ? renamed
                        : FsStatus::Fail(renamed.reason() + DiscardTemporary(fs, temporary));
}

FsStatus WriteNewFile(FileSystem& fs, const std::filesystem::path& target,
                      const std::function<FsStatus(OutputFile&)>& write_body, bool durable) {
    const WrittenTemporary written = WriteTemporary(fs, target, write_body, durable);
    if (!written.status.ok()) {
        return written.status;
    }
    const FsStatus renamed = PlaceTemporary(fs, written.path, target);
    return renamed.ok() && durable ? fs.SyncDirectory(target.parent_path()) : renamed;
}

}  // namespace korvane
