// The disk-contents tool: disks of every kind the reader knows, laid out with the
// converter's own disk writers (sector 4 on: KELDRIX.SYS, entry 1, then AUTORUN.SYS,
// entry 0), damaged one fault at a time; the check must name exactly that fault.
#include <random>

#include "contents_run.h"
#include "convert_fixture.h"
#include "disk_formats.h"
#include "dos_disk.h"

namespace korvane::testing {
namespace {

// The DOS 2 single-density disk, written here from its layout alone.
struct SingleDensity final : DiskFormat {
    int SectorSize() const override { return 128; }
    int SectorCount() const override { return 720; }
    LinkFormat Links() const override { return LinkFormat::kDos2; }
    std::uint8_t FileFlags(std::span<const int>) const override { return 0x42; }
    bool Allocatable(int s) const override { return s > 3 && (s < 360 || s > 368) && s < 720; }
    void WriteVtoc(DosDisk& disk, const std::vector<bool>& used) const override {
        const auto vtoc = disk.Sector(360);
        int free = 0;
        for (int s = 1; s < 720; ++s) {
            vtoc[10 + s / 8] |= used[static_cast<std::size_t>(s)] ? 0 : 0x80 >> s % 8;
            free += used[static_cast<std::size_t>(s)] ? 0 : 1;
        }
        const std::uint8_t head[] = {2, 0xC3, 2, static_cast<std::uint8_t>(free),
                                     static_cast<std::uint8_t>(free >> 8)};
        std::copy(std::begin(head), std::end(head), vtoc.begin());
    }
};

enum Kind { kSd, kDd, kEd, kMyDos, kBigMyDos };

Bytes MakeDisk(Kind kind, const Bytes& loader, const Bytes& file) {
    const std::unique_ptr<DiskFormat> format = kind == kSd   ? std::make_unique<SingleDensity>()
                                               : kind == kDd ? MakeDoubleDensityDisk()
                                               : kind == kEd
                                                   ? MakeEnhancedDensityDisk()
                                                   : MakeMyDosDisk(kind == kMyDos ? 1100 : 3000);
    return LayOutBootDisk(*format, {Bytes(384, 0x11), loader}, file);
}

// Byte `byte` of sector `s` in a disk of `size`-byte sectors (sectors 1-3 of 128 bytes).
std::size_t Offset(int size, int s, int byte) {
    return static_cast<std::size_t>(s <= 3 ? 16 + (s - 1) * 128 + byte
                                           : 400 + (s - 4) * size + byte);
}

struct ContentsTest : ::testing::Test {
    // The report block of `disk` written as ONE.ATR.
    Lines Block(const Bytes& disk) {
        WriteFile(temp / "ONE.ATR", disk);
        RecordingReport report;
        ListImageContents(temp.path(), "ONE.ATR", report, fs);
        return report.lines;
    }
    // Only the findings of the block, without their "        ERROR : ".
    Lines Findings(const Bytes& disk) {
        Lines found;
        for (const std::string& line : Block(disk)) {
            if (line.rfind("        ERROR : ", 0) == 0) {
                found.push_back(line.substr(16));
            }
        }
        return found;
    }
    TempDir temp;
    FaultFileSystem fs;
    const Bytes loader = XexBytes(300, 1, true), file = XexBytes(1000, 2);
};

TEST_F(ContentsTest, ListsEveryKindOfSoundDisk) {
    const std::string fail = "Result: " + std::string(39, '=') + " F A I L " + std::string(39, '=');
    EXPECT_EQ(Block(MakeDisk(kSd, loader, file)),
              (Lines{"Read  : ONE.ATR",
                     "        File system: DOS 2.0 single density, 720 sectors of 128 bytes",
                     "        AUTORUN.SYS         8 sectors      1000 bytes",
                     "        KELDRIX.SYS         3 sectors       300 bytes  locked",
                     "        2 files, 696 free sectors", "Result: PASS", ""}));
    const std::pair<Kind, const char*> kinds[] = {
        {kDd, "DOS 2.0 double density, 720 sectors of 256 bytes"},
        {kEd, "DOS 2.5 enhanced density, 1040 sectors of 128 bytes"},
        {kMyDos, "MyDOS, 1100 sectors of 256 bytes"},
        {kBigMyDos, "MyDOS, 3000 sectors of 256 bytes"}};
    for (const auto& [kind, name] : kinds) {
        const Lines block = Block(MakeDisk(kind, loader, file));
        EXPECT_EQ(block[1], std::string("        File system: ") + name);
        EXPECT_EQ(block[block.size() - 2], "Result: PASS") << name;
    }
    // Other file systems are named and not read.
    Bytes sparta = Image({.stated = 720 * 128, .fill = 0x55});
    sparta[16 + 7] = 0x80, sparta[16 + 31] = 0x80;
    Bytes boot = Image({.stated = 720 * 128});
    boot[16 + 1] = 3;
    const std::pair<Bytes, const char*> others[] = {
        {sparta, "SpartaDOS, 720 sectors of 128 bytes"},
        {Image({.stated = 720 * 256 - 384, .sector = 256}),
         "unformatted, 720 sectors of 256 bytes"},
        {boot, "no DOS file system (boot disk), 720 sectors of 128 bytes"}};
    for (const auto& [disk, name] : others) {
        EXPECT_EQ(Block(disk),
                  (Lines{"Read  : ONE.ATR", std::string("        File system: ") + name,
                         "        No DOS 2 directory: the files are not listed",
                         "Result: NOT CHECKED", ""}));
    }
    EXPECT_EQ(
        Block(Image({.id = 0x12})),
        (Lines{"Read  : ONE.ATR", "        ERROR : No disk image - no ATR header", fail, ""}));
}

// One fault at a time on a sound disk: `damage` changes it, the check finds exactly
// `expected`. Single density: KELDRIX.SYS in sectors 4-6, AUTORUN.SYS in 7-14.
struct Fault {
    const char* what;
    Kind kind;
    std::function<void(Bytes&)> damage;
    Lines expected;
};

void Put16(Bytes& disk, std::size_t at, int value) {
    disk[at] = static_cast<std::uint8_t>(value);
    disk[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
// The VTOC bit of a sector of a single-density disk, and its free count moved by `by`.
void Mark(Bytes& disk, int s, bool free, int by) {
    SetFree(disk, s, free);
    Put16(disk, kVtoc + 3, (disk[kVtoc + 3] | disk[kVtoc + 4] << 8) + by);
}

TEST_F(ContentsTest, NamesExactlyTheFaultMade) {
    const std::size_t autorun = EntryAt(0), keldrix = EntryAt(1);
    const Fault faults[] = {
        {"free count",
         kSd,
         [](Bytes& d) { Put16(d, kVtoc + 3, 695); },
         {"The VTOC says 695 free sectors, its bit field marks 696"}},
        {"lost",
         kSd,
         [](Bytes& d) { Mark(d, 100, false, -1), Mark(d, 101, false, -1); },
         {"Lost sectors 100-101: marked used in the VTOC, held by no file"}},
        {"used but free",
         kSd,
         [](Bytes& d) { Mark(d, 9, true, 1); },
         {"AUTORUN.SYS: sector 9 marked free in the VTOC"}},
        {"system sector free",
         kSd,
         [](Bytes& d) { Mark(d, 360, true, 1); },
         {"The file system's own sector 360 marked free in the VTOC"}},
        {"file number",
         kSd,
         [](Bytes& d) { d[At(10, 125)] = 5 << 2; },
         {"AUTORUN.SYS: file number other than 0 in sector 10"}},
        {"byte count",
         kSd,
         [](Bytes& d) { d[At(8, 127)] = 126; },
         {"AUTORUN.SYS: byte count 126 in sector 8, more than a sector holds"}},
        {"loop",
         kSd,
         [](Bytes& d) { d[At(14, 126)] = 7; },
         {"AUTORUN.SYS: sector 14 links back to sector 7, a loop"}},
        {"past the end",
         kSd,
         [](Bytes& d) { d[At(14, 125)] |= 3, d[At(14, 126)] = 0xE8; },
         {"AUTORUN.SYS: sector 14 links to sector 1000, past the disk's end"}},
        {"shorter",
         kSd,
         [&](Bytes& d) { d[autorun + 1] = 9; },
         {"AUTORUN.SYS: the chain has 8 sectors, fewer than the directory's 9"}},
        {"longer",
         kSd,
         [&](Bytes& d) { d[autorun + 1] = 7; },
         {"AUTORUN.SYS: the chain has 8 sectors, more than the directory's 7"}},
        {"flags",
         kSd,
         [&](Bytes& d) { d[autorun] = 0x03; },
         {"AUTORUN.SYS: directory entry 0 has flags $03, which mark no file in use",
          "Lost sectors 7-14: marked used in the VTOC, held by no file"}},
        {"never closed",
         kSd,
         [&](Bytes& d) { d[autorun] = 0x43; },
         {"AUTORUN.SYS: flags $43 say the file was never closed"}},
        {"start sector",
         kSd,
         [&](Bytes& d) { Put16(d, autorun + 3, 360); },
         {"AUTORUN.SYS: the directory links to sector 360, which the file system keeps for itself",
          "Lost sectors 7-14: marked used in the VTOC, held by no file"}},
        {"deleted, sectors kept",
         kSd,
         [&](Bytes& d) { d[autorun] = 0x80; },
         {"Lost sectors 7-14: marked used in the VTOC, held by no file"}},
        {"used twice",
         kSd,
         [&](Bytes& d) { d[keldrix + 3] = 7; },
         {"KELDRIX.SYS: file number other than 1 in sectors 7-14",
          "KELDRIX.SYS: sectors 7-14 also belong to AUTORUN.SYS",
          "KELDRIX.SYS: the chain has 8 sectors, more than the directory's 3",
          "Lost sectors 4-6: marked used in the VTOC, held by no file"}},
        // Double density: the link bytes at 253-255. KELDRIX.SYS in 4-5, AUTORUN.SYS in 6-9.
        {"file number, 256 bytes",
         kDd,
         [](Bytes& d) { d[Offset(256, 7, 253)] = 1 << 2; },
         {"AUTORUN.SYS: file number other than 0 in sector 7"}},
        // Enhanced density: a file reaching sectors from 720 up has flags $03, and the
        // second VTOC counts the free sectors from 720.
        {"DOS 2.5 flags", kEd, [&](Bytes& d) { d[autorun] = 0x03; }, {}},
        {"VTOC2 count",
         kEd,
         [](Bytes& d) { Put16(d, Offset(128, 1024, 122), 1); },
         {"The VTOC2 says 1 free sectors, its bit field marks 303"}},
        // MyDOS: 16-bit links; 3000 sectors take VTOC sectors 360 and 359, the bit of
        // sector 2500 lying in 359 (bit-field byte 322, byte 66 of sector 359, bit 7-4).
        {"16-bit link",
         kMyDos,
         [](Bytes& d) { d[Offset(256, 9, 253)] = 0x04, d[Offset(256, 9, 254)] = 0xB0; },
         {"AUTORUN.SYS: sector 9 links to sector 1200, past the disk's end"}},
        {"second VTOC sector",
         kBigMyDos,
         [](Bytes& d) {
             d[Offset(256, 359, 66)] &= ~0x08;
             Put16(d, Offset(256, 360, 3),
                   (d[Offset(256, 360, 3)] | d[Offset(256, 360, 4)] << 8) - 1);
         },
         {"Lost sector 2500: marked used in the VTOC, held by no file"}},
    };
    for (const Fault& fault : faults) {
        Bytes disk = MakeDisk(fault.kind, loader, file);
        ASSERT_TRUE(Findings(disk).empty()) << fault.what;
        fault.damage(disk);
        EXPECT_EQ(Findings(disk), fault.expected) << fault.what;
    }
}

// Random files of every kind come back byte for byte; a file of the name already there
// stays, and odd Atari names become safe host names.
TEST_F(ContentsTest, ExtractsFilesByteForByte) {
    const unsigned seed = std::random_device{}();
    std::cout << "extraction seed " << seed << "\n";
    std::mt19937 random(seed);
    for (const Kind kind : {kSd, kDd, kEd, kMyDos, kBigMyDos}) {
        const std::size_t largest = kind == kSd ? 80000 : kind == kBigMyDos ? 700000 : 120000;
        Bytes first(std::uniform_int_distribution<std::size_t>(0, 2000)(random));
        Bytes second(std::uniform_int_distribution<std::size_t>(0, largest)(random));
        for (Bytes* bytes : {&first, &second}) {
            std::generate(bytes->begin(), bytes->end(),
                          [&] { return static_cast<std::uint8_t>(random()); });
        }
        Bytes disk = MakeDisk(kind, first, second);
        const int size = kind == kSd || kind == kEd ? 128 : 256;
        std::copy_n("A/B\x9B    X*Y", 11,
                    disk.begin() + static_cast<std::ptrdiff_t>(Offset(size, 361, 16 + 5)));
        WriteFile(temp / "ONE.ATR", disk);
        const TempDir out;
        WriteFile(out / "AUTORUN.SYS", {7});
        RecordingReport report;
        const ExtractTotals totals =
            ExtractImageFiles(temp / "ONE.ATR", {}, out.path(), report, fs);
        EXPECT_EQ(totals.extracted, 2) << seed;
        EXPECT_EQ(ReadFile(out / "AUTORUN_2.SYS"), second) << seed << " kind " << kind;
        EXPECT_EQ(ReadFile(out / "A_B_x9B.X_Y"), first) << seed << " kind " << kind;
        EXPECT_EQ(ReadFile(out / "AUTORUN.SYS"), Bytes{7});
    }
}

TEST_F(ContentsTest, CommandLineListAndExtract) {
    WriteFile(temp / "GOOD.ATR", MakeDisk(kSd, loader, file));
    CommandResult run = RunCli("list D", temp.path().string());
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(SplitLines(run.out).at(2), "        AUTORUN.SYS         8 sectors      1000 bytes");
    Bytes bad = MakeDisk(kSd, loader, file);
    bad[At(8, 127)] = 200;
    WriteFile(temp / "BAD.ATR", bad);
    EXPECT_EQ(RunCli("list D", temp.path().string()).exit_status, 1);
    EXPECT_EQ(RunCli("list D/GOOD.ATR", temp.path().string()).exit_status, 0);
    const TempDir out;
    run =
        RunCli("extract D/GOOD.ATR autorun.sys --to " + out.path().string(), temp.path().string());
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(ReadFile(out / "AUTORUN.SYS"), file);
    EXPECT_EQ(
        RunCli("extract D/GOOD.ATR NONE.COM --to " + out.path().string(), temp.path().string())
            .exit_status,
        1);
    EXPECT_EQ(RunCli("extract D/GOOD.ATR", temp.path().string()).exit_status, 2);
}

}  // namespace
}  // namespace korvane::testing
