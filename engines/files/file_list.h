// The file list of the source panel: which files of a directory a tool works on, and in
// which order. The window and the command-line tool both list through here.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "file_system.h"

namespace korvane {

inline constexpr const char* kAtrPattern = "*.atr";
inline constexpr const char* kXexPattern = "*.xex";

// The file list's order: by name without regard to ASCII case, then by the name's bytes.
bool SourceNameLess(const std::filesystem::path& a, const std::filesystem::path& b);

// The regular files of `directory` (links to regular files count) whose names match
// the glob `pattern` without regard to letter case, hidden names left out, sorted by name without
// regard to ASCII case and, for names equal in that, by their bytes.
FsStatus ListSourceFiles(FileSystem& fs, const std::filesystem::path& directory,
                         const std::string& pattern, std::vector<std::filesystem::path>& files);

}  // namespace korvane
