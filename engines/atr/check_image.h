// The per-image test of the check-and-repair tool, with the repair steps of a repair run.
#pragma once

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <unordered_set>

#include "atr_header.h"
#include "file_system.h"
#include "report_sink.h"
#include "user_prompt.h"

namespace korvane {

class WriteGroup;

// The files a repair run has written (backups and repaired images): none of them is ever
// removed or replaced by the same run, even when two images share a backup name, in
// whatever letter case the file system takes it.
struct WrittenFiles {
    struct IdentityHash {
        std::size_t operator()(const FileIdentity& identity) const noexcept {
            return std::hash<std::uint64_t>()(identity.inode * 0x9E3779B97F4A7C15ULL ^
                                              identity.device);
        }
    };
    std::unordered_set<FileIdentity, IdentityHash> identities;
    // Their paths with letters folded to lower case, for a directory that takes names
    // whatever their case: there each spelling may have an identity of its own (exfat-fuse).
    std::set<std::string> folded_names;
    bool folds_case = false;
    // `identity`: the file's, where it is known already; otherwise its name is looked up.
    void Add(FileSystem& fs, const std::filesystem::path& path,
             const std::optional<FileIdentity>& identity = std::nullopt);
    // Whether `path`, whose identity is `identity` (none: nothing there, or unknown), is
    // one of them.
    bool Holds(const std::filesystem::path& path,
               const std::optional<FileIdentity>& identity) const;
};

struct CheckSettings {
    bool repair_mode = false;
    LayoutMode layout = LayoutMode::Both;
    bool expand_small = true;  // the 1 kB rule
    std::shared_ptr<WrittenFiles> written_files = std::make_shared<WrittenFiles>();
    // Where a batch groups its writes: repaired images wait there for their names. None:
    // each is synced and put in place at once.
    WriteGroup* group = nullptr;
    // The run's stop request: set when a question is due or while it waits, it abandons
    // the image, and nothing more is written for it.
    const volatile std::sig_atomic_t* stop_request = nullptr;
    // Where a check run's images lie: a check opens each by its name there, and its path
    // need not be made. Empty: by the path.
    std::filesystem::path directory{};
};

enum class Verdict { Pass, Fail };
// How the batch counts the image: valid, invalid (repaired in a repair run) or not at
// all (a failing backup image that a repair run leaves alone).
enum class CountClass { Valid, Invalid, NotCounted };

struct CheckResult {
    Verdict verdict = Verdict::Pass;
    CountClass count = CountClass::Valid;
};

// Working state of one image while its block of report lines is written. Only the header
// is held; the data stays in the open file, from which a repair copies it.
struct ImageCheck {
    std::unique_ptr<InputFile> source;
    AtrHeaderBytes header{};
    std::int64_t physical_length = 0;
    // The smallest length the image had on the way: only the original's bytes below it
    // are copied, so that an area cut and then grown again comes back as zeros.
    std::int64_t kept_length = 0;
    std::int64_t stated_length = 0;
    std::int32_t sector_size = 0;
    bool image_invalid = false;
    bool skip_write = false;
    bool interrupted = false;  // a stop request cut a question short
};

struct ImageLocation {
    std::filesystem::path name;        // as listed in the file list, no directory
    std::filesystem::path path;        // the directory of source_path joined with the name
    std::filesystem::path backup_dir;  // the directory list's path, where backups go
};

// Reads one image's header and length, checks them, writes its block of report lines and,
// in a repair run, mends the header and length, keeps the old file as a backup and writes
// the mended image under the old name.
CheckResult CheckImage(const ImageLocation& image, const CheckSettings& settings,
                       ReportSink& report, UserPrompt& prompt, FileSystem& fs);

// The backup name of a repaired image: its name up to the first "." plus "_org.atr".
std::filesystem::path BackupName(const std::filesystem::path& name);

}  // namespace korvane
