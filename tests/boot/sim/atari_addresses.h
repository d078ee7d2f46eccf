// Operating system addresses and values the boot simulation models, named as in the
// Atari OS manual.
#pragma once

#include <cstdint>

namespace korvane::sim::os {

// Zero page.
inline constexpr std::uint16_t kTramsz = 0x06;  // non-zero: start the cartridge after boot
inline constexpr std::uint16_t kBoot = 0x09;    // BOOT?: bit 0 = disk boot done
inline constexpr std::uint16_t kDosvec = 0x0A;
inline constexpr std::uint16_t kDosini = 0x0C;
inline constexpr std::uint16_t kRtclok = 0x12;  // three bytes, $14 counts frames
inline constexpr std::uint16_t kSavmsc = 0x58;
inline constexpr std::uint16_t kRamtop = 0x6A;

// Pages 2 and 3.
inline constexpr std::uint16_t kColdst = 0x0244;
inline constexpr std::uint16_t kRunad = 0x02E0;
inline constexpr std::uint16_t kInitad = 0x02E2;
inline constexpr std::uint16_t kMemlo = 0x02E7;
inline constexpr std::uint16_t kDdevic = 0x0300;
inline constexpr std::uint16_t kDunit = 0x0301;
inline constexpr std::uint16_t kDcomnd = 0x0302;
inline constexpr std::uint16_t kDstats = 0x0303;
inline constexpr std::uint16_t kDbuflo = 0x0304;
inline constexpr std::uint16_t kDtimlo = 0x0306;
inline constexpr std::uint16_t kDbytlo = 0x0308;
inline constexpr std::uint16_t kDaux1 = 0x030A;
inline constexpr std::uint16_t kIccom = 0x0342;
inline constexpr std::uint16_t kIcbal = 0x0344;
inline constexpr std::uint16_t kIcax1 = 0x034A;
inline constexpr std::uint16_t kCasbuf = 0x0400;  // where the OS reads sector 1
inline constexpr std::uint16_t kBasicf = 0x03F8;

// Hardware: the PIA's port B and its control register.
inline constexpr std::uint16_t kPortb = 0xD301;
inline constexpr std::uint16_t kPbctl = 0xD303;

// ROM entry points.
inline constexpr std::uint16_t kDskinv = 0xE453;
inline constexpr std::uint16_t kCiov = 0xE456;
inline constexpr std::uint16_t kSiov = 0xE459;
inline constexpr std::uint16_t kBlkbdv = 0xE471;  // memo pad / self test: DOSVEC at power-on
inline constexpr std::uint16_t kWarmsv = 0xE474;
inline constexpr std::uint16_t kColdsv = 0xE477;

// SIO.
inline constexpr std::uint8_t kDiskDevice = 0x31;
inline constexpr std::uint8_t kReadCommand = 0x52;  // 'R'
inline constexpr std::uint8_t kDataIn = 0x40;
inline constexpr std::uint8_t kStatusDone = 0x01;
inline constexpr std::uint8_t kStatusTimeout = 0x8A;
inline constexpr std::uint8_t kStatusNak = 0x8B;
inline constexpr std::uint8_t kStatusDeviceError = 0x90;

// CIO.
inline constexpr std::uint8_t kCioOpen = 0x03;
inline constexpr std::uint8_t kCioClose = 0x0C;
inline constexpr std::uint8_t kStatusNoDevice = 0x82;
inline constexpr std::uint8_t kStatusBadCommand = 0x84;
inline constexpr std::uint8_t kStatusBadIocb = 0x86;

// Text screen: 24 rows of 40 bytes; the editor puts it $3C0 bytes below RAMTOP.
inline constexpr int kScreenRows = 24;
inline constexpr int kScreenColumns = 40;
inline constexpr std::uint16_t kScreenBelowRamtop = 0x3C0;

// One NTSC frame: 262 lines of 114 machine cycles; RTCLOK counts once per frame.
inline constexpr std::uint64_t kCyclesPerFrame = 262 * 114;

}  // namespace korvane::sim::os
