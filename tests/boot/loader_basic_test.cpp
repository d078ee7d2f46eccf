// The loader switches the XL/XE built-in BASIC off before loading, and leaves a
// 400/800 alone.
#include <gtest/gtest.h>

#include "atari_addresses.h"
#include "boot_fixture.h"

namespace korvane::boottest {
namespace {

using sim::Machine;

using sim::os::kBasicf;
using sim::os::kCioClose;
using sim::os::kCioOpen;
using sim::os::kRamtop;
using sim::os::kSavmsc;
using sim::os::kTramsz;
// Port B bit 1 set: the built-in BASIC is switched off.
constexpr std::uint8_t kBasicOffBit = 0x02;

TEST(LoaderBasic, DataUnderTheBasicRomLoadsOnEveryMachine) {
    // A program with data under the BASIC ROM, started by RUN.
    const auto program = Xex()
                             .Segment(0xA000, {0x11, 0x22, 0x33})
                             .Segment(0xBFFE, {0x44, 0x55})
                             .Segment(0x3000, {0x4C, 0x00, 0x30})
                             .Run(0x3000)
                             .bytes();
    for (const Machine machine : {Machine::kXlBasicOn, Machine::kXlBasicOff, Machine::kAtari800}) {
        SCOPED_TRACE(static_cast<int>(machine));
        sim::BootOptions options;
        options.machine = machine;
        const sim::BootResult result = BootXex(program, options).result;
        EXPECT_EQ(result.ram[0xA000], 0x11);
        EXPECT_EQ(result.ram[0xA002], 0x33);
        EXPECT_EQ(result.ram[0xBFFF], 0x55);
        EXPECT_EQ(result.calls.size(), 1u);
        EXPECT_FALSE(result.basic_rom_enabled);
        EXPECT_EQ(result.ram[kRamtop], 0xC0);
        // An XL gets BASIC switched off through PORTB and BASICF set; a 400/800 has none.
        EXPECT_EQ(result.ram[kBasicf] != 0, machine != Machine::kAtari800);
        EXPECT_EQ(result.portb_output & kBasicOffBit,
                  machine == Machine::kAtari800 ? 0 : kBasicOffBit);
        if (machine != Machine::kXlBasicOn) {
            // The screen already lies above BASIC's area.
            EXPECT_TRUE(result.cio_calls.empty());
            continue;
        }
        // BASIC was on: RAMTOP moved up and the screen is reopened there.
        EXPECT_EQ(result.ram[kTramsz], 0);
        ASSERT_EQ(result.cio_calls.size(), 2u);
        EXPECT_EQ(result.cio_calls[0].command, kCioClose);
        EXPECT_EQ(result.cio_calls[1].command, kCioOpen);
        EXPECT_EQ(result.cio_calls[1].status, 1);
        EXPECT_EQ(result.Word(kSavmsc), 0xC000 - 0x3C0);
    }
}

TEST(LoaderBasic, RefusalMessageAppearsOnTheMovedScreen) {
    const auto result = sim::BootAtr(Template());  // no AUTORUN.SYS
    EXPECT_EQ(result.Word(kSavmsc), 0xC000 - 0x3C0);
    EXPECT_EQ(result.screen[0], "  BOOT ERROR: AUTORUN.SYS NOT FOUND");
}

}  // namespace
}  // namespace korvane::boottest
