// Fuzzes the repair of ATR images: random image bytes, random answers to the repair
// questions, a random prior backup and at most one failing file operation, all through a
// real repair over a scratch directory. After each run it checks what must always hold:
// every original byte is still on disk (under the image's own name, or whole as its
// backup with a complete repaired image under the name), nothing half-written and no
// temporary file is left, and a following test run writes nothing.
//
// Input layout:
//   byte 0  bits 0-1 layout (0 both, 1 short, 2 long, 3 both), bit 2 the 1 kB rule,
//           bit 3 backups exist before the run, bits 4-5 first name of the name table
//   byte 1  bits 0-1 sector size answer, 2-3 length answer, 4-5 layout answer
//           (0 Yes, 1 No, 2 Cancel, 3 Cancel), bit 6 overwrite answer (Yes when set)
//   byte 2  bits 0-2 the failing operation (0 and 7 none), bits 3-7 which call fails
//   byte 3  how many bytes a failing write still writes
//   then up to three images, each a 16-bit little-endian length and that many bytes
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "atr_header.h"
#include "check_image.h"
#include "check_run.h"
#include "engine_context.h"
#include "fault_file_system.h"
#include "plain_window.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

namespace {

using korvane::testing::Bytes;
using korvane::testing::Snapshot;
using korvane::testing::WriteFile;
namespace fs = std::filesystem;
using korvane::testing::FaultFileSystem;
using korvane::testing::FsOperation;

// Distinct names with distinct backup names; one is itself a backup, one has no ".".
const char* const kNames[] = {"GAME.ATR", "MY.GAME.ATR", "OLD_org.atr", "NODOT"};

[[noreturn]] void Broken(const std::string& what, const std::string& name) {
    std::fprintf(stderr, "repair broke a rule for %s: %s\n", name.c_str(), what.c_str());
    std::abort();
}

class NullReport final : public korvane::ReportSink {
  public:
    void Clear() override { lines.clear(); }
    void Append(const std::string& line) override { lines.push_back(line); }
    std::int64_t LineCount() const override { return static_cast<std::int64_t>(lines.size()); }
    void SelectLast() override {}
    std::vector<std::string> lines;
};

// The scratch directory lives as long as the process and is removed at its end.
class Scratch {
  public:
    explicit Scratch(fs::path path) : path_(std::move(path)) {}
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

const fs::path& ScratchDirectory() {
    static const Scratch directory = [] {
        // Prefer memory-backed storage: every run writes and syncs files.
        const fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "korvane-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        return Scratch(pattern);
    }();
    return directory.path();
}

void EmptyDirectory(const fs::path& directory) {
    for (const auto& entry : fs::directory_iterator(directory)) {
        fs::remove_all(entry.path());
    }
}

korvane::PromptAnswer ThreeWay(unsigned bits) {
    switch (bits & 3U) {
        case 0:
            return korvane::PromptAnswer::Yes;
        case 1:
            return korvane::PromptAnswer::No;
        default:
            return korvane::PromptAnswer::Cancel;
    }
}

bool IsBackupName(const std::string& name) {
    std::string upper = name;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return upper.find("_ORG.ATR") != std::string::npos;
}

// A repaired image: a valid identifier, zero reserved bytes, the original data bytes,
// shortened or lengthened at the end.
void CheckRepaired(const Bytes& original, const Bytes& repaired, const std::string& name) {
    if (repaired.size() < korvane::atr::kHeaderSize) {
        Broken("repaired image shorter than its header", name);
    }
    if (repaired[0] != 0x96 || repaired[1] != 0x02) {
        Broken("repaired image without identifier", name);
    }
    for (std::size_t i = 8; i < 16; ++i) {
        if (repaired[i] != 0) {
            Broken("reserved header bytes not cleared", name);
        }
    }
    // Bytes are only ever cut from or added at the end: the data is the original's up
    // to some length, then zeros.
    std::size_t same = korvane::atr::kHeaderSize;
    while (same < repaired.size() && same < original.size() && repaired[same] == original[same]) {
        ++same;
    }
    for (std::size_t i = same; i < repaired.size(); ++i) {
        if (repaired[i] != 0) {
            Broken("data byte " + std::to_string(i) + " changed", name);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    const std::uint8_t answers = data[1];
    const std::uint8_t fault = data[2];
    const std::size_t partial = data[3];

    struct Image {
        std::string name;
        Bytes bytes;
    };
    std::vector<Image> images;
    std::size_t at = 4;
    while (images.size() < 3 && at + 2 <= size) {
        const std::size_t wanted = data[at] | (static_cast<std::size_t>(data[at + 1]) << 8);
        at += 2;
        const std::size_t length = std::min(wanted, size - at);
        Bytes bytes(data + at, data + at + length);
        if (bytes.size() > 7 && bytes[7] == 0) {
            // Keep stated lengths that a repair may grow to below 1 MB, so that a run stays
            // fast; beyond 16 MB (byte 7 set) growth is refused anyway.
            bytes[6] = 0;
        }
        images.push_back({kNames[((flags >> 4) + images.size()) % 4], std::move(bytes)});
        at += length;
    }

    const fs::path& directory = ScratchDirectory();
    EmptyDirectory(directory);
    const bool backups_exist = (flags & 8U) != 0;
    for (std::size_t i = 0; i < images.size(); ++i) {
        WriteFile(directory / images[i].name, images[i].bytes);
        if (backups_exist && !IsBackupName(images[i].name)) {
            WriteFile(directory / korvane::BackupName(images[i].name),
                      Bytes{'o', 'l', 'd', static_cast<std::uint8_t>(i)});
        }
    }
    const std::map<std::string, Bytes> before = Snapshot(directory);

    korvane::CheckSettings settings;
    settings.repair_mode = true;
    settings.layout = static_cast<korvane::LayoutMode>((flags & 3U) == 3 ? 0 : flags & 3U);
    settings.expand_small = (flags & 4U) != 0;

    korvane::ScriptedPrompt prompt;
    prompt.Answer(korvane::PromptTopic::SectorSize, ThreeWay(answers));
    prompt.Answer(korvane::PromptTopic::FileLength, ThreeWay(answers >> 2));
    prompt.Answer(korvane::PromptTopic::Layout, ThreeWay(answers >> 4));
    prompt.Answer(korvane::PromptTopic::OverwriteBackup,
                  (answers & 0x40U) != 0 ? korvane::PromptAnswer::Yes : korvane::PromptAnswer::No);

    FaultFileSystem faulty;
    // Some runs behave like a file system without hard links (FAT).
    faulty.hard_links = (answers & 0x80U) == 0;
    const int operation = fault & 7;
    if (operation != 0 && operation != 7) {
        const FsOperation failing[] = {FsOperation::Create, FsOperation::Write,  FsOperation::Close,
                                       FsOperation::Rename, FsOperation::Remove, FsOperation::Read};
        faulty.FailOn(failing[operation - 1], 1 + (fault >> 3), {}, partial);
    }

    NullReport report;
    std::map<std::string, std::vector<std::string>> blocks;
    for (const Image& image : images) {
        korvane::ImageLocation location;
        location.name = image.name;
        location.path = directory / image.name;
        location.backup_dir = directory;
        const std::size_t first_line = report.lines.size();
        const korvane::CheckResult result =
            korvane::CheckImage(location, settings, report, prompt, faulty);
        if (result.count == korvane::CountClass::NotCounted && !IsBackupName(image.name)) {
            Broken("image left uncounted", image.name);
        }
        if (report.lines.size() == first_line || report.lines[first_line].rfind("Read  : ", 0)) {
            Broken("block does not begin with the read line", image.name);
        }
        blocks[image.name].assign(report.lines.begin() + static_cast<std::ptrdiff_t>(first_line),
                                  report.lines.end());
    }

    const std::map<std::string, Bytes> after = Snapshot(directory);
    for (const auto& [name, content] : after) {
        if (!name.empty() && name[0] == '.') {
            Broken("temporary file left behind", name);
        }
    }
    for (const Image& image : images) {
        const auto now = after.find(image.name);
        if (IsBackupName(image.name)) {
            if (now == after.end() || now->second != image.bytes) {
                Broken("a backup image was changed", image.name);
            }
            continue;
        }
        const std::string backup = korvane::BackupName(image.name).native();
        const auto old_backup = before.find(backup);
        const auto new_backup = after.find(backup);
        const bool backup_written =
            new_backup != after.end() &&
            (old_backup == before.end() || new_backup->second != old_backup->second);
        if (now == after.end()) {
            Broken("image name left empty", image.name);
        }
        const std::vector<std::string>& block = blocks[image.name];
        const bool reported_written =
            std::find(block.begin(), block.end(), "        Generate new " + image.name + " file") !=
            block.end();
        if (reported_written != backup_written) {
            Broken("the report disagrees with the directory", image.name);
        }
        if (!backup_written) {
            // Untouched: the backup is the earlier one, or gone after an agreed overwrite.
            if (now->second != image.bytes) {
                Broken("image changed without a backup", image.name);
            }
            continue;
        }
        if (new_backup->second != image.bytes) {
            Broken("the backup is not the untouched image", image.name);
        }
        CheckRepaired(image.bytes, now->second, image.name);
    }

    // A test run over the result changes nothing on disk.
    korvane::PosixFileSystem real;
    korvane::PlainWindow window(real);
    window.SetPattern("*.atr");
    window.SetCheckValue(korvane::Control::chk_expand_images, settings.expand_small ? 1 : 0);
    if (window.ApplyDirectory(directory).ok()) {
        korvane::ProgramState state;
        korvane::ScriptedPrompt no_questions;
        korvane::EngineContext context{window, report, no_questions, real, state};
        korvane::RunAtrCheck(context);
        if (!no_questions.asked().empty()) {
            Broken("a test run asked a question", directory.native());
        }
        if (Snapshot(directory) != after) {
            Broken("a test run changed the directory", directory.native());
        }
    }
    return 0;
}
