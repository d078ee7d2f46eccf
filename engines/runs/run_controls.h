// What every engine run does with the window around its work: lock the controls that
// could change its inputs, and afterwards unlock them and list the directory anew; and
// the file loop that the check and the conversion runs share.
#pragma once

#include <filesystem>
#include <functional>
#include <span>

#include "engine_context.h"
#include "window_controls.h"

namespace korvane {

// Disables `controls` in their order.
void LockControls(WindowControls& window, std::span<const Control> controls);

// Enables `controls` in their order, lists the file list's directory anew, writes the
// new count into source_count and sets the progress bar back to 0.
void UnlockAndRelist(WindowControls& window, std::span<const Control> controls);

// Called once per file of a batch with its name as listed, or with nullptr when the
// count in source_count runs past the list (the directory changed under the run).
using BatchFileStep = std::function<void(const std::filesystem::path* name)>;

// The batch loop over the file list: locks `controls`, sets the progress range to the
// count in source_count and, while engine_running is set, records where each file's
// block of report lines begins, moves the progress bar, selects the file's entry and
// calls `each`; the directory is held open meanwhile (FileSystem::HoldDirectory). Then
// records where the summary begins, calls `summary`, and unlocks and relists. A directory
// that is gone, or a locked directory replaced by another, ends the loop with one report
// line, and the summary of what was done follows. A stop request ends the loop after the
// file in hand, without a summary, and the result is false. `finish`, when given, runs
// last before the controls are unlocked and the directory listed anew: the files of a
// write group take their names there.
bool RunFileBatch(EngineContext& context, std::span<const Control> controls,
                  const BatchFileStep& each, const std::function<void()>& summary,
                  const std::function<void()>& finish = nullptr);

}  // namespace korvane
