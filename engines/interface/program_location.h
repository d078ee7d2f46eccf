// Where the running program lives: the template disk and the help file lie beside it.
#pragma once

#include <filesystem>

namespace korvane {

// The directory of the running executable, links resolved, without a trailing "/".
std::filesystem::path ProgramDirectory();

// The executable's file name without its extension.
std::filesystem::path ProgramFileName();

// A directory given by the user made absolute, without resolving links and without a
// trailing "/" (the root stays "/").
std::filesystem::path AbsoluteDirectory(const std::filesystem::path& directory);

}  // namespace korvane
