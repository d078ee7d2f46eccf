// The 6502 core on its own, against results documented for the NMOS 6502.
#include "cpu6502.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

namespace korvane::sim {
namespace {

class FlatBus final : public Bus {
  public:
    std::uint8_t Read(std::uint16_t address) override { return ram[address]; }
    void Write(std::uint16_t address, std::uint8_t value) override { ram[address] = value; }
    std::array<std::uint8_t, 0x10000> ram{};
};

constexpr std::uint8_t kC = flag::kCarry;
constexpr std::uint8_t kZ = flag::kZero;
constexpr std::uint8_t kN = flag::kNegative;
constexpr std::uint8_t kV = flag::kOverflow;

class CpuTest : public ::testing::Test {
  protected:
    // Places `code` at `at`, points PC there and runs `steps` instructions; gives the
    // cycle count of the last one.
    int Run(std::uint16_t at, std::initializer_list<std::uint8_t> code, int steps = 1) {
        std::copy(code.begin(), code.end(), bus.ram.begin() + at);
        r.pc = at;
        std::optional<int> cycles;
        for (int i = 0; i < steps; ++i) {
            cycles = cpu.Step();
            EXPECT_TRUE(cycles.has_value());
        }
        return cycles.value_or(0);
    }
    // The flags in `set` are set and those in `clear` are clear.
    void ExpectFlags(std::uint8_t set, std::uint8_t clear) const {
        EXPECT_EQ(r.p & set, set);
        EXPECT_EQ(r.p & clear, 0);
    }

    FlatBus bus;
    Cpu6502 cpu{bus};
    Registers& r = cpu.registers();
};

TEST_F(CpuTest, AddAndSubtractInBinaryAndDecimalMode) {
    struct Case {
        char op;
        std::uint8_t a, operand;
        bool carry_in, decimal;
        std::uint8_t result, set, clear;
    };
    const Case cases[] = {
        {'+', 0x01, 0x01, 0, 0, 0x02, 0, kC | kZ | kN | kV},
        {'+', 0x50, 0x50, 0, 0, 0xA0, kN | kV, kC | kZ},  // two positives give a negative
        {'+', 0xFF, 0x01, 0, 0, 0x00, kC | kZ, kN | kV},
        {'+', 0x80, 0xFF, 0, 0, 0x7F, kC | kV, kZ | kN},  // two negatives give a positive
        {'+', 0x7F, 0x00, 1, 0, 0x80, kN | kV, kC | kZ},  // the carry alone overflows
        {'-', 0x05, 0x03, 1, 0, 0x02, kC, kZ | kN | kV},
        {'-', 0x00, 0x01, 1, 0, 0xFF, kN, kC | kZ | kV},
        {'-', 0x50, 0xB0, 1, 0, 0xA0, kN | kV, kC | kZ},
        {'-', 0x80, 0x01, 1, 0, 0x7F, kC | kV, kZ | kN},
        {'-', 0x05, 0x05, 0, 0, 0xFF, kN, kC | kZ | kV},  // carry clear borrows one more
        {'+', 0x58, 0x46, 1, 1, 0x05, kC, 0},             // 58 + 46 + 1 = 105
        {'+', 0x12, 0x34, 0, 1, 0x46, 0, kC},
        {'+', 0x15, 0x26, 0, 1, 0x41, 0, 0},  // the low digit carries
        // 99 + 1 = 100: A is 00 with carry, yet the NMOS part takes Z from the binary sum
        // ($9A) and N from the sum before the high digit is adjusted.
        {'+', 0x99, 0x01, 0, 1, 0x00, kC | kN, kZ},
        {'+', 0x79, 0x00, 1, 1, 0x80, kV | kN, 0},  // V as in binary 79 + 1 after the low digit
        {'-', 0x46, 0x12, 1, 1, 0x34, kC, 0},
        {'-', 0x40, 0x13, 1, 1, 0x27, kC, 0},   // the low digit borrows
        {'-', 0x32, 0x02, 0, 1, 0x29, 0, 0},    // carry clear: one more
        {'-', 0x00, 0x01, 1, 1, 0x99, kN, kC},  // 0 - 1 = 99 with a borrow, N from binary $FF
        {'-', 0x21, 0x21, 1, 1, 0x00, kZ, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << int(c.a) << c.op << int(c.operand)
                                          << " carry " << c.carry_in << " decimal " << c.decimal);
        Run(0x0200,
            {static_cast<std::uint8_t>(c.carry_in ? 0x38 : 0x18),               // SEC / CLC
             static_cast<std::uint8_t>(c.decimal ? 0xF8 : 0xD8),                // SED / CLD
             0xA9, c.a,                                                         // LDA #a
             static_cast<std::uint8_t>(c.op == '+' ? 0x69 : 0xE9), c.operand},  // ADC / SBC #
            4);
        EXPECT_EQ(r.a, c.result);
        ExpectFlags(c.set, c.clear);
    }
}

TEST_F(CpuTest, BranchesCostOneMoreTakenAndAnotherAcrossAPage) {
    r.p &= static_cast<std::uint8_t>(~kZ);
    struct Case {
        std::uint16_t at;
        std::uint8_t opcode, offset;
        std::uint16_t target;
        int cycles;
    };
    const Case cases[] = {
        {0x10F0, 0xD0, 0x02, 0x10F4, 3},  // BNE taken within the page
        {0x10FD, 0xD0, 0x05, 0x1104, 4},  // forward from $10FF across a page
        {0x1000, 0xD0, 0xFC, 0x0FFE, 4},  // backward from $1002 across a page
        {0x1000, 0xF0, 0x10, 0x1002, 2},  // BEQ not taken
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.at, {c.opcode, c.offset}), c.cycles) << std::hex << c.at;
        EXPECT_EQ(r.pc, c.target);
    }
}

TEST_F(CpuTest, IndirectJumpTakesHighByteFromTheSamePage) {
    bus.ram[0x30FF] = 0x40;
    bus.ram[0x3000] = 0x12;  // the NMOS part reads here ...
    bus.ram[0x3100] = 0x99;  // ... not here
    std::uint16_t seen_pointer = 0;
    cpu.on_indirect_jump = [&](std::uint16_t pointer, std::uint16_t) { seen_pointer = pointer; };
    EXPECT_EQ(Run(0x0200, {0x6C, 0xFF, 0x30}), 5);
    EXPECT_EQ(r.pc, 0x1240);
    EXPECT_EQ(seen_pointer, 0x30FF);
}

TEST_F(CpuTest, JsrRtsBrkRtiAndTheStack) {
    // JSR pushes the address of its own last byte; RTS returns past it.
    bus.ram[0x4000] = 0x60;  // RTS
    r.s = 0xFF;
    EXPECT_EQ(Run(0x0300, {0x20, 0x00, 0x40}), 6);
    EXPECT_EQ(r.s, 0xFD);
    EXPECT_EQ(bus.ram[0x01FF], 0x03);
    EXPECT_EQ(bus.ram[0x01FE], 0x02);
    EXPECT_EQ(cpu.Step(), 6);
    EXPECT_EQ(r.pc, 0x0303);
    EXPECT_EQ(r.s, 0xFF);

    // BRK pushes BRK + 2 and the status with the break bit; RTI restores it without.
    bus.ram[0xFFFE] = 0x00;
    bus.ram[0xFFFF] = 0x50;
    bus.ram[0x5000] = 0x40;  // RTI
    r.p = flag::kUnused | kC;
    EXPECT_EQ(Run(0x0400, {0x00, 0xEA}), 7);
    EXPECT_EQ(r.pc, 0x5000);
    ExpectFlags(flag::kInterrupt, 0);
    EXPECT_EQ(bus.ram[0x01FF], 0x04);
    EXPECT_EQ(bus.ram[0x01FE], 0x02);
    EXPECT_EQ(bus.ram[0x01FD], flag::kUnused | flag::kBreak | kC);
    EXPECT_EQ(cpu.Step(), 6);
    EXPECT_EQ(r.pc, 0x0402);
    EXPECT_EQ(r.p, flag::kUnused | kC);

    // PHP pushes the break bit, PLP leaves it out.
    r.p = flag::kUnused | kN;
    Run(0x0200, {0x08, 0xA9, 0x00, 0x28}, 2);  // PHP, LDA #0
    EXPECT_EQ(bus.ram[0x01FF], flag::kUnused | flag::kBreak | kN);
    ExpectFlags(kZ, 0);
    cpu.Step();  // PLP
    EXPECT_EQ(r.p, flag::kUnused | kN);

    // The stack pointer wraps within page one.
    r.s = 0x00;
    r.a = 0x5A;
    Run(0x0200, {0x48, 0x68});  // PHA, PLA
    EXPECT_EQ(bus.ram[0x0100], 0x5A);
    EXPECT_EQ(r.s, 0xFF);
    r.a = 0;
    cpu.Step();
    EXPECT_EQ(r.a, 0x5A);
    EXPECT_EQ(r.s, 0x00);
}

TEST_F(CpuTest, ZeroPageIndexingAndPointersStayInPageZero) {
    bus.ram[0x0005] = 0x77;
    r.x = 0x06;
    Run(0x0200, {0xB5, 0xFF});  // LDA $FF,X reads $05
    EXPECT_EQ(r.a, 0x77);

    bus.ram[0x00FF] = 0x34;  // pointer low at $FF, high from $00
    bus.ram[0x0000] = 0x12;
    bus.ram[0x1236] = 0x99;
    r.y = 0x02;
    EXPECT_EQ(Run(0x0200, {0xB1, 0xFF}), 5);  // LDA ($FF),Y
    EXPECT_EQ(r.a, 0x99);

    bus.ram[0x0001] = 0x00;  // ($FF,X) with X = 2: pointer at $01/$02
    bus.ram[0x0002] = 0x45;
    bus.ram[0x4500] = 0x3C;
    r.x = 0x02;
    Run(0x0200, {0xA1, 0xFF});
    EXPECT_EQ(r.a, 0x3C);
}

TEST_F(CpuTest, IndexedReadsCostOneMoreAcrossAPageButStoresDoNot) {
    bus.ram[0x2100] = 0x42;
    r.x = 0x10;
    EXPECT_EQ(Run(0x0200, {0xBD, 0xF0, 0x20}), 5);  // LDA $20F0,X
    EXPECT_EQ(r.a, 0x42);
    EXPECT_EQ(Run(0x0200, {0xBD, 0x00, 0x21}), 4);  // same page
    r.a = 0x5C;
    EXPECT_EQ(Run(0x0200, {0x9D, 0xF0, 0x20}), 5);  // STA $20F0,X: always 5
    EXPECT_EQ(bus.ram[0x2100], 0x5C);
}

TEST_F(CpuTest, RotatesCompareAndBit) {
    Run(0x0200, {0x38, 0xA9, 0x80, 0x2A, 0x6A, 0x6A}, 3);  // SEC, LDA #$80, ROL
    EXPECT_EQ(r.a, 0x01);
    ExpectFlags(kC, 0);
    cpu.Step();  // ROR
    EXPECT_EQ(r.a, 0x80);
    ExpectFlags(kC, 0);
    cpu.Step();  // ROR
    EXPECT_EQ(r.a, 0xC0);
    ExpectFlags(0, kC);

    r.a = 0x40;
    Run(0x0200, {0xC9, 0x41});  // CMP #$41
    ExpectFlags(kN, kC | kZ);

    bus.ram[0x0010] = 0xC0;  // BIT copies bits 7 and 6 of memory
    r.a = 0x01;
    Run(0x0200, {0x24, 0x10});
    ExpectFlags(kZ | kN | kV, 0);
}

TEST_F(CpuTest, ExactlyTheDocumentedOpcodesExecute) {
    int documented = 0;
    for (int opcode = 0; opcode < 256; ++opcode) {
        std::copy_n(
            std::array<std::uint8_t, 3>{static_cast<std::uint8_t>(opcode), 0x00, 0x03}.begin(), 3,
            bus.ram.begin() + 0x0200);
        r.pc = 0x0200;
        r.s = 0xFF;
        if (cpu.Step().has_value()) {
            ++documented;
        } else {
            EXPECT_EQ(r.pc, 0x0200) << "opcode " << opcode;
        }
    }
    EXPECT_EQ(documented, 151);
}

}  // namespace
}  // namespace korvane::sim
