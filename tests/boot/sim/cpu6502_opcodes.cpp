#include "cpu6502_opcodes.h"

namespace korvane::sim {

namespace {

struct Entry {
    std::uint8_t code;
    Op op;
    Mode mode;
    std::uint8_t cycles;
    bool page_penalty;
};

using M = Mode;
constexpr bool P = true;   // page-crossing penalty
constexpr bool _ = false;  // fixed cycle count

// clang-format off
constexpr Entry kEntries[] = {
    {0x69, Op::kAdc, M::kImmediate, 2, _}, {0x65, Op::kAdc, M::kZeroPage, 3, _},
    {0x75, Op::kAdc, M::kZeroPageX, 4, _}, {0x6D, Op::kAdc, M::kAbsolute, 4, _},
    {0x7D, Op::kAdc, M::kAbsoluteX, 4, P}, {0x79, Op::kAdc, M::kAbsoluteY, 4, P},
    {0x61, Op::kAdc, M::kIndexedIndirect, 6, _}, {0x71, Op::kAdc, M::kIndirectIndexed, 5, P},

    {0x29, Op::kAnd, M::kImmediate, 2, _}, {0x25, Op::kAnd, M::kZeroPage, 3, _},
    {0x35, Op::kAnd, M::kZeroPageX, 4, _}, {0x2D, Op::kAnd, M::kAbsolute, 4, _},
    {0x3D, Op::kAnd, M::kAbsoluteX, 4, P}, {0x39, Op::kAnd, M::kAbsoluteY, 4, P},
    {0x21, Op::kAnd, M::kIndexedIndirect, 6, _}, {0x31, Op::kAnd, M::kIndirectIndexed, 5, P},

    {0x0A, Op::kAsl, M::kAccumulator, 2, _}, {0x06, Op::kAsl, M::kZeroPage, 5, _},
    {0x16, Op::kAsl, M::kZeroPageX, 6, _}, {0x0E, Op::kAsl, M::kAbsolute, 6, _},
    {0x1E, Op::kAsl, M::kAbsoluteX, 7, _},

    {0x90, Op::kBcc, M::kRelative, 2, _}, {0xB0, Op::kBcs, M::kRelative, 2, _},
    {0xF0, Op::kBeq, M::kRelative, 2, _}, {0x30, Op::kBmi, M::kRelative, 2, _},
    {0xD0, Op::kBne, M::kRelative, 2, _}, {0x10, Op::kBpl, M::kRelative, 2, _},
    {0x50, Op::kBvc, M::kRelative, 2, _}, {0x70, Op::kBvs, M::kRelative, 2, _},

    {0x24, Op::kBit, M::kZeroPage, 3, _}, {0x2C, Op::kBit, M::kAbsolute, 4, _},
    {0x00, Op::kBrk, M::kImplied, 7, _},
    {0x18, Op::kClc, M::kImplied, 2, _}, {0xD8, Op::kCld, M::kImplied, 2, _},
    {0x58, Op::kCli, M::kImplied, 2, _}, {0xB8, Op::kClv, M::kImplied, 2, _},

    {0xC9, Op::kCmp, M::kImmediate, 2, _}, {0xC5, Op::kCmp, M::kZeroPage, 3, _},
    {0xD5, Op::kCmp, M::kZeroPageX, 4, _}, {0xCD, Op::kCmp, M::kAbsolute, 4, _},
    {0xDD, Op::kCmp, M::kAbsoluteX, 4, P}, {0xD9, Op::kCmp, M::kAbsoluteY, 4, P},
    {0xC1, Op::kCmp, M::kIndexedIndirect, 6, _}, {0xD1, Op::kCmp, M::kIndirectIndexed, 5, P},

    {0xE0, Op::kCpx, M::kImmediate, 2, _}, {0xE4, Op::kCpx, M::kZeroPage, 3, _},
    {0xEC, Op::kCpx, M::kAbsolute, 4, _},
    {0xC0, Op::kCpy, M::kImmediate, 2, _}, {0xC4, Op::kCpy, M::kZeroPage, 3, _},
    {0xCC, Op::kCpy, M::kAbsolute, 4, _},

    {0xC6, Op::kDec, M::kZeroPage, 5, _}, {0xD6, Op::kDec, M::kZeroPageX, 6, _},
    {0xCE, Op::kDec, M::kAbsolute, 6, _}, {0xDE, Op::kDec, M::kAbsoluteX, 7, _},
    {0xCA, Op::kDex, M::kImplied, 2, _}, {0x88, Op::kDey, M::kImplied, 2, _},

    {0x49, Op::kEor, M::kImmediate, 2, _}, {0x45, Op::kEor, M::kZeroPage, 3, _},
    {0x55, Op::kEor, M::kZeroPageX, 4, _}, {0x4D, Op::kEor, M::kAbsolute, 4, _},
    {0x5D, Op::kEor, M::kAbsoluteX, 4, P}, {0x59, Op::kEor, M::kAbsoluteY, 4, P},
    {0x41, Op::kEor, M::kIndexedIndirect, 6, _}, {0x51, Op::kEor, M::kIndirectIndexed, 5, P},

    {0xE6, Op::kInc, M::kZeroPage, 5, _}, {0xF6, Op::kInc, M::kZeroPageX, 6, _},
    {0xEE, Op::kInc, M::kAbsolute, 6, _}, {0xFE, Op::kInc, M::kAbsoluteX, 7, _},
    {0xE8, Op::kInx, M::kImplied, 2, _}, {0xC8, Op::kIny, M::kImplied, 2, _},

    {0x4C, Op::kJmp, M::kAbsolute, 3, _}, {0x6C, Op::kJmp, M::kIndirect, 5, _},
    {0x20, Op::kJsr, M::kAbsolute, 6, _},

    {0xA9, Op::kLda, M::kImmediate, 2, _}, {0xA5, Op::kLda, M::kZeroPage, 3, _},
    {0xB5, Op::kLda, M::kZeroPageX, 4, _}, {0xAD, Op::kLda, M::kAbsolute, 4, _},
    {0xBD, Op::kLda, M::kAbsoluteX, 4, P}, {0xB9, Op::kLda, M::kAbsoluteY, 4, P},
    {0xA1, Op::kLda, M::kIndexedIndirect, 6, _}, {0xB1, Op::kLda, M::kIndirectIndexed, 5, P},

    {0xA2, Op::kLdx, M::kImmediate, 2, _}, {0xA6, Op::kLdx, M::kZeroPage, 3, _},
    {0xB6, Op::kLdx, M::kZeroPageY, 4, _}, {0xAE, Op::kLdx, M::kAbsolute, 4, _},
    {0xBE, Op::kLdx, M::kAbsoluteY, 4, P},
    {0xA0, Op::kLdy, M::kImmediate, 2, _}, {0xA4, Op::kLdy, M::kZeroPage, 3, _},
    {0xB4, Op::kLdy, M::kZeroPageX, 4, _}, {0xAC, Op::kLdy, M::kAbsolute, 4, _},
    {0xBC, Op::kLdy, M::kAbsoluteX, 4, P},

    {0x4A, Op::kLsr, M::kAccumulator, 2, _}, {0x46, Op::kLsr, M::kZeroPage, 5, _},
    {0x56, Op::kLsr, M::kZeroPageX, 6, _}, {0x4E, Op::kLsr, M::kAbsolute, 6, _},
    {0x5E, Op::kLsr, M::kAbsoluteX, 7, _},
    {0xEA, Op::kNop, M::kImplied, 2, _},

    {0x09, Op::kOra, M::kImmediate, 2, _}, {0x05, Op::kOra, M::kZeroPage, 3, _},
    {0x15, Op::kOra, M::kZeroPageX, 4, _}, {0x0D, Op::kOra, M::kAbsolute, 4, _},
    {0x1D, Op::kOra, M::kAbsoluteX, 4, P}, {0x19, Op::kOra, M::kAbsoluteY, 4, P},
    {0x01, Op::kOra, M::kIndexedIndirect, 6, _}, {0x11, Op::kOra, M::kIndirectIndexed, 5, P},

    {0x48, Op::kPha, M::kImplied, 3, _}, {0x08, Op::kPhp, M::kImplied, 3, _},
    {0x68, Op::kPla, M::kImplied, 4, _}, {0x28, Op::kPlp, M::kImplied, 4, _},

    {0x2A, Op::kRol, M::kAccumulator, 2, _}, {0x26, Op::kRol, M::kZeroPage, 5, _},
    {0x36, Op::kRol, M::kZeroPageX, 6, _}, {0x2E, Op::kRol, M::kAbsolute, 6, _},
    {0x3E, Op::kRol, M::kAbsoluteX, 7, _},
    {0x6A, Op::kRor, M::kAccumulator, 2, _}, {0x66, Op::kRor, M::kZeroPage, 5, _},
    {0x76, Op::kRor, M::kZeroPageX, 6, _}, {0x6E, Op::kRor, M::kAbsolute, 6, _},
    {0x7E, Op::kRor, M::kAbsoluteX, 7, _},

    {0x40, Op::kRti, M::kImplied, 6, _}, {0x60, Op::kRts, M::kImplied, 6, _},

    {0xE9, Op::kSbc, M::kImmediate, 2, _}, {0xE5, Op::kSbc, M::kZeroPage, 3, _},
    {0xF5, Op::kSbc, M::kZeroPageX, 4, _}, {0xED, Op::kSbc, M::kAbsolute, 4, _},
    {0xFD, Op::kSbc, M::kAbsoluteX, 4, P}, {0xF9, Op::kSbc, M::kAbsoluteY, 4, P},
    {0xE1, Op::kSbc, M::kIndexedIndirect, 6, _}, {0xF1, Op::kSbc, M::kIndirectIndexed, 5, P},

    {0x38, Op::kSec, M::kImplied, 2, _}, {0xF8, Op::kSed, M::kImplied, 2, _},
    {0x78, Op::kSei, M::kImplied, 2, _},

    {0x85, Op::kSta, M::kZeroPage, 3, _}, {0x95, Op::kSta, M::kZeroPageX, 4, _},
    {0x8D, Op::kSta, M::kAbsolute, 4, _}, {0x9D, Op::kSta, M::kAbsoluteX, 5, _},
    {0x99, Op::kSta, M::kAbsoluteY, 5, _}, {0x81, Op::kSta, M::kIndexedIndirect, 6, _},
    {0x91, Op::kSta, M::kIndirectIndexed, 6, _},
    {0x86, Op::kStx, M::kZeroPage, 3, _}, {0x96, Op::kStx, M::kZeroPageY, 4, _},
    {0x8E, Op::kStx, M::kAbsolute, 4, _},
    {0x84, Op::kSty, M::kZeroPage, 3, _}, {0x94, Op::kSty, M::kZeroPageX, 4, _},
    {0x8C, Op::kSty, M::kAbsolute, 4, _},

    {0xAA, Op::kTax, M::kImplied, 2, _}, {0xA8, Op::kTay, M::kImplied, 2, _},
    {0xBA, Op::kTsx, M::kImplied, 2, _}, {0x8A, Op::kTxa, M::kImplied, 2, _},
    {0x9A, Op::kTxs, M::kImplied, 2, _}, {0x98, Op::kTya, M::kImplied, 2, _},
};
// clang-format on

std::array<Opcode, 256> MakeTable() {
    std::array<Opcode, 256> table{};
    for (const Entry& e : kEntries) {
        table[e.code] = Opcode{e.op, e.mode, e.cycles, e.page_penalty};
    }
    return table;
}

}  // namespace

const std::array<Opcode, 256>& OpcodeTable() {
    static const std::array<Opcode, 256> table = MakeTable();
    return table;
}

}  // namespace korvane::sim
