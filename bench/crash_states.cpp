// Crash states of a repair run on a file system whose directory operations are not
// ordered (FAT, ext2): the run goes through a file system in memory that records every
// operation; then, for every point at which the power may go, every subset of the
// directory operations not yet synced is taken as the part that reached the disk, and file
// data counts only where an fsync or syncfs covered it. Each such state is checked: every
// original image must be whole under its own name or its backup name, and no image name
// may hold a file whose data did not all reach the disk. Two kinds of volume: a local
// one, whose syncfs writes every file's data and every directory change, and a FUSE one,
// whose syncfs reaches nothing (each new file is synced as it is closed, as the product
// does there, and only a directory's fsync makes its names durable).
//   crash_states [IMAGES]   (default 3; prints the counts for local and FUSE volumes, with
//                            and without hard links; exit status 1 when any state loses
//                            or damages)
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "check_run.h"
#include "plain_window.h"
#include "scripted_prompt.h"

namespace korvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Path = std::filesystem::path;

struct Inode {
    Bytes data;    // as written
    Bytes synced;  // as on the disk
};

// One directory operation: the name `to` comes to lead to `inode` (-1: removed), and with
// `from` given that name goes.
struct DirectoryOp {
    std::string from, to;
    int inode;
};

class RecordingFileSystem final : public FileSystem {
  public:
    RecordingFileSystem(bool links, bool fuse) : links_(links), fuse_(fuse) {}

    FsStatus List(const Path& directory, std::vector<DirectoryEntry>& entries) override {
        entries.clear();
        for (const auto& [name, inode] : names_) {
            entries.push_back({name, true});
        }
        (void)directory;
        return FsStatus::Ok();
    }
    ReadResult ReadWhole(const Path& path, std::int64_t) override {
        const auto it = names_.find(path.filename());
        if (it == names_.end()) {
            return {Counted(FsStatus::Fail("No such file")), {}};
        }
        return {FsStatus::Ok(), inodes_[it->second].data};
    }
    // The one directory, "/d", and the names in it.
    bool Exists(const Path& path) override {
        return path == "/d" || names_.contains(path.filename());
    }
    bool IsRegularFile(const Path& path) override { return Exists(path); }
    CreateResult CreateExclusive(const Path& path) override {
        struct Output final : OutputFile {
            RecordingFileSystem& fs;
            int inode;
            Output(RecordingFileSystem& fs, int inode) : fs(fs), inode(inode) {}
            FsStatus Write(std::span<const std::uint8_t> bytes) override {
                Bytes& data = fs.inodes_[inode].data;
                data.insert(data.end(), bytes.begin(), bytes.end());
                fs.Point();
                return FsStatus::Ok();
            }
            FsStatus Close(bool durable) override {
                if (durable || fs.fuse_) {
                    fs.inodes_[inode].synced = fs.inodes_[inode].data;
                }
                fs.Point();
                return FsStatus::Ok();
            }
        };
        if (Exists(path)) {
            return {Counted(FsStatus::Fail("File exists")), nullptr, path};
        }
        inodes_.push_back({});
        const int inode = static_cast<int>(inodes_.size()) - 1;
        Apply({"", path.filename(), inode});
        return {FsStatus::Ok(), std::make_unique<Output>(*this, inode), path};
    }
    FsStatus LinkNoReplace(const Path& existing, const Path& to) override {
        if (!links_) {
            return FsStatus::Unsupported("no hard links");
        }
        if (!Exists(existing) || Exists(to)) {
            return Counted(FsStatus::Fail("link refused"));
        }
        Apply({"", to.filename(), names_[existing.filename()]});
        return FsStatus::Ok();
    }
    FsStatus RenameNoReplace(const Path& from, const Path& to) override {
        if (!Exists(from) || Exists(to)) {
            return Counted(FsStatus::Fail("rename refused"));
        }
        Apply({from.filename(), to.filename(), names_[from.filename()]});
        return FsStatus::Ok();
    }
    FsStatus RenameReplacing(const Path& from, const Path& to) override {
        if (!Exists(from)) {
            return Counted(FsStatus::Fail("rename refused"));
        }
        Apply({from.filename(), to.filename(), names_[from.filename()]});
        return FsStatus::Ok();
    }
    FsStatus Remove(const Path& path) override {
        if (!Exists(path)) {
            return Counted(FsStatus::Fail("No such file"));
        }
        Apply({"", path.filename(), -1});
        return FsStatus::Ok();
    }
    std::optional<FileIdentity> Identity(const Path& path) override {
        const auto it = names_.find(path.filename());
        return it == names_.end()
                   ? std::nullopt
                   : std::optional<FileIdentity>({1, static_cast<std::uint64_t>(it->second)});
    }
    // On a local volume syncfs writes every file's data and every directory change; on
    // FUSE it reaches no daemon.
    FsStatus SyncFileSystem(const Path&) override {
        if (fuse_) {
            Point();
            return FsStatus::Ok();
        }
        for (Inode& inode : inodes_) {
            inode.synced = inode.data;
        }
        synced_ops_ = ops_.size();
        Point();
        return FsStatus::Ok();
    }
    bool SyncFileSystemWritesNames(const Path&) override { return !fuse_; }
    FsStatus SyncDirectory(const Path&) override {
        synced_ops_ = ops_.size();
        Point();
        return FsStatus::Ok();
    }

    // Puts a file on the disk before the run, synced.
    void Seed(const std::string& name, const Bytes& data) {
        inodes_.push_back({data, data});
        names_[name] = static_cast<int>(inodes_.size()) - 1;
        disk_ = names_;
    }

    // A moment at which the power may go: the directory as it was last synced, the
    // directory operations since, and every file's data as on the disk then.
    struct Moment {
        std::map<std::string, int> synced_names;
        std::vector<DirectoryOp> pending;
        std::vector<Bytes> disk_data, written_data;
    };
    std::vector<Moment> moments;

  private:
    void Apply(const DirectoryOp& op) {
        if (!op.from.empty()) {
            names_.erase(op.from);
        }
        if (op.inode < 0) {
            names_.erase(op.to);
        } else {
            names_[op.to] = op.inode;
        }
        ops_.push_back(op);
        Point();
    }
    void Point() {
        while (applied_ < synced_ops_) {
            const DirectoryOp& op = ops_[applied_++];
            if (!op.from.empty()) {
                disk_.erase(op.from);
            }
            op.inode < 0 ? (void)disk_.erase(op.to) : (void)(disk_[op.to] = op.inode);
        }
        Moment moment{
            disk_, {ops_.begin() + static_cast<std::ptrdiff_t>(synced_ops_), ops_.end()}, {}, {}};
        for (const Inode& inode : inodes_) {
            moment.disk_data.push_back(inode.synced);
            moment.written_data.push_back(inode.data);
        }
        moments.push_back(std::move(moment));
    }
    bool links_, fuse_;
    std::vector<Inode> inodes_;
    std::map<std::string, int> names_;  // as the run sees it
    std::map<std::string, int> disk_;   // as synced
    std::vector<DirectoryOp> ops_;
    std::size_t synced_ops_ = 0, applied_ = 0;
};

class NoReport final : public ReportSink {
  public:
    void Clear() override { lines_ = 0; }
    void Append(const std::string&) override { ++lines_; }
    std::int64_t LineCount() const override { return lines_; }
    void SelectLast() override {}

  private:
    std::int64_t lines_ = 0;
};

// A broken image: the header states 1,024 data bytes, the file holds 1,044.
Bytes Broken(int seed) {
    Bytes image = {0x96, 0x02, 0x40, 0x00, 0x80, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 1044; ++i) {
        image.push_back(static_cast<std::uint8_t>(seed * 31 + i * 7));
    }
    return image;
}

struct Counts {
    long states = 0, lost = 0, partial = 0;
};

Counts Check(bool links, bool fuse, int images) {
    RecordingFileSystem fs(links, fuse);
    std::map<std::string, Bytes> originals;
    for (int i = 0; i < images; ++i) {
        const std::string name = "IMG" + std::to_string(i) + ".ATR";
        originals[name] = Broken(i);
        fs.Seed(name, originals[name]);
    }
    fs.Seed("IMG0_org.atr", Broken(99));  // an old backup, to be replaced
    PlainWindow window(fs);
    window.ApplyDirectory("/d");
    ScriptedPrompt prompt;
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    NoReport report;
    ProgramState state;
    state.repair_mode = true;
    EngineContext context{window, report, prompt, fs, state};
    RunAtrCheck(context);

    Counts counts;
    for (const auto& moment : fs.moments) {
        const std::size_t pending = moment.pending.size();
        for (std::uint64_t subset = 0; subset < (1ULL << pending); ++subset) {
            std::map<std::string, int> names = moment.synced_names;
            for (std::size_t i = 0; i < pending; ++i) {
                if ((subset >> i & 1) == 0) {
                    continue;
                }
                const DirectoryOp& op = moment.pending[i];
                if (!op.from.empty()) {
                    names.erase(op.from);
                }
                op.inode < 0 ? (void)names.erase(op.to) : (void)(names[op.to] = op.inode);
            }
            ++counts.states;
            const auto holds = [&](const std::string& name, const Bytes& data) {
                const auto it = names.find(name);
                return it != names.end() && moment.disk_data[it->second] == data;
            };
            for (const auto& [name, data] : originals) {
                if (!holds(name, data) &&
                    !holds(name.substr(0, name.find('.')) + "_org.atr", data)) {
                    ++counts.lost;
                }
            }
            for (const auto& [name, inode] : names) {
                if (name[0] != '.' && moment.disk_data[inode] != moment.written_data[inode]) {
                    ++counts.partial;
                }
            }
        }
    }
    return counts;
}

}  // namespace
}  // namespace korvane

int main(int argc, char** argv) {
    const int images = argc > 1 ? std::atoi(argv[1]) : 3;
    bool failed = false;
    for (const bool fuse : {false, true}) {
        for (const bool links : {true, false}) {
            const korvane::Counts counts = korvane::Check(links, fuse, images);
            std::printf(
                "%s, %s: %d images, crash states: %ld, originals lost: %ld, partial images: "
                "%ld\n",
                fuse ? "FUSE" : "local", links ? "with hard links" : "without hard links", images,
                counts.states, counts.lost, counts.partial);
            failed = failed || counts.lost != 0 || counts.partial != 0;
        }
    }
    return failed ? 1 : 0;
}
