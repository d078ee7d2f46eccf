#include "file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

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

}  // namespace

FsStatus PosixFileSystem::List(const std::filesystem::path& directory,
                               std::vector<DirectoryEntry>& entries) {
    entries.clear();
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec) {
        return FsStatus::Fail(ec.message());
    }
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            return FsStatus::Fail(ec.message());
        }
        std::error_code type_ec;
        // is_regular_file follows links, so a link to a regular file counts.
        const bool regular = it->is_regular_file(type_ec);
        entries.push_back({it->path().filename(), regular && !type_ec});
    }
    if (ec) {
        return FsStatus::Fail(ec.message());
    }
    return FsStatus::Ok();
}

ReadResult PosixFileSystem::ReadWhole(const std::filesystem::path& path, std::int64_t max_length) {
    ReadResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.status = ErrnoStatus(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.status = ErrnoStatus(errno);
        ::close(fd);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.status = FsStatus::Fail("not a regular file");
        ::close(fd);
        return result;
    }
    if (info.st_size > max_length) {
        result.status =
            FsStatus::Fail("file is larger than " + std::to_string(max_length) + " bytes");
        ::close(fd);
        return result;
    }
    // Read to the end even if the length changed since fstat, but never past the limit.
    result.bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
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
    if (!result.status.ok()) {
        result.bytes.clear();
        return result;
    }
    result.bytes.resize(filled);
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
        result.status = ErrnoStatus(errno);
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
        return ErrnoStatus(errno);
    }
    // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return ErrnoStatus(errno);
    }
    if (::unlink(from.c_str()) != 0) {
        const int error = errno;
        ::unlink(to.c_str());
        return ErrnoStatus(error);
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
    return ErrnoStatus(error);
}

FsStatus PosixFileSystem::RenameReplacing(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return ErrnoStatus(errno);
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::Remove(const std::filesystem::path& path) {
    if (::unlink(path.c_str()) != 0) {
        return ErrnoStatus(errno);
    }
    return FsStatus::Ok();
}

std::filesystem::path TemporaryNameFor(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    std::string name = ".";
    name += target.filename().native();
    name += ".korvane-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
    return target.parent_path() / name;
}

FsStatus WriteNewFile(FileSystem& fs, const std::filesystem::path& target,
                      const std::function<FsStatus(OutputFile&)>& write_body, bool durable) {
    const std::filesystem::path temporary = TemporaryNameFor(target);
    CreateResult created = fs.CreateExclusive(temporary);
    if (!created.status.ok()) {
        return created.status;
    }
    FsStatus status = write_body(*created.file);
    const FsStatus closed = created.file->Close(durable);
    if (status.ok()) {
        status = closed;
    }
    if (status.ok()) {
        status = fs.RenameNoReplace(temporary, target);
    }
    if (!status.ok()) {
        fs.Remove(temporary);
    }
    return status;
}

}  // namespace korvane
