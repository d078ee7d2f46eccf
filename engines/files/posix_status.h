// Internal to the POSIX file system: errno as a status, and the errors that say an
// operation is not offered at all.
#pragma once

#include <cerrno>
#include <cstring>

#include "file_system.h"

namespace korvane {

inline FsStatus ErrnoStatus(int error) {
    return FsStatus::Fail(std::strerror(error));
}

// The answers of a file system that can not do a thing at all, rather than failing at it.
inline bool Refused(int error) {
    return error == EPERM || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

}  // namespace korvane
