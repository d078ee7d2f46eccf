// A simulated Atari that boots an ATR image: a 6502 core (the instructions the loader and
// the test programs use, binary arithmetic, a clock that counts instructions) and a
// stand-in for the OS: the disk boot, SIO sector reads, the screen editor's CLOSE/OPEN,
// the BASIC ROM switched by port B, and the frame counter. What the booted program does
// is recorded for tests.
#pragma once

#include <algorithm>
#include <array>
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
// registers and flags (P without B) it hands over; by default those of a direct load.
struct Call {
    char kind;
    int address;
    int a = 0x07, x = 0x0C, y = 0xFF, flags = 0x80;
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
    bool basic_rom = false;  // BASIC still banked in at the end
    std::uint64_t instructions = 0;

    std::uint16_t Word(std::uint16_t address) const { return ram[address] | ram[address + 1] << 8; }
    std::string ScreenRow() const {  // row 0 of the text screen at SAVMSC, blanks cut
        std::string text;
        for (int i = 0; i < 40; ++i) {
            const int code = ram[Word(0x58) + i] & 0x7F;  // internal code -> ATASCII
            text += static_cast<char>(code < 0x40 ? code + 0x20 : code < 0x60 ? code - 0x40 : code);
        }
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }
};

namespace detail {

// OS addresses, named as in the Atari OS manual.
constexpr std::uint16_t kTramsz = 0x06, kBootq = 0x09, kDosvec = 0x0A, kDosini = 0x0C,
                        kRtclok = 0x12, kSavmsc = 0x58, kRamtop = 0x6A, kColdst = 0x0244,
                        kRunad = 0x02E0, kInitad = 0x02E2, kMemlo = 0x02E7, kDcb = 0x0300,
                        kIccom = 0x0342, kCasbuf = 0x0400, kPortb = 0xD301, kPbctl = 0xD303,
                        kCiov = 0xE456, kSiov = 0xE459, kBlkbdv = 0xE471, kColdsv = 0xE477,
                        kReturnTrap = 0xFFF0;
enum Flag { C = 0x01, Z = 0x02, I = 0x04, D = 0x08, B = 0x10, V = 0x40, N = 0x80 };
constexpr int kAcc = -1;  // the operand "address" of the accumulator and of no operand

struct Atari {
    using Handler = void (*)(Atari&, int);
    static const std::array<Handler, 256>& Instructions();

    // Port B bit 1, an output and low: the XL/XE BASIC ROM lies over $A000-$BFFF.
    bool BasicOn() const { return xl && (ddrb & 2) != 0 && (portb & 2) == 0; }
    bool IsRom(int a) const { return a >= 0xC000 || (a >= 0xA000 && BasicOn()); }
    std::uint8_t Read(int a) {
        if ((a & 0xFF03) == kPortb) {  // control bit 2 clear: the direction register
            return (pbctl & 4) == 0 ? ddrb : static_cast<std::uint8_t>(portb | ~ddrb);
        }
        return a == kAcc ? this->a : (a & 0xFF03) == kPbctl ? pbctl : IsRom(a) ? 0x5A : Ram(a);
    }
    void Write(int a, int value) {
        const auto v = static_cast<std::uint8_t>(value);
        if ((a & 0xFF03) == kPortb) {
            ((pbctl & 4) == 0 ? ddrb : portb) = v;
        } else if ((a & 0xFF03) == kPbctl) {
            pbctl = v;
        } else if (a == kAcc) {
            this->a = v;
        } else if (!IsRom(a) && (a < 0xD000 || a >= 0xD800)) {
            Ram(a) = v;
        }
    }
    std::uint8_t& Ram(int a) { return r.ram[static_cast<std::uint16_t>(a)]; }
    std::uint16_t Word(int a) { return static_cast<std::uint16_t>(Ram(a) | Ram(a + 1) << 8); }
    void SetWord(int a, int v) {
        Ram(a) = static_cast<std::uint8_t>(v);
        Ram(a + 1) = static_cast<std::uint8_t>(v >> 8);
    }
    std::uint8_t Next() { return Read(pc++); }
    void Push(int v) { Write(0x100 | s--, v); }
    std::uint8_t Pull() { return Read(0x100 | ++s); }
    std::uint16_t PullWord() {  // the low byte first: the operands of | have no order
        const std::uint8_t low = Pull();
        return static_cast<std::uint16_t>(low | Pull() << 8);
    }
    void SetFlag(int f, bool on) { p = static_cast<std::uint8_t>(on ? p | f : p & ~f); }
    std::uint8_t SetZn(int v) {
        SetFlag(Z, (v & 0xFF) == 0);
        SetFlag(N, (v & N) != 0);
        return static_cast<std::uint8_t>(v);
    }
    void Compare(int reg, int a) {
        SetFlag(C, reg >= Read(a));
        SetZn(reg - Read(a));
    }
    void Add(int v) {  // binary only: the decimal flag is not modelled
        const int sum = a + (v & 0xFF) + (p & C);
        SetFlag(V, ((a ^ sum) & (v ^ sum) & 0x80) != 0);
        SetFlag(C, sum > 0xFF);
        a = SetZn(sum);
    }
    void Jump(int target) { pc = static_cast<std::uint16_t>(target); }
    int Address(std::uint8_t op);
    BootEnd Run();
    BootEnd Call(int address);
    void Trap();
    void OpenEditor();
    BootResult Boot();

    std::span<const std::uint8_t> atr;
    BootOptions options;
    bool xl;
    std::uint8_t portb = xl && options.machine == Machine::kXlBasicOn ? 0xFD : 0xFF,
                 ddrb = xl ? 0xFF : 0, pbctl = 0x3C;
    // as the OS calls the boot sectors: A the load address's high byte, X as the reads left it
    std::uint8_t a = 0x07, x = 0xF9, y = 0xFF, s = 0xFF, p = N | 0x20;
    std::uint16_t pc = 0;
    std::uint8_t op = 0;  // the instruction being run
    bool returned = false;
    BootResult r{};
};

// The instructions the loader and the test programs use, each with its opcodes; a
// handler gets the operand address. Any other opcode stops the run.
inline const std::array<Atari::Handler, 256>& Atari::Instructions() {
    static const std::array<Handler, 256> table = [] {
        const std::pair<const char*, Handler> rows[] = {
            {"A9A5B5ADBDB9A1B1", [](Atari& m, int a) { m.a = m.SetZn(m.Read(a)); }},  // LDA
            {"A2A6B6AEBE", [](Atari& m, int a) { m.x = m.SetZn(m.Read(a)); }},        // LDX
            {"A0A4B4ACBC", [](Atari& m, int a) { m.y = m.SetZn(m.Read(a)); }},        // LDY
            {"85958D9D998191", [](Atari& m, int a) { m.Write(a, m.a); }},             // STA
            {"86968E", [](Atari& m, int a) { m.Write(a, m.x); }},                     // STX
            {"0905150D1D190111", [](Atari& m, int a) { m.a = m.SetZn(m.a | m.Read(a)); }},
            {"2925352D3D392131", [](Atari& m, int a) { m.a = m.SetZn(m.a & m.Read(a)); }},
            {"4945554D5D594151", [](Atari& m, int a) { m.a = m.SetZn(m.a ^ m.Read(a)); }},
            {"6965756D7D796171", [](Atari& m, int a) { m.Add(m.Read(a)); }},          // ADC
            {"E9E5F5EDFDF9E1F1", [](Atari& m, int a) { m.Add(~m.Read(a)); }},         // SBC
            {"C9C5D5CDDDD9C1D1", [](Atari& m, int a) { m.Compare(m.a, a); }},         // CMP
            {"E0E4EC", [](Atari& m, int a) { m.Compare(m.x, a); }},                   // CPX
            {"C0C4CC", [](Atari& m, int a) { m.Compare(m.y, a); }},                   // CPY
            {"242C", [](Atari& m, int a) {  // BIT
                 const std::uint8_t v = m.Read(a);
                 m.SetFlag(Z, (m.a & v) == 0);
                 m.SetFlag(N, (v & N) != 0);
                 m.SetFlag(V, (v & V) != 0);
             }},
            {"4A", [](Atari& m, int) { m.SetFlag(C, (m.a & 1) != 0); m.a = m.SetZn(m.a >> 1); }},  // LSR A
            {"E6F6EEFE", [](Atari& m, int a) { m.Write(a, m.SetZn(m.Read(a) + 1)); }},
            {"C6D6CEDE", [](Atari& m, int a) { m.Write(a, m.SetZn(m.Read(a) - 1)); }},
            {"E8", [](Atari& m, int) { m.x = m.SetZn(m.x + 1); }},
            {"CA", [](Atari& m, int) { m.x = m.SetZn(m.x - 1); }},
            {"C8", [](Atari& m, int) { m.y = m.SetZn(m.y + 1); }},
            {"AAA8BA", [](Atari& m, int) { (m.op == 0xA8 ? m.y : m.x) = m.SetZn(m.op == 0xBA ? m.s : m.a); }},  // TAX TAY TSX
            {"8A", [](Atari& m, int) { m.a = m.SetZn(m.x); }},
            {"98", [](Atari& m, int) { m.a = m.SetZn(m.y); }},
            {"48", [](Atari& m, int) { m.Push(m.a); }},
            {"68", [](Atari& m, int) { m.a = m.SetZn(m.Pull()); }},
            {"08", [](Atari& m, int) { m.Push(m.p | B | 0x20); }},
            {"28", [](Atari& m, int) { m.p = m.Pull(); }},
            {"1030507090B0D0F0", [](Atari& m, int a) {  // branches: flag by bits 7-6, taken on bit 5
                 const bool set = (m.p & std::array{N, V, C, Z}[m.op >> 6]) != 0;
                 m.pc = static_cast<std::uint16_t>(m.pc + (set == ((m.op & 0x20) != 0) ? static_cast<std::int8_t>(m.Read(a)) : 0));
             }},
            {"18385878B8D8F8", [](Atari& m, int) {  // CLC SEC CLI SEI CLV CLD SED
                 m.SetFlag(std::array{C, I, V, D}[m.op >> 6], (m.op & 0x20) != 0 && m.op != 0xB8);
             }},
            {"4C", [](Atari& m, int a) { m.Jump(a); }},
            {"20", [](Atari& m, int a) {
                 m.Push((m.pc - 1) >> 8);
                 m.Push(m.pc - 1);
                 m.Jump(a);
             }},
            {"60", [](Atari& m, int) { m.Jump(m.PullWord() + 1); }},
            {"6C", [](Atari& m, int a) {  // the pointer's high byte comes from the same page
                 m.Jump(m.Read(a) | m.Read((a & 0xFF00) | ((a + 1) & 0xFF)) << 8);
                 if (a == kInitad || a == kRunad) {
                     m.r.calls.push_back({a == kInitad ? 'I' : 'R', m.pc, m.a, m.x, m.y, m.p & ~(B | 0x20)});
                 }
             }},
        };
        std::array<Handler, 256> handlers{};
        for (const auto& [codes, handler] : rows) {
            for (const char* code = codes; *code != 0; code += 2) {
                handlers[std::stoi(std::string(code, 2), nullptr, 16)] = handler;
            }
        }
        return handlers;
    }();
    return table;
}

// The operand address from the opcode's row aaa, column bbb and group (bits 1-0).
inline int Atari::Address(std::uint8_t op) {
    const int aaa = op >> 5, bbb = op >> 2 & 7, group = op & 3;
    if (op == 0x20 || (group == 0 && bbb == 3)) {  // JSR, JMP and the absolute column
        const std::uint8_t low = Next();
        return low | Next() << 8;
    }
    if ((group != 1 && (bbb == 0 || bbb == 4) && (aaa >= 5 || bbb == 4 || group == 2)) ||
        (group == 1 && bbb == 2)) {
        return pc++;  // immediate, or a branch's offset
    }
    if ((group == 0 && (bbb == 0 || bbb == 2 || bbb == 6)) ||
        (group == 2 && (bbb == 2 || bbb == 6))) {
        return kAcc;  // implied or the accumulator
    }
    const bool by_y = (group == 2 && (aaa == 4 || aaa == 5)) || (group == 1 && bbb == 6);
    const int index = bbb >= 5 ? (by_y ? y : x) : 0;
    if (group == 1 && (bbb == 0 || bbb == 4)) {  // (zp,X) and (zp),Y: pointers stay in page 0
        const int z = Next() + (bbb == 0 ? x : 0);
        return static_cast<std::uint16_t>((Ram(z & 0xFF) | Ram((z + 1) & 0xFF) << 8) +
                                          (bbb == 4 ? y : 0));
    }
    if (bbb == 1 || bbb == 5) {
        return (Next() + index) & 0xFF;
    }
    const std::uint8_t low = Next();
    return static_cast<std::uint16_t>((low | Next() << 8) + index);
}

// Runs until the program returns to the OS (`returned`), halts (a jump to itself), or
// leaves what is modelled; the frame counter RTCLOK moves every 8000 instructions.
inline BootEnd Atari::Run() {
    returned = false;
    std::uint16_t at = 0;
    while (pc != at && r.instructions < 20'000'000) {
        if (pc == kSiov || pc == kCiov) {
            Trap();
        }
        at = pc;
        const Handler handler = IsRom(pc) ? nullptr : Instructions()[Read(pc)];
        if (handler == nullptr) {
            returned = pc == kReturnTrap;
            return pc == kColdsv ? BootEnd::kColdStart : BootEnd::kStopped;
        }
        op = Next();
        handler(*this, Address(op));
        if (++r.instructions % 8000 == 0) {
            for (int i = 2; i >= 0 && ++Ram(kRtclok + i) == 0; --i) {
            }
        }
    }
    return pc == at ? BootEnd::kHalted : BootEnd::kStopped;
}

inline BootEnd Atari::Call(int address) {
    Push((kReturnTrap - 1) >> 8);
    Push(kReturnTrap - 1);
    Jump(address);
    return Run();
}

// SIOV: sector reads of drive 1 with a well-formed block; CIOV: CLOSE and OPEN on IOCB 0,
// the screen editor the OS opened. Status in Y, DSTATS and N, A and X scrambled, then the RTS.
inline void Atari::Trap() {
    std::uint8_t status = 1;
    if (pc == kSiov) {
        // Sectors 1-3 hold 128 bytes, the others the header's sector size (short layout).
        const int sector = Word(kDcb + 10), size = sector <= 3 ? 128 : atr[4] | atr[5] << 8;
        const std::size_t offset =
            sector <= 3
                ? 16 + static_cast<std::size_t>(sector - 1) * 128
                : 16 + 384 + static_cast<std::size_t>(sector - 4) * static_cast<std::size_t>(size);
        const bool valid = Ram(kDcb) == 0x31 && Ram(kDcb + 1) == 1 && Ram(kDcb + 2) == 'R' &&
                           Ram(kDcb + 3) == 0x40 && Word(kDcb + 8) == size && Ram(kDcb + 6) != 0;
        if (!valid || sector < 1 || offset + static_cast<std::size_t>(size) > atr.size() ||
            options.failing_reads[sector]-- > 0) {
            status = 0x90;
        }
        for (int i = 0; i < size && status == 1; ++i) {
            Write(Word(kDcb + 4) + i, atr[offset + static_cast<std::size_t>(i)]);
        }
        r.reads.push_back(status == 1 ? sector : -sector);
        Ram(kDcb + 3) = status;
    } else {
        const std::uint8_t command = Ram(kIccom + x);
        if (x != 0 || (command != 0x0C && command != 0x03)) {
            status = 0x84;
        } else if (command == 0x03) {
            OpenEditor();
        }
    }
    y = SetZn(status);
    a = x = 0xA5;
    Jump(PullWord() + 1);
}

// The editor's screen: 24 blank rows of 40 bytes, $3C0 bytes below RAMTOP.
inline void Atari::OpenEditor() {
    const int screen = Ram(kRamtop) * 256 - 0x3C0;
    std::fill_n(r.ram.begin() + screen, 960, 0);
    SetWord(kSavmsc, screen);
}

// Power-on, the disk boot, DOSINI and DOSVEC as the OS does them.
inline BootResult Atari::Boot() {
    r.ram.assign(0x10000, 0);
    Ram(kRamtop) = BasicOn() ? 0xA0 : 0xC0;
    Ram(kTramsz) = BasicOn() ? 1 : 0;
    SetWord(kMemlo, 0x0700);
    SetWord(kDosvec, kBlkbdv);
    Ram(kColdst) = 1;
    OpenEditor();
    std::copy_n(atr.begin() + 16, 128, r.ram.begin() + kCasbuf);
    const std::uint16_t load = Word(kCasbuf + 2);
    SetWord(kDosini, Word(kCasbuf + 4));
    for (int sector = 1; sector <= Ram(kCasbuf + 1) && load + sector * 128 <= 0x10000; ++sector) {
        std::copy_n(atr.begin() + 16 + (sector - 1) * 128, 128,
                    r.ram.begin() + load + (sector - 1) * 128);
        r.reads.push_back(sector);
    }
    r.end = Call(load + 6);
    if (returned && (p & C) == 0) {
        r.end = Call(Word(kDosini));
        Ram(kBootq) |= 1;
        Ram(kColdst) = 0;
        if (returned && Ram(kTramsz) == 0) {
            Jump(Word(kDosvec));
            r.end = Run();
        }
    }
    r.pc = pc;
    r.basic_rom = BasicOn();
    return std::move(r);
}

}  // namespace detail

inline BootResult BootAtr(std::span<const std::uint8_t> atr, const BootOptions& options = {}) {
    detail::Atari machine{atr, options, options.machine != Machine::kAtari800};
    return machine.Boot();
}

}  // namespace korvane::sim
