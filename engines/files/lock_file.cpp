#include "lock_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "posix_status.h"
#include "temporary_files.h"

namespace korvane {

namespace {

// A lock file that can not be read as one is taken for one being written for this long.
constexpr std::time_t kUnreadableGraceSeconds = 10;

// Who holds a lock: the machine and its boot, the process-id namespace, and the process
// with the moment it started (an id alone may be given to another process later).
struct Holder {
    std::string host, boot, space;
    long pid = 0;
    unsigned long long started = 0;
};

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// When process `pid` started, in clock ticks since boot; 0 when there is no such process.
unsigned long long StartOf(long pid) {
    const std::string stat = FirstLine("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos) {
        return 0;
    }
    std::istringstream fields(stat.substr(name_end + 2));
    std::string field;
    for (int i = 3; i < 22 && fields >> field; ++i) {  // fields 3 to 21 of proc(5)
    }
    unsigned long long started = 0;
    fields >> started;
    return started;
}

Holder Self() {
    Holder self;
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    self.host = host;
    self.boot = FirstLine("/proc/sys/kernel/random/boot_id");
    char space[64] = {};
    const ssize_t got = ::readlink("/proc/self/ns/pid", space, sizeof space - 1);
    self.space = got > 0 ? std::string(space, static_cast<std::size_t>(got)) : "";
    self.pid = ::getpid();
    self.started = StartOf(self.pid);
    return self;
}

std::string Describe(const Holder& holder) {
    unsigned long long token = 0;
    if (::getrandom(&token, sizeof token, 0) != sizeof token) {
        token = static_cast<unsigned long long>(std::time(nullptr)) ^ holder.started;
    }
    std::ostringstream out;
    out << "korvane-lock\nhost " << holder.host << "\nboot " << holder.boot << "\nnamespace "
        << holder.space << "\nprocess " << holder.pid << ' ' << holder.started << "\ntoken "
        << std::hex << token << '\n';
    return out.str();
}

bool Parse(const std::string& content, Holder& holder) {
    std::istringstream in(content);
    std::string word;
    return std::getline(in, word) && word == "korvane-lock" && in >> word && word == "host" &&
           in >> holder.host && in >> word && word == "boot" && in >> holder.boot && in >> word &&
           word == "namespace" && in >> holder.space && in >> word && word == "process" &&
           in >> holder.pid >> holder.started;
}

// Whether the run that wrote `content` is surely gone. A run of another machine, or of
// another process-id namespace, can not be looked at: its lock is held.
bool Stale(const std::string& content, const struct stat& info) {
    Holder holder;
    if (!Parse(content, holder)) {
        return std::time(nullptr) - info.st_mtime > kUnreadableGraceSeconds;
    }
    const Holder self = Self();
    if (holder.host != self.host) {
        return false;
    }
    if (holder.boot != self.boot) {
        return true;  // the machine was started again since
    }
    return holder.space == self.space && StartOf(holder.pid) != holder.started;
}

// The content of `name` in `directory`, and what fstat tells of it; false when unreadable.
bool ReadLock(int directory, const char* name, std::string& content, struct stat& info) {
    const int fd = ::openat(directory, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[1024];
    const ssize_t got = ::fstat(fd, &info) == 0 ? ::read(fd, buffer, sizeof buffer) : -1;
    ::close(fd);
    content.assign(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
    return got >= 0;
}

// Writes the lock's content into a new file of ours and gives it the lock's name with a
// hard link, so that the name never shows a lock half written, whenever the run is killed.
// -1: the file was written and linked; 0: the name is taken; an errno otherwise, ENOTSUP
// where the volume has no hard links.
int LinkLockFile(int directory, const std::string& content, struct stat& info) {
    // A name taken (left by a killed run of the same process id, as in a container) is
    // passed over for the next.
    std::string filled;
    int fd = -1;
    for (std::uint64_t tries = 0; fd < 0 && tries <= UINT32_MAX; ++tries) {
        filled = TemporaryNameIn("").filename().native();
        fd = ::openat(directory, filled.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) {
            return errno;
        }
    }
    if (fd < 0) {
        return EEXIST;
    }
    const bool written =
        ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()) &&
        ::fstat(fd, &info) == 0;
    int error = written ? 0 : errno;
    ::close(fd);
    if (written && ::linkat(directory, filled.c_str(), directory, kLockFileName, 0) != 0) {
        // ENOENT: a run holding the lock removed our file as one left by a killed run.
        error = errno == EEXIST || errno == ENOENT  ? 0
                : Refused(errno) || errno == EMLINK ? ENOTSUP
                                                    : errno;
    } else if (written) {
        error = -1;
    }
    ::unlinkat(directory, filled.c_str(), 0);
    return error;
}

}  // namespace

FsStatus TakeLockFile(int directory, LockFile& lock) {
    const FsStatus in_use = FsStatus::Fail(std::string("another run is writing into it (") +
                                           kLockFileName + " in the directory)");
    const std::string content = Describe(Self());
    bool links = true;
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Not synced on its own (a sync costs a journal commit): the run's first sync
        // takes it to the disk with its files. Should a power cut come first, what it
        // leaves tells of a boot that is over, or, cut short, is unreadable and taken for
        // stale once older than the grace time.
        struct stat info {};
        int error = links ? LinkLockFile(directory, content, info) : ENOTSUP;
        if (error == ENOTSUP) {
            // Without hard links the lock file is written under its name, and a run killed
            // before it wrote a word leaves one that is stale only after the grace time.
            links = false;
            const int fd = ::openat(directory, kLockFileName,
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
            error = fd < 0 ? (errno == EEXIST ? 0 : errno) : -1;
            if (fd >= 0) {
                const bool written = ::write(fd, content.data(), content.size()) ==
                                         static_cast<ssize_t>(content.size()) &&
                                     ::fstat(fd, &info) == 0;
                const int failed = errno;
                ::close(fd);
                if (!written) {
                    ::unlinkat(directory, kLockFileName, 0);
                    return ErrnoStatus(failed);
                }
            }
        }
        if (error == -1) {
            lock = {true, content, {info.st_dev, info.st_ino}};
            return FsStatus::Ok();
        }
        if (error == EACCES || error == EROFS || error == EPERM) {
            return FsStatus::Ok();  // nothing can be written here, by any run
        }
        if (error != 0) {
            return ErrnoStatus(error);
        }
        std::string found;
        if (!ReadLock(directory, kLockFileName, found, info)) {
            continue;  // gone meanwhile
        }
        if (!Stale(found, info)) {
            return in_use;
        }
        // Moved aside under a name of ours, it is removed only if it is still the one found
        // stale: another run may have taken it over and put its own in place meanwhile.
        const std::string aside = TemporaryNameIn("").filename().native();
        if (::renameat(directory, kLockFileName, directory, aside.c_str()) != 0) {
            continue;
        }
        std::string moved;
        if (ReadLock(directory, aside.c_str(), moved, info) && moved == found) {
            ::unlinkat(directory, aside.c_str(), 0);
            continue;
        }
        ::renameat(directory, aside.c_str(), directory, kLockFileName);
        return in_use;
    }
    return in_use;
}

void ReleaseLockFile(int directory, const LockFile& lock) {
    struct stat info {};
    if (lock.held && ::fstatat(directory, kLockFileName, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        FileIdentity{info.st_dev, info.st_ino} == lock.identity) {
        ::unlinkat(directory, kLockFileName, 0);
    }
}

}  // namespace korvane
