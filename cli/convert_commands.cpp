// korvane-cli convert and generate: the converter and the generator over a directory.
#include <cstdio>
#include <system_error>

#include "cli_commands.h"
#include "conversion_run.h"
#include "engine_context.h"
#include "file_system.h"
#include "generation_run.h"
#include "image_geometry.h"
#include "plain_window.h"
#include "posix_file_system.h"
#include "program_location.h"
#include "report_text.h"
#include "scripted_prompt.h"
#include "stream_report_sink.h"
#include "terminal_prompt.h"

namespace korvane {

namespace {

// A whole number from 1 to 65535 written in plain digits, or 0.
long SectorCount(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const long value = std::stol(text);
    return value <= 65535 ? value : 0;
}

// Why the template at `path` counts as missing: not there (or a dangling link), not a
// regular file, or not to be looked at; empty for a regular file.
std::string TemplateFault(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))
                   ? "not found (a dangling link)"
                   : "not found";
    }
    if (error) {
        return "can not be read - " + error.message();
    }
    return status.type() == std::filesystem::file_type::regular ? std::string()
                                                                : "is not a regular file";
}

}  // namespace

int RunConvertCommand(const CommandLine& line) {
    const auto given = line.options.find("--template");
    const std::filesystem::path template_path = given == line.options.end()
                                                    ? TemplatePath(ProgramDirectory())
                                                    : AbsoluteDirectory(given->second);
    PosixFileSystem fs;
    PlainWindow window(fs);
    window.SetPattern("*.xex");
    window.KeepListAfterRuns();
    if (!ApplyCommandDirectory(window, line)) {
        return kExitCannotStart;
    }
    window.SetCheckValue(Control::chk_fit, HasFlag(line, "--fit") ? 1 : 0);

    // The missing template's message box goes to standard error.
    ReportOutput output(line, window);
    ScriptedPrompt prompt = TerminalPrompt(output.stream());
    ProgramState state;
    state.repair_mode = false;
    EngineContext context{window, output.sink(), prompt, fs, state, &g_stop_request, PrintNotice};
    const ConversionRunTotals totals = RunXexConversionWithTemplate(context, template_path);
    if (totals.template_failed || totals.could_not_start) {
        // The message box keeps the window's wording; the path that was tried is named here,
        // with what is wrong with it.
        if (totals.template_failed) {
            const std::string why = TemplateFault(template_path);
            if (!why.empty()) {
                std::fprintf(stderr, "korvane-cli: template %s %s\n",
                             DisplayName(template_path).c_str(), why.c_str());
            }
        }
        return kExitCannotStart;
    }
    return output.Finish(totals.failed_file_operations > 0 ? kExitFileOperationFailed
                         : totals.not_converted_count > 0  ? kExitFindings
                                                           : kExitClean);
}

int RunGenerateCommand(const CommandLine& line) {
    const std::string sector_size = OptionValue(line, "--sector-size", "128");
    if (sector_size != "128" && sector_size != "256") {
        std::fprintf(stderr, "korvane-cli: --sector-size takes 128 or 256\n");
        return kExitCannotStart;
    }
    // The DOS the disk is formatted for, in the window's wording.
    const std::string format = OptionValue(line, "--format", "");
    const char* dos = format.empty()      ? "No DOS"
                      : format == "dos2"  ? "DOS 2.0"
                      : format == "dos25" ? "DOS 2.5"
                      : format == "mydos" ? "MyDOS"
                                          : nullptr;
    if (dos == nullptr) {
        std::fprintf(stderr, "korvane-cli: --format takes dos2, dos25 or mydos\n");
        return kExitCannotStart;
    }
    const std::string sectors_text = OptionValue(line, "--sectors", "720");
    // 256-byte images are written in the short layout, which needs the three boot sectors.
    const long smallest = sector_size == "256" ? 3 : 1;
    const long sectors = SectorCount(sectors_text);
    if (sectors < smallest) {
        std::fprintf(stderr, "korvane-cli: --sectors takes a number from %ld to 65535\n", smallest);
        return kExitCannotStart;
    }

    PosixFileSystem fs;
    PlainWindow window(fs);
    window.SetPattern("*.atr");
    window.KeepListAfterRuns();
    if (!ApplyCommandDirectory(window, line)) {
        return kExitCannotStart;
    }
    window.SetText(Control::Combo_byte_per_sector, sector_size);
    window.SetText(Control::Combo_no_of_sectors, std::to_string(sectors));
    window.SetText(Control::Combo_format, dos);
    UpdateImageSize(window);
    window.SetText(Control::Txt_filename, OptionValue(line, "--name", "NEWFILE"));

    ReportOutput output(line, window);
    ScriptedPrompt prompt = TerminalPrompt(output.stream());
    ProgramState state;
    EngineContext context{window, output.sink(), prompt, fs, state, &g_stop_request, PrintNotice};
    const GenerationTotals totals = RunAtrGeneration(context);
    if (totals.could_not_start) {
        return kExitCannotStart;
    }
    return output.Finish(totals.failed_file_operations > 0 ? kExitFileOperationFailed
                         : totals.generated                ? kExitClean
                                                           : kExitFindings);
}

}  // namespace korvane
