#include "temporary_files.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>

#include "report_text.h"

namespace korvane {

std::filesystem::path TemporaryNameIn(const std::filesystem::path& directory) {
    static std::atomic<unsigned> counter{0};
    char name[40];
    std::snprintf(name, sizeof name, ".korvane-%010ld-%08x.tmp", static_cast<long>(::getpid()),
                  counter++);
    return directory / name;
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
        return {created.status, {}};
    }
    FsStatus status = write_body(*created.file);
    const FsStatus closed = created.file->Close(durable);
    if (status.ok()) {
        status = closed;
    }
    if (!fs.Counted(status).ok()) {
        return {FsStatus::Fail(status.reason() + DiscardTemporary(fs, created.path)), {}};
    }
    return {status, created.path};
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
