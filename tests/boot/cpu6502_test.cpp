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

class CpuTest : public ::testing::Test {
  protected:
    // Places `code` at `at` and points PC there.
    void Load(std::uint16_t at, std::initializer_list<std::uint8_t> code) {
        std::uint16_t address = at;
        for (std::uint8_t byte : code) {
            bus.ram[address++] = byte;
        }
        cpu.registers().pc = at;
    }
    int Step() {
        const auto cycles = cpu.Step();
        EXPECT_TRUE(cycles.has_value());
        return cycles.value_or(0);
    }
    bool Has(std::uint8_t bit) const { return (cpu.registers().p & bit) != 0; }

    // A + operand with the given carry, in binary or decimal mode.
    void Add(std::uint8_t a, std::uint8_t operand, bool carry, bool decimal) {
        Load(0x0200, {static_cast<std::uint8_t>(carry ? 0x38 : 0x18),    // SEC / CLC
                      static_cast<std::uint8_t>(decimal ? 0xF8 : 0xD8),  // SED / CLD
                      0xA9, a,                                           // LDA #a
                      0x69, operand});                                   // ADC #operand
        Step();
        Step();
        Step();
        Step();
    }
    void Subtract(std::uint8_t a, std::uint8_t operand, bool carry, bool decimal) {
        Load(0x0200, {static_cast<std::uint8_t>(carry ? 0x38 : 0x18),
                      static_cast<std::uint8_t>(decimal ? 0xF8 : 0xD8), 0xA9, a, 0xE9,
                      operand});  // SBC #operand
        Step();
        Step();
        Step();
        Step();
    }

    FlatBus bus;
    Cpu6502 cpu{bus};
};

struct ArithmeticCase {
    std::uint8_t a, operand;
    bool carry_in;
    std::uint8_t result;
    bool carry, zero, negative, overflow;
};

TEST_F(CpuTest, BinaryAddSetsAllFourFlags) {
    const ArithmeticCase cases[] = {
        {0x01, 0x01, false, 0x02, false, false, false, false},
        {0x50, 0x50, false, 0xA0, false, false, true, true},  // two positives give a negative
        {0xFF, 0x01, false, 0x00, true, true, false, false},
        {0x80, 0xFF, false, 0x7F, true, false, false, true},  // two negatives give a positive
        {0x7F, 0x00, true, 0x80, false, false, true, true},   // the carry alone overflows
    };
    for (const auto& c : cases) {
        Add(c.a, c.operand, c.carry_in, false);
        SCOPED_TRACE(testing::Message() << std::hex << int(c.a) << "+" << int(c.operand));
        EXPECT_EQ(cpu.registers().a, c.result);
        EXPECT_EQ(Has(flag::kCarry), c.carry);
        EXPECT_EQ(Has(flag::kZero), c.zero);
        EXPECT_EQ(Has(flag::kNegative), c.negative);
        EXPECT_EQ(Has(flag::kOverflow), c.overflow);
    }
}

TEST_F(CpuTest, BinarySubtractBorrowsThroughCarry) {
    const ArithmeticCase cases[] = {
        {0x05, 0x03, true, 0x02, true, false, false, false},
        {0x00, 0x01, true, 0xFF, false, false, true, false},
        {0x50, 0xB0, true, 0xA0, false, false, true, true},
        {0x80, 0x01, true, 0x7F, true, false, false, true},
        {0x05, 0x05, false, 0xFF, false, false, true, false},  // carry clear borrows one more
    };
    for (const auto& c : cases) {
        Subtract(c.a, c.operand, c.carry_in, false);
        SCOPED_TRACE(testing::Message() << std::hex << int(c.a) << "-" << int(c.operand));
        EXPECT_EQ(cpu.registers().a, c.result);
        EXPECT_EQ(Has(flag::kCarry), c.carry);
        EXPECT_EQ(Has(flag::kZero), c.zero);
        EXPECT_EQ(Has(flag::kNegative), c.negative);
        EXPECT_EQ(Has(flag::kOverflow), c.overflow);
    }
}

TEST_F(CpuTest, DecimalAddGivesBcdAndNmosFlags) {
    Add(0x58, 0x46, true, true);  // 58 + 46 + 1 = 105
    EXPECT_EQ(cpu.registers().a, 0x05);
    EXPECT_TRUE(Has(flag::kCarry));

    Add(0x12, 0x34, false, true);
    EXPECT_EQ(cpu.registers().a, 0x46);
    EXPECT_FALSE(Has(flag::kCarry));

    Add(0x15, 0x26, false, true);  // the low digit carries
    EXPECT_EQ(cpu.registers().a, 0x41);

    // 99 + 1 = 100: A is 00 with carry, yet the NMOS part takes Z from the binary sum
    // ($9A) and N from the sum before the high digit is adjusted.
    Add(0x99, 0x01, false, true);
    EXPECT_EQ(cpu.registers().a, 0x00);
    EXPECT_TRUE(Has(flag::kCarry));
    EXPECT_FALSE(Has(flag::kZero));
    EXPECT_TRUE(Has(flag::kNegative));

    Add(0x79, 0x00, true, true);  // 80: V set as in binary 79 + 1 after the low digit
    EXPECT_EQ(cpu.registers().a, 0x80);
    EXPECT_TRUE(Has(flag::kOverflow));
    EXPECT_TRUE(Has(flag::kNegative));
}

TEST_F(CpuTest, DecimalSubtractGivesBcdAndBinaryFlags) {
    Subtract(0x46, 0x12, true, true);
    EXPECT_EQ(cpu.registers().a, 0x34);
    EXPECT_TRUE(Has(flag::kCarry));

    Subtract(0x40, 0x13, true, true);  // the low digit borrows
    EXPECT_EQ(cpu.registers().a, 0x27);
    EXPECT_TRUE(Has(flag::kCarry));

    Subtract(0x32, 0x02, false, true);  // carry clear: one more
    EXPECT_EQ(cpu.registers().a, 0x29);

    Subtract(0x00, 0x01, true, true);  // 0 - 1 = 99 with a borrow
    EXPECT_EQ(cpu.registers().a, 0x99);
    EXPECT_FALSE(Has(flag::kCarry));
    EXPECT_TRUE(Has(flag::kNegative));  // from the binary $FF

    Subtract(0x21, 0x21, true, true);
    EXPECT_EQ(cpu.registers().a, 0x00);
    EXPECT_TRUE(Has(flag::kZero));
}

TEST_F(CpuTest, BranchesCostOneMoreTakenAndAnotherAcrossAPage) {
    Load(0x10F0, {0xD0, 0x02});  // BNE +2, Z clear: taken within the page
    cpu.registers().p &= static_cast<std::uint8_t>(~flag::kZero);
    EXPECT_EQ(Step(), 3);
    EXPECT_EQ(cpu.registers().pc, 0x10F4);

    Load(0x10FD, {0xD0, 0x05});  // from $10FF forward to $1104: crosses a page
    EXPECT_EQ(Step(), 4);
    EXPECT_EQ(cpu.registers().pc, 0x1104);

    Load(0x1000, {0xD0, 0xFC});  // backward from $1002 to $0FFE
    EXPECT_EQ(Step(), 4);
    EXPECT_EQ(cpu.registers().pc, 0x0FFE);

    Load(0x1000, {0xF0, 0x10});  // BEQ with Z clear: not taken
    EXPECT_EQ(Step(), 2);
    EXPECT_EQ(cpu.registers().pc, 0x1002);
}

TEST_F(CpuTest, IndirectJumpTakesHighByteFromTheSamePage) {
    bus.ram[0x30FF] = 0x40;
    bus.ram[0x3000] = 0x12;  // the NMOS part reads here ...
    bus.ram[0x3100] = 0x99;  // ... not here
    std::uint16_t seen_pointer = 0;
    cpu.on_indirect_jump = [&](std::uint16_t pointer, std::uint16_t) { seen_pointer = pointer; };
    Load(0x0200, {0x6C, 0xFF, 0x30});
    EXPECT_EQ(Step(), 5);
    EXPECT_EQ(cpu.registers().pc, 0x1240);
    EXPECT_EQ(seen_pointer, 0x30FF);
}

TEST_F(CpuTest, JsrPushesLastByteOfItselfAndRtsReturnsPastIt) {
    Load(0x0300, {0x20, 0x00, 0x40});  // JSR $4000
    bus.ram[0x4000] = 0x60;            // RTS
    cpu.registers().s = 0xFF;
    EXPECT_EQ(Step(), 6);
    EXPECT_EQ(cpu.registers().s, 0xFD);
    EXPECT_EQ(bus.ram[0x01FF], 0x03);
    EXPECT_EQ(bus.ram[0x01FE], 0x02);
    EXPECT_EQ(Step(), 6);
    EXPECT_EQ(cpu.registers().pc, 0x0303);
    EXPECT_EQ(cpu.registers().s, 0xFF);
}

TEST_F(CpuTest, StackPointerWrapsWithinPageOne) {
    Load(0x0200, {0x48, 0x68});  // PHA, PLA
    cpu.registers().s = 0x00;
    cpu.registers().a = 0x5A;
    Step();
    EXPECT_EQ(bus.ram[0x0100], 0x5A);
    EXPECT_EQ(cpu.registers().s, 0xFF);
    cpu.registers().a = 0;
    Step();
    EXPECT_EQ(cpu.registers().a, 0x5A);
    EXPECT_EQ(cpu.registers().s, 0x00);
}

TEST_F(CpuTest, BrkPushesBreakFlagAndRtiRestoresWithoutIt) {
    bus.ram[0xFFFE] = 0x00;
    bus.ram[0xFFFF] = 0x50;
    bus.ram[0x5000] = 0x40;  // RTI
    Load(0x0400, {0x00, 0xEA});
    cpu.registers().s = 0xFF;
    cpu.registers().p = flag::kUnused | flag::kCarry;
    EXPECT_EQ(Step(), 7);
    EXPECT_EQ(cpu.registers().pc, 0x5000);
    EXPECT_TRUE(Has(flag::kInterrupt));
    EXPECT_EQ(bus.ram[0x01FF], 0x04);  // return address: BRK + 2
    EXPECT_EQ(bus.ram[0x01FE], 0x02);
    EXPECT_EQ(bus.ram[0x01FD], flag::kUnused | flag::kBreak | flag::kCarry);
    EXPECT_EQ(Step(), 6);
    EXPECT_EQ(cpu.registers().pc, 0x0402);
    EXPECT_EQ(cpu.registers().p, flag::kUnused | flag::kCarry);
}

TEST_F(CpuTest, PhpPlpKeepBreakOutOfTheStatus) {
    Load(0x0200, {0x08, 0xA9, 0x00, 0x28});  // PHP, LDA #0, PLP
    cpu.registers().p = flag::kUnused | flag::kNegative;
    Step();
    EXPECT_EQ(bus.ram[0x01FF], flag::kUnused | flag::kBreak | flag::kNegative);
    Step();
    EXPECT_TRUE(Has(flag::kZero));
    Step();
    EXPECT_EQ(cpu.registers().p, flag::kUnused | flag::kNegative);
}

TEST_F(CpuTest, ZeroPageIndexingAndPointersStayInPageZero) {
    bus.ram[0x0005] = 0x77;
    Load(0x0200, {0xB5, 0xFF});  // LDA $FF,X with X = 6 reads $05
    cpu.registers().x = 0x06;
    Step();
    EXPECT_EQ(cpu.registers().a, 0x77);

    bus.ram[0x00FF] = 0x34;  // pointer low at $FF, high from $00
    bus.ram[0x0000] = 0x12;
    bus.ram[0x1236] = 0x99;
    Load(0x0200, {0xB1, 0xFF});  // LDA ($FF),Y with Y = 2
    cpu.registers().y = 0x02;
    EXPECT_EQ(Step(), 5);
    EXPECT_EQ(cpu.registers().a, 0x99);

    bus.ram[0x0001] = 0x00;  // ($FF,X) with X = 2: pointer at $01/$02
    bus.ram[0x0002] = 0x45;
    bus.ram[0x4500] = 0x3C;
    Load(0x0200, {0xA1, 0xFF});
    cpu.registers().x = 0x02;
    Step();
    EXPECT_EQ(cpu.registers().a, 0x3C);
}

TEST_F(CpuTest, IndexedReadsCostOneMoreAcrossAPageButStoresDoNot) {
    bus.ram[0x2100] = 0x42;
    Load(0x0200, {0xBD, 0xF0, 0x20});  // LDA $20F0,X with X = $10
    cpu.registers().x = 0x10;
    EXPECT_EQ(Step(), 5);
    EXPECT_EQ(cpu.registers().a, 0x42);
    Load(0x0200, {0xBD, 0x00, 0x21});  // same page
    EXPECT_EQ(Step(), 4);
    Load(0x0200, {0x9D, 0xF0, 0x20});  // STA $20F0,X: always 5
    cpu.registers().a = 0x5C;
    EXPECT_EQ(Step(), 5);
    EXPECT_EQ(bus.ram[0x2100], 0x5C);
}

TEST_F(CpuTest, RotatesShiftThroughCarryAndCompareSetsFlags) {
    Load(0x0200, {0x38, 0xA9, 0x80, 0x2A, 0x6A, 0x6A});  // SEC, LDA #$80, ROL, ROR, ROR
    Step();
    Step();
    Step();
    EXPECT_EQ(cpu.registers().a, 0x01);
    EXPECT_TRUE(Has(flag::kCarry));
    Step();
    EXPECT_EQ(cpu.registers().a, 0x80);
    EXPECT_TRUE(Has(flag::kCarry));
    Step();
    EXPECT_EQ(cpu.registers().a, 0xC0);
    EXPECT_FALSE(Has(flag::kCarry));

    Load(0x0200, {0xC9, 0x41});  // CMP #$41 with A = $40
    cpu.registers().a = 0x40;
    Step();
    EXPECT_FALSE(Has(flag::kCarry));
    EXPECT_TRUE(Has(flag::kNegative));
    EXPECT_FALSE(Has(flag::kZero));
}

TEST_F(CpuTest, BitCopiesBitsSevenAndSixOfMemory) {
    bus.ram[0x0010] = 0xC0;
    Load(0x0200, {0x24, 0x10});
    cpu.registers().a = 0x01;
    Step();
    EXPECT_TRUE(Has(flag::kZero));
    EXPECT_TRUE(Has(flag::kNegative));
    EXPECT_TRUE(Has(flag::kOverflow));
}

TEST_F(CpuTest, ExactlyTheDocumentedOpcodesExecute) {
    int documented = 0;
    for (int opcode = 0; opcode < 256; ++opcode) {
        Load(0x0200, {static_cast<std::uint8_t>(opcode), 0x00, 0x03});
        cpu.registers().s = 0xFF;
        if (cpu.Step().has_value()) {
            ++documented;
        } else {
            EXPECT_EQ(cpu.registers().pc, 0x0200) << "opcode " << opcode;
        }
    }
    EXPECT_EQ(documented, 151);
}

}  // namespace
}  // namespace korvane::sim
