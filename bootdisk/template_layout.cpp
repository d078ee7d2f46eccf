#include "template_layout.h"

#include "atr_header.h"
#include "dos2_layout.h"
#include "le_bytes.h"

#include <algorithm>

namespace korvane::bootdisk {

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
    const AtrHeaderBytes header = EncodeAtrHeader(
        static_cast<std::int64_t>(dos2::kImageLength - atr::kHeaderSize), atr::kSingleSectorSize);
    std::copy(header.begin(), header.end(), image.bytes.begin());
    std::copy(loader.begin(), loader.end(),
              image.bytes.begin() + static_cast<std::ptrdiff_t>(dos2::SectorOffset(1)));

    // The directory, sectors 361-368, stays all zero: no entries, the first one
    // already ends the directory.
    std::span<std::uint8_t> vtoc(image.bytes.data() + dos2::kVtocOffset, dos2::kSectorSize);
    vtoc[dos2::kVtocDosCode] = dos2::kDosCode;
    WriteLe16(vtoc, dos2::kVtocTotalSectors, dos2::kTotalSectors);
    // Free: every sector but sector 0 (which DOS 2 never hands out), the boot sectors and
    // the VTOC and directory; sector 720 has no bit.
    for (int sector = boot_sectors + 1; sector < dos2::kSectorCount; ++sector) {
        dos2::SetSectorFree(vtoc, sector,
                            sector < dos2::kVtocSector || sector > dos2::kDirectoryLastSector);
    }
    image.free_sectors = dos2::CountFreeSectors(vtoc);
    WriteLe16(vtoc, dos2::kVtocFreeCount, static_cast<std::uint16_t>(image.free_sectors));
    return image;
}

}  // namespace korvane::bootdisk
