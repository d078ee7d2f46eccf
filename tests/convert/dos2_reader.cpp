#include "dos2_reader.h"

#include "template_builder.h"

namespace korvane::testing {

namespace {

constexpr std::size_t kVtoc = SectorAt(360);

}  // namespace

std::optional<Dos2Entry> FindDos2Entry(std::span<const std::uint8_t> image,
                                       const std::string& name) {
    for (int index = 0; index < 64; ++index) {
        const std::size_t at = SectorAt(361 + index / 8) + static_cast<std::size_t>(index % 8) * 16;
        const std::uint8_t flags = image[at];
        if (flags == 0x00) {
            return std::nullopt;
        }
        const std::string entry_name(image.begin() + static_cast<std::ptrdiff_t>(at + 5),
                                     image.begin() + static_cast<std::ptrdiff_t>(at + 16));
        if ((flags & 0x40) != 0 && (flags & 0x80) == 0 && entry_name == name) {
            Dos2Entry entry;
            entry.file_number = index;
            entry.flags = flags;
            entry.sector_count = image[at + 1] | image[at + 2] << 8;
            entry.first_sector = image[at + 3] | image[at + 4] << 8;
            entry.name = entry_name;
            return entry;
        }
    }
    return std::nullopt;
}

Dos2File ReadDos2File(std::span<const std::uint8_t> image, const Dos2Entry& entry) {
    Dos2File file;
    int sector = entry.first_sector;
    while (sector != 0) {
        if (sector < 1 || sector > 720) {
            file.error = "link to sector " + std::to_string(sector);
            break;
        }
        if (file.sectors.size() > 720) {
            file.error = "chain does not end";
            break;
        }
        const std::size_t at = SectorAt(sector);
        const int count = image[at + 127];
        file.sectors.push_back(sector);
        file.byte_counts.push_back(count);
        file.file_numbers.push_back(image[at + 125] >> 2);
        if (count > 125) {
            file.error = "byte count " + std::to_string(count);
            break;
        }
        file.bytes.insert(file.bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at),
                          image.begin() + static_cast<std::ptrdiff_t>(at) + count);
        sector = (image[at + 125] & 0x03) << 8 | image[at + 126];
    }
    return file;
}

int VtocStoredFree(std::span<const std::uint8_t> image) {
    return image[kVtoc + 3] | image[kVtoc + 4] << 8;
}

bool VtocSectorFree(std::span<const std::uint8_t> image, int sector) {
    return (image[kVtoc + 10 + static_cast<std::size_t>(sector / 8)] >> (7 - sector % 8) & 1) != 0;
}

int VtocFreeBits(std::span<const std::uint8_t> image) {
    int bits = 0;
    for (int sector = 0; sector < 720; ++sector) {
        bits += VtocSectorFree(image, sector) ? 1 : 0;
    }
    return bits;
}

}  // namespace korvane::testing
