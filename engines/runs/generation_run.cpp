#include "generation_run.h"

#include <algorithm>
#include <array>

#include "atr_header.h"
#include "directory_lock.h"
#include "disk_formats.h"
#include "image_geometry.h"
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
    Control::Combo_format,
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

// Writes the header, the formatted first sectors `head` (whole paragraphs, may be none)
// and zero bytes up to `paragraphs` paragraphs.
// A stop request (Ctrl-C, SIGTERM) ends it between chunks: the temporary file goes, and no
// partial image ever takes the name.
FsStatus WriteEmptyImage(OutputFile& file, const AtrHeaderBytes& header,
                         std::span<const std::uint8_t> head, std::int64_t paragraphs,
                         WindowControls& window, const volatile std::sig_atomic_t* stop_request) {
    static const std::array<std::uint8_t, kZeroChunkBytes> zeros{};
    FsStatus status = file.Write(header);
    if (status.ok() && !head.empty()) {
        status = file.Write(head);
    }
    std::int64_t written = static_cast<std::int64_t>(head.size()) / atr::kParagraphSize;
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

// The DOS Combo_format names; kNone for any other text.
DosChoice ChosenDos(const std::string& text) {
    for (std::size_t i = 1; i < kFormatItems.size(); ++i) {
        if (text == kFormatItems[i]) {
            return static_cast<DosChoice>(i);
        }
    }
    return DosChoice::kNone;
}

// The line for a geometry `dos` does not format.
std::string CannotFormatLine(DosChoice dos) {
    switch (dos) {
        case DosChoice::kDos2:
            return "ERROR: DOS 2.0 formats only 720 sectors of 128 or 256 bytes";
        case DosChoice::kDos25:
            return "ERROR: DOS 2.5 formats only 1040 sectors of 128 bytes";
        default:
            return "ERROR: MyDOS formats only 1024 to 65535 sectors, but not 1040 sectors of 128 "
                   "bytes (DOS 2.5)";
    }
}

// The formatted first sectors of an image of `paragraphs` paragraphs for `dos`; false
// when the DOS does not format that geometry.
bool FormattedHead(DosChoice dos, std::int64_t paragraphs, int sector_size,
                   std::vector<std::uint8_t>& head) {
    const std::int64_t length = paragraphs * atr::kParagraphSize;
    constexpr std::int64_t kShortBoot = 3 * 128;
    const std::int64_t sectors =
        sector_size == 128 ? length / 128 : (length - kShortBoot) / sector_size + 3;
    const bool whole = sector_size == 128 ? length % 128 == 0
                                          : length > kShortBoot && (length - kShortBoot) % 256 == 0;
    const std::unique_ptr<DiskFormat> format =
        whole ? FormatFor(dos, sector_size, sectors) : nullptr;
    if (format) {
        head = FormattedDiskHead(*format);
    }
    return format != nullptr;
}

// Checks the inputs and writes the image; appends every line of the outcome.
bool Generate(EngineContext& context, std::int64_t size, std::int64_t sector_size, DosChoice dos) {
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
    std::vector<std::uint8_t> head;
    if (dos != DosChoice::kNone &&
        !FormattedHead(dos, paragraphs, static_cast<int>(sector_size), head)) {
        report.Append(CannotFormatLine(dos));
        report.SelectLast();
        return false;
    }
    const AtrHeaderBytes header =
        EncodeAtrHeader(paragraphs * atr::kParagraphSize, static_cast<int>(sector_size));
    window.SetProgressRange(0, paragraphs);

    // Written under a temporary name and renamed into place, never over an existing file.
    bool placed = false;
    const FsStatus written = WriteNewFile(
        context.fs, path,
        [&](OutputFile& file) {
            return WriteEmptyImage(file, header, head, paragraphs, window, context.stop_request);
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
    const DosChoice dos = ChosenDos(window.ComboText(Control::Combo_format));

    LockControls(window, kLockedControls);
    context.report.Clear();
    const std::int64_t failures_before = context.fs.failed_operations();

    GenerationTotals totals;
    std::unique_ptr<DirectoryLock> lock;
    totals.could_not_start = !StartWritingRun(context, window.SourcePath(), lock);
    totals.generated = !totals.could_not_start && Generate(context, size, sector_size, dos);
    lock.reset();

    UnlockAndRelist(window, kLockedControls);
    totals.failed_file_operations = context.fs.failed_operations() - failures_before;
    return totals;
}

}  // namespace korvane
