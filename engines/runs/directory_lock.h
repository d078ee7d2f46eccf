// A run that writes into a directory (repair, conversion, generation) holds that
// directory's lock from its start to its end, so that two such runs never write into one
// directory at once. Check runs take no lock.
#pragma once

#include <filesystem>
#include <memory>

#include "engine_context.h"

namespace korvane {

// Takes the lock of `directory` into `held`. When another run holds it, tells the user in
// a message box and returns false: the run stops before it touches anything. Otherwise
// removes every temporary file of ours, which runs that ended left behind, with one notice
// each (outside the report), and returns true.
bool StartWritingRun(EngineContext& context, const std::filesystem::path& directory,
                     std::unique_ptr<DirectoryLock>& held);

}  // namespace korvane
