#include "dos2_disk.h"

#include <algorithm>
#include <string>

namespace korvane::testing {

namespace {

// "NAME.EXT" as the 11 blank-padded characters of a directory entry.
std::string EntryName(std::string_view name) {
    const std::size_t dot = name.find('.');
    std::string base(name.substr(0, dot));
    std::string extension(dot == std::string_view::npos ? "" : name.substr(dot + 1));
    base.resize(8, ' ');
    extension.resize(3, ' ');
    return base + extension;
}

void PutWord(std::span<std::uint8_t> image, std::size_t at, std::size_t value) {
    image[at] = static_cast<std::uint8_t>(value);
    image[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

bool SectorFree(std::span<const std::uint8_t> image, int sector) {
    return (image[kVtocAt + 10 + static_cast<std::size_t>(sector / 8)] & (0x80 >> (sector % 8))) !=
           0;
}

void SetSectorFree(std::span<std::uint8_t> image, int sector, bool free) {
    std::uint8_t& bits = image[kVtocAt + 10 + static_cast<std::size_t>(sector / 8)];
    const auto bit = static_cast<std::uint8_t>(0x80 >> (sector % 8));
    bits = static_cast<std::uint8_t>(free ? bits | bit : bits & ~bit);
}

std::optional<Dos2File> WriteDos2File(std::span<std::uint8_t> image, std::string_view name,
                                      std::span<const std::uint8_t> data) {
    const std::size_t needed = std::max<std::size_t>(1, (data.size() + 124) / 125);
    Dos2File file;
    for (int sector = 1; sector < 720 && file.sectors.size() < needed; ++sector) {
        if (SectorFree(image, sector)) {
            file.sectors.push_back(sector);
        }
    }
    std::size_t entry = 0;
    for (int index = 0; index < 64 && entry == 0; ++index) {
        const std::size_t at = SectorAt(361 + index / 8) + static_cast<std::size_t>(index % 8) * 16;
        if (image[at] == 0x00 || image[at] == 0x80) {
            entry = at;
            file.file_number = index;
            file.directory_sector = 361 + index / 8;
        }
    }
    if (file.sectors.size() < needed || entry == 0) {
        return std::nullopt;
    }

    image[entry] = 0x42;
    PutWord(image, entry + 1, needed);
    PutWord(image, entry + 3, static_cast<std::size_t>(file.sectors.front()));
    const std::string entry_name = EntryName(name);
    std::copy(entry_name.begin(), entry_name.end(), image.begin() + entry + 5);

    SetSectorFree(image, 0, false);
    for (std::size_t i = 0, position = 0; i < needed; ++i) {
        const std::size_t at = SectorAt(file.sectors[i]);
        const std::size_t count = std::min<std::size_t>(125, data.size() - position);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(position), count,
                    image.begin() + at);
        position += count;
        if (count < 125) {
            image[at + count] = 0;
        }
        const int next = i + 1 < needed ? file.sectors[i + 1] : 0;
        image[at + 125] = static_cast<std::uint8_t>(file.file_number << 2 | next >> 8);
        image[at + 126] = static_cast<std::uint8_t>(next);
        image[at + 127] = static_cast<std::uint8_t>(count);
        SetSectorFree(image, file.sectors[i], false);
    }
    PutWord(image, kVtocAt + 3, (image[kVtocAt + 3] | image[kVtocAt + 4] << 8) - needed);
    return file;
}

std::optional<std::vector<std::uint8_t>> WithAutorun(std::span<const std::uint8_t> template_image,
                                                     std::span<const std::uint8_t> xex,
                                                     Dos2File* file) {
    std::vector<std::uint8_t> image(template_image.begin(), template_image.end());
    const std::optional<Dos2File> written = WriteDos2File(image, "AUTORUN.SYS", xex);
    if (!written) {
        return std::nullopt;
    }
    if (file != nullptr) {
        *file = *written;
    }
    return image;
}

}  // namespace korvane::testing
