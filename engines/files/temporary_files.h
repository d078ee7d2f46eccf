// Temporary files: the only way a new file comes into being, so that no name ever holds a
// partial file.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "file_system.h"

namespace korvane {

// A fresh temporary name in `directory`: hidden, of one fixed length whatever the name
// it stands in for, ".korvane-" followed by the writing process's id and a counter.
std::filesystem::path TemporaryNameIn(const std::filesystem::path& directory);
// The same, in the directory of `target`.
std::filesystem::path TemporaryNameBeside(const std::filesystem::path& target);
// Whether `name` is exactly of the form TemporaryNameIn gives: ".korvane-", ten decimal
// digits, "-", eight lower-case hexadecimal digits, ".tmp".
bool IsTemporaryName(const std::string& name);

// Where there are no hard links, the untouched image is renamed to its backup name before
// the repaired one takes the image's name: for that moment the image's name is missing.
// A restore record, written to the disk before the first rename, tells the next run to
// put the image back from its backup if the run was cut off there. Its name is that of a
// temporary file ending in ".put" instead of ".tmp".
FsStatus WriteRestoreRecord(FileSystem& fs, const std::filesystem::path& image,
                            const std::filesystem::path& backup, std::filesystem::path& record);
bool IsRestoreRecordName(const std::string& name);
// Follows a restore record: puts the image back when only its backup holds it, then
// removes the record. Returns the notice, "" when nothing needed doing.
std::string FollowRestoreRecord(FileSystem& fs, const std::filesystem::path& record);

// Writes a complete file under a temporary name beside `target`: `write_body` writes the
// content, and on any failure the temporary file is removed again. On success the
// returned path names the closed, complete temporary file; on failure the reason also
// tells of a temporary file that could not be removed.
struct WrittenTemporary {
    FsStatus status = FsStatus::Ok();
    std::filesystem::path path;
    std::optional<FileIdentity> identity;  // where the file told it
};
WrittenTemporary WriteTemporary(FileSystem& fs, const std::filesystem::path& target,
                                const std::function<FsStatus(OutputFile&)>& write_body,
                                bool durable);
// Removes a temporary file; returns "" or the words for the report that it stays.
std::string DiscardTemporary(FileSystem& fs, const std::filesystem::path& temporary);

// Renames a complete temporary file to `target`, never over anything of that name; on
// failure removes the temporary file (the reason tells if that failed too).
FsStatus PlaceTemporary(FileSystem& fs, const std::filesystem::path& temporary,
                        const std::filesystem::path& target);

// Writes a complete new file at `target` without ever leaving a partial one behind and
// without replacing anything that appeared meanwhile: WriteTemporary, then a rename
// into place that never replaces. With `durable`, the file's bytes reach the disk before
// the rename and the new name after it. `placed`, where given, tells whether the file took
// its name, so that a failure of the directory's sync alone can be told apart.
FsStatus WriteNewFile(FileSystem& fs, const std::filesystem::path& target,
                      const std::function<FsStatus(OutputFile&)>& write_body, bool durable,
                      bool* placed = nullptr);

}  // namespace korvane
