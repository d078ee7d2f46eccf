// Fuzzes the repair of ATR images: random image bytes, random answers to the repair
// questions, a random prior backup and at most one failing file operation, all through a
// real repair over a directory in memory (or, with REPAIR_FUZZ_DISK set in the
// environment, a scratch directory on disk). After each run it checks what must always
// hold: every original byte is still there (under the image's own name, or whole as its
// backup with the repaired image under the name), the repaired image holds exactly what
// its block of the report says, nothing half-written and no temporary file is left, the
// report agrees with the directory, and a following test run asks nothing and writes
// nothing.
//
// Input layout:
//   byte 0  bits 0-1 layout (0 both, 1 short, 2 long, 3 both), bit 2 the 1 kB rule,
//           bit 3 backups exist before the run, bits 4-5 first name of the name table
//   byte 1  bits 0-1 sector size answer, 2-3 length answer, 4-5 layout answer
//           (0 Yes, 1 No, 2 and 3 Cancel), bit 6 overwrite answer (Yes when set),
//           bit 7 a file system without hard links
//   byte 2  bits 0-2 the failing operation (0 and 7 none), bits 3-7 which call fails
//   byte 3  how many bytes a failing write still writes
//   then up to three images, each a 16-bit little-endian length and that many bytes
#include <cstring>

#include "memory_file_system.h"
#include "posix_file_system.h"
#include "support.h"
#include "temporary_files.h"

namespace korvane::testing {
namespace {

// Distinct names with distinct backup names; one is itself a backup, one has no ".".
const std::string kNames[] = {"GAME.ATR", "MY.GAME.ATR", "OLD_org.atr", "NODOT"};

void Expect(bool holds, const std::string& what, const std::string& name) {
    if (!holds) {
        std::fprintf(stderr, "repair broke a rule for %s: %s\n", name.c_str(), what.c_str());
        std::abort();
    }
}

// Yes, No, Cancel from two bits.
PromptAnswer ThreeWay(unsigned bits) {
    return static_cast<PromptAnswer>(std::min(bits & 3U, 2U));
}

// Every file of a directory with its content.
std::map<std::string, Bytes> Files(FileSystem& fs, const std::filesystem::path& directory) {
    std::vector<DirectoryEntry> entries;
    std::map<std::string, Bytes> files;
    fs.List(directory, entries);
    for (const DirectoryEntry& entry : entries) {
        files[entry.name] = fs.ReadWhole(directory / entry.name, INT64_MAX).bytes;
    }
    return files;
}

// A repaired image, byte by byte: the identifier; the header's sector size as it was or
// one of the two, its length as it was or that of the new file; zero reserved bytes; the
// original data up to the shortest length any cut of the block left; zeros from there on.
void ExpectRepaired(const Bytes& old, const Bytes& now, const Lines& block,
                    const std::string& name) {
    auto length = std::ssize(old), kept = length;
    for (const std::string& line : block) {
        long bytes = 0;
        if (std::sscanf(line.c_str(), " Cut %ld", &bytes) == 1) {
            kept = std::min(kept, length -= bytes);
        }
        length += std::sscanf(line.c_str(), " Add %ld", &bytes) == 1 ? bytes : 0;
    }
    const auto field = [](const Bytes& image, int at) { return image[at] | image[at + 1] << 8; };
    const auto paragraphs = [&](const Bytes& image) {
        return field(image, 2) | static_cast<std::int64_t>(field(image, 6)) << 16;
    };
    Expect(std::ssize(now) == length && now[0] == 0x96 && now[1] == 0x02 &&
               (paragraphs(now) == paragraphs(old) || paragraphs(now) == (length - 16) / 16) &&
               (field(now, 4) == field(old, 4) || field(now, 4) == 128 || field(now, 4) == 256),
           "the header or the length is not what the report says", name);
    // Whole spans at a time, so that the fuzzer stays fast.
    static const Bytes zeros(1 << 21);
    const auto holds = [&](std::int64_t from, std::int64_t to, const std::uint8_t* bytes) {
        return from >= to ||
               std::memcmp(&now[from], bytes, static_cast<std::size_t>(to - from)) == 0;
    };
    Expect(holds(8, 16, zeros.data()) && holds(16, kept, &old[16]) &&
               holds(std::max<std::int64_t>(kept, 16), length, zeros.data()),
           "a byte is neither the original's nor zero", name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const unsigned flags = data[0], answers = data[1], fault = data[2];
    std::map<std::string, Bytes> images;
    for (std::size_t at = 4; images.size() < 3 && at + 2 <= size;) {
        const std::size_t length =
            std::min<std::size_t>(data[at] | data[at + 1] << 8, size - at - 2);
        Bytes bytes(data + at + 2, data + at + 2 + length);
        if (bytes.size() > 7 && bytes[7] == 0) {
            // Keep stated lengths that a repair may grow to below 16 kB, so that a run stays
            // fast; with byte 7 set the header states more than any image holds, and growth
            // is refused anyway.
            bytes[6] = 0;
            bytes[3] &= 0x03;
        }
        images[kNames[((flags >> 4) + images.size()) % 4]] = std::move(bytes);
        at += 2 + length;
    }

    // The files go to a new directory in memory, or to the one scratch directory on disk.
    static const bool on_disk = std::getenv("REPAIR_FUZZ_DISK") != nullptr;
    static const TempDir scratch;
    MemoryFileSystem memory;
    PosixFileSystem posix;
    FileSystem& fs = on_disk ? static_cast<FileSystem&>(posix) : memory;
    const std::filesystem::path dir = scratch.path();
    for (const auto& [name, bytes] : images) {
        memory.files[dir / name] = std::make_shared<Bytes>(bytes);
        if ((flags & 8U) != 0 && name != kNames[2]) {
            memory.files[dir / BackupName(name)] = std::make_shared<Bytes>(Bytes{'o', 'l', 'd'});
        }
    }
    if (on_disk) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directory(dir);
        for (const auto& [path, content] : memory.files) {
            WriteFile(path, *content);
        }
    }
    const auto before = Files(fs, dir);

    const CheckSettings settings{true, static_cast<LayoutMode>((flags & 3U) == 3 ? 0 : flags & 3U),
                                 (flags & 4U) != 0};
    ScriptedPrompt prompt;
    prompt.Answer(PromptTopic::SectorSize, ThreeWay(answers));
    prompt.Answer(PromptTopic::FileLength, ThreeWay(answers >> 2));
    prompt.Answer(PromptTopic::Layout, ThreeWay(answers >> 4));
    prompt.Answer(PromptTopic::OverwriteBackup,
                  (answers & 0x40U) != 0 ? PromptAnswer::Yes : PromptAnswer::No);
    FaultFileSystem faulty(&fs);
    faulty.hard_links = (answers & 0x80U) == 0;
    if ((fault & 7) != 0 && (fault & 7) != 7) {
        const FsOperation failing[] = {FsOperation::Create, FsOperation::Write,  FsOperation::Close,
                                       FsOperation::Rename, FsOperation::Remove, FsOperation::Read};
        faulty.FailOn(failing[(fault & 7) - 1], 1 + static_cast<int>(fault >> 3), {}, data[3]);
    }

    RecordingReport report;
    std::map<std::string, Lines> blocks;
    for (const auto& [name, bytes] : images) {
        const auto first = static_cast<std::ptrdiff_t>(report.lines.size());
        const CheckResult result =
            CheckImage({name, dir / name, dir}, settings, report, prompt, faulty);
        Expect((result.count != CountClass::NotCounted || name == kNames[2]) &&
                   report.lines.at(first) == "Read  : " + name,
               "image uncounted, or its block without the read line first", name);
        blocks[name] = Lines(report.lines.begin() + first, report.lines.end());
    }

    auto after = Files(fs, dir);
    for (const auto& [name, content] : Files(fs, dir)) {
        // A restore record whose removal was the failing operation stays for the next
        // writing run, which finds the image in its place and only drops the record.
        if (IsRestoreRecordName(name) && (fault & 7) == 5) {
            Expect(FollowRestoreRecord(fs, dir / name).empty() && !fs.Exists(dir / name) &&
                       Files(fs, dir).size() == after.size() - 1,
                   "a restore record left behind changes more than itself", name);
            after.erase(name);
            continue;
        }
        Expect(name[0] != '.', "temporary file left behind", name);
    }
    for (const auto& [name, bytes] : images) {
        const auto now = after.find(name);
        Expect(now != after.end(), "image name left empty", name);
        if (name == kNames[2]) {
            Expect(now->second == bytes, "a backup image was changed", name);
            continue;
        }
        const auto old_backup = before.find(BackupName(name));
        const auto new_backup = after.find(BackupName(name));
        const bool backup_written =
            new_backup != after.end() &&
            (old_backup == before.end() || new_backup->second != old_backup->second);
        const Lines& block = blocks[name];
        Expect(
            backup_written == (std::find(block.begin(), block.end(),
                                         "        Generate new " + name + " file") != block.end()),
            "the report disagrees with the directory", name);
        if (!backup_written) {
            // Untouched: the backup is the earlier one, or gone after an agreed overwrite.
            Expect(now->second == bytes, "image changed without a backup", name);
            continue;
        }
        Expect(new_backup->second == bytes, "the backup is not the untouched image", name);
        ExpectRepaired(bytes, now->second, block, name);
    }

    // A test run over the result asks nothing and changes nothing.
    PlainWindow window(fs);
    window.SetPattern("*.atr");
    window.SetCheckValue(Control::chk_expand_images, settings.expand_small ? 1 : 0);
    Expect(window.ApplyDirectory(dir).ok(), "the directory can not be listed", "it");
    ProgramState state;
    ScriptedPrompt no_questions;
    EngineContext context{window, report, no_questions, fs, state};
    RunAtrCheck(context);
    Expect(no_questions.asked().empty() && Files(fs, dir) == after,
           "a test run asked a question or changed the directory", "the test run");
    return 0;
}

}  // namespace korvane::testing
