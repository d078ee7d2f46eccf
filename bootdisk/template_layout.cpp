#include "template_layout.h"

#include "dos2_layout.h"
#include "le_bytes.h"

#include <algorithm>
#include <bit>

namespace korvane::bootdisk {

namespace {

// The 16-byte ATR header of a 720-sector single-density disk.
constexpr std::uint8_t kAtrHeader[] = {0x96, 0x02, 0x80, 0x16, 0x80, 0x00};

// Clears the free bit of `sector` in the VTOC bit field.
void MarkUsed(std::span<std::uint8_t> vtoc, int sector) {
    const std::size_t byte = dos2::kVtocBitmapFirst + static_cast<std::size_t>(sector) / 8;
    vtoc[byte] = static_cast<std::uint8_t>(vtoc[byte] & ~(0x80 >> (sector % 8)));
}

int CountFree(std::span<const std::uint8_t> vtoc) {
    int free = 0;
    for (std::size_t i = dos2::kVtocBitmapFirst; i <= dos2::kVtocBitmapLast; ++i) {
        free += std::popcount(vtoc[i]);
    }
    return free;
}

}  // namespace

std::variant<TemplateImage, std::string> BuildTemplateImage(std::span<const std::uint8_t> loader) {
    if (loader.size() < kBootHeaderSize) {
        return std::string("the loader is shorter than its boot header");
    }
    const int header_sectors = loader[kBootHeaderSectors];
    const std::size_t needed = (loader.size() + dos2::kSectorSize - 1) / dos2::kSectorSize;
    if (header_sectors == 0 || static_cast<std::size_t>(header_sectors) != needed) {
        return "the boot header names " + std::to_string(header_sectors) +
               " boot sectors, the loader takes " + std::to_string(needed);
    }
    if (ReadLe16(loader, kBootHeaderLoadAddress) != kLoaderAddress) {
        return std::string("the boot header does not load the loader at $0700");
    }
    const int boot_sectors = std::max(header_sectors, kMinimumBootSectors);
    if (boot_sectors >= dos2::kVtocSector) {
        return std::string("the loader does not fit below the VTOC");
    }

    TemplateImage image;
    image.boot_sectors = boot_sectors;
    image.bytes.assign(dos2::kImageLength, 0);
    std::copy(std::begin(kAtrHeader), std::end(kAtrHeader), image.bytes.begin());
    std::copy(loader.begin(), loader.end(),
              image.bytes.begin() + static_cast<std::ptrdiff_t>(dos2::SectorOffset(1)));

    // The directory, sectors 361-368, stays all zero: no entries, the first one
    // already ends the directory.
    std::span<std::uint8_t> vtoc(image.bytes.data() + dos2::kVtocOffset, dos2::kSectorSize);
    vtoc[dos2::kVtocDosCode] = dos2::kDosCode;
    WriteLe16(vtoc, dos2::kVtocTotalSectors, dos2::kTotalSectors);
    std::fill(vtoc.begin() + dos2::kVtocBitmapFirst, vtoc.begin() + dos2::kVtocBitmapLast + 1,
              0xFF);
    MarkUsed(vtoc, 0);  // there is no sector 0, and DOS 2 never hands it out
    for (int sector = 1; sector <= boot_sectors; ++sector) {
        MarkUsed(vtoc, sector);
    }
    for (int sector = dos2::kVtocSector; sector <= dos2::kDirectoryLastSector; ++sector) {
        MarkUsed(vtoc, sector);
    }
    image.free_sectors = CountFree(vtoc);
    WriteLe16(vtoc, dos2::kVtocFreeCount, static_cast<std::uint16_t>(image.free_sectors));
    return image;
}

}  // namespace korvane::bootdisk
