#include "temporary_files.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>

#include "report_text.h"

namespace korvane {

namespace {

std::string NextTemporaryName() {
    static std::atomic<unsigned> counter{0};
    // Asked once: a forked child that writes under its parent's id passes over the names
    // its parent took, as any taken name.
    static const unsigned long process = static_cast<unsigned long>(::getpid());
    // ".korvane-", ten decimal digits, "-", eight hexadecimal ones, ".tmp": written by
    // hand, a thousand times a run.
    char name[] = ".korvane-0000000000-00000000.tmp";
    unsigned long id = process;
    for (int i = 18; i >= 9; --i, id /= 10) {
        name[i] = static_cast<char>('0' + id % 10);
    }
    unsigned number = counter++;
    for (int i = 27; i >= 20; --i, number >>= 4) {
        name[i] = "0123456789abcdef"[number & 15];
    }
    return name;
}

}  // namespace

std::filesystem::path TemporaryNameIn(const std::filesystem::path& directory) {
    return directory / NextTemporaryName();
}

std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target) {
    // One path made of one string: the target's with its last part replaced.
    const std::string& whole = target.native();
    const std::size_t slash = whole.rfind('/');
    if (slash == std::string::npos) {
        return NextTemporaryName();
    }
    std::string beside = whole.substr(0, slash + 1);
    beside += NextTemporaryName();
    return beside;
}

bool IsTemporaryName(const std::string& name) {
    // ".korvane-" 0-8, the process id 9-18, "-" 19, the counter 20-27, ".tmp" 28-31.
    const auto digits = [&](std::size_t from, std::size_t count, bool hex) {
        return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(from),
                           name.begin() + static_cast<std::ptrdiff_t>(from + count), [&](char c) {
                               return std::isdigit(static_cast<unsigned char>(c)) ||
                                      (hex && c >= 'a' && c <= 'f');
                           });
    };
    return name.size() == 32 && name.starts_with(".korvane-") && digits(9, 10, false) &&
           name[19] == '-' && digits(20, 8, true) && name.ends_with(".tmp");
}

namespace {

constexpr char kRecordHead[] = "korvane-restore";

std::string FileNamed(const std::filesystem::path& path) {
    return DisplayName(path.filename());
}

}  // namespace

bool IsRestoreRecordName(const std::string& name) {
    return name.ends_with(".put") && IsTemporaryName(name.substr(0, name.size() - 4) + ".tmp");
}

FsStatus WriteRestoreRecord(FileSystem& fs, const std::filesystem::path& image,
                            const std::filesystem::path& backup, std::filesystem::path& record) {
    // Names may hold any byte but NUL: NUL ends each field, and a record cut short lacks
    // its last one.
    std::string content = std::string(kRecordHead) + '\0' + image.native() + '\0' +
                          backup.native() + '\0' + "end" + '\0';
    const std::string temporary = TemporaryNameIn(image.parent_path()).native();
    record = temporary.substr(0, temporary.size() - 4) + ".put";
    CreateResult created = fs.CreateExclusive(record);
    if (!created.status.ok()) {
        return created.status;
    }
    FsStatus status = created.file->Write(
        std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
    const FsStatus closed = created.file->Close(true);
    status = status.ok() ? closed : status;
    if (status.ok()) {
        status = fs.SyncDirectory(record.parent_path());
    }
    if (!fs.Counted(status).ok()) {
        fs.Remove(record);
    }
    return status;
}

std::string FollowRestoreRecord(FileSystem& fs, const std::filesystem::path& record) {
    const ReadResult read = fs.ReadWhole(record, 65536);
    std::vector<std::string> fields;
    std::string field;
    for (const std::uint8_t byte : read.bytes) {
        if (byte == 0) {
            fields.push_back(field);
            field.clear();
        } else {
            field.push_back(static_cast<char>(byte));
        }
    }
    std::string notice;
    if (fields.size() == 4 && fields[0] == kRecordHead && fields[3] == "end") {
        const std::filesystem::path image = fields[1];
        const std::filesystem::path backup = fields[2];
        if (!fs.Exists(image) && fs.IsRegularFile(backup)) {
            const FsStatus renamed = fs.RenameNoReplace(backup, image);
            if (!renamed.ok()) {
                // Kept, so that every run says it until the image is back.
                return "Can not put back " + FileNamed(image) +
                       ", which an interrupted run left as " + FileNamed(backup) + " - " +
                       renamed.reason();
            }
            fs.SyncDirectory(image.parent_path());
            notice = "Put back " + FileNamed(image) + " from " + FileNamed(backup) +
                     ", where an interrupted run left it";
        }
    }
    fs.Remove(record);
    return notice;
}

std::string DiscardTemporary(FileSystem& fs, const std::filesystem::path& temporary) {
    const FsStatus removed = fs.Remove(temporary);
    return removed.ok() ? std::string()
                        : "; the temporary file " + DisplayName(temporary.filename()) +
                              " is left behind - " + removed.reason();
}

WrittenTemporary WriteTemporary(FileSystem& fs, const std::filesystem::path& target,
                                const std::function<FsStatus(OutputFile&)>& write_body,
                                bool durable) {
    CreateResult created = fs.CreateTemporary(target);
    if (!created.status.ok()) {
        return {created.status, {}, {}};
    }
    FsStatus status = write_body(*created.file);
    const FsStatus closed = created.file->Close(durable);
    if (status.ok()) {
        status = closed;
    }
    if (!fs.Counted(status).ok()) {
        return {FsStatus::Fail(status.reason() + DiscardTemporary(fs, created.path)), {}, {}};
    }
    return {status, std::move(created.path), created.file->Identity()};
}

FsStatus PlaceTemporary(FileSystem& fs, const std::filesystem::path& temporary,
                        const std::filesystem::path& target) {
    const FsStatus renamed = fs.RenameNoReplace(temporary, target);
    return renamed.ok() ? renamed
                        : FsStatus::Fail(renamed.reason() + DiscardTemporary(fs, temporary));
}

FsStatus WriteNewFile(FileSystem& fs, const std::filesystem::path& target,
                      const std::function<FsStatus(OutputFile&)>& write_body, bool durable,
                      bool* placed) {
    const WrittenTemporary written = WriteTemporary(fs, target, write_body, durable);
    if (!written.status.ok()) {
        return written.status;
    }
    const FsStatus renamed = PlaceTemporary(fs, written.path, target);
    if (placed != nullptr) {
        *placed = renamed.ok();
    }
    return renamed.ok() && durable ? fs.SyncDirectory(target.parent_path()) : renamed;
}

}  // namespace korvane
