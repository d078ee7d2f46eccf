// The ATR image header: 16 bytes in front of the raw sectors of an Atari disk.
//
//   offset  width  field
//   0       1      identifier, first byte   ($96)
//   1       1      identifier, second byte  ($02)
//   2       1      image_size bits 0-7      (count of 16-byte paragraphs of sector data)
//   3       1      image_size bits 8-15
//   4       1      sector_size bits 0-7     ($80 for 128, $00 for 256)
//   5       1      sector_size bits 8-15    ($00 for 128, $01 for 256)
//   6       1      image_size bits 16-23
//   7       1      image_size bits 24-31
//   8..15   8      reserved, written as zero, never read
//
// Images with 256-byte sectors come in two layouts that the header does not record:
// long (every sector 256 bytes, the first three carrying only 128) and short (the first
// three sectors 128 bytes each). The layout follows from the data length alone.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace korvane {

namespace atr {
inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::uint8_t kIdentifier0 = 0x96;
inline constexpr std::uint8_t kIdentifier1 = 0x02;
inline constexpr std::int64_t kParagraphSize = 16;
inline constexpr int kSingleSectorSize = 128;
inline constexpr int kDoubleSectorSize = 256;
// The first three sectors of a short-layout image take 128 bytes each.
inline constexpr std::int64_t kShortBootArea = 384;
// Largest length the tools hold: signed 32-bit file and data lengths.
inline constexpr std::int64_t kMaxLength = 0x7FFFFFFF;
// The largest image the suite describes: 65535 sectors of 256 bytes, long layout.
inline constexpr std::int64_t kLargestImage = 16 + 65535LL * 256;

inline constexpr std::size_t kOffsetImageSizeLow = 2;
inline constexpr std::size_t kOffsetSectorSize = 4;
inline constexpr std::size_t kOffsetImageSizeHigh = 6;
inline constexpr std::size_t kOffsetReserved = 8;
}  // namespace atr

using AtrHeaderBytes = std::array<std::uint8_t, atr::kHeaderSize>;

enum class AtrLayout { Long, Short, Neither };

// Which 256-byte-sector layouts the user accepts (option buttons Opt_both/short/long).
enum class LayoutMode { Both = 0, Short = 1, Long = 2 };

struct AtrHeader {
    bool identifier_matches = false;
    std::uint8_t identifier_byte0 = 0;
    std::uint8_t identifier_byte1 = 0;
    std::uint32_t image_size = 0;    // paragraphs of sector data
    std::int64_t stated_length = 0;  // image_size * 16, always exact here
    std::int32_t sector_size = 0;    // bytes 4 and 5 as an unsigned 16-bit count
};

// Decodes the 16 header bytes; wrong identifiers and sector sizes are returned as read.
AtrHeader DecodeAtrHeader(std::span<const std::uint8_t> header);

// Builds a complete header for a data length (multiple of 16) and a sector size.
AtrHeaderBytes EncodeAtrHeader(std::int64_t data_length, int sector_size);

// Writes the identifier $96 $02 and leaves the other bytes alone.
void SetAtrIdentifier(std::span<std::uint8_t> header);

// Writes the image_size field (bytes 2, 3, 6, 7) for a data length.
void SetAtrImageSize(std::span<std::uint8_t> header, std::int64_t data_length);

// Writes the sector_size field (bytes 4, 5).
void SetAtrSectorSize(std::span<std::uint8_t> header, int sector_size);

// Data length of `sectors` sectors; the layout matters for 256-byte sectors only.
std::int64_t AtrDataLength(int sector_size, std::int64_t sectors, AtrLayout layout);

// Long, short or neither, for the data length of an image with 256-byte sectors.
AtrLayout ClassifyAtrLayout(std::int64_t data_length);

// The layout rule for an image with 256-byte sectors: the bytes the header's data length
// must grow by (positive) or shrink by (negative) to fit a layout that `mode` accepts.
// 0: it fits. +384 or -384: it fits the other layout once the short boot area is added
// or removed. Anything else: it fits no layout; the value fills up to the next whole
// sector and the value less 256 cuts back to the previous one. The remainders are
// truncating, so a length below 384 gives a correction beyond 256.
std::int64_t LayoutCorrection(std::int64_t data_length, LayoutMode mode);

}  // namespace korvane
