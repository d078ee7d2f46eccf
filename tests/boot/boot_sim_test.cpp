// The boot simulation's stand-in for the OS, driven by tiny hand-assembled boot sectors:
// how a boot fails, ends, reads sectors, and stops a program that runs astray.
#include "boot_sim.h"

#include <gtest/gtest.h>

#include <vector>

namespace korvane::sim {
namespace {

// A blank single-density image whose sector 1 holds the boot header (one sector at $0700,
// DOSINI at $077F, where an RTS stands) and then `code`; sector 2 is filled with its own
// number pattern.
std::vector<std::uint8_t> ImageWithBoot(std::vector<std::uint8_t> code, int sectors = 1) {
    std::vector<std::uint8_t> atr(16 + 720 * 128, 0);
    atr[0] = 0x96;
    atr[1] = 0x02;
    const std::uint8_t header[] = {0x00, static_cast<std::uint8_t>(sectors), 0x00, 0x07, 0x7F,
                                   0x07};
    std::copy(std::begin(header), std::end(header), atr.begin() + 16);
    std::copy(code.begin(), code.end(), atr.begin() + 22);
    atr[16 + 127] = 0x60;
    for (int i = 0; i < 128; ++i) {
        atr[16 + 128 + i] = static_cast<std::uint8_t>(0x80 ^ i);
    }
    return atr;
}

// Asks SIOV for sector 2 with the given direction in DSTATS, stores the status Y at
// $0600 and halts at $072F.
std::vector<std::uint8_t> ReadSector2(std::uint8_t direction) {
    return {0xA9, 0x31,      0x8D, 0x00, 0x03,  // DDEVIC = $31
            0xA9, 0x01,      0x8D, 0x01, 0x03,  // DUNIT = 1
            0xA9, 0x52,      0x8D, 0x02, 0x03,  // DCOMND = 'R'
            0xA9, direction, 0x8D, 0x03, 0x03,  // DSTATS
            0xA9, 0x00,      0x8D, 0x04, 0x03,  // DBUF = $2000
            0xA9, 0x20,      0x8D, 0x05, 0x03,  //
            0xA9, 0x02,      0x8D, 0x0A, 0x03,  // DAUX = 2
            0x20, 0x59,      0xE4,              // JSR SIOV
            0x8C, 0x00,      0x06,              // STY $0600
            0x4C, 0x2F,      0x07};             // JMP * (at $072F)
}

TEST(BootSim, HowABootEnds) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> atr;
        Machine machine;
        BootEnd end;
        std::uint16_t pc;  // checked when not 0
        bool returned;     // the boot routine returned with carry clear
    };
    const Case cases[] = {
        {"carry set from the boot routine", ImageWithBoot({0x38, 0x60}), Machine::kXlBasicOn,
         BootEnd::kBootFailed, 0, false},
        {"no sectors in the boot header", ImageWithBoot({}, 0), Machine::kXlBasicOn,
         BootEnd::kBootFailed, 0, false},
        // DOSVEC still points at the memo pad, which the simulation does not model.
        {"BASIC off", ImageWithBoot({0x18, 0x60}), Machine::kXlBasicOff, BootEnd::kRomCall, 0,
         true},
        {"BASIC on starts the cartridge", ImageWithBoot({0x18, 0x60}), Machine::kXlBasicOn,
         BootEnd::kCartridge, 0, true},
        {"undocumented opcode", ImageWithBoot({0x02}), Machine::kXlBasicOn, BootEnd::kIllegalOpcode,
         0x0706, false},
        {"unknown ROM call", ImageWithBoot({0x20, 0x00, 0xF0}), Machine::kXlBasicOn,
         BootEnd::kRomCall, 0xF000, false},
        // LDA RTCLOK+2, CMP RTCLOK+2, BEQ back: ends only if the frame counter moves.
        {"waiting for a frame",
         ImageWithBoot({0xA5, 0x14, 0xC5, 0x14, 0xF0, 0xFC, 0x4C, 0x0C, 0x07}), Machine::kXlBasicOn,
         BootEnd::kHalted, 0x070C, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BootOptions options;
        options.machine = c.machine;
        const BootResult result = BootAtr(c.atr, options);
        EXPECT_EQ(result.end, c.end);
        if (c.pc != 0) {
            EXPECT_EQ(result.pc, c.pc);
        }
        EXPECT_EQ(result.boot_returned, c.returned);
        if (result.boot_returned) {
            EXPECT_EQ(result.Word(0x0C), 0x077F);  // DOSINI
            EXPECT_EQ(result.ram[0x09] & 0x01, 1);
            EXPECT_EQ(result.ram[0x0244], 0);
            EXPECT_EQ(result.basic_rom_enabled, c.end == BootEnd::kCartridge);
            EXPECT_EQ(result.dosvec_target, c.end == BootEnd::kCartridge
                                                ? std::nullopt
                                                : std::optional<std::uint16_t>(0xE471));
        }
    }
}

// The loader's own reads go through SIOV well; a request whose direction says data goes
// to the drive ($80) is refused and marked.
TEST(BootSim, SiovRefusesARequestWithTheWrongDirection) {
    const auto wrong = BootAtr(ImageWithBoot(ReadSector2(0x80)));
    EXPECT_EQ(wrong.end, BootEnd::kHalted);
    EXPECT_GE(wrong.ram[0x0600], 0x80);
    ASSERT_EQ(wrong.sector_reads.size(), 2u);
    EXPECT_FALSE(wrong.sector_reads[1].request_valid);
    EXPECT_FALSE(wrong.sector_reads[1].ok);
}

TEST(BootSim, EndlessLoopsStopAtTheInstructionLimit) {
    BootOptions options;
    options.max_instructions = 1000;
    const auto result = BootAtr(ImageWithBoot({0xEA, 0x4C, 0x06, 0x07}), options);
    EXPECT_EQ(result.end, BootEnd::kStepLimit);
    EXPECT_EQ(result.instructions, 1000u);
}

}  // namespace
}  // namespace korvane::sim
