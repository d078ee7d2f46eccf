#include "xex_writer.h"

#include <algorithm>
#include <optional>

#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane {

namespace {

struct DirectorySlot {
    std::size_t offset;  // of the entry within the image
    int file_number;     // (directory sector - 361) * 8 + slot
};

// The first free directory entry: sectors 361 to 368, slots 0 to 7 in each; an entry is
// free when it was never used or is deleted.
std::optional<DirectorySlot> FindFreeSlot(std::span<const std::uint8_t> image) {
    for (int sector = dos2::kDirectoryFirstSector; sector <= dos2::kDirectoryLastSector; ++sector) {
        for (int slot = 0; slot < dos2::kEntriesPerSector; ++slot) {
            const std::size_t offset = dos2::SectorOffset(sector) +
                                       static_cast<std::size_t>(slot) * dos2::kDirectoryEntrySize;
            const std::uint8_t flags = image[offset + dos2::kEntryFlags];
            if (flags == dos2::kFlagNeverUsed || flags == dos2::kFlagDeleted) {
                return DirectorySlot{
                    offset,
                    (sector - dos2::kDirectoryFirstSector) * dos2::kEntriesPerSector + slot};
            }
        }
    }
    return std::nullopt;
}

std::uint8_t LinkHigh(int file_number, int next_sector) {
    return static_cast<std::uint8_t>((file_number << 2) | (next_sector >> 8));
}

}  // namespace

int TakeFreeSector(std::span<std::uint8_t> vtoc, int from) {
    for (int sector = from; sector < dos2::kSectorCount; ++sector) {
        if (sector % 8 == 0 &&
            vtoc[dos2::kVtocBitmapFirst + static_cast<std::size_t>(sector / 8)] == 0) {
            sector += 7;  // a byte without a free bit
        } else if (dos2::SectorFree(vtoc, sector)) {
            dos2::SetSectorFree(vtoc, sector, false);
            if (sector != 0) {
                return sector;
            }
        }
    }
    return 0;
}

bool WriteXexToImage(std::span<const std::uint8_t> xex, std::span<std::uint8_t> image,
                     std::span<std::uint8_t> vtoc, ReportSink& report) {
    const std::size_t length = xex.size();
    // An empty file (fit mode) still takes its one sector.
    const std::size_t needed = std::max<std::size_t>(
        1, (length + dos2::kDataBytesPerSector - 1) / dos2::kDataBytesPerSector);

    const std::uint16_t free_count = ReadLe16(vtoc, dos2::kVtocFreeCount);
    if (free_count < needed) {
        report.Append("ERROR: To less space on ATR image for the XEX file");
        report.SelectLast();
        return false;
    }
    WriteLe16(vtoc, dos2::kVtocFreeCount, static_cast<std::uint16_t>(free_count - needed));

    int current = TakeFreeSector(vtoc);
    if (current == 0) {
        return false;
    }

    // Without a directory entry the boot loader could never find the file.
    const std::optional<DirectorySlot> slot = FindFreeSlot(image);
    if (!slot) {
        report.Append("ERROR: No free directory entry on ATR image for the XEX file");
        return false;
    }
    const std::span<std::uint8_t> entry = image.subspan(slot->offset, dos2::kDirectoryEntrySize);
    entry[dos2::kEntryFlags] = dos2::kFlagDos2File;
    WriteLe16(entry, dos2::kEntrySectorCount, static_cast<std::uint16_t>(needed));
    WriteLe16(entry, dos2::kEntryFirstSector, static_cast<std::uint16_t>(current));
    std::copy_n(dos2::kAutorunName, dos2::kEntryNameLength, entry.begin() + dos2::kEntryName);

    // The data, 125 bytes a sector, each sector linked to the next one taken.
    bool complete = true;
    std::size_t position = 0;
    for (;;) {
        const std::span<std::uint8_t> sector =
            image.subspan(dos2::SectorOffset(current), dos2::kSectorSize);
        const std::size_t remaining = length - position;
        int next = 0;
        if (remaining > dos2::kDataBytesPerSector) {
            next = TakeFreeSector(vtoc, current + 1);
            if (next == 0) {
                complete = false;
                break;
            }
        }
        const std::size_t take = std::min(remaining, dos2::kDataBytesPerSector);
        std::copy_n(xex.begin() + static_cast<std::ptrdiff_t>(position), take, sector.begin());
        position += take;
        if (take < dos2::kDataBytesPerSector) {
            sector[take] = 0;
        }
        sector[dos2::kLinkFileNumber] = LinkHigh(slot->file_number, next);
        sector[dos2::kLinkNextLow] = static_cast<std::uint8_t>(next & 0xFF);
        sector[dos2::kLinkByteCount] = static_cast<std::uint8_t>(take);
        if (next == 0) {
            break;
        }
        current = next;
    }

    std::copy(vtoc.begin(), vtoc.end(),
              image.begin() + static_cast<std::ptrdiff_t>(dos2::kVtocOffset));
    return complete;
}

}  // namespace korvane
