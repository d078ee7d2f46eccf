#include "conversion_run.h"

#include <optional>
#include <vector>

#include "atr_header.h"
#include "check_run.h"
#include "directory_lock.h"
#include "disk_formats.h"
#include "larger_disk.h"
#include "loader_placement.h"
#include "report_text.h"
#include "run_controls.h"
#include "temporary_files.h"
#include "write_group.h"
#include "xex_writer.h"

namespace korvane {

namespace {

// The controls a conversion run locks while it goes through the files, in this order.
constexpr Control kLockedControls[] = {
    Control::Cmd_start_conversion, Control::source_path,  Control::source_file,
    Control::source_dir,           Control::source_drive,
};

// The shortest XEX file that is converted.
constexpr std::int64_t kMinimumXexLength = 128;

std::string FailLine() {
    return std::string("Result:   ") + kFailRule + kFailWord + kFailRule;
}

enum class FileOutcome { Converted, NotConverted };

// Writes a built image as a new file: under a temporary name, renamed into place, never
// over an existing file; in a group, the rename waits for the group's sync.
bool WriteImage(EngineContext& context, const std::filesystem::path& output_path,
                std::span<const std::uint8_t> image, WriteGroup* group,
                const std::function<void()>& failed_later) {
    ReportSink& report = context.report;
    report.Append("Generate: " + DisplayName(output_path));
    report.SelectLast();

    const auto write = [&](OutputFile& file) { return file.Write(image); };
    const auto failed = [&report](const FsStatus& status) {
        report.Append("ERROR   : Can not write ATR file - " + status.reason());
        report.SelectLast();
    };
    const auto unsynced = [&report, output_path](const FsStatus& status) {
        report.Append("ERROR   : " + DisplayName(output_path.filename()) +
                      " is written, but the directory can not be synced - " + status.reason());
        report.SelectLast();
    };
    if (group == nullptr) {
        bool placed = false;
        const FsStatus written = WriteNewFile(context.fs, output_path, write, true, &placed);
        if (!written.ok()) {
            placed ? unsynced(written) : failed(written);
        }
        return written.ok();
    }
    const WrittenTemporary written = WriteTemporary(context.fs, output_path, write, false);
    if (!written.status.ok()) {
        failed(written.status);
        return false;
    }
    // A new image keeps nothing: it takes its name after the group's sync.
    struct NewImage final : WriteGroup::Placing {
        FileSystem& fs;
        std::function<void(const FsStatus&)> failed, unsynced;
        std::function<void()> failed_later;
        std::filesystem::path temporary, output_path;
        FsStatus placed = FsStatus::Ok();
        NewImage(FileSystem& fs, std::function<void(const FsStatus&)> failed,
                 std::function<void(const FsStatus&)> unsynced, std::function<void()> failed_later,
                 std::filesystem::path temporary, std::filesystem::path output_path)
            : fs(fs),
              failed(std::move(failed)),
              unsynced(std::move(unsynced)),
              failed_later(std::move(failed_later)),
              temporary(std::move(temporary)),
              output_path(std::move(output_path)) {}
        void Name(const FsStatus& synced) override {
            placed = synced.ok()
                         ? PlaceTemporary(fs, temporary, output_path)
                         : FsStatus::Fail(synced.reason() + DiscardTemporary(fs, temporary));
        }
        void Report(const FsStatus& names_synced) override {
            if (!placed.ok()) {
                failed(placed);
                failed_later();
            } else if (!names_synced.ok()) {
                unsynced(names_synced);
            }
        }
    };
    group->Defer(output_path, static_cast<std::int64_t>(image.size()), 0,
                 std::make_unique<NewImage>(context.fs, failed, unsynced, failed_later,
                                            written.path, output_path));
    return true;
}

// The fit mode's part of a run: the template's boot loader, for the larger disks.
struct FitMode {
    std::optional<BootLoader> loader;
    std::int64_t largest = 0;  // the longest file a larger disk holds, 0 without a loader
};

// Lays out and writes the larger disk `format` for a file the template cannot hold, around
// the template's boot loader; false, with the line of a failed build, when it is not built.
bool BuildLargerImage(EngineContext& context, const std::filesystem::path& output_path,
                      std::span<const std::uint8_t> xex, const BootLoader& loader,
                      const DiskFormat& format, WriteGroup& group,
                      const std::function<void()>& failed_later) {
    const std::vector<std::uint8_t> image = LayOutBootDisk(format, loader, xex);
    if (image.empty()) {
        context.report.Append("ERROR   : Can not generate ATR file");
        return false;
    }
    return WriteImage(context, output_path, image, &group, failed_later);
}

// The memory a run reuses from file to file: the XEX file read and the image built.
struct RunBuffers {
    ReadBuffer xex;
    std::vector<std::uint8_t> image;
};

// One file's block: read, length tests, output name, skip or build.
FileOutcome ConvertOne(EngineContext& context, const std::filesystem::path& directory,
                       const std::filesystem::path& name, const LoadedTemplate& loaded,
                       const std::optional<FitMode>& fit, WriteGroup& group,
                       const std::function<void()>& failed_later, RunBuffers& buffers) {
    ReportSink& report = context.report;
    const std::filesystem::path path = JoinPath(directory, name);
    const std::int64_t template_bound = FreeBytes(loaded.free_count);
    const std::int64_t bound = fit ? std::max(template_bound, fit->largest) : template_bound;

    // Opened once; the length first: a file of the wrong length is refused unread.
    OpenResult opened = context.fs.OpenRead(path);
    FsStatus status = opened.status;
    std::int64_t length = status.ok() ? opened.file->info().length : 0;
    ReadBuffer& xex = buffers.xex;
    xex.clear();
    if (status.ok() && (length >= kMinimumXexLength || fit) && length <= bound) {
        status = context.fs.Counted(ReadToEnd(*opened.file, bound, xex));
        length = static_cast<std::int64_t>(xex.size());
    }
    opened.file.reset();
    report.Append("Read    : " + DisplayName(name));
    if (!status.ok()) {
        report.Append("          ERROR: XEX file can not be read - " + status.reason());
        report.Append(FailLine());
        return FileOutcome::NotConverted;
    }
    report.Append("          Physical filelength         = " + Dec(length) + " byte");

    if (length < kMinimumXexLength && !fit) {
        report.Append("          ERROR: Filelength shall be more than 127 bytes");
        report.Append(FailLine());
        return FileOutcome::NotConverted;
    }
    // The bound is the template's free space, or in fit mode the largest disk's; the text
    // keeps its fixed wording.
    std::unique_ptr<DiskFormat> larger;
    if (length > template_bound && fit && fit->loader) {
        larger =
            SmallestDiskFor(length, static_cast<std::int64_t>(fit->loader->loader_file.size()));
    }
    // A file that loads into the loader's pages, or whose INIT routines may write there,
    // gets a disk of its own, with the loader in pages the file never loads into.
    std::optional<BootLoader> moved;
    const LoaderPlace place =
        fit && fit->loader && length <= bound ? PlaceLoaderFor(xex) : LoaderPlace{};
    const int loader_page = place.page;
    if (loader_page != kLoaderHome && loader_page != 0) {
        moved = MoveBootLoader(*fit->loader, loader_page);
    }
    if (moved && !larger && length >= kMinimumXexLength) {
        larger = MakeSingleDensityDisk();
    }
    if (length > template_bound && !larger) {
        report.Append("          ERROR: Filelength shall be smaller than 600 sectors");
        report.Append(FailLine());
        return FileOutcome::NotConverted;
    }
    if (larger) {
        report.Append("          Disk: " + DescribeDisk(*larger) +
                      (length > template_bound ? " (file too large for the template)"
                       : place.why == LoaderMove::kFileRunsInits
                           ? " (file runs INIT routines while it loads)"
                           : " (file loads into the boot loader's pages)"));
    } else if (length < kMinimumXexLength) {
        report.Append("          Disk: the template (file under 128 bytes)");
    }
    if (larger && moved) {
        const auto page = [](int number) {
            std::string digits = number < 0x10 ? "0" : "";
            digits += Hex(number);
            return digits;
        };
        report.Append("          Boot loader at $" + page(loader_page) + "00-$" +
                      page(loader_page + kLoaderPages - 1) + "FF");
    }
    report.SelectLast();

    const std::filesystem::path output_path = JoinPath(directory, OutputNameFor(name));
    group.CommitIfWaiting(output_path);  // an image that waits for this name takes it first
    if (context.fs.Exists(output_path)) {
        report.Append("ERROR   : Skipping conversion - file already exists");
        report.Append("");
        return FileOutcome::NotConverted;
    }
    const bool built =
        larger ? BuildLargerImage(context, output_path, xex, moved ? *moved : *fit->loader, *larger,
                                  group, failed_later)
               : BuildAtrImage(context, output_path, xex, loaded, &group, failed_later,
                               &buffers.image);
    report.Append("");
    return built ? FileOutcome::Converted : FileOutcome::NotConverted;
}

ConversionRunTotals RunWithTemplate(EngineContext& outer,
                                    const std::filesystem::path& template_path) {
    // New images wait in groups for their names; the report goes through the group, so
    // that every line keeps its place.
    WriteGroup group(outer.fs, outer.report, outer.state.file_report_line);
    EngineContext context{outer.window,       group,       outer.prompt, outer.fs, outer.state,
                          outer.stop_request, outer.notice};
    WindowControls& window = context.window;
    ReportSink& report = context.report;

    report.Clear();
    const std::int64_t failures_before = context.fs.failed_operations();
    std::unique_ptr<DirectoryLock> lock;
    if (!StartWritingRun(context, window.SourcePath(), lock)) {
        return {0, 0, false, true, context.fs.failed_operations() - failures_before};
    }
    const std::optional<LoadedTemplate> loaded = LoadTemplateImage(context, template_path);
    if (!loaded) {
        ConversionRunTotals failed;
        failed.template_failed = true;
        failed.failed_file_operations = context.fs.failed_operations() - failures_before;
        return failed;
    }
    report.SelectLast();

    // Fit mode: files under 128 bytes go into the template, files too large for it onto
    // a larger disk laid out around the template's boot loader.
    std::optional<FitMode> fit;
    if (window.CheckValue(Control::chk_fit) == 1) {
        fit.emplace();
        fit->loader = TakeBootLoader(loaded->bytes);
        if (fit->loader) {
            fit->largest =
                LargestFitLength(static_cast<std::int64_t>(fit->loader->loader_file.size()));
        } else {
            // Said once, before the first file: the blocks of too large files then show
            // the template's bound as without fit mode.
            report.Append(
                "Fit     : No larger disks - the template's directory entry 0 is not "
                "KELDRIX.SYS or its boot sectors are not the loader's");
            report.Append("");
        }
    }

    ConversionRunTotals totals;
    RunBuffers buffers;
    const std::filesystem::path directory = window.SourcePath();
    const auto convert_one = [&](const std::filesystem::path* name) {
        // An image that could not take its name after the group's sync counts as not
        // converted.
        const auto failed_later = [&] {
            --totals.converted_count;
            ++totals.not_converted_count;
        };
        if (name != nullptr && ConvertOne(context, directory, *name, *loaded, fit, group,
                                          failed_later, buffers) == FileOutcome::Converted) {
            ++totals.converted_count;
        } else {
            ++totals.not_converted_count;
        }
    };
    const auto summary = [&] {
        group.Commit();  // the counts are final once every image has its name
        AppendSummaryHead(report);
        report.Append("Converted     XEX-files: " + SummaryCount(totals.converted_count));
        if (totals.not_converted_count > 0) {
            report.Append("Not converted XEX-files: " + SummaryCount(totals.not_converted_count));
        }
        AppendClickHint(report, "conversion");
    };
    RunFileBatch(context, kLockedControls, convert_one, summary, [&] { group.Commit(); });
    totals.failed_file_operations = context.fs.failed_operations() - failures_before;
    return totals;
}

}  // namespace

std::filesystem::path OutputNameFor(const std::filesystem::path& xex_name) {
    const std::string& name = xex_name.native();
    const std::size_t dot = name.find('.');
    // Names from the file list always hold a "."; one without gets it added.
    std::string output = dot == std::string::npos ? name + "." : name.substr(0, dot + 1);
    output += "ATR";
    return output;
}

bool BuildAtrImage(EngineContext& context, const std::filesystem::path& output_path,
                   std::span<const std::uint8_t> xex, const LoadedTemplate& loaded,
                   WriteGroup* group, const std::function<void()>& failed_later,
                   std::vector<std::uint8_t>* image_buffer) {
    ReportSink& report = context.report;
    // Fresh copies: the loaded template stays as read for every file of the run.
    std::vector<std::uint8_t> own_image;
    std::vector<std::uint8_t>& image = image_buffer != nullptr ? *image_buffer : own_image;
    image.assign(loaded.bytes.begin(), loaded.bytes.end());
    VtocBytes vtoc = loaded.vtoc;
    if (!WriteXexToImage(xex, image, vtoc, report)) {
        report.Append("ERROR   : Can not generate ATR file");
        return false;
    }
    return WriteImage(context, output_path, image, group, failed_later);
}

ConversionRunTotals RunXexConversion(EngineContext& context,
                                     const std::filesystem::path& program_directory) {
    return RunWithTemplate(context, TemplatePath(program_directory));
}

ConversionRunTotals RunXexConversionWithTemplate(EngineContext& context,
                                                 const std::filesystem::path& template_path) {
    return RunWithTemplate(context, template_path);
}

}  // namespace korvane
