#include "contents_run.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "check_run.h"
#include "report_text.h"
#include "run_controls.h"
#include "temporary_files.h"

namespace korvane {

namespace {

constexpr const char* kIndent = "        ";
constexpr std::size_t kNameColumn = 16;

constexpr Control kLockedControls[] = {
    Control::Cmd_start_contents, Control::source_path,  Control::source_file,
    Control::source_dir,         Control::source_drive,
};

std::string FailLine() {
    return std::string("Result: ") + kFailRule + kFailWord + kFailRule;
}

std::string RightAligned(std::int64_t value, std::size_t width) {
    const std::string digits = Dec(value);
    return std::string(width > digits.size() ? width - digits.size() : 0, ' ') + digits;
}

std::string FileLine(const VolumeFile& file) {
    std::string name = file.DisplayName();
    name.resize(std::max(kNameColumn, name.size() + 1), ' ');
    if (file.subdirectory()) {
        return kIndent + name + "<DIR>";
    }
    return kIndent + name + RightAligned(file.listed_sectors, 5) + " sectors" +
           RightAligned(file.bytes, 10) + " bytes" + (file.locked() ? "  locked" : "") +
           (file.deleted() ? "  deleted" : "");
}

std::string Geometry(const VolumeGeometry& geometry) {
    return Dec(geometry.sector_count) + " sectors of " + Dec(geometry.sector_size) + " bytes";
}

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

ContentsVerdict ListImageContents(const std::filesystem::path& directory,
                                  const std::filesystem::path& name, ReportSink& report,
                                  FileSystem& fs) {
    report.Append("Read  : " + DisplayName(name));
    OpenResult opened = fs.OpenRead(JoinPath(directory, name));
    if (!opened.status.ok()) {
        report.Append(std::string(kIndent) + "ERROR: File can not be read - " +
                      opened.status.reason());
        report.Append(FailLine());
        report.Append("");
        return ContentsVerdict::kDamaged;
    }
    const VolumeListing listing = ReadVolume(*opened.file);
    if (listing.read_failed) {
        fs.Counted(listing.status);
        report.Append(std::string(kIndent) + "ERROR: File can not be read - " +
                      listing.status.reason());
        report.Append(FailLine());
        report.Append("");
        return ContentsVerdict::kDamaged;
    }
    if (listing.kind == VolumeKind::kNotReadable) {
        report.Append(std::string(kIndent) + "ERROR : No disk image - " + listing.status.reason());
        report.Append(FailLine());
        report.Append("");
        return ContentsVerdict::kDamaged;
    }
    report.Append(std::string(kIndent) + "File system: " + DescribeVolumeKind(listing.kind) + ", " +
                  Geometry(listing.geometry));
    if (!IsDosVolume(listing.kind)) {
        report.Append(std::string(kIndent) + "No DOS 2 directory: the files are not listed");
        report.Append("Result: NOT CHECKED");
        report.Append("");
        return ContentsVerdict::kOther;
    }
    std::int64_t files = 0;
    for (const VolumeFile& file : listing.files) {
        report.Append(FileLine(file));
        files += file.deleted() || file.subdirectory() ? 0 : 1;
    }
    report.Append(std::string(kIndent) + Dec(files) + (files == 1 ? " file, " : " files, ") +
                  Dec(listing.free_sectors) + " free sectors");
    for (const std::string& finding : listing.findings) {
        report.Append(std::string(kIndent) + "ERROR : " + finding);
    }
    if (!listing.status.ok()) {
        report.Append(std::string(kIndent) + "ERROR : " + listing.status.reason());
    }
    const bool sound = listing.findings.empty() && listing.status.ok();
    report.Append(sound ? "Result: PASS" : FailLine());
    report.Append("");
    return sound ? ContentsVerdict::kSound : ContentsVerdict::kDamaged;
}

ContentsRunTotals RunDiskContents(EngineContext& context) {
    context.report.Clear();
    const std::int64_t failures_before = context.fs.failed_operations();
    const std::filesystem::path directory = context.window.SourcePath();
    ContentsRunTotals totals;
    const auto list_one = [&](const std::filesystem::path* name) {
        if (name == nullptr) {
            return;
        }
        switch (ListImageContents(directory, *name, context.report, context.fs)) {
            case ContentsVerdict::kSound:
                ++totals.sound_count;
                break;
            case ContentsVerdict::kDamaged:
                ++totals.damaged_count;
                break;
            case ContentsVerdict::kOther:
                ++totals.other_count;
                break;
        }
    };
    const auto summary = [&] {
        ReportSink& report = context.report;
        AppendSummaryHead(report);
        report.Append("Sound   DOS disks: " + SummaryCount(totals.sound_count));
        report.Append("Damaged DOS disks: " + SummaryCount(totals.damaged_count));
        report.Append("Other   disks    : " + SummaryCount(totals.other_count));
        AppendClickHint(report, "contents");
    };
    RunFileBatch(context, kLockedControls, list_one, summary);
    totals.failed_file_operations = context.fs.failed_operations() - failures_before;
    return totals;
}

std::string SafeHostName(const VolumeFile& file) {
    std::string name = file.DisplayName();
    const std::size_t dot = name.rfind('.');
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (!std::isalnum(c) && c != '_' && c != '-' && !(c == '.' && i == dot && i > 0)) {
            name[i] = '_';
        }
    }
    return name.empty() ? "_" : name;
}

ExtractTotals ExtractImageFiles(const std::filesystem::path& image,
                                const std::vector<std::string>& wanted,
                                const std::filesystem::path& target, ReportSink& report,
                                FileSystem& fs) {
    ExtractTotals totals;
    const std::int64_t failures_before = fs.failed_operations();
    report.Append("Extract: " + DisplayName(image));
    OpenResult opened = fs.OpenRead(image);
    VolumeListing listing;
    if (opened.status.ok()) {
        listing = ReadVolume(*opened.file);
        if (listing.read_failed) {
            fs.Counted(listing.status);
        }
    }
    if (!opened.status.ok() || listing.read_failed) {
        const FsStatus& status = opened.status.ok() ? listing.status : opened.status;
        report.Append(std::string(kIndent) + "ERROR: File can not be read - " + status.reason());
    } else if (!IsDosVolume(listing.kind)) {
        report.Append(std::string(kIndent) + "ERROR : No DOS 2 directory (" +
                      (listing.kind == VolumeKind::kNotReadable
                           ? listing.status.reason()
                           : DescribeVolumeKind(listing.kind)) +
                      "): no file extracted");
        ++totals.missing;
    } else {
        std::vector<bool> found(wanted.size(), false);
        std::set<std::string> taken;  // host names given in this run, in lower case
        for (const VolumeFile& file : listing.files) {
            if (file.deleted() || file.subdirectory()) {
                continue;
            }
            const std::string shown = file.DisplayName();
            bool chosen = wanted.empty();
            for (std::size_t i = 0; i < wanted.size(); ++i) {
                if (SameName(wanted[i], shown)) {
                    chosen = true;
                    found[i] = true;
                }
            }
            if (!chosen) {
                continue;
            }
            const std::string base = SafeHostName(file);
            const std::size_t dot = base.rfind('.');
            const std::string stem = dot == std::string::npos ? base : base.substr(0, dot);
            const std::string extension = dot == std::string::npos ? "" : base.substr(dot);
            FsStatus written = FsStatus::Ok();
            std::string host;
            for (int n = 1; n < 10000; ++n) {
                host = n == 1 ? base : stem + "_" + std::to_string(n) + extension;
                const std::filesystem::path path = JoinPath(target, host);
                if (taken.count(Lower(host)) != 0 || fs.Exists(path)) {
                    continue;
                }
                written = WriteNewFile(
                    fs, path,
                    [&](OutputFile& out) {
                        return ExtractVolumeFile(
                            *opened.file, listing, file,
                            [&](std::span<const std::uint8_t> bytes) { return out.Write(bytes); });
                    },
                    true);
                // Another file of the name came meanwhile: the next name.
                if (written.ok() || !fs.Exists(path)) {
                    break;
                }
            }
            taken.insert(Lower(host));
            if (!written.ok()) {
                report.Append(std::string(kIndent) + "ERROR: " + shown + " can not be written to " +
                              DisplayName(JoinPath(target, host)) + " - " + written.reason());
                continue;
            }
            report.Append(std::string(kIndent) + shown + " -> " + DisplayName(host) + " (" +
                          Dec(file.bytes) + " bytes)");
            ++totals.extracted;
            const std::string prefix = shown + ": ";
            if (std::any_of(listing.findings.begin(), listing.findings.end(),
                            [&](const std::string& f) { return f.rfind(prefix, 0) == 0; })) {
                report.Append(std::string(kIndent) + "ERROR : " + shown +
                              ": the check found fault with it; written as far as its chain goes");
                ++totals.damaged;
            }
        }
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            if (!found[i]) {
                report.Append(std::string(kIndent) + "ERROR : " + wanted[i] +
                              ": no such file on the disk");
                ++totals.missing;
            }
        }
    }
    totals.failed_file_operations = fs.failed_operations() - failures_before;
    const bool clean =
        totals.missing == 0 && totals.damaged == 0 && totals.failed_file_operations == 0;
    report.Append(clean ? "Result: PASS" : FailLine());
    report.Append("");
    return totals;
}

}  // namespace korvane
