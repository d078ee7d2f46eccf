// A simulated Atari that boots an ATR image: a 6502 core (the instructions the loader and
// the test programs use, binary arithmetic, a clock that counts instructions) and a
// stand-in for the OS: the disk boot, SIO sector reads, the screen editor's CLOSE/OPEN,
// the BASIC ROM switched by port B, and the frame counter. What the booted program does
// is recorded for tests.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace korvane::sim {

enum class Machine { kXlBasicOn, kAtari800 };

// A JMP to itself at `pc`; the OS cold start $E477 reached; anything else: a return to
// the OS that would start the cartridge, a jump into ROM outside the modelled entry
// points, an opcode not modelled, or too many instructions.
enum class BootEnd { kHalted, kColdStart, kStopped };

// A jump through INITAD ('I') or RUNAD ('R'), as the binary load makes it, with the
// registers and the decimal and interrupt flags (P & $0C) it hands over.
struct Call {
    char kind;
    int address;
    int a = 0, x = 0, y = 1, flags = 0;
    friend bool operator==(const Call&, const Call&) = default;
};

struct BootOptions {
    Machine machine = Machine::kXlBasicOn;
    std::map<int, int> failing_reads;  // sector -> reads of it that fail first
};

struct BootResult {
    BootEnd end = BootEnd::kStopped;
    std::uint16_t pc = 0;
    std::vector<Call> calls;
    std::vector<int> reads;  // sectors read, in order, failed reads as -sector
    std::vector<std::uint8_t> ram;
    bool basic_rom = false;      // BASIC still banked in at the end
    std::uint8_t pokey[9] = {};  // AUDF1-AUDC4 and AUDCTL as last written
    std::uint64_t instructions = 0;

    std::uint16_t Word(std::uint16_t address) const { return ram[address] | ram[address + 1] << 8; }
    std::string ScreenRow() const;  // row 0 of the text screen at SAVMSC, blanks cut
};

BootResult BootAtr(std::span<const std::uint8_t> atr, const BootOptions& options = {});

}  // namespace korvane::sim
