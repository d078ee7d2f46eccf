#include "boot_sim.h"

#include <algorithm>
#include <set>

#include "atari_addresses.h"
#include "atr_disk.h"
#include "cpu6502.h"

namespace korvane::sim {

namespace {

// Where the stand-in's calls (boot routine, DOSINI) return to: an address inside the
// OS ROM that no program calls.
constexpr std::uint16_t kReturnTrap = 0xFFF0;
constexpr std::uint16_t kRomFirst = 0xC000;
constexpr std::uint16_t kBasicFirst = 0xA000;
// What the simulated SIO and CIO leave in registers they do not report in.
constexpr std::uint8_t kScrambled = 0xA5;
constexpr std::uint16_t kBootSectorCount = 1;
constexpr std::uint16_t kBootLoadAddress = 2;
constexpr std::uint16_t kBootInitAddress = 4;
constexpr std::uint16_t kBootEntryOffset = 6;
constexpr std::uint8_t kDiskTimeout = 7;

// How a stretch of simulated execution ended.
enum class Stop { kReturned, kHalted, kColdStart, kWarmStart, kRomCall, kIllegal, kStepLimit };

BootEnd ToEnd(Stop stop) {
    switch (stop) {
        case Stop::kHalted:
            return BootEnd::kHalted;
        case Stop::kColdStart:
            return BootEnd::kColdStart;
        case Stop::kWarmStart:
            return BootEnd::kWarmStart;
        case Stop::kIllegal:
            return BootEnd::kIllegalOpcode;
        case Stop::kStepLimit:
            return BootEnd::kStepLimit;
        case Stop::kReturned:  // a return with nothing to return to
        case Stop::kRomCall:
            break;
    }
    return BootEnd::kRomCall;
}

class Simulation {
  public:
    Simulation(std::span<const std::uint8_t> atr, const BootOptions& options)
        : memory_(options.machine),
          cpu_(memory_),
          disk_(atr, options.failing_reads),
          options_(options) {
        cpu_.on_indirect_jump = [this](std::uint16_t pointer, std::uint16_t target) {
            if (pointer == os::kInitad) {
                result_.calls.push_back({CallKind::kInit, target});
            } else if (pointer == os::kRunad) {
                result_.calls.push_back({CallKind::kRun, target});
            }
        };
    }

    BootResult Boot();

  private:
    void PowerOn();
    bool LoadBootSectors();
    Stop AfterBoot(std::optional<std::uint16_t>* dosini_called,
                   std::optional<std::uint16_t>* dosvec_target);
    void PressReset();
    Stop Call(std::uint16_t address);
    Stop Run();
    std::optional<Stop> Trap(std::uint16_t pc);
    void Sio(bool from_dskinv);
    void Cio();
    void OpenScreenEditor();
    void ReturnFromTrap(std::uint8_t status);
    void Tick(int cycles);
    bool ReadSector(int sector, std::uint16_t buffer);
    std::uint8_t Peek(std::uint16_t address) { return memory_.ram()[address]; }
    std::uint16_t PeekWord(std::uint16_t address) {
        return static_cast<std::uint16_t>(Peek(address) |
                                          Peek(static_cast<std::uint16_t>(address + 1)) << 8);
    }
    void Poke(std::uint16_t address, std::uint8_t value) { memory_.ram()[address] = value; }
    void PokeWord(std::uint16_t address, std::uint16_t value) {
        Poke(address, static_cast<std::uint8_t>(value));
        Poke(static_cast<std::uint16_t>(address + 1), static_cast<std::uint8_t>(value >> 8));
    }

    AtariMemory memory_;
    Cpu6502 cpu_;
    AtrDisk disk_;
    BootOptions options_;
    BootResult result_;
    std::uint64_t frame_cycles_ = 0;
};

// The state the OS leaves before it boots the disk: screen editor open below RAMTOP,
// DOSVEC at the memo pad, a cold start in progress.
void Simulation::PowerOn() {
    const bool basic = options_.machine == Machine::kXlBasicOn;
    Poke(os::kRamtop, basic ? 0xA0 : 0xC0);
    Poke(os::kTramsz, basic ? 1 : 0);
    PokeWord(os::kMemlo, 0x0700);
    PokeWord(os::kDosvec, os::kBlkbdv);
    Poke(os::kColdst, 1);
    OpenScreenEditor();
    cpu_.registers().s = 0xFF;
}

bool Simulation::ReadSector(int sector, std::uint16_t buffer) {
    const auto bytes = disk_.Read(sector);
    result_.sector_reads.push_back({sector, bytes.has_value(), true});
    if (!bytes) {
        return false;
    }
    for (std::size_t i = 0; i < bytes->size(); ++i) {
        memory_.Write(static_cast<std::uint16_t>(buffer + i), (*bytes)[i]);
    }
    return true;
}

// Sector 1 to $0400, the boot header read, sectors 1..n placed from the load address.
// False when the boot cannot go on.
bool Simulation::LoadBootSectors() {
    if (!ReadSector(1, os::kCasbuf)) {
        return false;
    }
    result_.boot_sectors = Peek(os::kCasbuf + kBootSectorCount);
    result_.load_address = PeekWord(os::kCasbuf + kBootLoadAddress);
    PokeWord(os::kDosini, PeekWord(os::kCasbuf + kBootInitAddress));
    if (result_.boot_sectors == 0) {
        return false;
    }
    for (int sector = 1; sector <= result_.boot_sectors; ++sector) {
        const auto at =
            static_cast<std::uint16_t>(result_.load_address + (sector - 1) * kDiskSectorSize);
        if (sector == 1) {
            for (std::uint16_t i = 0; i < kDiskSectorSize; ++i) {
                memory_.Write(static_cast<std::uint16_t>(at + i), Peek(os::kCasbuf + i));
            }
        } else if (!ReadSector(sector, at)) {
            return false;
        }
    }
    return true;
}

BootResult Simulation::Boot() {
    PowerOn();
    Stop stop = Stop::kReturned;
    if (!LoadBootSectors()) {
        result_.end = BootEnd::kBootFailed;
    } else {
        stop = Call(static_cast<std::uint16_t>(result_.load_address + kBootEntryOffset));
        if (stop == Stop::kReturned && (cpu_.registers().p & flag::kCarry) != 0) {
            result_.end = BootEnd::kBootFailed;
        } else if (stop == Stop::kReturned) {
            result_.boot_returned = true;
            std::optional<std::uint16_t> dosini;
            stop = AfterBoot(&dosini, &result_.dosvec_target);
            result_.end = stop == Stop::kReturned ? BootEnd::kCartridge : ToEnd(stop);
        } else {
            result_.end = ToEnd(stop);
        }
    }
    result_.pc = cpu_.registers().pc;
    if (result_.end == BootEnd::kHalted && options_.press_reset_after_halt) {
        PressReset();
    }
    result_.ram.assign(memory_.ram().begin(), memory_.ram().end());
    result_.portb_output = memory_.portb_output();
    result_.basic_rom_enabled = memory_.BasicRomEnabled();
    result_.screen = ScreenRows(result_.ram, PeekWord(os::kSavmsc));
    return result_;
}

// What the OS does once a boot succeeded, and again on a warm start: call DOSINI,
// note the disk boot, start a cartridge if one is present, else go through DOSVEC.
// Gives kReturned when it would start the cartridge.
Stop Simulation::AfterBoot(std::optional<std::uint16_t>* dosini_called,
                           std::optional<std::uint16_t>* dosvec_target) {
    *dosini_called = PeekWord(os::kDosini);
    if (const Stop stop = Call(**dosini_called); stop != Stop::kReturned) {
        return stop;
    }
    Poke(os::kBoot, static_cast<std::uint8_t>(Peek(os::kBoot) | 0x01));
    Poke(os::kColdst, 0);
    if (Peek(os::kTramsz) != 0) {
        return Stop::kReturned;
    }
    *dosvec_target = PeekWord(os::kDosvec);
    cpu_.registers().pc = **dosvec_target;
    const Stop stop = Run();
    return stop == Stop::kReturned ? Stop::kRomCall : stop;
}

// RESET: a cold start when COLDST says so, else DOSINI (when BOOT? bit 0 is set) and
// DOSVEC as after boot.
void Simulation::PressReset() {
    ResetOutcome outcome;
    cpu_.registers().s = 0xFF;
    if (Peek(os::kColdst) != 0) {
        outcome.end = BootEnd::kColdStart;
        outcome.pc = os::kColdsv;
    } else {
        Stop stop = Stop::kReturned;
        std::optional<std::uint16_t> dosvec;
        if ((Peek(os::kBoot) & 0x01) != 0) {
            stop = AfterBoot(&outcome.dosini_called, &dosvec);
        } else if (Peek(os::kTramsz) == 0) {
            cpu_.registers().pc = PeekWord(os::kDosvec);
            stop = Run();
        }
        outcome.end = stop == Stop::kReturned ? BootEnd::kCartridge : ToEnd(stop);
        outcome.pc = cpu_.registers().pc;
    }
    result_.after_reset = outcome;
}

// A JSR from the OS: runs `address` until it returns to the OS.
Stop Simulation::Call(std::uint16_t address) {
    const auto back = static_cast<std::uint16_t>(kReturnTrap - 1);
    cpu_.Push(static_cast<std::uint8_t>(back >> 8));
    cpu_.Push(static_cast<std::uint8_t>(back));
    cpu_.registers().pc = address;
    return Run();
}

Stop Simulation::Run() {
    for (;;) {
        const std::uint16_t pc = cpu_.registers().pc;
        if (pc == kReturnTrap) {
            return Stop::kReturned;
        }
        if (result_.instructions >= options_.max_instructions) {
            return Stop::kStepLimit;
        }
        if (pc >= kRomFirst || (pc >= kBasicFirst && memory_.BasicRomEnabled())) {
            if (const auto stop = Trap(pc)) {
                return *stop;
            }
            continue;
        }
        const auto cycles = cpu_.Step();
        if (!cycles) {
            return Stop::kIllegal;
        }
        ++result_.instructions;
        Tick(*cycles);
        if (cpu_.registers().pc == pc) {
            return Stop::kHalted;
        }
    }
}

// The OS entry points the simulation models; any other ROM address stops the run.
std::optional<Stop> Simulation::Trap(std::uint16_t pc) {
    switch (pc) {
        case os::kSiov:
            Sio(false);
            return std::nullopt;
        case os::kDskinv:
            Sio(true);
            return std::nullopt;
        case os::kCiov:
            Cio();
            return std::nullopt;
        case os::kColdsv:
            return Stop::kColdStart;
        case os::kWarmsv:
            return Stop::kWarmStart;
        default:
            return Stop::kRomCall;
    }
}

// SIO for disk drive 1: only sector reads into memory. DSKINV first fills in the
// device, direction, timeout and length itself.
void Simulation::Sio(bool from_dskinv) {
    if (from_dskinv) {
        Poke(os::kDdevic, os::kDiskDevice);
        Poke(os::kDstats, os::kDataIn);
        Poke(os::kDtimlo, kDiskTimeout);
        PokeWord(os::kDbytlo, kDiskSectorSize);
    }
    const int sector = PeekWord(os::kDaux1);
    std::uint8_t status = os::kStatusDone;
    if (Peek(os::kDdevic) != os::kDiskDevice || Peek(os::kDunit) != 1 ||
        Peek(os::kDcomnd) != os::kReadCommand) {
        status = os::kStatusTimeout;
        result_.sector_reads.push_back({sector, false, false});
    } else if (Peek(os::kDstats) != os::kDataIn || PeekWord(os::kDbytlo) != kDiskSectorSize ||
               Peek(os::kDtimlo) == 0) {
        status = os::kStatusNak;
        result_.sector_reads.push_back({sector, false, false});
    } else if (!ReadSector(sector, PeekWord(os::kDbuflo))) {
        status = os::kStatusDeviceError;
    }
    Poke(os::kDstats, status);
    cpu_.registers().x = kScrambled;
    ReturnFromTrap(status);
}

// CIO, enough for the screen editor on IOCB 0: CLOSE, and OPEN of "E:".
void Simulation::Cio() {
    const std::uint8_t x = cpu_.registers().x;
    const int iocb = x >> 4;
    const auto command = Peek(static_cast<std::uint16_t>(os::kIccom + x));
    std::uint8_t status = os::kStatusDone;
    if ((x & 0x0F) != 0 || iocb != 0) {
        status = os::kStatusBadIocb;
    } else if (command == os::kCioClose) {
        status = os::kStatusDone;
    } else if (command == os::kCioOpen) {
        const std::uint16_t name = PeekWord(os::kIcbal);
        if (memory_.Read(name) == 'E' &&
            memory_.Read(static_cast<std::uint16_t>(name + 1)) == ':') {
            OpenScreenEditor();
        } else {
            status = os::kStatusNoDevice;
        }
    } else {
        status = os::kStatusBadCommand;
    }
    result_.cio_calls.push_back({iocb, command, status});
    ReturnFromTrap(status);
}

// The editor's screen: 24 blank rows of 40 bytes just below RAMTOP, found through SAVMSC.
void Simulation::OpenScreenEditor() {
    const auto screen =
        static_cast<std::uint16_t>(Peek(os::kRamtop) * 256 - os::kScreenBelowRamtop);
    for (int i = 0; i < os::kScreenRows * os::kScreenColumns; ++i) {
        memory_.Write(static_cast<std::uint16_t>(screen + i), 0);
    }
    PokeWord(os::kSavmsc, screen);
}

// Status in Y and the N flag, A left scrambled, then the RTS of the ROM routine.
void Simulation::ReturnFromTrap(std::uint8_t status) {
    Registers& regs = cpu_.registers();
    regs.y = status;
    regs.a = kScrambled;
    regs.p = static_cast<std::uint8_t>(regs.p & ~(flag::kZero | flag::kNegative));
    regs.p |= (status & 0x80) != 0 ? flag::kNegative : 0;
    const std::uint8_t low = cpu_.Pull();
    const std::uint8_t high = cpu_.Pull();
    regs.pc = static_cast<std::uint16_t>((low | high << 8) + 1);
}

// The vertical blank's frame counter RTCLOK, three bytes, most significant first.
void Simulation::Tick(int cycles) {
    frame_cycles_ += static_cast<std::uint64_t>(cycles);
    while (frame_cycles_ >= os::kCyclesPerFrame) {
        frame_cycles_ -= os::kCyclesPerFrame;
        for (int i = 2; i >= 0; --i) {
            const auto at = static_cast<std::uint16_t>(os::kRtclok + i);
            Poke(at, static_cast<std::uint8_t>(Peek(at) + 1));
            if (Peek(at) != 0) {
                break;
            }
        }
    }
}

}  // namespace

std::uint16_t BootResult::Word(std::uint16_t address) const {
    return static_cast<std::uint16_t>(ram[address] | ram[(address + 1) & 0xFFFF] << 8);
}

std::string BootResult::ScreenText() const {
    std::string text;
    for (const std::string& row : screen) {
        text += row;
        text += '\n';
    }
    return text;
}

std::vector<int> BootResult::SectorsRead() const {
    std::vector<int> sectors;
    std::set<int> seen;
    for (const SectorRead& read : sector_reads) {
        if (read.ok && seen.insert(read.sector).second) {
            sectors.push_back(read.sector);
        }
    }
    return sectors;
}

std::vector<std::string> ScreenRows(std::span<const std::uint8_t> ram, std::uint16_t screen) {
    std::vector<std::string> rows;
    for (int row = 0; row < os::kScreenRows; ++row) {
        std::string text;
        for (int column = 0; column < os::kScreenColumns; ++column) {
            const std::uint8_t code = ram[(screen + row * os::kScreenColumns + column) & 0xFFFF];
            const int internal = code & 0x7F;  // bit 7: inverse video
            int atascii = internal;
            if (internal < 0x40) {
                atascii = internal + 0x20;
            } else if (internal < 0x60) {
                atascii = internal - 0x40;
            }
            text += atascii >= 0x20 && atascii < 0x7F ? static_cast<char>(atascii) : '?';
        }
        text.erase(text.find_last_not_of(' ') + 1);
        rows.push_back(std::move(text));
    }
    return rows;
}

BootResult BootAtr(std::span<const std::uint8_t> atr, const BootOptions& options) {
    return Simulation(atr, options).Boot();
}

}  // namespace korvane::sim
