// Boots an ATR image in a simulated Atari: a 6502 running the disk's own boot sectors,
// with a high-level stand-in for the OS disk boot, SIO reading sectors from the image,
// the screen editor's OPEN and CLOSE, and a frame counter. Everything the loaded
// program does is recorded for tests to check.
#pragma once

#include <climits>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "atari_memory.h"

namespace korvane::sim {

enum class BootEnd {
    kHalted,         // the processor loops on one instruction (a JMP to itself) at `pc`
    kColdStart,      // control reached the OS cold start $E477
    kWarmStart,      // control reached the OS warm start $E474
    kBootFailed,     // sector 1 unreadable, a boot header naming no sectors, or carry set
    kCartridge,      // after boot the OS would start the cartridge (BASIC still on)
    kRomCall,        // a jump into OS ROM or hardware outside the modelled entry points
    kIllegalOpcode,  // an undocumented opcode at `pc`
    kStepLimit,      // still running after `max_instructions`
};

enum class CallKind { kInit, kRun };

// A jump through INITAD or RUNAD, as the binary load does it.
struct ProgramCall {
    CallKind kind;
    std::uint16_t address;
    friend bool operator==(const ProgramCall&, const ProgramCall&) = default;
};

// One attempt to read a sector, through SIOV or DSKINV.
struct SectorRead {
    int sector = 0;
    bool ok = false;
    bool request_valid = true;  // device, command, direction, length and timeout as needed
};

struct CioCall {
    int iocb = 0;
    std::uint8_t command = 0;
    std::uint8_t status = 0;
};

struct ResetOutcome {
    BootEnd end = BootEnd::kHalted;
    std::uint16_t pc = 0;
    std::optional<std::uint16_t> dosini_called;  // address the OS called through DOSINI
};

struct BootResult {
    BootEnd end = BootEnd::kBootFailed;
    std::uint16_t pc = 0;  // where the run stopped
    int boot_sectors = 0;  // boot header byte 1
    std::uint16_t load_address = 0;
    bool boot_returned = false;                  // the boot routine returned, carry clear
    std::optional<std::uint16_t> dosvec_target;  // where the OS went through DOSVEC after boot
    std::vector<ProgramCall> calls;
    std::vector<SectorRead> sector_reads;
    std::vector<CioCall> cio_calls;
    std::vector<std::uint8_t> ram;  // all 64 kB, RAM hidden under ROM included
    std::uint8_t portb_output = 0;
    bool basic_rom_enabled = false;
    std::vector<std::string> screen;  // 24 rows read from SAVMSC, trailing blanks cut
    std::optional<ResetOutcome> after_reset;
    std::uint64_t instructions = 0;

    std::uint16_t Word(std::uint16_t address) const;
    // The screen rows joined by newlines.
    std::string ScreenText() const;
    // Sectors read successfully, in order, each once.
    std::vector<int> SectorsRead() const;
};

struct BootOptions {
    Machine machine = Machine::kXlBasicOn;
    // Sector -> how many reads of it fail before one succeeds.
    std::map<int, int> failing_reads;
    std::uint64_t max_instructions = 50'000'000;
    // When the run ends halted, press RESET and record what the OS does then.
    bool press_reset_after_halt = false;
};

inline constexpr int kAlwaysFails = INT_MAX;

// Boots `atr` (16-byte header, 128-byte sectors) as the OS would at power-on.
BootResult BootAtr(std::span<const std::uint8_t> atr, const BootOptions& options = {});

// Text of the screen memory at `screen` (internal character codes), one string per row.
std::vector<std::string> ScreenRows(std::span<const std::uint8_t> ram, std::uint16_t screen);

}  // namespace korvane::sim
