// The boot simulation's stand-in for the OS, driven by tiny hand-assembled boot sectors.
#include "boot_sim.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace korvane::sim {
namespace {

constexpr std::size_t kSectors = 720;

// A blank single-density image whose sector 1 holds `boot`, and whose sector 2 is
// filled with its own number pattern.
std::vector<std::uint8_t> ImageWithBoot(std::initializer_list<std::uint8_t> boot) {
    std::vector<std::uint8_t> atr(16 + kSectors * 128, 0);
    atr[0] = 0x96;
    atr[1] = 0x02;
    std::copy(boot.begin(), boot.end(), atr.begin() + 16);
    atr[16 + 127] = 0x60;  // RTS for DOSINI
    for (int i = 0; i < 128; ++i) {
        atr[16 + 128 + i] = static_cast<std::uint8_t>(0x80 ^ i);
    }
    return atr;
}

// Boot header: one sector at $0700, DOSINI at $077F, the sector's last byte (an RTS).
#define BOOT_HEADER 0x00, 0x01, 0x00, 0x07, 0x7F, 0x07

TEST(BootSim, CarrySetFromTheBootRoutineFailsTheBoot) {
    const auto result = BootAtr(ImageWithBoot({BOOT_HEADER, 0x38, 0x60}));  // SEC, RTS
    EXPECT_EQ(result.end, BootEnd::kBootFailed);
    EXPECT_FALSE(result.boot_returned);
}

TEST(BootSim, BootHeaderWithoutSectorsFailsTheBoot) {
    const auto result = BootAtr(ImageWithBoot({0x00, 0x00, 0x00, 0x07, 0x7F, 0x07}));
    EXPECT_EQ(result.end, BootEnd::kBootFailed);
    EXPECT_EQ(result.SectorsRead(), std::vector<int>{1});
}

TEST(BootSim, SuccessfulBootCallsDosiniAndGoesThroughDosvec) {
    // CLC, RTS: DOSVEC still points at the memo pad, which the simulation does not model.
    BootOptions options;
    options.machine = Machine::kXlBasicOff;
    const auto result = BootAtr(ImageWithBoot({BOOT_HEADER, 0x18, 0x60}), options);
    EXPECT_TRUE(result.boot_returned);
    EXPECT_EQ(result.Word(0x0C), 0x077F);
    EXPECT_EQ(result.ram[0x09] & 0x01, 1);
    EXPECT_EQ(result.ram[0x0244], 0);
    EXPECT_EQ(result.dosvec_target, 0xE471);
    EXPECT_EQ(result.end, BootEnd::kRomCall);
}

TEST(BootSim, BasicLeftOnStartsTheCartridgeAfterBoot) {
    const auto result = BootAtr(ImageWithBoot({BOOT_HEADER, 0x18, 0x60}));
    EXPECT_TRUE(result.boot_returned);
    EXPECT_TRUE(result.basic_rom_enabled);
    EXPECT_EQ(result.end, BootEnd::kCartridge);
    EXPECT_FALSE(result.dosvec_target);
}

TEST(BootSim, DskinvFillsTheRequestAndReadsIntoTheBuffer) {
    const auto result = BootAtr(ImageWithBoot({
        BOOT_HEADER, 0xA9, 0x52, 0x8D, 0x02, 0x03,  // LDA #'R', STA DCOMND
        0xA9,        0x01, 0x8D, 0x01, 0x03,        // LDA #1, STA DUNIT
        0xA9,        0x00, 0x8D, 0x04, 0x03,        // LDA #<$2000, STA DBUFLO
        0xA9,        0x20, 0x8D, 0x05, 0x03,        // LDA #>$2000, STA DBUFHI
        0xA9,        0x02, 0x8D, 0x0A, 0x03,        // LDA #2, STA DAUX1
        0xA9,        0x00, 0x8D, 0x0B, 0x03,        // LDA #0, STA DAUX2
        0x20,        0x53, 0xE4,                    // JSR DSKINV
        0x8C,        0x00, 0x06,                    // STY $0600
        0x4C,        0x2A, 0x07,                    // JMP * (at $072A)
    }));
    EXPECT_EQ(result.end, BootEnd::kHalted);
    EXPECT_EQ(result.pc, 0x072A);
    EXPECT_EQ(result.ram[0x0600], 0x01);
    EXPECT_EQ(result.ram[0x2000], 0x80);
    EXPECT_EQ(result.ram[0x207F], 0xFF);
    EXPECT_EQ(result.SectorsRead(), (std::vector<int>{1, 2}));
}

TEST(BootSim, SiovRefusesARequestWithTheWrongDirection) {
    const auto result = BootAtr(ImageWithBoot({
        BOOT_HEADER, 0xA9, 0x31, 0x8D, 0x00, 0x03,  // DDEVIC = $31
        0xA9,        0x01, 0x8D, 0x01, 0x03,        // DUNIT = 1
        0xA9,        0x52, 0x8D, 0x02, 0x03,        // DCOMND = 'R'
        0xA9,        0x80, 0x8D, 0x03, 0x03,        // DSTATS = $80: data to the drive
        0xA9,        0x02, 0x8D, 0x0A, 0x03,        // DAUX1 = 2
        0x20,        0x59, 0xE4,                    // JSR SIOV
        0x8C,        0x00, 0x06,                    // STY $0600
        0x4C,        0x25, 0x07,                    // JMP * (at $0725)
    }));
    EXPECT_EQ(result.end, BootEnd::kHalted);
    EXPECT_GE(result.ram[0x0600], 0x80);
    ASSERT_EQ(result.sector_reads.size(), 2u);
    EXPECT_FALSE(result.sector_reads[1].request_valid);
    EXPECT_FALSE(result.sector_reads[1].ok);
}

TEST(BootSim, FrameCounterAdvancesWhileTheProgramWaits) {
    const auto result = BootAtr(ImageWithBoot({
        BOOT_HEADER, 0xA5, 0x14,  // LDA RTCLOK+2
        0xC5, 0x14,               // CMP RTCLOK+2
        0xF0, 0xFC,               // BEQ back to the CMP
        0x4C, 0x0C, 0x07,         // JMP * (at $070C)
    }));
    EXPECT_EQ(result.end, BootEnd::kHalted);
    EXPECT_EQ(result.ram[0x14], 1);
}

TEST(BootSim, UndocumentedOpcodeAndUnknownRomCallStopTheRun) {
    const auto illegal = BootAtr(ImageWithBoot({BOOT_HEADER, 0x02}));
    EXPECT_EQ(illegal.end, BootEnd::kIllegalOpcode);
    EXPECT_EQ(illegal.pc, 0x0706);

    const auto rom = BootAtr(ImageWithBoot({BOOT_HEADER, 0x20, 0x00, 0xF0}));  // JSR $F000
    EXPECT_EQ(rom.end, BootEnd::kRomCall);
    EXPECT_EQ(rom.pc, 0xF000);
}

TEST(BootSim, EndlessLoopsStopAtTheInstructionLimit) {
    BootOptions options;
    options.max_instructions = 1000;
    const auto result = BootAtr(ImageWithBoot({BOOT_HEADER, 0xEA, 0x4C, 0x06, 0x07}), options);
    EXPECT_EQ(result.end, BootEnd::kStepLimit);
    EXPECT_EQ(result.instructions, 1000u);
}

}  // namespace
}  // namespace korvane::sim
