// Internal to the POSIX file system: the lock file that a writing run keeps in its
// directory. An flock belongs to one path's view of a directory (each FUSE mount keeps its
// own), while a file inside the directory is seen through every path that reaches it.
#pragma once

#include <cstdint>
#include <string>

#include "file_system.h"

namespace korvane {

// The name of the lock file; no temporary name and no image name looks like it.
inline constexpr const char* kLockFileName = ".korvane-lock";

// The lock file a run holds: what it wrote into it, and which file it is.
struct LockFile {
    bool held = false;
    std::string content;
    FileIdentity identity;
};

// Creates the lock file in the directory open as `directory`, never over an existing one.
// One that a run left behind when it was killed or the machine went down (its process is
// gone, or the machine was started again since) is taken over. A directory where no file
// can be created gets none: no run can write there either.
FsStatus TakeLockFile(int directory, LockFile& lock);
// Removes the lock file, if it is still the one taken.
void ReleaseLockFile(int directory, const LockFile& lock);

}  // namespace korvane
