#include "dos2_writer.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane::boottest {

namespace {

std::span<std::uint8_t> Sector(std::span<std::uint8_t> atr, int sector) {
    return atr.subspan(dos2::SectorOffset(sector), dos2::kSectorSize);
}

bool IsFree(std::span<const std::uint8_t> vtoc, int sector) {
    return (vtoc[dos2::kVtocBitmapFirst + sector / 8] & (0x80 >> (sector % 8))) != 0;
}

void MarkUsed(std::span<std::uint8_t> vtoc, int sector) {
    vtoc[dos2::kVtocBitmapFirst + sector / 8] &= static_cast<std::uint8_t>(~(0x80 >> (sector % 8)));
}

// "NAME.EXT" as the 11 blank-padded characters of a directory entry.
std::string EntryName(std::string_view name) {
    const std::size_t dot = name.find('.');
    std::string base(name.substr(0, dot));
    std::string extension(dot == std::string_view::npos ? "" : name.substr(dot + 1));
    base.resize(8, ' ');
    extension.resize(3, ' ');
    return base + extension;
}

}  // namespace

std::optional<Dos2File> WriteDos2File(std::span<std::uint8_t> atr, std::string_view name,
                                      std::span<const std::uint8_t> data) {
    std::span<std::uint8_t> vtoc = Sector(atr, dos2::kVtocSector);
    const std::size_t needed = std::max<std::size_t>(
        1, (data.size() + dos2::kDataBytesPerSector - 1) / dos2::kDataBytesPerSector);

    Dos2File file;
    for (int sector = 1; sector < dos2::kSectorCount && file.sectors.size() < needed; ++sector) {
        if (IsFree(vtoc, sector)) {
            file.sectors.push_back(sector);
        }
    }
    if (file.sectors.size() < needed) {
        return std::nullopt;
    }

    std::span<std::uint8_t> entry;
    for (int sector = dos2::kDirectoryFirstSector;
         sector <= dos2::kDirectoryLastSector && entry.empty(); ++sector) {
        for (int slot = 0; slot < dos2::kEntriesPerSector; ++slot) {
            std::span<std::uint8_t> candidate =
                Sector(atr, sector)
                    .subspan(slot * dos2::kDirectoryEntrySize, dos2::kDirectoryEntrySize);
            const std::uint8_t flags = candidate[dos2::kEntryFlags];
            if (flags == dos2::kFlagNeverUsed || flags == dos2::kFlagDeleted) {
                entry = candidate;
                file.directory_sector = sector;
                file.slot = slot;
                file.file_number =
                    (sector - dos2::kDirectoryFirstSector) * dos2::kEntriesPerSector + slot;
                break;
            }
        }
    }
    if (entry.empty()) {
        return std::nullopt;
    }

    entry[dos2::kEntryFlags] = dos2::kFlagDos2File;
    WriteLe16(entry, dos2::kEntrySectorCount, static_cast<std::uint16_t>(needed));
    WriteLe16(entry, dos2::kEntryFirstSector, static_cast<std::uint16_t>(file.sectors.front()));
    const std::string entry_name = EntryName(name);
    std::copy(entry_name.begin(), entry_name.end(), entry.begin() + dos2::kEntryName);

    std::size_t position = 0;
    for (std::size_t i = 0; i < needed; ++i) {
        std::span<std::uint8_t> sector = Sector(atr, file.sectors[i]);
        const std::size_t count = std::min(dos2::kDataBytesPerSector, data.size() - position);
        std::fill(sector.begin(), sector.end(), 0);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(position), count, sector.begin());
        position += count;
        const int next = i + 1 < needed ? file.sectors[i + 1] : 0;
        sector[dos2::kLinkFileNumber] =
            static_cast<std::uint8_t>(file.file_number << 2 | next >> 8);
        sector[dos2::kLinkNextLow] = static_cast<std::uint8_t>(next);
        sector[dos2::kLinkByteCount] = static_cast<std::uint8_t>(count);
        MarkUsed(vtoc, file.sectors[i]);
    }
    WriteLe16(vtoc, dos2::kVtocFreeCount,
              static_cast<std::uint16_t>(ReadLe16(vtoc, dos2::kVtocFreeCount) - needed));
    return file;
}

std::vector<std::uint8_t> WithAutorun(std::span<const std::uint8_t> template_atr,
                                      std::span<const std::uint8_t> xex, Dos2File* file) {
    std::vector<std::uint8_t> atr(template_atr.begin(), template_atr.end());
    auto written = WriteDos2File(atr, "AUTORUN.SYS", xex);
    if (!written) {
        throw std::runtime_error("AUTORUN.SYS does not fit on the disk");
    }
    if (file != nullptr) {
        *file = *written;
    }
    return atr;
}

}  // namespace korvane::boottest
