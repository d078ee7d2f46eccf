// Renames and links that never replace an existing name, with the fallbacks for volumes
// that offer neither RENAME_NOREPLACE nor hard links.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "posix_file_system.h"
#include "posix_status.h"

namespace korvane {

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

}  // namespace korvane
