#include "dos_disk.h"

#include <algorithm>

#include "atr_header.h"
#include "dos2_layout.h"
#include "large_buffer.h"
#include "le_bytes.h"

namespace korvane {

namespace {

// The boot sectors keep 128 bytes on every disk.
constexpr int kBootSectors = 3;
constexpr std::size_t kBootSectorSize = 128;

// The loader's disk parameters, at fixed places of its third boot sector ($0871-$087F
// in memory, see bootdisk/loader.s), as offsets from the start of sector 1:
//   $0871  where a data sector's link bytes begin: sector size - 3
//   $0872  link format: $00 DOS 2 links with file numbers, $80 16-bit links
//   $0873  directory index (file number) of KELDRIX.SYS
//   $087C  bytes per sector the loader reads (word): the byte count of its device block
constexpr std::size_t kParamLinkAt = 0x171;
constexpr std::size_t kParamLinkFormat = 0x172;
constexpr std::size_t kParamLoaderFile = 0x173;
constexpr std::size_t kParamSectorBytes = 0x17C;
constexpr std::uint8_t kSixteenBitLinks = 0x80;

constexpr int kAutorunEntry = 0;
constexpr int kLoaderEntry = 1;
constexpr int kLoaderFirstSector = 4;  // where the loader's first part looks for the second
constexpr char kLoaderName[] = "KELDRIX SYS";

}  // namespace

DosDisk::DosDisk(int sector_size, int sector_count)
    : sector_size_(sector_size), sector_count_(sector_count) {
    const int short_sectors = std::min(sector_count, kBootSectors);
    const auto data_length =
        static_cast<std::int64_t>(short_sectors) * static_cast<std::int64_t>(kBootSectorSize) +
        static_cast<std::int64_t>(sector_count - short_sectors) * sector_size;
    const std::size_t length = atr::kHeaderSize + static_cast<std::size_t>(data_length);
    ReserveLarge(bytes_, length);
    bytes_.assign(length, 0);
    const AtrHeaderBytes header = EncodeAtrHeader(data_length, sector_size);
    std::copy(header.begin(), header.end(), bytes_.begin());
}

std::span<std::uint8_t> DosDisk::Sector(int sector) {
    if (sector <= kBootSectors) {
        return std::span(bytes_).subspan(
            atr::kHeaderSize + static_cast<std::size_t>(sector - 1) * kBootSectorSize,
            kBootSectorSize);
    }
    const auto size = static_cast<std::size_t>(sector_size_);
    return std::span(bytes_).subspan(atr::kHeaderSize + kBootSectors * kBootSectorSize +
                                         static_cast<std::size_t>(sector - kBootSectors - 1) * size,
                                     size);
}

void WriteDirectoryEntry(DosDisk& disk, int index, std::uint8_t flags, std::int64_t sectors,
                         int first_sector, const char* name) {
    const std::span<std::uint8_t> entry =
        disk.Sector(dos2::kDirectoryFirstSector + index / dos2::kEntriesPerSector)
            .subspan(static_cast<std::size_t>(index % dos2::kEntriesPerSector) *
                         dos2::kDirectoryEntrySize,
                     dos2::kDirectoryEntrySize);
    entry[dos2::kEntryFlags] = flags;
    WriteLe16(entry, dos2::kEntrySectorCount, static_cast<std::uint16_t>(sectors));
    WriteLe16(entry, dos2::kEntryFirstSector, static_cast<std::uint16_t>(first_sector));
    std::copy_n(name, dos2::kEntryNameLength, entry.begin() + dos2::kEntryName);
}

std::int64_t SectorsNeeded(std::int64_t length, std::int64_t bytes_per_sector) {
    return std::max<std::int64_t>(1, (length + bytes_per_sector - 1) / bytes_per_sector);
}

void WriteFileSectors(DosDisk& disk, std::span<const int> sectors,
                      std::span<const std::uint8_t> data, int file_number, LinkFormat links) {
    const auto per_sector = static_cast<std::size_t>(disk.sector_size() - 3);
    std::size_t position = 0;
    for (std::size_t i = 0; i < sectors.size(); ++i) {
        const std::span<std::uint8_t> sector = disk.Sector(sectors[i]);
        const int next = i + 1 < sectors.size() ? sectors[i + 1] : 0;
        const std::size_t take = std::min(per_sector, data.size() - position);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(position), take, sector.begin());
        position += take;
        const std::size_t link = per_sector;
        sector[link] = links == LinkFormat::kDos2
                           ? static_cast<std::uint8_t>(file_number << 2 | next >> 8)
                           : static_cast<std::uint8_t>(next >> 8);
        sector[link + 1] = static_cast<std::uint8_t>(next);
        sector[link + 2] = static_cast<std::uint8_t>(take);
    }
}

std::vector<std::uint8_t> LayOutBootDisk(const DiskFormat& format, const BootLoader& loader,
                                         std::span<const std::uint8_t> xex) {
    const std::int64_t per_sector = format.DataBytesPerSector();
    const std::int64_t loader_sectors =
        SectorsNeeded(static_cast<std::int64_t>(loader.loader_file.size()), per_sector);
    const std::int64_t file_sectors =
        SectorsNeeded(static_cast<std::int64_t>(xex.size()), per_sector);

    // The lowest free sectors in ascending order: KELDRIX.SYS's, then AUTORUN.SYS's.
    std::vector<int> taken;
    std::vector<bool> used(static_cast<std::size_t>(format.SectorCount()) + 1, true);
    for (int sector = 1; sector <= format.SectorCount(); ++sector) {
        const bool free = format.Allocatable(sector);
        if (free && static_cast<std::int64_t>(taken.size()) < loader_sectors + file_sectors) {
            taken.push_back(sector);
        } else {
            used[static_cast<std::size_t>(sector)] = !free;
        }
    }
    if (static_cast<std::int64_t>(taken.size()) < loader_sectors + file_sectors ||
        taken.front() != kLoaderFirstSector) {
        return {};
    }

    DosDisk disk(format.SectorSize(), format.SectorCount());
    for (int sector = 1; sector <= kBootSectors; ++sector) {
        std::copy_n(loader.boot_sectors.begin() +
                        static_cast<std::ptrdiff_t>((sector - 1) * kBootSectorSize),
                    kBootSectorSize, disk.Sector(sector).begin());
    }
    // The loader reads every sector with the disk's sector size and follows its links.
    const std::span<std::uint8_t> boot(disk.bytes().data() + atr::kHeaderSize,
                                       kBootSectors * kBootSectorSize);
    boot[kParamLinkAt] = static_cast<std::uint8_t>(format.DataBytesPerSector());
    boot[kParamLinkFormat] = format.Links() == LinkFormat::kSixteenBit ? kSixteenBitLinks : 0;
    boot[kParamLoaderFile] = kLoaderEntry;
    WriteLe16(boot, kParamSectorBytes, static_cast<std::uint16_t>(format.SectorSize()));

    const std::span<const int> all(taken);
    const std::span<const int> loader_part = all.first(static_cast<std::size_t>(loader_sectors));
    const std::span<const int> file_part = all.subspan(static_cast<std::size_t>(loader_sectors));
    WriteFileSectors(disk, loader_part, loader.loader_file, kLoaderEntry, format.Links());
    WriteFileSectors(disk, file_part, xex, kAutorunEntry, format.Links());
    WriteDirectoryEntry(disk, kLoaderEntry, format.FileFlags(loader_part) | dos2::kFlagLocked,
                        loader_sectors, loader_part.front(), kLoaderName);
    WriteDirectoryEntry(disk, kAutorunEntry, format.FileFlags(file_part), file_sectors,
                        file_part.front(), dos2::kAutorunName);
    format.WriteVtoc(disk, used);
    return std::move(disk.bytes());
}

std::vector<std::uint8_t> FormattedDiskHead(const DiskFormat& format) {
    // Every VTOC sector lies below 1041 (DOS 2.5's second one is 1024).
    constexpr int kHeadSectors = 1040;
    std::vector<bool> used(static_cast<std::size_t>(format.SectorCount()) + 1);
    for (int sector = 1; sector <= format.SectorCount(); ++sector) {
        used[static_cast<std::size_t>(sector)] = !format.Allocatable(sector);
    }
    DosDisk disk(format.SectorSize(), std::min(format.SectorCount(), kHeadSectors));
    format.WriteVtoc(disk, used);
    disk.bytes().erase(disk.bytes().begin(), disk.bytes().begin() + atr::kHeaderSize);
    return std::move(disk.bytes());
}

// The loader's boot sectors carry the single-density values in the template.
bool HoldsSingleDensityParameters(std::span<const std::uint8_t> boot_sectors) {
    return boot_sectors.size() == kBootSectors * kBootSectorSize &&
           boot_sectors[kParamLinkAt] == kBootSectorSize - 3 &&
           boot_sectors[kParamLinkFormat] == 0 && boot_sectors[kParamLoaderFile] == 0 &&
           ReadLe16(boot_sectors, kParamSectorBytes) == kBootSectorSize;
}

}  // namespace korvane
