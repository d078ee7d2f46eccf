#include "generation_run.h"

#include <algorithm>
#include <array>

#include "atr_header.h"
#include "directory_lock.h"
#include "report_text.h"
#include "run_controls.h"
#include "temporary_files.h"

namespace korvane {

namespace {

// The controls a generation locks while it writes, in this order.
constexpr Control kLockedControls[] = {
    Control::Cmd_generation,
    Control::Combo_byte_per_sector,
    Control::Combo_no_of_sectors,
};

// Zero paragraphs are written this many bytes at a time; the progress bar moves after
// each such chunk rather than after every paragraph.
constexpr std::size_t kZeroChunkBytes = 64 * 1024;
constexpr std::int64_t kParagraphsPerChunk =
    static_cast<std::int64_t>(kZeroChunkBytes) / atr::kParagraphSize;

// A C0 control, DEL, or a C1 control as UTF-8 (U+0080 to U+009F): a name that would
// break the report's lines and every listing that shows it.
bool HoldsControlCharacter(const std::string& name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const bool c1 = byte == 0xC2 && i + 1 < name.size() &&
                        (static_cast<unsigned char>(name[i + 1]) & 0xE0) == 0x80;
        if (byte < 0x20 || byte == 0x7F || c1) {
            return true;
        }
    }
    return false;
}

// Writes the header and `paragraphs` paragraphs of zero bytes.
// A stop request (Ctrl-C, SIGTERM) ends it between chunks: the temporary file goes, and no
// partial image ever takes the name.
FsStatus WriteEmptyImage(OutputFile& file, const AtrHeaderBytes& header, std::int64_t paragraphs,
                         WindowControls& window, const volatile std::sig_atomic_t* stop_request) {
    static const std::array<std::uint8_t, kZeroChunkBytes> zeros{};
    FsStatus status = file.Write(header);
    std::int64_t written = 0;
    while (status.ok() && written < paragraphs) {
        const std::int64_t chunk = std::min(kParagraphsPerChunk, paragraphs - written);
        status = file.Write(
            std::span(zeros).first(static_cast<std::size_t>(chunk * atr::kParagraphSize)));
        written += chunk;
        window.SetProgressValue(written);
        if (status.ok() && stop_request != nullptr && *stop_request != 0) {
            status = FsStatus::Fail("the run was interrupted");
        }
    }
    return status;
}

// Checks the inputs and writes the image; appends every line of the outcome.
bool Generate(EngineContext& context, std::int64_t size, std::int64_t sector_size) {
    WindowControls& window = context.window;
    ReportSink& report = context.report;

    const std::string name = window.Text(Control::Txt_filename);
    const std::filesystem::path path = JoinPath(window.SourcePath(), name + ".ATR");
    if (name.empty() || context.fs.Exists(path)) {
        report.Append("ERROR: File already exists or empty filename");
        report.SelectLast();
        return false;
    }
    // The image goes into the current directory, never into another one.
    if (name.find('/') != std::string::npos) {
        report.Append("ERROR: A file name can not hold \"/\"");
        report.SelectLast();
        return false;
    }
    if (HoldsControlCharacter(name)) {
        report.Append("ERROR: A file name can not hold control characters");
        report.SelectLast();
        return false;
    }
    // A name that begins with "." makes a hidden file, which the file list never shows.
    if (name.front() == '.') {
        report.Append("ERROR: A file name can not begin with \".\"");
        report.SelectLast();
        return false;
    }
    // Typed inputs may hold what the two lists never offer.
    if (size < static_cast<std::int64_t>(atr::kHeaderSize) || size > atr::kMaxLength) {
        report.Append("ERROR: Image size shall be from 16 to 2147483647 bytes");
        report.SelectLast();
        return false;
    }
    if (sector_size != atr::kSingleSectorSize && sector_size != atr::kDoubleSectorSize) {
        report.Append("ERROR: Sector size shall be 128 or 256 bytes");
        report.SelectLast();
        return false;
    }

    // A size that is not 16 plus whole paragraphs loses its remainder.
    const std::int64_t paragraphs =
        (size - static_cast<std::int64_t>(atr::kHeaderSize)) / atr::kParagraphSize;
    const AtrHeaderBytes header =
        EncodeAtrHeader(paragraphs * atr::kParagraphSize, static_cast<int>(sector_size));
    window.SetProgressRange(0, paragraphs);

    // Written under a temporary name and renamed into place, never over an existing file.
    bool placed = false;
    const FsStatus written = WriteNewFile(
        context.fs, path,
        [&](OutputFile& file) {
            return WriteEmptyImage(file, header, paragraphs, window, context.stop_request);
        },
        true, &placed);
    if (placed && !written.ok()) {
        // Complete under its name, which a power cut may yet take away.
        report.Append("ERROR: " + DisplayName(path) +
                      " is written, but the directory can not be synced - " + written.reason());
        report.SelectLast();
        return true;
    }
    if (!written.ok()) {
        report.Append("ERROR: Can not write " + DisplayName(path) + " - " + written.reason());
        report.SelectLast();
        return false;
    }
    report.Append(DisplayName(path));
    report.Append("successfully generated");
    report.SelectLast();
    return true;
}

}  // namespace

GenerationTotals RunAtrGeneration(EngineContext& context) {
    WindowControls& window = context.window;
    const std::int64_t size = LeadingNumber(window.Text(Control::Txt_image_size));
    const std::int64_t sector_size =
        LeadingNumber(window.ComboText(Control::Combo_byte_per_sector));

    LockControls(window, kLockedControls);
    context.report.Clear();
    const std::int64_t failures_before = context.fs.failed_operations();

    GenerationTotals totals;
    std::unique_ptr<DirectoryLock> lock;
    totals.could_not_start = !StartWritingRun(context, window.SourcePath(), lock);
    totals.generated = !totals.could_not_start && Generate(context, size, sector_size);
    lock.reset();

    UnlockAndRelist(window, kLockedControls);
    totals.failed_file_operations = context.fs.failed_operations() - failures_before;
    return totals;
}

}  // namespace korvane
