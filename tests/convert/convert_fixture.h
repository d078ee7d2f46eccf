// Shared pieces of the converter's, the generator's and the boot tests, written from the
// DOS 2 single-density layout alone (no engine constants, so a wrong one can not hide):
// the image a conversion must write, template disks made in memory, and a program
// directory with a template.
#pragma once

#include <span>

#include "support.h"

namespace korvane::testing {

constexpr std::size_t At(int sector, std::size_t byte = 0) {
    return 16 + static_cast<std::size_t>(sector - 1) * 128 + byte;
}
constexpr std::size_t kVtoc = At(360);
constexpr std::size_t EntryAt(int index) {
    return At(361 + index / 8, (index % 8) * 16u);
}
// The VTOC bit of `sector` (0 to 719; set means free).
bool SectorFree(std::span<const std::uint8_t> atr, int sector);
void SetFree(Bytes& atr, int sector, bool free);

// The sectors of the file at directory entry `entry`, by the links from its first
// sector; a link that does not carry the entry's file number fails the test.
std::vector<int> FileSectors(std::span<const std::uint8_t> atr, int entry);

// A freshly formatted DOS 2 disk, a pattern in every other sector so that a byte changed
// where it should not be shows; with `free` given only those sectors are free. The
// stored free count is the number of free bits unless `stored` is given.
Bytes Template(const std::vector<int>& free = {}, int stored = -1);
inline const std::vector<int> kNothingFree{-1};
void Recount(Bytes& atr, int stored = -1);

// XEX content that differs with `seed`; $FF $FF first unless `plain`.
Bytes XexBytes(std::size_t length, std::uint32_t seed, bool plain = false);
std::string ConvertFailLine();

// `image` is `template_image` with `xex` added as AUTORUN.SYS as DOS 2 adds a file: the
// first free entry, the lowest free sectors in order, the VTOC updated, nothing else.
void ExpectImageHolds(const Bytes& image, const Bytes& template_image, const Bytes& xex);

struct ConvertFixture {
    ConvertFixture();
    void PutTemplate(const Bytes& bytes) { WriteFile(program_dir / "KELDRIX.ATR", bytes); }
    void PutXex(const std::string& name, const Bytes& bytes) {
        WriteFile(source_dir / name, bytes);
    }
    // What "Start Conversion" does: apply the source directory, then run the engine.
    ConversionRunTotals Run();
    Bytes Output(const std::string& name) const { return ReadFile(source_dir / name); }

    TempDir temp;
    std::filesystem::path program_dir = temp / "program", source_dir = temp / "atari";
    FaultFileSystem fs;
    PlainWindow window{fs};
    RecordingReport report;
    ScriptedPrompt prompt;
    ProgramState state;
    EngineContext context{window, report, prompt, fs, state};
    Bytes template_image = Template();
};

}  // namespace korvane::testing
