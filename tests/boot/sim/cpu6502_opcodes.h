// The 6502's documented opcodes: operation, addressing mode and base cycle count.
#pragma once

#include <array>
#include <cstdint>

namespace korvane::sim {

enum class Mode : std::uint8_t {
    kImplied,
    kAccumulator,
    kImmediate,
    kZeroPage,
    kZeroPageX,
    kZeroPageY,
    kAbsolute,
    kAbsoluteX,
    kAbsoluteY,
    kIndirect,
    kIndexedIndirect,  // (zp,X)
    kIndirectIndexed,  // (zp),Y
    kRelative,
};

enum class Op : std::uint8_t {
    kIllegal,
    kAdc,
    kAnd,
    kAsl,
    kBcc,
    kBcs,
    kBeq,
    kBit,
    kBmi,
    kBne,
    kBpl,
    kBrk,
    kBvc,
    kBvs,
    kClc,
    kCld,
    kCli,
    kClv,
    kCmp,
    kCpx,
    kCpy,
    kDec,
    kDex,
    kDey,
    kEor,
    kInc,
    kInx,
    kIny,
    kJmp,
    kJsr,
    kLda,
    kLdx,
    kLdy,
    kLsr,
    kNop,
    kOra,
    kPha,
    kPhp,
    kPla,
    kPlp,
    kRol,
    kRor,
    kRti,
    kRts,
    kSbc,
    kSec,
    kSed,
    kSei,
    kSta,
    kStx,
    kSty,
    kTax,
    kTay,
    kTsx,
    kTxa,
    kTxs,
    kTya,
};

struct Opcode {
    Op op = Op::kIllegal;
    Mode mode = Mode::kImplied;
    std::uint8_t cycles = 0;
    bool page_penalty = false;  // one cycle more when indexing crosses a page
};

// Indexed by opcode byte; undocumented opcodes hold Op::kIllegal.
const std::array<Opcode, 256>& OpcodeTable();

}  // namespace korvane::sim
