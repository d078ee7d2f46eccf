// What every engine run does with the window around its work: lock the controls that
// could change its inputs, and afterwards unlock them and list the directory anew.
#pragma once

#include <span>

#include "window_controls.h"

namespace korvane {

// Disables `controls` in their order.
void LockControls(WindowControls& window, std::span<const Control> controls);

// Enables `controls` in their order, lists the file list's directory anew, writes the
// new count into source_count and sets the progress bar back to 0.
void UnlockAndRelist(WindowControls& window, std::span<const Control> controls);

}  // namespace korvane
