// Little-endian reads and writes over byte spans: the one place where multi-byte
// quantities of the Atari formats (ATR header, VTOC, directory entries) are assembled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace korvane {

// Reads `width` bytes (1 to 4) at `offset` as an unsigned little-endian number.
inline std::uint32_t ReadLe(std::span<const std::uint8_t> bytes, std::size_t offset,
                            std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = (value << 8) | bytes[offset + i];
    }
    return value;
}

// Writes the low `width` bytes (1 to 4) of `value` at `offset`, least significant first.
inline void WriteLe(std::span<std::uint8_t> bytes, std::size_t offset, std::size_t width,
                    std::uint32_t value) {
    for (std::size_t i = 0; i < width; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline std::uint16_t ReadLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(ReadLe(bytes, offset, 2));
}

inline void WriteLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    WriteLe(bytes, offset, 2, value);
}

}  // namespace korvane
