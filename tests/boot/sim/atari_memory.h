// The address space of the simulated Atari: 64 kB of RAM under the OS ROM, the XL/XE
// BASIC ROM switched by port B, and port B itself. Other hardware reads as zero.
#pragma once

#include <array>
#include <cstdint>

#include "cpu6502.h"

namespace korvane::sim {

enum class Machine {
    kXlBasicOn,   // XL/XE switched on without OPTION: built-in BASIC at $A000-$BFFF
    kXlBasicOff,  // XL/XE switched on with OPTION held
    kAtari800,    // 400/800 without cartridge: port B is joystick input, $A000 is RAM
};

class AtariMemory final : public Bus {
  public:
    explicit AtariMemory(Machine machine);

    std::uint8_t Read(std::uint16_t address) override;
    void Write(std::uint16_t address, std::uint8_t value) override;

    // The RAM, also where ROM or hardware hides it.
    std::array<std::uint8_t, 0x10000>& ram() { return ram_; }
    const std::array<std::uint8_t, 0x10000>& ram() const { return ram_; }

    bool BasicRomEnabled() const;
    std::uint8_t portb_output() const { return portb_output_; }

    // What reads from the BASIC ROM give: not what a RAM test wrote there.
    static std::uint8_t BasicRomByte(std::uint16_t address);

  private:
    bool xl_ = false;
    std::uint8_t portb_output_ = 0;
    std::uint8_t portb_direction_ = 0;  // 1 = output
    std::uint8_t pbctl_ = 0;
    std::array<std::uint8_t, 0x10000> ram_{};
};

}  // namespace korvane::sim
