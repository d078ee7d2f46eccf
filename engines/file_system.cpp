#include "file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
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
        if (info.owner >= 0 &&
            ::fchown(fd_, static_cast<uid_t>(info.owner), static_cast<gid_t>(info.group)) != 0 &&
            errno != EPERM) {
            return ErrnoStatus(errno);
        }
        if (::fchmod(fd_, static_cast<mode_t>(info.mode & 07777)) != 0) {
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
    explicit PosixDirectoryLock(int fd) : fd_(fd) {}
    ~PosixDirectoryLock() override { ::close(fd_); }  // closing releases the lock

  private:
    int fd_;
};

// Opens a file for reading without blocking (a FIFO would wait for a writer) and keeps it
// only when it is a regular file; returns the descriptor or -1 with `status` set.
int OpenRegular(const std::filesystem::path& path, FileInfo& info, FsStatus& status) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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
    const std::filesystem::path temporary = TemporaryNameIn(target.parent_path());
    CreateResult result = CreateExclusive(temporary);
    result.path = temporary;
    return result;
}

FsStatus PosixFileSystem::List(const std::filesystem::path& directory,
                               std::vector<DirectoryEntry>& entries) {
    entries.clear();
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec) {
        return Counted(FsStatus::Fail(ec.message()));
    }
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            return Counted(FsStatus::Fail(ec.message()));
        }
        std::error_code type_ec;
        // is_regular_file follows links, so a link to a regular file counts.
        const bool regular = it->is_regular_file(type_ec);
        entries.push_back({it->path().filename(), regular && !type_ec});
    }
    if (ec) {
        return Counted(FsStatus::Fail(ec.message()));
    }
    return FsStatus::Ok();
}

ReadResult PosixFileSystem::ReadWhole(const std::filesystem::path& path, std::int64_t max_length) {
    ReadResult result;
    FileInfo info;
    const int fd = OpenRegular(path, info, result.status);
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
    const int fd = OpenRegular(path, info, result.status);
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
    const int fd = OpenRegular(path, info, status);
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
        result.lock = std::make_unique<PosixDirectoryLock>(fd);
    }
    return result;
}

bool PosixFileSystem::Exists(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool PosixFileSystem::IsRegularFile(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

CreateResult PosixFileSystem::CreateExclusive(const std::filesystem::path& path) {
    CreateResult result;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        result.status = Counted(ErrnoStatus(errno));
        return result;
    }
    result.file = std::make_unique<PosixOutputFile>(fd);
    return result;
}

FsStatus PosixFileSystem::RenameNoReplace(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return FsStatus::Ok();
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return Counted(ErrnoStatus(errno));
    }
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return Counted(ErrnoStatus(errno));
    }
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        return Counted(ErrnoStatus(error));
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::LinkNoReplace(const std::filesystem::path& existing,
                                        const std::filesystem::path& to) {
    if (::link(existing.c_str(), to.c_str()) == 0) {
        return FsStatus::Ok();
    }
    const int error = errno;
    if (error == EPERM || error == EOPNOTSUPP || error == EXDEV || error == EMLINK) {
        return FsStatus::Unsupported(std::strerror(error));
    }
    return Counted(ErrnoStatus(error));
}

FsStatus PosixFileSystem::RenameReplacing(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return Counted(ErrnoStatus(errno));
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::Remove(const std::filesystem::path& path) {
    if (::unlink(path.c_str()) != 0) {
        return Counted(ErrnoStatus(errno));
    }
    return FsStatus::Ok();
}

std::filesystem::path TemporaryNameIn(const std::filesystem::path& directory) {
    static std::atomic<unsigned> counter{0};
    char name[40];
    std::snprintf(name, sizeof name, ".korvane-%010ld-%08x.tmp", static_cast<long>(::getpid()),
                  counter++);
    return directory / name;
}

long TemporaryOwner(const std::string& name) {
    long pid = 0;
    unsigned count = 0;
    int end = 0;
    if (name.size() != 32 ||
        std::sscanf(name.c_str(), ".korvane-%10ld-%8x.tmp%n", &pid, &count, &end) != 2 ||
        end != 32) {
        return 0;
    }
    return pid;
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

FsStatus WriteNewFile(FileSystem& fs, const std::filesystem::path& target,
                      const std::function<FsStatus(OutputFile&)>& write_body, bool durable) {
    const WrittenTemporary written = WriteTemporary(fs, target, write_body, durable);
    if (!written.status.ok()) {
        return written.status;
    }
    const FsStatus renamed = fs.RenameNoReplace(written.path, target);
    if (!renamed.ok()) {
        return FsStatus::Fail(renamed.reason() + DiscardTemporary(fs, written.path));
    }
    return renamed;
}

}  // namespace korvane
