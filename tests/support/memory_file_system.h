// A file system held in memory, for runs over many images with no disk in the way: a map
// from each file's full path to its content. Names that share one content are hard links;
// a directory exists while some file lies in it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "file_system.h"

namespace korvane::testing {

class MemoryFileSystem : public FileSystem {
    using Path = std::filesystem::path;
    using Content = std::shared_ptr<std::vector<std::uint8_t>>;

  public:
    FsStatus List(const Path& directory, std::vector<DirectoryEntry>& entries) override {
        entries.clear();
        for (const auto& [path, content] : files) {
            if (Path(path).parent_path() == directory) {
                entries.push_back({Path(path).filename(), true});
            }
        }
        return FsStatus::Ok();
    }
    ReadResult ReadWhole(const Path& path, std::int64_t /*max_length*/) override {
        const auto it = files.find(path);
        return {it == files.end() ? Missing() : FsStatus::Ok(),
                it == files.end() ? std::vector<std::uint8_t>() : *it->second};
    }
    bool Exists(const Path& path) override {
        const auto in = files.lower_bound((path / "").native());
        return files.contains(path) ||
               (in != files.end() && in->first.starts_with((path / "").native()));
    }
    bool IsRegularFile(const Path& path) override { return files.contains(path); }
    CreateResult CreateExclusive(const Path& path) override {
        struct Output final : OutputFile {
            explicit Output(Content to) : content(std::move(to)) {}
            FsStatus Write(std::span<const std::uint8_t> bytes) override {
                content->insert(content->end(), bytes.begin(), bytes.end());
                return FsStatus::Ok();
            }
            FsStatus Close(bool) override { return FsStatus::Ok(); }
            Content content;
        };
        if (Exists(path)) {
            return {Counted(FsStatus::Fail("File exists")), nullptr, path};
        }
        return {FsStatus::Ok(),
                std::make_unique<Output>(files[path] = std::make_shared<Content::element_type>()),
                path};
    }
    FsStatus LinkNoReplace(const Path& existing, const Path& to) override {
        if (!files.contains(existing) || Exists(to)) {
            return files.contains(existing) ? Counted(FsStatus::Fail("File exists")) : Missing();
        }
        files[to] = files[existing];
        return FsStatus::Ok();
    }
    FsStatus RenameNoReplace(const Path& from, const Path& to) override {
        const FsStatus linked = LinkNoReplace(from, to);
        return linked.ok() ? Remove(from) : linked;
    }
    FsStatus RenameReplacing(const Path& from, const Path& to) override {
        files.erase(files.contains(from) ? to.native() : std::string());
        return RenameNoReplace(from, to);
    }
    FsStatus Remove(const Path& path) override {
        return files.erase(path) == 1 ? FsStatus::Ok() : Missing();
    }
    // Hard links share their content, and so their identity.
    std::optional<FileIdentity> Identity(const Path& path) override {
        const auto it = files.find(path);
        return it == files.end() ? std::nullopt
                                 : std::optional<FileIdentity>(
                                       {0, reinterpret_cast<std::uintptr_t>(it->second.get())});
    }

    std::map<std::string, Content> files;

  private:
    FsStatus Missing() { return Counted(FsStatus::Fail("No such file or directory")); }
};

}  // namespace korvane::testing
