// What the FileSystem seam offers by default, on top of the operations each file system
// implements.
#include "file_system.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "large_buffer.h"
#include "report_text.h"
#include "temporary_files.h"

namespace korvane {

OpenResult FileSystem::OpenRead(const std::filesystem::path& path) {
    // Without a file system of its own: the whole file, kept in memory.
    class WholeFile final : public InputFile {
      public:
        explicit WholeFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
            info_.length = static_cast<std::int64_t>(bytes_.size());
        }
        const FileInfo& info() const override { return info_; }
        FsStatus ReadAt(std::int64_t offset, std::span<std::uint8_t> bytes,
                        std::size_t& got) override {
            const auto from = std::min(bytes_.size(), static_cast<std::size_t>(offset));
            got = std::min(bytes.size(), bytes_.size() - from);
            std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(from), got, bytes.begin());
            return FsStatus::Ok();
        }

      private:
        std::vector<std::uint8_t> bytes_;
        FileInfo info_;
    };
    ReadResult read = ReadWhole(path, INT64_MAX);
    OpenResult result{read.status, nullptr};
    if (read.status.ok()) {
        result.file = std::make_unique<WholeFile>(std::move(read.bytes));
    }
    return result;
}

OpenResult FileSystem::OpenToCheckIn(const std::filesystem::path& directory,
                                     const std::filesystem::path& name) {
    return OpenToCheck(JoinPath(directory, name));
}

namespace {

template <typename Bytes>
FsStatus ReadInto(InputFile& file, std::int64_t max_length, Bytes& bytes) {
    // One byte more than its length, to see the end in the same pass.
    const auto expected = static_cast<std::size_t>(std::min(file.info().length, max_length)) + 1;
    ReserveLarge(bytes, expected);
    bytes.resize(expected);
    std::size_t filled = 0;
    for (;;) {
        std::size_t got = 0;
        const FsStatus read =
            file.ReadAt(static_cast<std::int64_t>(filled), std::span(bytes).subspan(filled), got);
        filled += got;
        if (!read.ok() || filled < bytes.size()) {
            bytes.resize(read.ok() ? filled : 0);
            return read;
        }
        if (static_cast<std::int64_t>(filled) > max_length) {
            bytes.clear();
            return FsStatus::Fail("file is larger than " + std::to_string(max_length) + " bytes");
        }
        bytes.resize(filled + 65536);
    }
}

}  // namespace

FsStatus ReadToEnd(InputFile& file, std::int64_t max_length, std::vector<std::uint8_t>& bytes) {
    return ReadInto(file, max_length, bytes);
}

FsStatus ReadToEnd(InputFile& file, std::int64_t max_length, ReadBuffer& bytes) {
    return ReadInto(file, max_length, bytes);
}

FsStatus OutputFile::CopyFrom(InputFile& source, std::int64_t from, std::int64_t to,
                              std::int64_t zeros, std::int64_t& copied) {
    // Chunks: no file is ever held whole, and a small one needs no large buffer.
    constexpr std::int64_t kChunk = 256 * 1024;
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(std::min(kChunk, std::max(to - from, zeros))));
    copied = 0;
    FsStatus status = FsStatus::Ok();
    for (std::int64_t at = from; status.ok() && at < to;) {
        std::size_t got = 0;
        const auto part =
            std::span(chunk).first(static_cast<std::size_t>(std::min(kChunk, to - at)));
        status = source.ReadAt(at, part, got);
        if (status.ok() && got > 0) {
            status = Write(part.first(got));
        }
        copied += static_cast<std::int64_t>(got);
        at = got < part.size() ? to : at + static_cast<std::int64_t>(got);
    }
    std::fill(chunk.begin(), chunk.end(), 0);
    for (std::int64_t left = zeros; status.ok() && left > 0; left -= kChunk) {
        status = Write(std::span(chunk).first(static_cast<std::size_t>(std::min(kChunk, left))));
    }
    return status;
}

FsStatus FileSystem::ForEachEntry(const std::filesystem::path& directory,
                                  const std::function<void(DirectoryEntry&)>& each) {
    std::vector<DirectoryEntry> entries;
    const FsStatus status = List(directory, entries);
    for (DirectoryEntry& entry : entries) {
        each(entry);
    }
    return status;
}

FsStatus FileSystem::Length(const std::filesystem::path& path, std::int64_t& length) {
    OpenResult opened = OpenRead(path);
    length = opened.status.ok() ? opened.file->info().length : 0;
    return opened.status;
}

CreateResult FileSystem::CreateTemporary(const std::filesystem::path& target) {
    // A name that is taken (a leftover that could not be removed, of a process that had
    // the same id) is passed over for the next one, however many there are: the counter
    // gives every one of its 2^32 names before it comes back to the first.
    for (std::uint64_t tries = 0;; ++tries) {
        std::filesystem::path temporary = TemporaryNameBeside(target);
        CreateResult result = CreateExclusive(temporary);
        if (result.status.ok()) {
            result.path = std::move(temporary);
            return result;
        }
        result.path = temporary;
        if (!Exists(temporary) || tries >= UINT32_MAX) {
            return result;
        }
        Forgive(1);  // the name is taken: no failure of the run
    }
}

std::optional<FileStamp> FileSystem::Stamp(const std::filesystem::path& path) {
    const std::optional<FileIdentity> identity = Identity(path);
    std::int64_t length = 0;
    if (!identity || !Length(path, length).ok()) {
        return std::nullopt;
    }
    return FileStamp{*identity, length, 0, 0};
}

bool FileSystem::FoldsCase(const std::filesystem::path& directory) {
    // A directory where nothing can be created is no failure of the run.
    const std::int64_t failures_before = failed_operations();
    const std::filesystem::path probe = TemporaryNameIn(directory);
    const CreateResult created = CreateExclusive(probe);
    bool folds = false;
    if (created.status.ok() && created.file->Close(false).ok()) {
        std::string capitals = probe.filename().native();
        std::transform(capitals.begin(), capitals.end(), capitals.begin(), [](char c) {
            return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
        });
        folds = Exists(directory / capitals);
    }
    if (created.status.ok()) {
        Remove(probe);  // one that stays is removed by the next run
    }
    Forgive(failed_operations() - failures_before);
    return folds;
}

}  // namespace korvane
