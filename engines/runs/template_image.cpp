#include "template_image.h"

#include <algorithm>

#include "atr_header.h"
#include "le_bytes.h"
#include "report_text.h"

namespace korvane {

std::filesystem::path TemplatePath(const std::filesystem::path& program_directory) {
    return JoinPath(program_directory, kTemplateName);
}

namespace {

// An entry in use (not deleted) named AUTORUN.SYS anywhere in the directory.
bool HoldsAutorun(std::span<const std::uint8_t> image) {
    for (int sector = dos2::kDirectoryFirstSector; sector <= dos2::kDirectoryLastSector; ++sector) {
        for (int slot = 0; slot < dos2::kEntriesPerSector; ++slot) {
            const auto entry =
                image.subspan(dos2::SectorOffset(sector) +
                                  static_cast<std::size_t>(slot) * dos2::kDirectoryEntrySize,
                              dos2::kDirectoryEntrySize);
            if ((entry[dos2::kEntryFlags] & (dos2::kFlagInUse | dos2::kFlagDeleted)) ==
                    dos2::kFlagInUse &&
                std::equal(entry.begin() + dos2::kEntryName, entry.end(), dos2::kAutorunName)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::optional<LoadedTemplate> LoadTemplateImage(EngineContext& context,
                                                const std::filesystem::path& template_path) {
    ReportSink& report = context.report;

    // Only a regular file counts; a directory or a dangling link of that name does not.
    // A template named by the user may have any name, a hidden one too.
    if (!context.fs.IsRegularFile(template_path)) {
        Prompt missing;
        missing.topic = PromptTopic::MissingTemplate;
        missing.title = "ERROR";
        missing.text = "Can not find required KELDRIX.ATR file at install directory";
        missing.icon = PromptIcon::Critical;
        missing.buttons = PromptButtons::Ok;
        missing.detail = DisplayName(template_path);
        context.prompt.Ask(missing);
        return std::nullopt;
    }

    // The length is tested before anything is read: a template of the wrong length, however
    // large, is refused without reading it.
    OpenResult opened = context.fs.OpenRead(template_path);
    report.Append("Read    : " + DisplayName(template_path));
    const auto cannot_read = [&](const FsStatus& status) {
        report.Append("          ERROR: Template can not be read - " + status.reason());
        return std::nullopt;
    };
    if (!opened.status.ok()) {
        return cannot_read(opened.status);
    }
    const std::int64_t length = opened.file->info().length;
    report.Append("          Physical filelength         = " + Dec(length) + " byte");
    if (length != static_cast<std::int64_t>(dos2::kImageLength)) {
        report.Append("          ERROR: Physical filelength shall be $16810 bytes (92176 byte)");
        return std::nullopt;
    }
    LoadedTemplate loaded;
    loaded.bytes.resize(dos2::kImageLength);
    std::size_t got = 0;
    FsStatus read = context.fs.Counted(opened.file->ReadAt(0, loaded.bytes, got));
    if (read.ok() && got != loaded.bytes.size()) {
        read = FsStatus::Fail("the file became shorter while it was read");
    }
    if (!read.ok()) {
        return cannot_read(read);
    }
    loaded.path = template_path;
    std::copy_n(loaded.bytes.begin() + static_cast<std::ptrdiff_t>(dos2::kVtocOffset),
                dos2::kSectorSize, loaded.vtoc.begin());

    // The stored free count must agree with the bit field, and must not be zero.
    const int counted = dos2::CountFreeSectors(loaded.vtoc);
    const std::uint16_t stored = ReadLe16(loaded.vtoc, dos2::kVtocFreeCount);
    if (stored != counted) {
        report.Append("          ERROR: Invalid VTOC detected - Read " + Dec(stored) +
                      " at VTOC(3+4) but " + Dec(counted) + " free sectors at bitfield");
        return std::nullopt;
    }
    if (counted == 0) {
        report.Append("          ERROR: No free sectors found");
        return std::nullopt;
    }
    // A second AUTORUN.SYS would be written beside the first, which the boot loader finds
    // first: such a template is refused rather than yielding images that boot the old one.
    if (HoldsAutorun(loaded.bytes)) {
        report.Append("          ERROR: Template already holds an AUTORUN.SYS file");
        return std::nullopt;
    }
    loaded.free_count = counted;
    report.Append("          Free space                  = " + Dec(counted) + " sectors or " +
                  Dec(FreeBytes(counted)) + " bytes");
    report.Append("");
    return loaded;
}

}  // namespace korvane
