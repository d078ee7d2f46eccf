#include "atr_header.h"

#include "le_bytes.h"

namespace korvane {

AtrHeader DecodeAtrHeader(std::span<const std::uint8_t> header) {
    AtrHeader result;
    result.identifier_byte0 = header[0];
    result.identifier_byte1 = header[1];
    result.identifier_matches = header[0] == atr::kIdentifier0 && header[1] == atr::kIdentifier1;
    const std::uint32_t low = ReadLe16(header, atr::kOffsetImageSizeLow);
    const std::uint32_t high = ReadLe16(header, atr::kOffsetImageSizeHigh);
    result.image_size = low | (high << 16);
    result.stated_length = static_cast<std::int64_t>(result.image_size) * atr::kParagraphSize;
    result.sector_size = ReadLe16(header, atr::kOffsetSectorSize);
    return result;
}

AtrHeaderBytes EncodeAtrHeader(std::int64_t data_length, int sector_size) {
    AtrHeaderBytes header{};
    SetAtrIdentifier(header);
    SetAtrImageSize(header, data_length);
    SetAtrSectorSize(header, sector_size);
    return header;
}

void SetAtrIdentifier(std::span<std::uint8_t> header) {
    header[0] = atr::kIdentifier0;
    header[1] = atr::kIdentifier1;
}

void SetAtrImageSize(std::span<std::uint8_t> header, std::int64_t data_length) {
    const auto paragraphs = static_cast<std::uint32_t>(data_length / atr::kParagraphSize);
    WriteLe16(header, atr::kOffsetImageSizeLow, static_cast<std::uint16_t>(paragraphs));
    WriteLe16(header, atr::kOffsetImageSizeHigh, static_cast<std::uint16_t>(paragraphs >> 16));
}

void SetAtrSectorSize(std::span<std::uint8_t> header, int sector_size) {
    WriteLe16(header, atr::kOffsetSectorSize, static_cast<std::uint16_t>(sector_size));
}

std::int64_t AtrDataLength(int sector_size, std::int64_t sectors, AtrLayout layout) {
    if (sector_size == atr::kDoubleSectorSize && layout == AtrLayout::Short) {
        return sectors * atr::kDoubleSectorSize - atr::kShortBootArea;
    }
    return sectors * sector_size;
}

AtrLayout ClassifyAtrLayout(std::int64_t data_length) {
    switch (data_length % atr::kDoubleSectorSize) {
        case 0:
            return AtrLayout::Long;
        case atr::kSingleSectorSize:
            return AtrLayout::Short;
        default:
            return AtrLayout::Neither;
    }
}

std::int64_t LayoutCorrection(std::int64_t data_length, LayoutMode mode) {
    const std::int64_t short_rest = (data_length - atr::kShortBootArea) % atr::kDoubleSectorSize;
    const std::int64_t long_rest = data_length % atr::kDoubleSectorSize;
    const std::int64_t fill = atr::kDoubleSectorSize;
    switch (mode) {
        case LayoutMode::Short:
            return short_rest == 0 ? 0
                                   : (long_rest == 0 ? -atr::kShortBootArea : fill - short_rest);
        case LayoutMode::Long:
            return long_rest == 0 ? 0 : (short_rest == 0 ? atr::kShortBootArea : fill - long_rest);
        case LayoutMode::Both:
            break;
    }
    return (short_rest == 0 || long_rest == 0) ? 0 : fill - short_rest;
}

}  // namespace korvane
