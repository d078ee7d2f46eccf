// The real file system with failures on demand: a test names an operation, and
// optionally which call of it and a part of the path, and that call fails. Tests run as
// root in CI, where permissions alone cannot make an operation fail.
#pragma once

#include <string>
#include <vector>

#include "file_system.h"

namespace korvane::testing {

enum class FsOperation { List, Read, Create, Write, Close, Rename, Remove, Lock };

class FaultFileSystem final : public FileSystem {
  public:
    // Fails the `nth` call (1-based, counted per operation) of `operation` whose path
    // contains `path_part` (empty: any path). A failing write first writes `partial`
    // bytes, like a disk that fills up midway. A temporary file's creation, writes and
    // closing match on the name it stands in for; renames match on the new name.
    void FailOn(FsOperation operation, int nth = 1, std::string path_part = {},
                std::size_t partial = 0) {
        rules_.push_back({operation, nth, std::move(path_part), partial});
    }
    int calls(FsOperation operation) const { return counts_[static_cast<int>(operation)]; }
    // Whether the call fails; counts it, and a failure among the failed operations.
    bool ShouldFail(FsOperation operation, const std::filesystem::path& path,
                    std::size_t* partial = nullptr);

    FsStatus List(const std::filesystem::path& directory,
                  std::vector<DirectoryEntry>& entries) override;
    ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) override;
    OpenResult OpenRead(const std::filesystem::path& path) override;
    FsStatus Length(const std::filesystem::path& path, std::int64_t& length) override;
    bool Exists(const std::filesystem::path& path) override { return real_.Exists(path); }
    bool IsRegularFile(const std::filesystem::path& path) override {
        return real_.IsRegularFile(path);
    }
    CreateResult CreateExclusive(const std::filesystem::path& path) override;
    CreateResult CreateTemporary(const std::filesystem::path& target) override;
    FsStatus RenameNoReplace(const std::filesystem::path& from,
                             const std::filesystem::path& to) override;
    FsStatus LinkNoReplace(const std::filesystem::path& existing,
                           const std::filesystem::path& to) override;
    FsStatus RenameReplacing(const std::filesystem::path& from,
                             const std::filesystem::path& to) override;
    FsStatus Remove(const std::filesystem::path& path) override;
    LockResult LockDirectory(const std::filesystem::path& directory) override;
    std::int64_t failed_operations() const override {
        return FileSystem::failed_operations() + real_.failed_operations();
    }

    // False: behave like a file system without hard links (FAT).
    bool hard_links = true;

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
    int counts_[8] = {};
};

}  // namespace korvane::testing
