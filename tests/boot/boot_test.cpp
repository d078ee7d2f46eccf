// KELDRIX.ATR booted in the 6502 simulation with programs written as AUTORUN.SYS by the
// converter's writer: what lands where, the INIT and RUN calls, the sectors read, and
// the files and disks the loader refuses with a message on the screen.
#include <gtest/gtest.h>

#include "boot_test_files.h"
#include "convert_fixture.h"
#include "sim.h"
#include "xex_writer.h"

namespace korvane::testing {
namespace {

using sim::BootEnd;
using sim::Call;
constexpr auto kHalted = BootEnd::kHalted;
namespace files = boottest::files;

constexpr int kRunad = 0x02E0, kInitad = 0x02E2;

const Bytes& Keldrix() {
    static const Bytes bytes = ReadFile(files::kTemplateImage);
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
// off) with an INIT between them that keeps page $20 of the first at $1F00, a filler
// segment up to the size, and RUN.
Bytes Largest() {
    Bytes a(0xA000), b(0xA000);
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
        b[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    }
    // $1E00: LDX #0; LDA $2000,X; STA $1F00,X; INX; BNE $1E02; RTS; $1E0C: JMP $1E0C
    Xex xex;
    xex.Seg(0x1E00,
            {0xA2, 0, 0xBD, 0, 0x20, 0x9D, 0, 0x1F, 0xE8, 0xD0, 0xF7, 0x60, 0x4C, 0x0C, 0x1E})
        .Seg(0x2000, a)
        .Vector(kInitad, 0x1E00)
        .Seg(0x2000, b);
    const std::size_t size =
        static_cast<std::size_t>(Keldrix()[kVtoc + 3] | Keldrix()[kVtoc + 4] << 8) * 125;
    return xex.Seg(0x4000, Bytes(size - xex.bytes.size() - 4 - 6, 0x5A))
        .Vector(kRunad, 0x1E0C)
        .bytes;
}

TEST(Boot, ProgramsLoadAndRun) {
    const int end = sim::BootAtr(Keldrix()).Word(0x02E7);  // MEMLO: the loader's end
    const Bytes chain = ReadFile(files::kXexChain), largest = Largest();
    const int run = chain[chain.size() - 4] | chain[chain.size() - 3] << 8;
    const int init = chain[chain.size() - 2] | chain[chain.size() - 1] << 8;
    const Bytes no_run =
        Xex().Seg(0x2400, {0x4C, 0x00, 0x24}).Seg(0x5000, {1, 2}).Raw({0, 0, 0}).bytes;
    const Bytes init_only = Xex().Seg(0x2800, {0x60}).Vector(kInitad, 0x2800).bytes;
    const auto then_run = [](Xex xex) {
        return xex.Seg(0x3000, {0x4C, 0, 0x30}).Vector(kRunad, 0x3000);
    };
    const Bytes edges = then_run(Xex().Seg(0x06FE, {1, 2}).Seg(end, {3})).bytes;
    const Bytes under_basic = then_run(Xex().Seg(0xA000, {1, 2}).Seg(0xBFFF, {3})).bytes;
    // A last segment that ends early loads what is there; the file ends as if before it.
    const Bytes truncated = then_run(Xex().Seg(0x2000, {0x60}).Vector(kInitad, 0x2000))
                                .Raw({0x00, 0x40, 0xFF, 0x40, 7, 8})
                                .bytes;
    const std::vector<Call> run_3000{{'R', 0x3000}},
        chained_calls{{'I', 0x3000}, {'I', 0x3100}, {'I', init}, {'R', run}};
    const std::vector<Call> largest_calls{{'I', 0x1E00}, {'R', 0x1E0C}};
    constexpr auto kXl = sim::Machine::kXlBasicOn, k800 = sim::Machine::kAtari800;
    constexpr auto kColdStart = BootEnd::kColdStart;
    struct Case {
        const char* what;
        Bytes xex;
        std::vector<Call> calls;
        BootEnd end;
        std::pair<int, int> written;  // what the program itself changes
        sim::Machine machine = kXl;
        int flaky = 0;  // failed reads of the file's first sector
    };
    const Case cases[] = {
        // The INITs wreck the device control block; the reads after them still work.
        {"chain", chain, chained_calls, kHalted, {0x680, 0x685}},
        {"no RUNAD: the first segment runs", no_run, {{'R', 0x2400}}, kHalted, {}},
        {"INIT did the work: on through DOSVEC", init_only, {{'I', 0x2800}}, kColdStart, {}},
        {"right below and above the loader", edges, run_3000, kHalted, {}},
        {"ends inside its last segment", truncated, {{'I', 0x2000}, {'R', 0x3000}}, kHalted, {}},
        {"under the BASIC ROM on a 400/800", under_basic, run_3000, kHalted, {}, k800},
        {"largest, a read failing 3 times",
         largest,
         largest_calls,
         kHalted,
         {0x1F00, 0x1FFF},
         kXl,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes atr = WithAutorun(Keldrix(), c.xex);
        const Dos2File file = FindFile(atr, "AUTORUN SYS").value();
        sim::BootOptions options{c.machine, {{file.sectors.at(0), c.flaky}}};
        const sim::BootResult r = sim::BootAtr(atr, options);
        EXPECT_EQ(r.calls, c.calls);
        EXPECT_EQ(r.end, c.end);
        // The boot sectors, KELDRIX.SYS, the directory up to the entry, the file's chain.
        std::vector<int> reads{1, 2, 3}, good;
        const std::vector<int> loader = FindFile(Keldrix(), "KELDRIX SYS")->sectors;
        reads.insert(reads.end(), loader.begin(), loader.end());
        for (int sector = 361; sector <= 361 + file.number / 8; ++sector) {
            reads.push_back(sector);
        }
        reads.insert(reads.end(), file.sectors.begin(), file.sectors.end());
        std::copy_if(r.reads.begin(), r.reads.end(), std::back_inserter(good),
                     [](int s) { return s > 0; });
        EXPECT_EQ(good, reads);
        EXPECT_EQ(r.reads.size(), good.size() + static_cast<std::size_t>(c.flaky));
        const std::vector<int> loaded = Loaded(c.xex);  // every byte as the file leaves it
        int wrong = 0;
        for (int at = 0; at < 0x10000; ++at) {
            const bool skip = (at >= c.written.first && at <= c.written.second) ||
                              (at >= kRunad && at < kRunad + 4);
            wrong += !skip && loaded[at] >= 0 && r.ram[at] != loaded[at] ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0);
        // BASIC off, the screen below $C000, BASICF set on an XL only.
        EXPECT_FALSE(r.basic_rom);
        EXPECT_EQ(r.Word(0x58), 0xC000 - 0x3C0);
        EXPECT_EQ(r.ram[0x03F8] != 0, c.machine == sim::Machine::kXlBasicOn);
    }
    const sim::BootResult chained = sim::BootAtr(WithAutorun(Keldrix(), chain));
    EXPECT_EQ(std::string(chained.ram.begin() + 0x0680, chained.ram.begin() + 0x0685),
              "\x04"
              "ABCR");
    EXPECT_EQ(chained.ScreenRow(), "HANDOVER PASS");
    EXPECT_TRUE(std::all_of(std::begin(chained.pokey), std::end(chained.pokey),
                            [](int v) { return v == 0; }));
    const sim::BootResult loaded = sim::BootAtr(WithAutorun(Keldrix(), largest));
    for (int at = 0x1F00; at < 0x2000; ++at) {  // what INIT saw of the first segment
        EXPECT_EQ(loaded.ram[at], static_cast<std::uint8_t>((at - 0x1F00) * 7)) << at;
    }
}

// Deleted, open and unused entries and another name are passed over, also into a later
// directory sector; the chain's file number is the entry's place in the directory.
TEST(Boot, FindsTheEntryPastOtherEntries) {
    Bytes atr = Keldrix();
    int first = 0;  // the template's first free entry
    while (atr[EntryAt(first)] != 0) {
        ++first;
    }
    for (int entry = first; entry < first + 9; ++entry) {
        atr[EntryAt(entry)] = 0x42;
        std::copy_n(entry < first + 3    ? "AUTORUN SYS"
                    : entry == first + 3 ? "AUTORUNXSYS"
                                         : "OTHER   DAT",
                    11, atr.begin() + EntryAt(entry) + 5);
    }
    atr = WithAutorun(atr, Xex().Seg(0x2400, {0x4C, 0x00, 0x24}).bytes);
    atr[EntryAt(first)] = 0xC2;      // deleted (bit 7), whatever the other bits
    atr[EntryAt(first + 1)] = 0x43;  // open for output
    atr[EntryAt(first + 2)] = 0x02;  // not in use
    EXPECT_EQ(sim::BootAtr(atr).calls, (std::vector<Call>{{'R', 0x2400}}));
}

// Each refusal: its message on the screen, a halt inside the loader, no RUN, and RESET
// set to restart the machine (DOSINI at an RTS, DOSVEC at the cold start, warm start).
TEST(Boot, RefusedFilesAndDisks) {
    const int end = sim::BootAtr(Keldrix()).Word(0x02E7);
    const Bytes chain = WithAutorun(Keldrix(), ReadFile(files::kXexChain));
    const std::vector<int> sectors = FindFile(chain, "AUTORUN SYS")->sectors;
    Bytes other_file = chain, bad_count = chain;
    other_file[At(sectors[1], 125)] += 5 << 2;
    bad_count[At(sectors[0], 127)] = 126;
    const auto with = [](const Xex& xex) { return WithAutorun(Keldrix(), xex.bytes); };
    const Bytes init_then_over =
        with(Xex().Seg(0x2000, {0x60}).Vector(kInitad, 0x2000).Seg(0x0800, Bytes(16, 0xEA)));
    const Bytes basic_text = WithAutorun(Keldrix(), {'1', '0', ' ', 'P', 'R', 'I', 'N', 'T'});
    const std::vector<Call> init_2000{{'I', 0x2000}}, two_inits{{'I', 0x3000}, {'I', 0x3100}};
    const std::string overlap = "SEGMENT OVER LOADER", read_error = "DISK READ ERROR";
    const std::tuple<std::string, Bytes, std::vector<Call>, int> cases[] = {
        // message, disk, calls, unreadable sector
        {overlap, init_then_over, init_2000, 0},
        {overlap, with(Xex().Seg(0x06FF, {1, 2})), {}, 0},
        {overlap, with(Xex().Seg(end - 1, {1})), {}, 0},
        {overlap, with(Xex().Seg(0x0600, Bytes(0x1000, 0))), {}, 0},
        {"NOT A BINARY FILE", basic_text, {}, 0},
        {"NOT A BINARY FILE", WithAutorun(Keldrix(), {0xFF}), {}, 0},
        {"BAD HEADER", with(Xex().Raw({0x00, 0x30, 0xFF, 0x2F, 0x00})), {}, 0},
        {"NO AUTORUN.SYS", Keldrix(), {}, 0},
        {read_error, chain, {}, 361},
        {read_error, chain, two_inits, sectors[1]},
        {"WRONG FILE NUMBER", other_file, two_inits, 0},
        {"BAD SECTOR LINK", bad_count, {}, 0},
    };
    for (const auto& [message, atr, calls, unreadable] : cases) {
        SCOPED_TRACE(message);
        const sim::BootResult r =
            sim::BootAtr(atr, {sim::Machine::kXlBasicOn, {{unreadable, 1000}}});
        EXPECT_EQ(r.ScreenRow(), "  BOOT ERROR: " + message);
        EXPECT_EQ(r.end, kHalted);
        EXPECT_TRUE(r.pc >= 0x0700 && r.pc < end) << r.pc;
        EXPECT_EQ(r.calls, calls);
        EXPECT_EQ(std::count(r.reads.begin(), r.reads.end(), -unreadable), unreadable == 0 ? 0 : 4);
        EXPECT_EQ(r.ram[r.Word(0x0C)], 0x60);
        EXPECT_EQ(r.Word(0x0A), 0xE477);
        EXPECT_EQ(r.ram[0x0244], 0);
        EXPECT_EQ(r.ram[0x09] & 1, 1);
    }
    // A refused segment changes no byte of the loader.
    const sim::BootResult over = sim::BootAtr(init_then_over);
    EXPECT_TRUE(std::equal(over.ram.begin() + 0x0800, over.ram.begin() + 0x0810,
                           Keldrix().begin() + At(3)));
}

// The converter's own image, made by a whole run over the real template, boots; the
// template is a single-density disk of 720 sectors.
TEST(Boot, ConvertedImageBoots) {
    const Bytes header{0x96, 0x02, 0x80, 0x16, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(header.begin(), header.end(), Keldrix().begin()));
    ConvertFixture f;
    f.PutTemplate(Keldrix());
    f.PutXex("CHAIN.XEX", ReadFile(files::kXexChain));
    ASSERT_EQ(f.Run().converted_count, 1);
    // Both pass a DOS 2 file-system check: every used sector a boot, VTOC, directory or
    // file sector; the loader's own file is locked; 703 sectors or more stay free.
    for (const Bytes& disk : {Keldrix(), f.Output("CHAIN.ATR")}) {
        const std::vector<std::string> faults = ReadDos2(disk).faults;
        EXPECT_TRUE(faults.empty()) << faults.front();
    }
    EXPECT_GE(Keldrix()[kVtoc + 3] | Keldrix()[kVtoc + 4] << 8, 703);
    EXPECT_EQ(Keldrix()[EntryAt(0)], 0x62);
    EXPECT_EQ(sim::BootAtr(f.Output("CHAIN.ATR")).ScreenRow(), "HANDOVER PASS");
}

}  // namespace
}  // namespace korvane::testing
