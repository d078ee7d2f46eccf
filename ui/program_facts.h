// Facts about the program that its windows show.
#pragma once

namespace korvane {

inline constexpr const char* kProgramTitle = "Korvane Tool Suite";
inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 16;

}  // namespace korvane
