#include "atari_memory.h"

#include "atari_addresses.h"

namespace korvane::sim {

namespace {

constexpr std::uint16_t kBasicFirst = 0xA000;
constexpr std::uint16_t kBasicLast = 0xBFFF;
constexpr std::uint16_t kRomFirst = 0xC000;
constexpr std::uint16_t kHardwareFirst = 0xD000;
constexpr std::uint16_t kHardwareLast = 0xD7FF;
constexpr std::uint8_t kBasicOffBit = 0x02;
constexpr std::uint8_t kPbctlDataRegister = 0x04;  // clear: port B shows its direction
constexpr std::uint8_t kPbctlPowerOn = 0x3C;
constexpr std::uint8_t kJoysticksIdle = 0xFF;  // inputs read high

// The PIA answers throughout $D300-$D3FF, every four bytes.
bool IsPia(std::uint16_t address, std::uint16_t reg) {
    return (address & 0xFF03) == reg;
}

}  // namespace

AtariMemory::AtariMemory(Machine machine)
    : xl_(machine != Machine::kAtari800), pbctl_(kPbctlPowerOn) {
    if (xl_) {
        portb_direction_ = 0xFF;
        portb_output_ =
            machine == Machine::kXlBasicOn ? static_cast<std::uint8_t>(0xFF & ~kBasicOffBit) : 0xFF;
    }
}

bool AtariMemory::BasicRomEnabled() const {
    return xl_ && (portb_direction_ & kBasicOffBit) != 0 && (portb_output_ & kBasicOffBit) == 0;
}

std::uint8_t AtariMemory::BasicRomByte(std::uint16_t address) {
    return static_cast<std::uint8_t>(address ^ (address >> 8) ^ 0xA5);
}

std::uint8_t AtariMemory::Read(std::uint16_t address) {
    if (address >= kBasicFirst && address <= kBasicLast && BasicRomEnabled()) {
        return BasicRomByte(address);
    }
    if (address >= kHardwareFirst && address <= kHardwareLast) {
        if (IsPia(address, os::kPortb)) {
            if ((pbctl_ & kPbctlDataRegister) == 0) {
                return portb_direction_;
            }
            return static_cast<std::uint8_t>((portb_output_ & portb_direction_) |
                                             (kJoysticksIdle & ~portb_direction_));
        }
        if (IsPia(address, os::kPbctl)) {
            return pbctl_;
        }
        return 0;
    }
    if (address >= kRomFirst) {
        return 0;  // OS ROM: the simulation traps its entry points instead
    }
    return ram_[address];
}

void AtariMemory::Write(std::uint16_t address, std::uint8_t value) {
    if (address >= kBasicFirst && address <= kBasicLast && BasicRomEnabled()) {
        return;
    }
    if (address >= kHardwareFirst && address <= kHardwareLast) {
        if (IsPia(address, os::kPortb)) {
            if ((pbctl_ & kPbctlDataRegister) == 0) {
                portb_direction_ = value;
            } else {
                portb_output_ = value;
            }
        } else if (IsPia(address, os::kPbctl)) {
            pbctl_ = value;
        }
        return;
    }
    if (address >= kRomFirst) {
        return;
    }
    ram_[address] = value;
}

}  // namespace korvane::sim
