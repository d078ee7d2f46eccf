// The real file system with failures on demand: a test names an operation, and
// optionally which call of it and a part of the path, and that call fails. Tests run as
// root in CI, where permissions alone cannot make an operation fail.
#pragma once

#include <string>
#include <vector>

#include "file_system.h"

namespace korvane::testing {

enum class FsOperation { List, Read, Create, Write, Close, Rename, Remove };

class FaultFileSystem final : public FileSystem {
  public:
    // Fails the `nth` call (1-based, counted per operation) of `operation` whose path
    // contains `path_part` (empty: any path). A failing write first writes `partial`
    // bytes, like a disk that fills up midway.
    void FailOn(FsOperation operation, int nth = 1, std::string path_part = {},
                std::size_t partial = 0);
    int calls(FsOperation operation) const;

    FsStatus List(const std::filesystem::path& directory,
                  std::vector<DirectoryEntry>& entries) override;
    ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) override;
    bool Exists(const std::filesystem::path& path) override { return real_.Exists(path); }
    bool IsRegularFile(const std::filesystem::path& path) override {
        return real_.IsRegularFile(path);
    }
    CreateResult CreateExclusive(const std::filesystem::path& path) override;
    FsStatus RenameNoReplace(const std::filesystem::path& from,
                             const std::filesystem::path& to) override;
    // A hard link to a new name and a replacing rename count as renames, matched on the
    // new name.
    FsStatus LinkNoReplace(const std::filesystem::path& existing,
                           const std::filesystem::path& to) override;
    FsStatus RenameReplacing(const std::filesystem::path& from,
                             const std::filesystem::path& to) override;
    FsStatus Remove(const std::filesystem::path& path) override;

    // False: behave like a file system without hard links (FAT).
    bool hard_links = true;

    // Shared with the output files it hands out.
    bool ShouldFail(FsOperation operation, const std::filesystem::path& path,
                    std::size_t* partial = nullptr);

  private:
    struct Rule {
        FsOperation operation;
        int nth;
        std::string path_part;
        std::size_t partial;
        int seen = 0;
    };
    PosixFileSystem real_;
    std::vector<Rule> rules_;
    int counts_[7] = {};
};

}  // namespace korvane::testing
