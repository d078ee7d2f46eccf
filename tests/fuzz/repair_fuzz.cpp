// Fuzzes the repair of ATR images: random image bytes, random answers to the repair
// questions, a random prior backup and at most one failing file operation, all through a
// real repair over a scratch directory. After each run it checks what must always hold:
// every original byte is still on disk (under the image's own name, or whole as its
// backup with a complete repaired image under the name), nothing half-written and no
// temporary file is left, the report agrees with the directory, and a following test run
// asks nothing and writes nothing.
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
#include "support.h"

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

// A repaired image: a valid identifier, zero reserved bytes, the original data bytes,
// shortened or lengthened with zeros at the end.
void ExpectRepaired(const Bytes& original, const Bytes& repaired, const std::string& name) {
    Expect(repaired.size() >= 16 && repaired[0] == 0x96 && repaired[1] == 0x02 &&
               std::all_of(repaired.begin() + 8, repaired.begin() + 16, [](auto b) { return !b; }),
           "repaired header without identifier or with reserved bytes", name);
    std::size_t same = 16;
    while (same < repaired.size() && same < original.size() && repaired[same] == original[same]) {
        ++same;
    }
    Expect(std::all_of(repaired.begin() + static_cast<std::ptrdiff_t>(same), repaired.end(),
                       [](auto b) { return !b; }),
           "data byte " + std::to_string(same) + " changed", name);
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
            // Keep stated lengths that a repair may grow to below 1 MB, so that a run stays
            // fast; beyond 16 MB (byte 7 set) growth is refused anyway.
            bytes[6] = 0;
        }
        images[kNames[((flags >> 4) + images.size()) % 4]] = std::move(bytes);
        at += 2 + length;
    }

    static const TempDir scratch;  // TMPDIR=/dev/shm in run.sh: every run syncs files
    std::filesystem::remove_all(scratch.path());
    std::filesystem::create_directory(scratch.path());
    for (const auto& [name, bytes] : images) {
        WriteFile(scratch / name, bytes);
        if ((flags & 8U) != 0 && name != kNames[2]) {
            WriteFile(scratch / BackupName(name), Bytes{'o', 'l', 'd'});
        }
    }
    const auto before = Snapshot(scratch.path());

    const CheckSettings settings{true, static_cast<LayoutMode>((flags & 3U) == 3 ? 0 : flags & 3U),
                                 (flags & 4U) != 0};
    ScriptedPrompt prompt;
    prompt.Answer(PromptTopic::SectorSize, ThreeWay(answers));
    prompt.Answer(PromptTopic::FileLength, ThreeWay(answers >> 2));
    prompt.Answer(PromptTopic::Layout, ThreeWay(answers >> 4));
    prompt.Answer(PromptTopic::OverwriteBackup,
                  (answers & 0x40U) != 0 ? PromptAnswer::Yes : PromptAnswer::No);
    FaultFileSystem faulty;
    faulty.hard_links = (answers & 0x80U) == 0;
    if ((fault & 7) != 0 && (fault & 7) != 7) {
        const FsOperation failing[] = {FsOperation::Create, FsOperation::Write,  FsOperation::Close,
                                       FsOperation::Rename, FsOperation::Remove, FsOperation::Read};
        faulty.FailOn(failing[(fault & 7) - 1], 1 + static_cast<int>(fault >> 3), {}, data[3]);
    }

    RecordingReport report;
    std::map<std::string, bool> reported_written;
    for (const auto& [name, bytes] : images) {
        const auto first = static_cast<std::ptrdiff_t>(report.lines.size());
        const CheckResult result =
            CheckImage({name, scratch / name, scratch.path()}, settings, report, prompt, faulty);
        Expect((result.count != CountClass::NotCounted || name == kNames[2]) &&
                   report.lines.at(first) == "Read  : " + name,
               "image uncounted, or its block without the read line first", name);
        reported_written[name] =
            std::find(report.lines.begin() + first, report.lines.end(),
                      "        Generate new " + name + " file") != report.lines.end();
    }

    const auto after = Snapshot(scratch.path());
    for (const auto& [name, content] : after) {
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
        Expect(backup_written == reported_written[name], "the report disagrees with the directory",
               name);
        if (!backup_written) {
            // Untouched: the backup is the earlier one, or gone after an agreed overwrite.
            Expect(now->second == bytes, "image changed without a backup", name);
            continue;
        }
        Expect(new_backup->second == bytes, "the backup is not the untouched image", name);
        ExpectRepaired(bytes, now->second, name);
    }

    // A test run over the result asks nothing and changes nothing on disk.
    PosixFileSystem real;
    PlainWindow window(real);
    window.SetPattern("*.atr");
    window.SetCheckValue(Control::chk_expand_images, settings.expand_small ? 1 : 0);
    Expect(window.ApplyDirectory(scratch.path()).ok(), "the directory can not be listed", "it");
    ProgramState state;
    ScriptedPrompt no_questions;
    EngineContext context{window, report, no_questions, real, state};
    RunAtrCheck(context);
    Expect(no_questions.asked().empty() && Snapshot(scratch.path()) == after,
           "a test run asked a question or changed the directory", "the test run");
    return 0;
}

}  // namespace korvane::testing
