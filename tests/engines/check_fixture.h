// Shared set-up of the check and repair tests: a scratch directory with a window pointed
// at it, scripted answers, a recording report, and the report lines a check writes, built
// here from their documented wording.
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
inline const std::string kIdentifierOk = "        Header: ATR-file identifier = Ok";
inline const std::string kLongInfo =
    "        Info  : Long 256 bytes / sector implementation detected according to header "
    "information";
inline const std::string kShortInfo =
    "        Info  : Short 256 bytes / sector implementation detected according to header "
    "information";

inline const std::string kBadSector = "ERROR : Expect $80 or $100 ATARI sector size";
inline const std::string kTooSmall1k = "        ERROR : Physical file size is smaller than 1kB";
inline const std::string kTooLarge384 =
    "        ERROR : Header file size is 384 bytes too large for 256 bytes / sector implementation";
inline const std::string kTooSmall384 =
    "        ERROR : Header file size is 384 bytes too small for 256 bytes / sector implementation";

inline std::string LengthError(std::int64_t bytes, const char* way) {
    return "        ERROR : Physical file size is " + std::to_string(bytes) + " bytes too " + way +
           " according to header information";
}
// A repair step's line.
inline std::string Step(const std::string& text) {
    return "                " + text;
}
// The layout error of a length that fits neither layout: bytes to add or to cut.
inline Lines TwoWays(int add, int cut) {
    return {"        ERROR : Header file size is " + std::to_string(add) + " bytes too small or ",
            Step(std::to_string(cut) + " bytes too larger for 256 bytes / sector implementation")};
}
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
// The first four lines of a block whose identifier is right.
inline Lines Head(const std::string& name, std::int64_t physical, std::int64_t stated) {
    return {"Read  : " + name, PhysicalLine(physical), kIdentifierOk, ImageSizeLine(stated)};
}

// The data length a written header states, decoded here byte by byte.
inline std::int64_t StatedOf(const Bytes& image) {
    return (image[2] + image[3] * 256LL + image[6] * 65536LL + image[7] * 16777216LL) * 16;
}

class CheckTest : public ::testing::Test {
  protected:
    CheckTest() {
        settings.repair_mode = true;
        settings.expand_small = false;
    }

    // Writes one image and checks it alone with `settings`; its block lands in report.lines.
    CheckResult CheckFile(const std::string& name, const Bytes& bytes) {
        WriteFile(dir / name, bytes);
        return CheckImage({name, JoinPath(dir.path(), name), dir.path()}, settings, report, prompt,
                          *fs);
    }

    // The batch over the whole directory as the start buttons run it, with the window's
    // layout option and check box taken from `settings`.
    CheckRunTotals RunBatch(bool repair_mode = true) {
        window.ChooseOption(settings.layout == LayoutMode::Short  ? Control::Opt_short
                            : settings.layout == LayoutMode::Long ? Control::Opt_long
                                                                  : Control::Opt_both);
        window.SetCheckValue(Control::chk_expand_images, settings.expand_small ? 1 : 0);
        return Run(repair_mode);
    }
    // The batch with the window as it stands.
    CheckRunTotals Run(bool repair_mode = false) {
        EXPECT_TRUE(window.ApplyDirectory(dir.path()).ok());
        state.repair_mode = repair_mode;
        EngineContext context{window, report, prompt, *fs, state};
        return RunAtrCheck(context);
    }

    Bytes File(const std::string& name) const { return ReadFile(dir / name); }
    bool Has(const std::string& name) const { return std::filesystem::exists(dir / name); }
    Lines Tail(std::size_t count) const {
        return Lines(report.lines.end() - count, report.lines.end());
    }

    TempDir dir;
    CheckSettings settings;
    ScriptedPrompt prompt;
    RecordingReport report;
    PosixFileSystem posix;
    FileSystem* fs = &posix;
    PlainWindow window{posix};
    ProgramState state;
};

}  // namespace korvane::testing
