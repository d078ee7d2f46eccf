#include "run_controls.h"

#include <string>

namespace korvane {

void LockControls(WindowControls& window, std::span<const Control> controls) {
    for (const Control control : controls) {
        window.SetEnabled(control, false);
    }
}

void UnlockAndRelist(WindowControls& window, std::span<const Control> controls) {
    for (const Control control : controls) {
        window.SetEnabled(control, true);
    }
    window.RefreshFileList();
    window.SetCaption(Control::source_count, std::to_string(window.FileCount()));
    window.SetProgressValue(0);
}

}  // namespace korvane
