// The repair steps of a repair run: the questions, the changes in memory, and the backup
// and new image on disk.
#include <algorithm>
#include <vector>

#include "atr_header.h"
#include "image_checker.h"
#include "report_text.h"
#include "scripted_prompt.h"
#include "temporary_files.h"
#include "write_group.h"

namespace korvane {

namespace {

constexpr const char* kIndent = "        ";
constexpr const char* kRepairIndent = "                ";
constexpr std::int64_t kMinimumImage = 1040;  // header + 1 kB of data
// The line of a question that the user cancelled (sector size and layout).
constexpr const char* kSkippedByUser = "Skip repair selected by user";
// The error of a repaired image that could not be written completely.
constexpr const char* kWriteFailed = "Can not write the repaired image - ";

std::string FoldedName(const std::filesystem::path& path) {
    std::string folded = path.native();
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
    return folded;
}

bool ContainsBackupMark(const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
    return upper.find("_ORG.ATR") != std::string::npos;
}

}  // namespace

PromptAnswer ImageChecker::Ask(const Prompt& prompt) {
    const auto stopped = [&] {
        return settings_.stop_request != nullptr && *settings_.stop_request != 0;
    };
    if (!stopped()) {
        const PromptAnswer answer = prompt_.Ask(prompt);
        if (!stopped()) {
            return answer;
        }
    }
    check_.interrupted = true;
    return ScriptedPrompt::UnchangingAnswer(prompt);
}

CheckResult ImageChecker::Interrupted() {
    Append(std::string(kIndent) + "Skip repair - the run was interrupted");
    Append("");
    return {Verdict::Fail, CountClass::NotCounted};
}

std::filesystem::path BackupName(const std::filesystem::path& name) {
    const std::string& raw = name.native();
    return raw.substr(0, raw.find('.')) + "_org.atr";
}

void ImageChecker::AppendAddedArea(std::int64_t bytes) {
    Append(std::string(kRepairIndent) + "Add " + Dec(bytes) + " bytes empty area");
}

// The new length takes effect when the image is written: data beyond the shortest length
// of the way is zeros, and data beyond the new one is left out.
void ImageChecker::Resize(std::int64_t new_length) {
    check_.physical_length = new_length;
    check_.kept_length = std::min(check_.kept_length, new_length);
}

void ImageChecker::WriteImageSizeField() {
    SetAtrImageSize(check_.header, check_.stated_length);
}

void ImageChecker::RepairSectorSize() {
    const PromptAnswer answer = Ask({PromptTopic::SectorSize, "Set " + ShownName() + "sector size",
                                     "<YES> 128 bytes /sector - <NO> 256 bytes / sector?",
                                     PromptIcon::Question, PromptButtons::YesNoCancel});
    switch (answer) {
        case PromptAnswer::Yes:
            check_.sector_size = atr::kSingleSectorSize;
            SetAtrSectorSize(check_.header, check_.sector_size);
            break;
        case PromptAnswer::No:
            check_.sector_size = atr::kDoubleSectorSize;
            SetAtrSectorSize(check_.header, check_.sector_size);
            break;
        default:
            Append(std::string(kIndent) + kSkippedByUser);
            check_.image_invalid = false;
            break;
    }
}

void ImageChecker::RepairLength() {
    report_.SelectLast();
    const auto header = static_cast<std::int64_t>(atr::kHeaderSize);
    const auto adapt_header = [&] {
        Append(std::string(kRepairIndent) + "Modify header");
        check_.stated_length = (check_.physical_length - header) / 16 * 16;
        WriteImageSizeField();
    };
    if (check_.stated_length < 1) {
        adapt_header();
        return;
    }
    const PromptAnswer answer =
        Ask({PromptTopic::FileLength, ShownName() + " is invalid",
             "<YES> adapt physical file length - <NO> adapt header file length info?",
             PromptIcon::Question, PromptButtons::YesNoCancel});
    if (answer == PromptAnswer::Yes) {
        const std::int64_t target = check_.stated_length + header;
        if (target > check_.physical_length && target > atr::kLargestImage) {
            // No disk has that many sectors: growing the file to the header's length would
            // only fill the disk with zeros.
            Append(std::string(kRepairIndent) + "Refused: the header states " +
                   Dec(check_.stated_length) + " bytes, more than the largest ATR image holds");
            return;
        }
        if (check_.physical_length < target) {
            AppendAddedArea(target - check_.physical_length);
        } else {
            Append(std::string(kRepairIndent) + "Cut " + Dec(check_.physical_length - target) +
                   " bytes unused space");
        }
        Resize(target);
    } else if (answer == PromptAnswer::No) {
        adapt_header();
    }
}

void ImageChecker::RepairMinimumSize() {
    Append(std::string(kRepairIndent) + "Add " + Dec(kMinimumImage - check_.physical_length) +
           " byte");
    check_.stated_length = kMinimumImage - static_cast<std::int64_t>(atr::kHeaderSize);
    Resize(kMinimumImage);
    WriteImageSizeField();
}

void ImageChecker::RepairLayout() {
    std::int64_t c = LayoutCorrection(check_.stated_length, settings_.layout);
    if (c != atr::kShortBootArea && c != -atr::kShortBootArea) {
        report_.SelectLast();
        const PromptAnswer answer = Ask({PromptTopic::Layout, ShownName(), "Add bytes?",
                                         PromptIcon::Question, PromptButtons::YesNoCancel});
        if (answer == PromptAnswer::No) {
            c = -std::llabs(c - 256);
        } else if (answer != PromptAnswer::Yes) {
            Append(std::string(kIndent) + kSkippedByUser);
            check_.image_invalid = false;
            return;
        }
    }
    const std::int64_t data = check_.physical_length - static_cast<std::int64_t>(atr::kHeaderSize);
    if (c < 0 && -c > data) {
        // The image never shrinks below its header.
        Append(std::string(kRepairIndent) + "Refused: can not cut " + Dec(-c) +
               " byte from an image with " + Dec(data) + " bytes of data");
        return;
    }
    if (c > 0 && check_.physical_length + c > atr::kLargestImage) {
        Append(std::string(kRepairIndent) + "Refused: adding " + Dec(c) +
               " bytes would exceed the largest ATR image");
        return;
    }
    if (c < 0) {
        Append(std::string(kRepairIndent) + "Cut " + Dec(-c) + " byte");
    } else {
        AppendAddedArea(c);
    }
    Resize(check_.physical_length + c);
    check_.stated_length = check_.physical_length - static_cast<std::int64_t>(atr::kHeaderSize);
    WriteImageSizeField();
}

bool ImageChecker::WriteRepairedImage() {
    if (ContainsBackupMark(image_.name.native())) {
        Append("Skip " + ShownName());
        Append("");
        return false;
    }
    const std::filesystem::path backup_name = BackupName(image_.name);
    std::filesystem::path backup_path = JoinPath(image_.backup_dir, backup_name);
    Append("Write : Backup image as " + DisplayName(backup_name));
    if (settings_.group != nullptr) {
        // An image of the group that waits for its name may take this backup name first.
        settings_.group->CommitIfWaiting(backup_path);
    }

    std::optional<FileStamp> replaced_backup;
    std::optional<FileIdentity> backup_identity;
    const bool backup_exists = fs_.ExistsAs(backup_path, backup_identity);
    if (settings_.written_files->Holds(backup_path, backup_identity)) {
        // Another image of this run shares the backup name: its original stays.
        Append(std::string(kIndent) + "Skip repair - " + DisplayName(backup_name) +
               " already holds the original of another image of this run");
        check_.skip_write = true;
    } else if (backup_exists) {
        report_.SelectLast();
        const PromptAnswer answer =
            Ask({PromptTopic::OverwriteBackup, "File " + DisplayName(backup_name) + " exists",
                 "Overwrite?", PromptIcon::Question, PromptButtons::YesNo});
        if (answer == PromptAnswer::Yes) {
            // The backup as the user agreed to lose it: looked at again before it goes.
            replaced_backup = fs_.Stamp(backup_path);
            replaced_backup = replaced_backup ? replaced_backup : FileStamp{};
            Append(std::string(kIndent) + "Overwrite existing Backupfile");
        } else {
            Append(std::string(kIndent) + "Skip repair");
            check_.skip_write = true;
        }
    }
    if (check_.skip_write) {
        return true;
    }

    std::fill(check_.header.begin() + atr::kOffsetReserved, check_.header.end(), 0);
    // Synced with the others of its group (alone, in a group of its own).
    WrittenTemporary written = WriteTemporary(
        fs_, image_.path, [&](OutputFile& file) { return StreamImage(file); }, false);
    if (!written.status.ok()) {
        Append(std::string(kIndent) + "ERROR: " + kWriteFailed + written.status.reason());
        return true;
    }
    if (settings_.group != nullptr) {
        settings_.group->Claim(backup_path);
    }
    // The placing takes the paths over: a thousand images make a thousand of each.
    auto placing = std::make_unique<RepairedImagePlacing>(
        fs_, report_, ImageLocation{image_.name, image_.path, {}}, std::move(backup_path),
        std::move(written.path), replaced_backup, settings_.written_files);
    placing->KnowIdentities(check_.source->info().identity, written.identity);
    if (settings_.group != nullptr) {
        settings_.group->Defer(image_.path, check_.physical_length, 1, std::move(placing));
    } else {
        std::vector<std::int64_t> no_blocks;
        WriteGroup alone(fs_, report_, no_blocks);
        alone.Defer(image_.path, check_.physical_length, 1, std::move(placing));
    }
    return true;
}

void WrittenFiles::Add(FileSystem& fs, const std::filesystem::path& path,
                       const std::optional<FileIdentity>& identity) {
    if (const std::optional<FileIdentity> looked = identity ? identity : fs.Identity(path)) {
        identities.insert(*looked);
    }
    if (folds_case) {
        folded_names.insert(FoldedName(path));
    }
}

bool WrittenFiles::Holds(const std::filesystem::path& path,
                         const std::optional<FileIdentity>& identity) const {
    if (folds_case && folded_names.contains(FoldedName(path))) {
        return true;
    }
    return identity && identities.contains(*identity);
}

void RepairedImagePlacing::Failed(const std::string& failure) {
    failure_ = failure + DiscardTemporary(fs_, temporary_);
}

// Where the file system has hard links, the untouched file gets its backup name as a
// second name, and the image's name never goes missing, whatever fails. Given before the
// group's sync, which then makes it durable with the new files' data where it can: it
// names a file already on the disk. A backup to be replaced waits for the sync.
bool RepairedImagePlacing::KeepEarly() {
    if (replaced_backup_) {
        return false;
    }
    const FsStatus status = fs_.LinkNoReplace(image_.path, backup_path_);
    if (status.ok()) {
        kept_ = Kept::Linked;
        return true;
    }
    if (status.unsupported()) {
        kept_ = Kept::Unlinkable;
    } else {
        CannotKeep(status);
    }
    return false;
}

void RepairedImagePlacing::CannotKeep(const FsStatus& failed) {
    Failed("Can not rename " + DisplayName(image_.name) + " to " +
           DisplayName(backup_path_.filename()) + " - " + failed.reason());
}

std::string RepairedImagePlacing::Unkeep() {
    const std::string backup = DisplayName(backup_path_.filename());
    if (kept_ == Kept::Linked) {
        return fs_.Remove(backup_path_).ok() ? std::string()
                                             : "; the untouched image is also kept as " + backup;
    }
    if (!fs_.RenameNoReplace(backup_path_, image_.path).ok()) {
        return "; the untouched image stays as " + backup;  // the record tells the next run
    }
    fs_.Remove(record_);
    return std::string();
}

bool RepairedImagePlacing::Keep(const FsStatus& files_synced) {
    if (!failure_.empty()) {
        return false;
    }
    if (!files_synced.ok()) {
        const std::string undone = kept_ == Kept::Linked ? Unkeep() : std::string();
        Failed(kWriteFailed + files_synced.reason() + undone);
        return false;
    }
    if (kept_ == Kept::Linked) {
        return false;  // named before the sync
    }
    const std::string backup = DisplayName(backup_path_.filename());
    if (replaced_backup_) {
        // Another program may have put another file there since the question.
        const std::optional<FileStamp> now = fs_.Stamp(backup_path_);
        if (now && *now != *replaced_backup_) {
            Failed("Can not replace " + backup +
                   " - another program changed it after the question; it stays");
            return false;
        }
        const FsStatus removed = now ? fs_.Remove(backup_path_) : FsStatus::Ok();  // gone already
        if (!removed.ok()) {
            Failed("Can not delete " + backup + " - " + removed.reason());
            return false;
        }
    }
    FsStatus status = kept_ == Kept::Unlinkable ? FsStatus::Unsupported("no hard links")
                                                : fs_.LinkNoReplace(image_.path, backup_path_);
    if (status.ok()) {
        kept_ = Kept::Linked;
        return true;
    }
    if (!status.unsupported()) {
        CannotKeep(status);
        return true;
    }
    // Without hard links: the old file is renamed to its backup name, and the image's name
    // stays free until the repaired image takes it. A record on disk first tells the next
    // run to put the image back, should this run be cut off in between.
    status = WriteRestoreRecord(fs_, image_.path, backup_path_, record_);
    if (!status.ok()) {
        Failed("Can not write the restore record - " + status.reason());
        return false;
    }
    status = fs_.RenameNoReplace(image_.path, backup_path_);
    if (!status.ok()) {
        fs_.Remove(record_);
        CannotKeep(status);
        return true;
    }
    kept_ = Kept::Renamed;
    return true;
}

// Each failure is undone as far as it can be, so that the untouched file stays under its
// own name (without hard links, if even the undo fails, whole under its backup name) and
// no temporary file is left behind.
void RepairedImagePlacing::Name(const FsStatus& kept_synced) {
    if (!failure_.empty()) {
        return;
    }
    if (!kept_synced.ok()) {
        // The backup may not survive a power cut: the image stays as it is.
        const std::string undone = Unkeep();
        Failed(std::string(kWriteFailed) + "the directory can not be synced - " +
               kept_synced.reason() + undone);
        return;
    }
    const FsStatus status = kept_ == Kept::Linked ? fs_.RenameReplacing(temporary_, image_.path)
                                                  : fs_.RenameNoReplace(temporary_, image_.path);
    if (!status.ok()) {
        const std::string undone = Unkeep();
        Failed("Can not rename the repaired image to " + DisplayName(image_.name) + " - " +
               status.reason() + undone);
    }
}

void RepairedImagePlacing::Report(const FsStatus& names_synced) {
    const std::string shown = DisplayName(image_.name);
    if (!failure_.empty()) {
        report_.Append(std::string(kIndent) + "ERROR: " + failure_);
        return;
    }
    // Where the untouched file got its backup name as a second name, both files are the
    // ones this run opened and created; otherwise their names are looked up.
    const bool linked = kept_ == Kept::Linked;
    written_files_->Add(fs_, backup_path_, linked ? source_identity_ : std::nullopt);
    written_files_->Add(fs_, image_.path, linked ? written_identity_ : std::nullopt);
    if (!record_.empty() && names_synced.ok()) {
        fs_.Remove(record_);  // the image's new name is on disk
    }
    report_.Append(std::string(kIndent) +
                   (names_synced.ok() ? "Generate new " + shown + " file"
                                      : "ERROR: Generate new " + shown +
                                            " file, but the directory can not be synced - " +
                                            names_synced.reason()));
}

// The mended header, then the original's data up to the shortest length the repair steps
// reached (never beyond the new length), then zeros: copied by the file system, so that no
// image is ever held whole. The file takes the original's mode and owner.
FsStatus ImageChecker::StreamImage(OutputFile& file) {
    FsStatus status = file.Adopt(check_.source->info());
    if (status.ok()) {
        status = file.Write(check_.header);
    }
    const auto header = static_cast<std::int64_t>(atr::kHeaderSize);
    const std::int64_t kept =
        std::max(header, std::min(check_.kept_length, check_.source->info().length));
    std::int64_t copied = 0;
    if (status.ok()) {
        status = file.CopyFrom(*check_.source, header, kept, check_.physical_length - kept, copied);
    }
    if (status.ok() && copied != kept - header) {
        status = FsStatus::Fail("the image became shorter while it was repaired");
    }
    return status;
}

}  // namespace korvane
