// KELDRIX.ATR booted in the 6502 simulation with programs written as AUTORUN.SYS by the
// converter's writer: what lands where, the INIT and RUN calls and the machine they find,
// the sectors read, and the files and disks the loader refuses with a message.
#include <gtest/gtest.h>

#include <random>

#include "convert_fixture.h"
#include "disk_formats.h"
#include "dos_disk.h"
#include "larger_disk.h"
#include "sim.h"
#include "xex_writer.h"

namespace korvane::testing {
namespace {

using sim::Call;
constexpr auto kHalted = sim::BootEnd::kHalted, kColdStart = sim::BootEnd::kColdStart;
constexpr int kRunad = 0x02E0, kInitad = 0x02E2;
constexpr int kAutorun = 1;  // AUTORUN.SYS's directory entry: the template's first free one

const Bytes& Keldrix() {
    static const Bytes bytes = ReadFile(KELDRIX_ATR);
    return bytes;
}

// A binary load file put together in code.
struct Xex {
    Bytes bytes{0xFF, 0xFF};
    Xex& Raw(const Bytes& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    Xex& Seg(int start, const Bytes& data) {
        const int end = start + static_cast<int>(data.size()) - 1;
        return Raw({std::uint8_t(start), std::uint8_t(start >> 8), std::uint8_t(end),
                    std::uint8_t(end >> 8)})
            .Raw(data);
    }
    Xex& Vector(int vector, int at) {
        return Seg(vector, {std::uint8_t(at), std::uint8_t(at >> 8)});
    }
};

// The bytes each address holds once the whole file is loaded, -1 where none loads.
std::vector<int> Loaded(const Bytes& xex) {
    std::vector<int> memory(0x10000, -1);
    for (std::size_t at = 2; at + 4 <= xex.size();) {
        const int start = xex[at] | xex[at + 1] << 8, end = xex[at + 2] | xex[at + 3] << 8;
        at += start == 0xFFFF ? 2 : 4;
        for (int address = start; start != 0xFFFF && address <= end && at < xex.size(); ++address) {
            memory[static_cast<std::size_t>(address)] = xex[at++];
        }
    }
    return memory;
}

Bytes WithAutorun(const Bytes& image, const Bytes& xex) {
    Bytes atr = image, vtoc(image.begin() + kVtoc, image.begin() + kVtoc + 128);
    RecordingReport report;
    EXPECT_TRUE(WriteXexToImage(xex, atr, vtoc, report));
    return atr;
}

// The largest file the template takes: two segments over $2000-$BFFF (BASIC must be
// off) with an INIT between them, a filler segment up to the size, and RUN.
Bytes Largest() {
    // $1E00: RTS; $1E01: JMP $1E01
    Xex xex;
    xex.Seg(0x1E00, {0x60, 0x4C, 0x01, 0x1E}).Seg(0x2000, XexBytes(0xA000, 1, true));
    xex.Vector(kInitad, 0x1E00).Seg(0x2000, XexBytes(0xA000, 2, true));
    const std::size_t size =
        static_cast<std::size_t>(Keldrix()[kVtoc + 3] | Keldrix()[kVtoc + 4] << 8) * 125;
    return xex.Seg(0x4000, Bytes(size - xex.bytes.size() - 10, 0x5A)).Vector(kRunad, 0x1E01).bytes;
}

// Every boot ends with RESET set to restart the machine (DOSINI at the cold start, DOSVEC
// as the OS set it, warm start), BASIC off, the screen below $C000 and BASICF set on an
// XL. A refusal shows its message and halts inside the loader; a load reads the boot
// sectors, KELDRIX.SYS, the directory up to the entry and the file's chain, and leaves
// every byte as the file has it. INIT gets the registers of a direct load or those the
// last INIT returned, carry set; RUN gets them as they are, with the stack the OS booted
// with and the loader's pages and MEMLO as the OS left them.
TEST(Boot, LoadsRunsAndRefuses) {
    const int end = sim::BootAtr(Keldrix()).Word(0x02E7);  // MEMLO: the loader's end
    // INIT $3000 fills the device control block and $43-$4E with $FF, leaves decimal
    // mode and IRQs on; INIT $3100 sets up a write; a segment without INIT follows;
    // the last segment sets RUNAD and INITAD together. $FF $FF markers in between.
    const Bytes chain = Xex()
                            .Raw({0xFF, 0xFF})
                            .Seg(0x3000, {0xA9, 0xFF, 0xA2, 0x0B, 0x9D, 0, 3, 0x95, 0x43, 0xCA,
                                          0x10, 0xF8, 0xF8, 0x78, 0x60})
                            .Vector(kInitad, 0x3000)
                            .Seg(0x0080, Bytes(128, 0x77))  // the zero page the loader leaves alone
                            .Raw({0xFF, 0xFF})
                            .Seg(0x3100, {0xA9, 'W', 0x8D, 0x02, 0x03, 0x60})
                            .Vector(kInitad, 0x3100)
                            .Raw({0xFF, 0xFF, 0xFF, 0xFF})
                            .Seg(0x3200, {0x10, 0x11, 0x12, 0x13})
                            .Seg(0x3300, {0x60, 0x4C, 0x01, 0x33})
                            .Seg(kRunad, {0x01, 0x33, 0x00, 0x33})
                            .bytes;
    // the registers of a direct load, carry set; then what each INIT returns, with X = Y = $FF
    const auto carry = [](char kind, int at) { return Call{kind, at, 7, 0x0C, 0xFF, 0x81}; };
    const auto back = [](char k, int at, int a, int p) { return Call{k, at, a, 0xFF, 0xFF, p}; };
    const std::vector<Call> chain_calls{carry('I', 0x3000), back('I', 0x3100, 0xFF, 0x8D),
                                        back('I', 0x3300, 'W', 0x0D), back('R', 0x3301, 'W', 0x0D)};
    const auto then_run = [](Xex xex) {
        return xex.Seg(0x3000, {0x4C, 0, 0x30}).Vector(kRunad, 0x3000).bytes;
    };
    const Bytes init_then_over =
        Xex().Seg(0x2000, {0x60}).Vector(kInitad, 0x2000).Seg(0x0800, Bytes(16, 0xEA)).bytes;
    const Bytes disk = WithAutorun(Keldrix(), chain);
    const std::vector<int> sectors = FileSectors(disk, kAutorun);
    Bytes other_file = disk, bad_count = disk;
    other_file[At(sectors.at(1), 125)] += 5 << 2;
    bad_count[At(sectors.at(0), 127)] = 126;
    const std::vector<Call> run_3000{{'R', 0x3000}}, one{carry('I', 0x3000)};
    constexpr auto k800 = sim::Machine::kAtari800;
    const std::string over = "SEGMENT OVER LOADER", read_error = "DISK READ ERROR",
                      not_binary = "NOT A BINARY FILE";
    struct Case {
        std::string message;  // the refusal's, empty for a load
        Bytes xex;
        std::vector<Call> calls;
        sim::BootEnd end = kHalted;
        sim::Machine machine = sim::Machine::kXlBasicOn;
        int sector = 0, fails = 0;  // reads of `sector` that fail first
        Bytes atr{};                // the disk, when not `xex` written to KELDRIX.ATR
    };
    const Case cases[] = {
        {"", chain, chain_calls},
        // RUN's RTS returns to the OS, which goes on through DOSINI
        {"",
         Xex().Seg(0x2400, {0x60}).Seg(0x5000, {1, 2}).Raw({0, 0, 0}).bytes,
         {{'R', 0x2400}},
         kColdStart},
        {"",
         Xex().Seg(0x2800, {0x60}).Vector(kInitad, 0x2800).bytes,
         {carry('I', 0x2800)},
         kColdStart},
        {"", then_run(Xex().Seg(0x06FE, {1, 2}).Seg(end, {3})), run_3000},
        // A last segment that ends early loads what is there; the file ends as if before it.
        {"",
         Xex{then_run(Xex().Seg(0x2000, {0x60}).Vector(kInitad, 0x2000))}
             .Raw({0, 0x40, 0xFF, 0x40, 7, 8})
             .bytes,
         {carry('I', 0x2000), carry('R', 0x3000)}},
        {"", then_run(Xex().Seg(0xA000, {1, 2}).Seg(0xBFFF, {3})), run_3000, kHalted, k800},
        {"", Largest(), {carry('I', 0x1E00), carry('R', 0x1E01)}, kHalted, {}, -1, 3},
        {over, init_then_over, {carry('I', 0x2000)}},
        {over, Xex().Seg(0x06FF, {1, 2}).bytes, {}},
        {over, Xex().Seg(end - 1, {1}).bytes, {}},
        {over, Xex().Seg(0x0600, Bytes(0x1000, 0)).bytes, {}},
        {not_binary, {'1', '0', ' ', 'P', 'R', 'I', 'N', 'T'}, {}},
        {not_binary, {0xFF}, {}},
        {"BAD HEADER", Xex().Raw({0x00, 0x30, 0xFF, 0x2F, 0x00}).bytes, {}},
        {"NO AUTORUN.SYS", {}, {}, kHalted, {}, 0, 0, Keldrix()},
        {read_error, {}, {}, kHalted, {}, 361, 1000, disk},
        {read_error, {}, one, kHalted, {}, sectors.at(1), 1000, disk},
        {"WRONG FILE NUMBER", {}, one, kHalted, {}, 0, 0, other_file},
        {"BAD SECTOR LINK", {}, {}, kHalted, {}, 0, 0, bad_count},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + " " + std::to_string(&c - cases));
        const Bytes atr = c.atr.empty() ? WithAutorun(Keldrix(), c.xex) : c.atr;
        const int sector = c.sector < 0 ? FileSectors(atr, kAutorun).at(0) : c.sector;
        const sim::BootResult r = sim::BootAtr(atr, {c.machine, {{sector, c.fails}}});
        EXPECT_EQ(r.calls, c.calls);
        EXPECT_EQ(r.end, c.end);
        EXPECT_EQ(r.pc >= 0x0700 && r.pc < end, !c.message.empty()) << r.pc;
        const bool ran = !c.calls.empty() && c.calls.back().kind == 'R';
        EXPECT_EQ(std::tuple(r.Word(0x0C), r.Word(0x0A), r.ram[0x0244], r.ram[0x09] & 1,
                             r.basic_rom, r.Word(0x58), r.Word(0x02E7)),
                  std::tuple(0xE477, 0xE471, 0, 1, false, 0xC000 - 0x3C0, ran ? 0x0700 : end));
        EXPECT_EQ(r.ram[0x03F8] != 0, c.machine == sim::Machine::kXlBasicOn);
        std::vector<int> reads{1, 2, 3}, good;
        std::copy_if(r.reads.begin(), r.reads.end(), std::back_inserter(good),
                     [](int s) { return s > 0; });
        EXPECT_EQ(r.reads.size() - good.size(), static_cast<std::size_t>(std::min(c.fails, 4)));
        if (!c.message.empty()) {
            EXPECT_EQ(r.ScreenRow(), "  BOOT ERROR: " + c.message);
            continue;
        }
        const std::vector<int> loader = FileSectors(Keldrix(), 0),
                               file = FileSectors(atr, kAutorun);
        reads.insert(reads.end(), loader.begin(), loader.end());
        reads.push_back(361);  // the directory sector of both entries
        reads.insert(reads.end(), file.begin(), file.end());
        EXPECT_EQ(good, reads);
        const std::vector<int> loaded = Loaded(c.xex);
        for (int at = 0; at < 0x10000; ++at) {
            const bool skip = at >= kRunad && at < kRunad + 4;
            ASSERT_TRUE(skip || loaded[at] < 0 || r.ram[at] == loaded[at]) << at;
            // the loader's pages: the zeros the OS left there, once RUN is called
            ASSERT_TRUE(!ran || at < 0x0700 || at >= end || loaded[at] >= 0 || !r.ram[at]) << at;
        }
    }
}

// A program of exactly `length` bytes: random segments over the memory a program may
// use ($0400-$06FF and $0B00-$BFFF, BASIC off), then a JMP to itself at $0480 as RUN.
Bytes RandomXex(std::size_t length, std::uint32_t seed) {
    std::mt19937 random(seed);
    Xex xex;
    while (xex.bytes.size() + 13 < length) {
        const std::size_t room = length - 13 - xex.bytes.size();
        const std::size_t n =
            room <= 4100 ? room - 4 : random() % std::min<std::size_t>(4096, room - 9) + 1;
        const bool low = n <= 0x300 && random() % 8 == 0;
        const std::size_t first = low ? 0x0400 : 0x0B00,
                          span = (low ? 0x0700 : 0xC000) - first - n + 1;
        xex.Seg(static_cast<int>(first + random() % span), XexBytes(n, random(), true));
    }
    return xex.Seg(0x0480, {0x4C, 0x80, 0x04}).Vector(kRunad, 0x0480).bytes;
}

// Fit mode: a file under 128 bytes in the template, and each larger disk kind from its
// smallest file up, read back file for file by the tests' own DOS reader with every
// sector's VTOC bit accounted for, and booted: every byte lands, RUN is called.
TEST(Boot, FitModeDisks) {
    const std::string in(10, ' '), larger = " (file too large for the template)";
    const std::pair<std::size_t, std::string> cases[] = {
        {20, "the template (file under 128 bytes)"},
        {87876, "1040 sectors of 128 bytes" + larger},
        {125750, "1040 sectors of 128 bytes" + larger},
        {125751, "720 sectors of 256 bytes" + larger},
        {178366, "1440 sectors of 256 bytes" + larger},
        {360778, "1440 sectors of 256 bytes" + larger},
        {360779, "2048 sectors of 256 bytes" + larger},
    };
    const Bytes loader = DiskReader(Keldrix()).Files().at("KELDRIX SYS").first;
    for (const auto& [length, disk] : cases) {
        const std::uint32_t seed = std::random_device()();
        SCOPED_TRACE("length " + std::to_string(length) + ", seed " + std::to_string(seed));
        const Bytes xex = RandomXex(length, seed);
        ConvertFixture f;
        f.PutTemplate(Keldrix());
        f.PutXex("P.XEX", xex);
        f.window.SetCheckValue(Control::chk_fit, 1);
        EXPECT_EQ(f.Run().converted_count, 1);
        const Lines block(f.report.lines.begin() + 4, f.report.lines.begin() + 9);
        EXPECT_EQ(
            block,
            (Lines{"Read    : P.XEX",
                   in + "Physical filelength         = " + std::to_string(length) + " byte",
                   in + "Disk: " + disk, "Generate: " + (f.source_dir / "P.ATR").string(), ""}));
        const Bytes atr = f.Output("P.ATR");
        const DiskReader r(atr);
        const auto files = r.Files();
        EXPECT_EQ(files.at("AUTORUN SYS").first, xex);
        EXPECT_EQ(files.at("KELDRIX SYS").first, loader);
        EXPECT_EQ(files.size(), 2u);
        // The loader locked; in the template it comes first.
        const int first = length < 128 ? 1 : 0;
        EXPECT_EQ(r.Sector(361)[16 - first * 16] & 0x20, 0x20);
        r.ExpectVtoc(files);

        const sim::BootResult boot = sim::BootAtr(atr);
        EXPECT_EQ(boot.calls, (std::vector<Call>{{'R', 0x0480}}));
        const std::vector<int> loaded = Loaded(xex);
        for (int at = 0; at < 0x10000; ++at) {
            ASSERT_TRUE(loaded[at] < 0 || boot.ram[at] == loaded[at] ||
                        (at >= kRunad && at < kRunad + 4))
                << at;
        }
    }
}

// A template whose boot sectors are not the loader's (here: 16-bit links) has no loader
// for the larger disks: the report says so once, and a large file is refused.
TEST(Boot, FitModeWithoutTheLoaderSaysSo) {
    ConvertFixture f;
    Bytes changed = Keldrix();
    changed[At(1, 0x172)] = 0x80;
    f.PutTemplate(changed);
    f.PutXex("P.XEX", RandomXex(87876, 1));
    f.window.SetCheckValue(Control::chk_fit, 1);
    EXPECT_EQ(f.Run().converted_count, 0);
    EXPECT_EQ(f.report.lines.at(4),
              "Fit     : No larger disks - the template's directory entry 0 "
              "is not KELDRIX.SYS or its boot sectors are not the loader's");
}

// The DOS 2.5 disk with sectors free below 720 (a small file, laid out directly): VTOC2
// repeats the bit field of sectors 48 to 719 as it is once the files are in.
TEST(Boot, EnhancedDensityVtoc2RepeatsTheBitField) {
    const Bytes atr =
        LayOutBootDisk(*MakeEnhancedDensityDisk(), *TakeBootLoader(Keldrix()), RandomXex(1000, 1));
    const DiskReader r(atr);
    EXPECT_TRUE(r.Free(700) && !r.Free(4));
    EXPECT_TRUE(std::equal(r.Sector(1024).begin(), r.Sector(1024).begin() + 84,
                           r.Sector(360).begin() + 16));
    int upper = 0;  // and counts the free sectors from 720 up
    for (int s = 720; s < 1024; ++s) {
        upper += r.Free(s) ? 1 : 0;
    }
    EXPECT_EQ(r.Sector(1024)[122] | r.Sector(1024)[123] << 8, upper);
}

// Fit mode, a program made for a machine without DOS: nine INITs at $9000 fill
// $0700-$0AFF, then (or not) a table loads into $0800-$08FF after them. Its disk is laid
// out with the loader in $9800-$9BFF, where nothing loads, for either reason: every INIT
// and RUN is called and memory holds what the file and its INITs put there; the loader's
// own pages are cleared. Other pages are never taken for INITs alone.
TEST(Boot, FitModeMovesTheLoaderOffTheFilesPages) {
    for (const bool table : {true, false}) {
        SCOPED_TRACE(table ? "a table over $0800" : "INITs only");
        Xex xex;
        xex.Seg(0x2000, {0x4C, 0x00, 0x20});
        for (int i = 0; i < 9; ++i) {  // LDX #0; TXA; EOR #i; STA $0700+i%4*$100,X; INX; BNE; RTS
            const int page = 0x07 + i % 4;
            xex.Seg(0x9000, {0xA2, 0x00, 0x8A, 0x49, std::uint8_t(i), 0x9D, 0x00,
                             std::uint8_t(page), 0xE8, 0xD0, 0xF7, 0x60})
                .Vector(kInitad, 0x9000);
            if (i == 6 && table) {
                xex.Seg(0x0800, Bytes(256, 0x5A));
            }
        }
        const Bytes bytes = xex.Vector(kRunad, 0x2000).bytes;
        ConvertFixture f;
        f.PutTemplate(Keldrix());
        f.PutXex("P.XEX", bytes);
        f.window.SetCheckValue(Control::chk_fit, 1);
        EXPECT_EQ(f.Run().converted_count, 1);
        const std::string in(10, ' ');
        EXPECT_EQ(Lines(f.report.lines.begin() + 6, f.report.lines.begin() + 8),
                  (Lines{in + (table ? "Disk: 720 sectors of 128 bytes (file loads into the boot "
                                       "loader's pages)"
                                     : "Disk: 720 sectors of 128 bytes (file runs INIT routines "
                                       "while it loads)"),
                         in + "Boot loader at $9800-$9BFF"}));
        const Bytes atr = f.Output("P.ATR");
        const DiskReader r(atr);
        const auto files = r.Files();
        EXPECT_EQ(files.at("AUTORUN SYS").first, bytes);
        r.ExpectVtoc(files);
        const sim::BootResult boot = sim::BootAtr(atr);
        ASSERT_EQ(boot.calls.size(), 10u);
        EXPECT_EQ(boot.calls.back().address, 0x2000);
        for (int at = 0x0700; at < 0x0B00; ++at) {  // the last INIT of each page, or the table
            const int i = at >> 8 == 0x07 ? 8 : (at >> 8) - 0x07 + 4;
            ASSERT_EQ(boot.ram[at], at >> 8 == 0x08 && table ? 0x5A : ((at & 0xFF) ^ i)) << at;
        }
        EXPECT_TRUE(std::all_of(boot.ram.begin() + 0x9800, boot.ram.begin() + 0x9C00,
                                [](std::uint8_t b) { return b == 0; }));
    }
    // No INIT, INITs of a file that fits 32K, or INITs and a segment in $9800-$9BFF: the
    // loader stays in the template.
    for (const Bytes& xex : {Xex().Seg(0x9000, Bytes(200, 0x60)).bytes,
                             Xex().Seg(0x7E00, Bytes(200, 0x60)).Vector(kInitad, 0x7E00).bytes,
                             Xex().Seg(0x9A00, Bytes(200, 0x60)).Vector(kInitad, 0x9A00).bytes}) {
        ConvertFixture f;
        f.PutTemplate(Keldrix());
        f.PutXex("P.XEX", xex);
        f.window.SetCheckValue(Control::chk_fit, 1);
        EXPECT_EQ(f.Run().converted_count, 1);
        EXPECT_EQ(f.report.lines.at(6).substr(0, 10), "Generate: ");
    }
}

// Deleted, open and unused entries and another name are passed over, also into a later
// directory sector; the chain's file number is the entry's place in the directory.
TEST(Boot, FindsTheEntryPastOtherEntries) {
    Bytes atr = Keldrix();
    for (int entry = kAutorun; entry < kAutorun + 9; ++entry) {
        atr[EntryAt(entry)] = 0x42;
        std::copy_n(entry < kAutorun + 3    ? "AUTORUN SYS"
                    : entry == kAutorun + 3 ? "AUTORUNXSYS"
                                            : "OTHER   DAT",
                    11, atr.begin() + EntryAt(entry) + 5);
    }
    atr = WithAutorun(atr, Xex().Seg(0x2400, {0x4C, 0x00, 0x24}).bytes);
    atr[EntryAt(kAutorun)] = 0xC2;      // deleted (bit 7), whatever the other bits
    atr[EntryAt(kAutorun + 1)] = 0x43;  // open for output
    atr[EntryAt(kAutorun + 2)] = 0x02;  // not in use
    EXPECT_EQ(sim::BootAtr(atr).calls, (std::vector<Call>{{'R', 0x2400}}));
}

// The template: a single-density disk of 720 sectors, the loader's second part the
// locked KELDRIX.SYS in sectors 4-7, every sector free but the boot sectors, the file's,
// the VTOC and the directory.
TEST(Boot, TemplateLayout) {
    const Bytes& k = Keldrix();
    const Bytes header{0x96, 0x02, 0x80, 0x16, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        entry{0x62, 4, 0, 4, 0, 'K', 'E', 'L', 'D', 'R', 'I', 'X', ' ', 'S', 'Y', 'S'};
    EXPECT_TRUE(std::equal(header.begin(), header.end(), k.begin()) && k.size() == At(721));
    EXPECT_TRUE(std::equal(entry.begin(), entry.end(), k.begin() + EntryAt(0)));
    EXPECT_EQ(FileSectors(k, 0), (std::vector<int>{4, 5, 6, 7}));
    for (int sector = 0; sector < 720; ++sector) {
        EXPECT_EQ(SectorFree(k, sector), sector > 7 && (sector < 360 || sector > 368)) << sector;
    }
    EXPECT_EQ(k[kVtoc + 3] | k[kVtoc + 4] << 8, 703);
}

}  // namespace
}  // namespace korvane::testing
