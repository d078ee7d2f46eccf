#include "cpu6502.h"

namespace korvane::sim {

struct Cpu6502::Operand {
    std::uint16_t address = 0;
    bool page_crossed = false;
};

namespace {

bool CrossesPage(std::uint16_t base, std::uint16_t address) {
    return (base & 0xFF00) != (address & 0xFF00);
}

}  // namespace

void Cpu6502::Reset() {
    regs_.pc = ReadWord(kResetVector);
}

std::uint8_t Cpu6502::NextByte() {
    return bus_.Read(regs_.pc++);
}

std::uint16_t Cpu6502::ReadWord(std::uint16_t address) {
    const std::uint8_t low = bus_.Read(address);
    const std::uint8_t high = bus_.Read(static_cast<std::uint16_t>(address + 1));
    return static_cast<std::uint16_t>(low | high << 8);
}

// The high byte comes from the same page: JMP ($xxFF) and zero-page pointers wrap.
std::uint16_t Cpu6502::ReadWordInPage(std::uint16_t address) {
    const std::uint8_t low = bus_.Read(address);
    const auto next = static_cast<std::uint16_t>((address & 0xFF00) | ((address + 1) & 0x00FF));
    return static_cast<std::uint16_t>(low | bus_.Read(next) << 8);
}

void Cpu6502::Push(std::uint8_t value) {
    bus_.Write(static_cast<std::uint16_t>(kStackPage | regs_.s), value);
    --regs_.s;
}

std::uint8_t Cpu6502::Pull() {
    ++regs_.s;
    return bus_.Read(static_cast<std::uint16_t>(kStackPage | regs_.s));
}

void Cpu6502::SetFlag(std::uint8_t bit, bool on) {
    regs_.p = static_cast<std::uint8_t>(on ? (regs_.p | bit) : (regs_.p & ~bit));
}

void Cpu6502::SetZn(std::uint8_t value) {
    SetFlag(flag::kZero, value == 0);
    SetFlag(flag::kNegative, (value & 0x80) != 0);
}

Cpu6502::Operand Cpu6502::Fetch(Mode mode) {
    Operand operand;
    switch (mode) {
        case Mode::kImplied:
        case Mode::kAccumulator:
            break;
        case Mode::kImmediate:
        case Mode::kRelative:
            operand.address = regs_.pc++;
            break;
        case Mode::kZeroPage:
            operand.address = NextByte();
            break;
        case Mode::kZeroPageX:
            operand.address = static_cast<std::uint8_t>(NextByte() + regs_.x);
            break;
        case Mode::kZeroPageY:
            operand.address = static_cast<std::uint8_t>(NextByte() + regs_.y);
            break;
        case Mode::kAbsolute:
        case Mode::kIndirect: {
            const std::uint8_t low = NextByte();
            operand.address = static_cast<std::uint16_t>(low | NextByte() << 8);
            break;
        }
        case Mode::kAbsoluteX:
        case Mode::kAbsoluteY: {
            const std::uint8_t low = NextByte();
            const auto base = static_cast<std::uint16_t>(low | NextByte() << 8);
            const std::uint8_t index = mode == Mode::kAbsoluteX ? regs_.x : regs_.y;
            operand.address = static_cast<std::uint16_t>(base + index);
            operand.page_crossed = CrossesPage(base, operand.address);
            break;
        }
        case Mode::kIndexedIndirect: {
            const auto pointer = static_cast<std::uint8_t>(NextByte() + regs_.x);
            operand.address = ReadWordInPage(pointer);
            break;
        }
        case Mode::kIndirectIndexed: {
            const std::uint16_t base = ReadWordInPage(NextByte());
            operand.address = static_cast<std::uint16_t>(base + regs_.y);
            operand.page_crossed = CrossesPage(base, operand.address);
            break;
        }
    }
    return operand;
}

// NMOS decimal mode: Z comes from the binary sum, N and V from the sum after the low
// digit is adjusted, C from the decimal result.
void Cpu6502::AddWithCarry(std::uint8_t value) {
    const int a = regs_.a;
    const int carry = Flag(flag::kCarry) ? 1 : 0;
    const int binary = a + value + carry;
    if (!Flag(flag::kDecimal)) {
        SetFlag(flag::kCarry, binary > 0xFF);
        SetFlag(flag::kOverflow, ((a ^ binary) & (value ^ binary) & 0x80) != 0);
        regs_.a = static_cast<std::uint8_t>(binary);
        SetZn(regs_.a);
        return;
    }
    int low = (a & 0x0F) + (value & 0x0F) + carry;
    if (low >= 0x0A) {
        low = ((low + 0x06) & 0x0F) + 0x10;
    }
    int sum = (a & 0xF0) + (value & 0xF0) + low;
    const int signed_sum =
        static_cast<std::int8_t>(a & 0xF0) + static_cast<std::int8_t>(value & 0xF0) + low;
    SetFlag(flag::kNegative, (sum & 0x80) != 0);
    SetFlag(flag::kOverflow, signed_sum < -128 || signed_sum > 127);
    if (sum >= 0xA0) {
        sum += 0x60;
    }
    SetFlag(flag::kCarry, sum >= 0x100);
    SetFlag(flag::kZero, (binary & 0xFF) == 0);
    regs_.a = static_cast<std::uint8_t>(sum);
}

// NMOS decimal mode: all flags come from the binary difference; only A is adjusted.
void Cpu6502::SubtractWithCarry(std::uint8_t value) {
    const int a = regs_.a;
    const int borrow = Flag(flag::kCarry) ? 0 : 1;
    const int binary = a - value - borrow;
    SetFlag(flag::kCarry, binary >= 0);
    SetFlag(flag::kOverflow, ((a ^ value) & (a ^ binary) & 0x80) != 0);
    SetZn(static_cast<std::uint8_t>(binary));
    if (!Flag(flag::kDecimal)) {
        regs_.a = static_cast<std::uint8_t>(binary);
        return;
    }
    int low = (a & 0x0F) - (value & 0x0F) - borrow;
    if (low < 0) {
        low = ((low - 0x06) & 0x0F) - 0x10;
    }
    int difference = (a & 0xF0) - (value & 0xF0) + low;
    if (difference < 0) {
        difference -= 0x60;
    }
    regs_.a = static_cast<std::uint8_t>(difference);
}

void Cpu6502::Compare(std::uint8_t reg, std::uint8_t value) {
    SetFlag(flag::kCarry, reg >= value);
    SetZn(static_cast<std::uint8_t>(reg - value));
}

// Gives the extra cycles: one for a taken branch, one more when it lands on another page.
int Cpu6502::Branch(bool taken, std::uint16_t offset_address) {
    const auto offset = static_cast<std::int8_t>(bus_.Read(offset_address));
    if (!taken) {
        return 0;
    }
    const std::uint16_t from = regs_.pc;
    regs_.pc = static_cast<std::uint16_t>(from + offset);
    return CrossesPage(from, regs_.pc) ? 2 : 1;
}

std::uint8_t Cpu6502::Shift(Op op, std::uint8_t value) {
    const bool carry_in = Flag(flag::kCarry);
    std::uint8_t result = 0;
    switch (op) {
        case Op::kAsl:
            SetFlag(flag::kCarry, (value & 0x80) != 0);
            result = static_cast<std::uint8_t>(value << 1);
            break;
        case Op::kLsr:
            SetFlag(flag::kCarry, (value & 0x01) != 0);
            result = static_cast<std::uint8_t>(value >> 1);
            break;
        case Op::kRol:
            SetFlag(flag::kCarry, (value & 0x80) != 0);
            result = static_cast<std::uint8_t>(value << 1 | (carry_in ? 0x01 : 0));
            break;
        default:  // ROR
            SetFlag(flag::kCarry, (value & 0x01) != 0);
            result = static_cast<std::uint8_t>(value >> 1 | (carry_in ? 0x80 : 0));
            break;
    }
    SetZn(result);
    return result;
}

std::optional<int> Cpu6502::Step() {
    const std::uint16_t start = regs_.pc;
    const Opcode& code = OpcodeTable()[bus_.Read(start)];
    if (code.op == Op::kIllegal) {
        return std::nullopt;
    }
    ++regs_.pc;
    const Operand operand = Fetch(code.mode);
    int cycles = code.cycles + (code.page_penalty && operand.page_crossed ? 1 : 0);
    auto read = [&] { return bus_.Read(operand.address); };
    auto write = [&](std::uint8_t value) { bus_.Write(operand.address, value); };

    switch (code.op) {
        case Op::kIllegal:
            break;
        case Op::kAdc:
            AddWithCarry(read());
            break;
        case Op::kSbc:
            SubtractWithCarry(read());
            break;
        case Op::kAnd:
            regs_.a &= read();
            SetZn(regs_.a);
            break;
        case Op::kOra:
            regs_.a |= read();
            SetZn(regs_.a);
            break;
        case Op::kEor:
            regs_.a ^= read();
            SetZn(regs_.a);
            break;
        case Op::kAsl:
        case Op::kLsr:
        case Op::kRol:
        case Op::kRor:
            if (code.mode == Mode::kAccumulator) {
                regs_.a = Shift(code.op, regs_.a);
            } else {
                write(Shift(code.op, read()));
            }
            break;
        case Op::kBcc:
            cycles += Branch(!Flag(flag::kCarry), operand.address);
            break;
        case Op::kBcs:
            cycles += Branch(Flag(flag::kCarry), operand.address);
            break;
        case Op::kBne:
            cycles += Branch(!Flag(flag::kZero), operand.address);
            break;
        case Op::kBeq:
            cycles += Branch(Flag(flag::kZero), operand.address);
            break;
        case Op::kBpl:
            cycles += Branch(!Flag(flag::kNegative), operand.address);
            break;
        case Op::kBmi:
            cycles += Branch(Flag(flag::kNegative), operand.address);
            break;
        case Op::kBvc:
            cycles += Branch(!Flag(flag::kOverflow), operand.address);
            break;
        case Op::kBvs:
            cycles += Branch(Flag(flag::kOverflow), operand.address);
            break;
        case Op::kBit: {
            const std::uint8_t value = read();
            SetFlag(flag::kZero, (regs_.a & value) == 0);
            SetFlag(flag::kNegative, (value & 0x80) != 0);
            SetFlag(flag::kOverflow, (value & 0x40) != 0);
            break;
        }
        case Op::kBrk: {
            const auto next = static_cast<std::uint16_t>(start + 2);  // skips a signature byte
            Push(static_cast<std::uint8_t>(next >> 8));
            Push(static_cast<std::uint8_t>(next));
            Push(regs_.p | flag::kBreak | flag::kUnused);
            SetFlag(flag::kInterrupt, true);
            regs_.pc = ReadWord(kIrqVector);
            break;
        }
        case Op::kClc:
            SetFlag(flag::kCarry, false);
            break;
        case Op::kCld:
            SetFlag(flag::kDecimal, false);
            break;
        case Op::kCli:
            SetFlag(flag::kInterrupt, false);
            break;
        case Op::kClv:
            SetFlag(flag::kOverflow, false);
            break;
        case Op::kSec:
            SetFlag(flag::kCarry, true);
            break;
        case Op::kSed:
            SetFlag(flag::kDecimal, true);
            break;
        case Op::kSei:
            SetFlag(flag::kInterrupt, true);
            break;
        case Op::kCmp:
            Compare(regs_.a, read());
            break;
        case Op::kCpx:
            Compare(regs_.x, read());
            break;
        case Op::kCpy:
            Compare(regs_.y, read());
            break;
        case Op::kDec: {
            const auto value = static_cast<std::uint8_t>(read() - 1);
            write(value);
            SetZn(value);
            break;
        }
        case Op::kInc: {
            const auto value = static_cast<std::uint8_t>(read() + 1);
            write(value);
            SetZn(value);
            break;
        }
        case Op::kDex:
            SetZn(--regs_.x);
            break;
        case Op::kDey:
            SetZn(--regs_.y);
            break;
        case Op::kInx:
            SetZn(++regs_.x);
            break;
        case Op::kIny:
            SetZn(++regs_.y);
            break;
        case Op::kJmp:
            if (code.mode == Mode::kIndirect) {
                regs_.pc = ReadWordInPage(operand.address);
                if (on_indirect_jump) {
                    on_indirect_jump(operand.address, regs_.pc);
                }
            } else {
                regs_.pc = operand.address;
            }
            break;
        case Op::kJsr: {
            const auto last = static_cast<std::uint16_t>(regs_.pc - 1);  // last byte of JSR
            Push(static_cast<std::uint8_t>(last >> 8));
            Push(static_cast<std::uint8_t>(last));
            regs_.pc = operand.address;
            break;
        }
        case Op::kRts: {
            const std::uint8_t low = Pull();
            const std::uint8_t high = Pull();
            regs_.pc = static_cast<std::uint16_t>((low | high << 8) + 1);
            break;
        }
        case Op::kRti: {
            regs_.p = static_cast<std::uint8_t>((Pull() & ~flag::kBreak) | flag::kUnused);
            const std::uint8_t low = Pull();
            const std::uint8_t high = Pull();
            regs_.pc = static_cast<std::uint16_t>(low | high << 8);
            break;
        }
        case Op::kLda:
            regs_.a = read();
            SetZn(regs_.a);
            break;
        case Op::kLdx:
            regs_.x = read();
            SetZn(regs_.x);
            break;
        case Op::kLdy:
            regs_.y = read();
            SetZn(regs_.y);
            break;
        case Op::kSta:
            write(regs_.a);
            break;
        case Op::kStx:
            write(regs_.x);
            break;
        case Op::kSty:
            write(regs_.y);
            break;
        case Op::kNop:
            break;
        case Op::kPha:
            Push(regs_.a);
            break;
        case Op::kPhp:
            Push(regs_.p | flag::kBreak | flag::kUnused);
            break;
        case Op::kPla:
            regs_.a = Pull();
            SetZn(regs_.a);
            break;
        case Op::kPlp:
            regs_.p = static_cast<std::uint8_t>((Pull() & ~flag::kBreak) | flag::kUnused);
            break;
        case Op::kTax:
            regs_.x = regs_.a;
            SetZn(regs_.x);
            break;
        case Op::kTay:
            regs_.y = regs_.a;
            SetZn(regs_.y);
            break;
        case Op::kTsx:
            regs_.x = regs_.s;
            SetZn(regs_.x);
            break;
        case Op::kTxa:
            regs_.a = regs_.x;
            SetZn(regs_.a);
            break;
        case Op::kTxs:
            regs_.s = regs_.x;
            break;
        case Op::kTya:
            regs_.a = regs_.y;
            SetZn(regs_.a);
            break;
    }
    return cycles;
}

}  // namespace korvane::sim
