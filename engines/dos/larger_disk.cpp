#include "larger_disk.h"

#include <algorithm>

#include "disk_formats.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane {

namespace {

constexpr char kLoaderName[] = "KELDRIX SYS";
constexpr std::size_t kBootBytes = 3 * dos2::kSectorSize;

// Sectors free for files on a fresh disk of `format`.
std::int64_t FreshFreeSectors(const DiskFormat& format) {
    std::int64_t free = 0;
    for (int sector = 1; sector <= format.SectorCount(); ++sector) {
        free += format.Allocatable(sector) ? 1 : 0;
    }
    return free;
}

bool Holds(const DiskFormat& format, std::int64_t length, std::int64_t loader_length) {
    const std::int64_t per_sector = format.DataBytesPerSector();
    return SectorsNeeded(loader_length, per_sector) + SectorsNeeded(length, per_sector) <=
           FreshFreeSectors(format);
}

}  // namespace

std::optional<BootLoader> TakeBootLoader(std::span<const std::uint8_t> template_bytes) {
    if (template_bytes.size() != dos2::kImageLength) {
        return std::nullopt;
    }
    const std::span<const std::uint8_t> entry = template_bytes.subspan(
        dos2::SectorOffset(dos2::kDirectoryFirstSector), dos2::kDirectoryEntrySize);
    if ((entry[dos2::kEntryFlags] & (dos2::kFlagInUse | dos2::kFlagDeleted)) != dos2::kFlagInUse ||
        !std::equal(entry.begin() + dos2::kEntryName, entry.end(), kLoaderName)) {
        return std::nullopt;
    }
    BootLoader loader;
    loader.boot_sectors.assign(template_bytes.begin() + dos2::SectorOffset(1),
                               template_bytes.begin() + dos2::SectorOffset(1) + kBootBytes);
    if (!HoldsSingleDensityParameters(loader.boot_sectors)) {
        return std::nullopt;
    }
    // File number 0; a chain longer than the disk is broken.
    int sector = ReadLe16(entry, dos2::kEntryFirstSector);
    for (int steps = 0; sector != 0; ++steps) {
        if (sector >= dos2::kSectorCount || steps == dos2::kSectorCount) {
            return std::nullopt;
        }
        const std::span<const std::uint8_t> data =
            template_bytes.subspan(dos2::SectorOffset(sector), dos2::kSectorSize);
        const std::size_t count = data[dos2::kLinkByteCount];
        if (data[dos2::kLinkFileNumber] >> 2 != 0 || count > dos2::kDataBytesPerSector) {
            return std::nullopt;
        }
        loader.loader_file.insert(loader.loader_file.end(), data.begin(),
                                  data.begin() + static_cast<std::ptrdiff_t>(count));
        sector = (data[dos2::kLinkFileNumber] & 3) << 8 | data[dos2::kLinkNextLow];
    }
    return loader;
}

std::unique_ptr<DiskFormat> SmallestDiskFor(std::int64_t length, std::int64_t loader_length) {
    for (auto* make : {&MakeEnhancedDensityDisk, &MakeDoubleDensityDisk}) {
        std::unique_ptr<DiskFormat> format = make();
        if (Holds(*format, length, loader_length)) {
            return format;
        }
    }
    for (const int sectors : kMyDosFitSizes) {
        std::unique_ptr<DiskFormat> format = MakeMyDosDisk(sectors);
        if (Holds(*format, length, loader_length)) {
            return format;
        }
    }
    return nullptr;
}

std::int64_t LargestFitLength(std::int64_t loader_length) {
    const std::unique_ptr<DiskFormat> largest = MakeMyDosDisk(kMyDosLargest);
    const std::int64_t per_sector = largest->DataBytesPerSector();
    return (FreshFreeSectors(*largest) - SectorsNeeded(loader_length, per_sector)) * per_sector;
}

std::string DescribeDisk(const DiskFormat& format) {
    return std::to_string(format.SectorCount()) + " sectors of " +
           std::to_string(format.SectorSize()) + " bytes";
}

}  // namespace korvane
