// Shared set-up of the repair tests: a scratch directory, scripted answers, a recording
// report, and runs of one image or of the whole batch as "Start Repair" does them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check_image.h"
#include "check_run.h"
#include "engine_context.h"
#include "plain_window.h"
#include "recording.h"
#include "report_text.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

namespace korvane::testing {

inline const std::string kFailLine =
    "Result: " + std::string(39, '=') + " F A I L " + std::string(39, '=');

// Report lines the test steps write, built here from their documented wording.
inline std::string PhysicalLine(std::int64_t n) {
    return "        Physical filelength         = $" + Hex(n) + " bytes (" + std::to_string(n) +
           " byte)";
}
inline std::string ImageSizeLine(std::int64_t n) {
    return "        Header: Image size          = $" + Hex(n) + " bytes (" + std::to_string(n) +
           " byte)";
}
inline std::string SectorOkLine(int size) {
    return "        Header: ATARI sector size   = Ok ($" + Hex(size) + " byte)";
}
inline const std::string kIdentifierOk = "        Header: ATR-file identifier = Ok";

// The data length a written header states, decoded here byte by byte.
inline std::int64_t StatedOf(const Bytes& image) {
    return (static_cast<std::int64_t>(image[2]) + image[3] * 256LL + image[6] * 65536LL +
            image[7] * 16777216LL) *
           16;
}
inline int SectorOf(const Bytes& image) {
    return image[4] + image[5] * 256;
}
inline bool ReservedZero(const Bytes& image) {
    for (std::size_t i = 8; i < 16; ++i) {
        if (image[i] != 0) {
            return false;
        }
    }
    return true;
}

class RepairTest : public ::testing::Test {
  protected:
    RepairTest() {
        settings.repair_mode = true;
        settings.layout = LayoutMode::Both;
        settings.expand_small = false;
    }

    // Writes one image and repairs it alone; its block lands in report.lines.
    CheckResult RepairImage(const std::string& name, const Bytes& bytes) {
        WriteFile(dir / name, bytes);
        return RepairExisting(name);
    }
    CheckResult RepairExisting(const std::string& name) {
        ImageLocation image;
        image.name = name;
        image.path = JoinPath(dir.path(), name);
        image.backup_dir = dir.path();
        return CheckImage(image, settings, report, prompt, *fs);
    }

    // The batch over the whole directory, with the window's settings taken from
    // `settings`; repair_mode false makes it a test run.
    CheckRunTotals RunBatch(bool repair_mode = true) {
        PlainWindow window(*fs);
        window.SetPattern("*.atr");
        window.ChooseOption(settings.layout == LayoutMode::Short  ? Control::Opt_short
                            : settings.layout == LayoutMode::Long ? Control::Opt_long
                                                                  : Control::Opt_both);
        window.SetCheckValue(Control::chk_expand_images, settings.expand_small ? 1 : 0);
        EXPECT_TRUE(window.ApplyDirectory(dir.path()).ok());
        ProgramState state;
        state.repair_mode = repair_mode;
        EngineContext context{window, report, prompt, *fs, state};
        return RunAtrCheck(context);
    }

    Bytes File(const std::string& name) const { return ReadFile(dir / name); }
    bool Has(const std::string& name) const { return std::filesystem::exists(dir / name); }

    TempDir dir;
    CheckSettings settings;
    ScriptedPrompt prompt;
    RecordingReport report;
    PosixFileSystem posix;
    FileSystem* fs = &posix;
};

}  // namespace korvane::testing
