// An NMOS 6502 core: every documented opcode with its cycle count, decimal mode as the
// Atari's 6502C does it. Undocumented opcodes stop the core instead of guessing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "cpu6502_opcodes.h"

namespace korvane::sim {

// What the processor sees of the machine: 64 kB of addresses.
class Bus {
  public:
    virtual ~Bus() = default;
    virtual std::uint8_t Read(std::uint16_t address) = 0;
    virtual void Write(std::uint16_t address, std::uint8_t value) = 0;
};

// Processor status bits.
namespace flag {
inline constexpr std::uint8_t kCarry = 0x01;
inline constexpr std::uint8_t kZero = 0x02;
inline constexpr std::uint8_t kInterrupt = 0x04;
inline constexpr std::uint8_t kDecimal = 0x08;
inline constexpr std::uint8_t kBreak = 0x10;   // only in the copy pushed by BRK and PHP
inline constexpr std::uint8_t kUnused = 0x20;  // reads as 1 when pushed
inline constexpr std::uint8_t kOverflow = 0x40;
inline constexpr std::uint8_t kNegative = 0x80;
}  // namespace flag

inline constexpr std::uint16_t kStackPage = 0x0100;
inline constexpr std::uint16_t kResetVector = 0xFFFC;
inline constexpr std::uint16_t kIrqVector = 0xFFFE;

struct Registers {
    std::uint8_t a = 0;
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    std::uint8_t s = 0xFF;
    std::uint8_t p = flag::kUnused | flag::kInterrupt;
    std::uint16_t pc = 0;
};

class Cpu6502 {
  public:
    explicit Cpu6502(Bus& bus) : bus_(bus) {}

    Registers& registers() { return regs_; }
    const Registers& registers() const { return regs_; }

    // Loads PC from the reset vector.
    void Reset();

    // Executes one instruction and gives its cycle count, or nothing (leaving PC on
    // the opcode) when the opcode is not a documented one.
    std::optional<int> Step();

    // Called for JMP (pointer) with the pointer address and the target.
    std::function<void(std::uint16_t pointer, std::uint16_t target)> on_indirect_jump;

    void Push(std::uint8_t value);
    std::uint8_t Pull();

  private:
    struct Operand;
    Operand Fetch(Mode mode);
    std::uint16_t ReadWord(std::uint16_t address);
    std::uint16_t ReadWordInPage(std::uint16_t address);
    std::uint8_t NextByte();
    void SetZn(std::uint8_t value);
    void SetFlag(std::uint8_t bit, bool on);
    bool Flag(std::uint8_t bit) const { return (regs_.p & bit) != 0; }
    void AddWithCarry(std::uint8_t value);
    void SubtractWithCarry(std::uint8_t value);
    void Compare(std::uint8_t reg, std::uint8_t value);
    int Branch(bool taken, std::uint16_t offset_address);
    std::uint8_t Shift(Op op, std::uint8_t value);

    Bus& bus_;
    Registers regs_;
};

}  // namespace korvane::sim
