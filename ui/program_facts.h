// Facts about the program that its windows show.
#pragma once

#include "program_version.h"

namespace korvane {

inline constexpr const char* kProgramTitle = "Korvane Tool Suite";

}  // namespace korvane
