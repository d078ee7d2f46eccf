#include "write_group.h"

#include <algorithm>

namespace korvane {

namespace {

// A group holds at most this many files or bytes of temporary files: the held report
// lines and the disk space taken twice stay bounded. Small images go a thousand to a
// sync: on a disk each sync costs about as much as writing them.
constexpr std::size_t kGroupFiles = 1024;
constexpr std::int64_t kGroupBytes = 64 << 20;

// A name's last part, letters folded: two names of one folding in different directories
// only make a group commit early.
std::string Folded(const std::filesystem::path& name) {
    const std::string& path = name.native();
    const std::size_t slash = path.rfind('/');
    std::string folded = slash == std::string::npos ? path : path.substr(slash + 1);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
    return folded;
}

}  // namespace

void WriteGroup::Clear() {
    Commit();
    report_.Clear();
}

void WriteGroup::Append(const std::string& line) {
    if (held_.empty()) {
        report_.Append(line);
        return;
    }
    held_.emplace_back(Line{held_text_.size(), line.size()});
    held_text_ += line;
    ++held_lines_;
}

std::int64_t WriteGroup::LineCount() const {
    return report_.LineCount() + held_lines_;
}

void WriteGroup::SelectLast() {
    if (held_.empty()) {
        report_.SelectLast();
    } else {
        held_.emplace_back(Select{});
    }
}

// A block whose lines are held completes when they are let through.
void WriteGroup::BlockComplete() {
    if (held_.empty()) {
        report_.BlockComplete();
    } else {
        held_.emplace_back(BlockEnd{});
    }
}

void WriteGroup::Defer(const std::filesystem::path& target, std::int64_t bytes, int expected_lines,
                       std::unique_ptr<Placing> placing) {
    held_.emplace_back(Waiting{expected_lines, std::move(placing)});
    held_lines_ += expected_lines;
    // The images of a run share their directory: its path is taken apart once.
    const std::string& path = target.native();
    const std::string& last = last_directory_.native();
    if (directories_.empty() || path.size() <= last.size() + 1 ||
        path.compare(0, last.size(), last) != 0 || path[last.size()] != '/' ||
        path.find('/', last.size() + 1) != std::string::npos) {
        last_directory_ = target.parent_path();
        directories_.insert(last_directory_);
    }
    targets_.insert(Folded(target));
    bytes_ += bytes;
    if (++files_ >= kGroupFiles || bytes_ >= kGroupBytes) {
        Commit();
    }
}

void WriteGroup::Claim(const std::filesystem::path& name) {
    targets_.insert(Folded(name));
}

void WriteGroup::CommitIfWaiting(const std::filesystem::path& name) {
    if (targets_.count(Folded(name)) != 0) {
        Commit();
    }
}

FsStatus WriteGroup::SyncDirectories() {
    FsStatus status = FsStatus::Ok();
    for (const std::filesystem::path& directory : directories_) {
        const FsStatus synced = fs_.SyncDirectory(directory);
        if (status.ok()) {
            status = synced;
        }
    }
    return status;
}

void WriteGroup::Commit() {
    if (held_.empty()) {
        return;
    }
    std::vector<std::variant<Line, Waiting, Select, BlockEnd>> held;
    held.swap(held_);
    std::string text;
    text.swap(held_text_);
    held_lines_ = 0;
    std::vector<Placing*> placings;
    for (auto& item : held) {
        if (auto* waiting = std::get_if<Waiting>(&item)) {
            placings.push_back(waiting->placing.get());
        }
    }
    bool kept_early = false;
    for (Placing* placing : placings) {
        kept_early = placing->KeepEarly() || kept_early;
    }
    // One sync for every waiting file; a failure leaves them all temporary, and takes the
    // early names back.
    const std::filesystem::path* volume = directories_.empty() ? nullptr : &*directories_.begin();
    const FsStatus synced = volume == nullptr ? FsStatus::Ok() : fs_.SyncFileSystem(*volume);
    bool kept = kept_early && !(volume != nullptr && fs_.SyncFileSystemWritesNames(*volume));
    for (Placing* placing : placings) {
        kept = placing->Keep(synced) || kept;
    }
    const FsStatus kept_synced = kept ? SyncDirectories() : FsStatus::Ok();
    for (Placing* placing : placings) {
        placing->Name(kept_synced);
    }
    const FsStatus names_synced = SyncDirectories();
    std::string shown;  // one line at a time, in one buffer
    for (auto& item : held) {
        if (const auto* line = std::get_if<Line>(&item)) {
            shown.assign(text, line->offset, line->size);
            report_.Append(shown);
        } else if (std::holds_alternative<Select>(item)) {
            report_.SelectLast();
        } else if (std::holds_alternative<BlockEnd>(item)) {
            report_.BlockComplete();
        } else {
            Waiting& waiting = std::get<Waiting>(item);
            const std::int64_t before = report_.LineCount();
            waiting.placing->Report(names_synced);
            // Rare (a failed rename or sync says more); the usual case touches no start,
            // which keeps a long run's commits from walking every file's start each time.
            const std::int64_t extra = report_.LineCount() - before - waiting.expected_lines;
            if (extra != 0) {
                for (std::int64_t& start : block_starts_) {
                    if (start > before) {
                        start += extra;
                    }
                }
            }
        }
    }
    directories_.clear();
    targets_.clear();
    bytes_ = 0;
    files_ = 0;
}

}  // namespace korvane
