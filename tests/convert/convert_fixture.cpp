#include "convert_fixture.h"

#include <algorithm>

namespace korvane::testing {

bool SectorFree(std::span<const std::uint8_t> atr, int sector) {
    return (atr[kVtoc + 10 + static_cast<std::size_t>(sector / 8)] & 0x80 >> sector % 8) != 0;
}

void SetFree(Bytes& atr, int sector, bool free) {
    std::uint8_t& bits = atr[kVtoc + 10 + static_cast<std::size_t>(sector / 8)];
    bits =
        static_cast<std::uint8_t>(free ? bits | 0x80 >> sector % 8 : bits & ~(0x80 >> sector % 8));
}

Dos2Disk ReadDos2(std::span<const std::uint8_t> atr) {
    Dos2Disk disk;
    std::vector<int> owner(720, -1);  // the file number owning each sector
    for (int index = 0; index < 64 && atr[EntryAt(index)] != 0; ++index) {
        const std::size_t at = EntryAt(index);
        if ((atr[at] & 0xC1) != 0x40) {  // deleted, not in use or open for output
            continue;
        }
        Dos2File file{index, std::string(atr.begin() + at + 5, atr.begin() + at + 16), {}, {}};
        const std::string where = "file " + std::to_string(index) + ": ";
        for (int sector = atr[at + 3] | atr[at + 4] << 8; sector != 0;) {
            if (sector > 719 || owner[sector] >= 0) {
                disk.faults.push_back(where + "bad link to " + std::to_string(sector));
                break;
            }
            const std::size_t s = At(sector), count = std::min(atr[s + 127], std::uint8_t{125});
            const int next = (atr[s + 125] & 3) << 8 | atr[s + 126];
            if (atr[s + 125] >> 2 != index || atr[s + 127] > 125 || (next != 0 && count != 125)) {
                disk.faults.push_back(where + "bad link bytes in " + std::to_string(sector));
            }
            owner[sector] = index;
            file.sectors.push_back(sector);
            file.data.insert(file.data.end(), atr.begin() + s, atr.begin() + s + count);
            sector = next;
        }
        if (file.sectors.size() != static_cast<std::size_t>(atr[at + 1] | atr[at + 2] << 8)) {
            disk.faults.push_back(where + "sector count differs from its chain");
        }
        disk.files.push_back(std::move(file));
    }
    int free = 0;
    for (int sector = 1; sector < 720; ++sector) {
        free += SectorFree(atr, sector) ? 1 : 0;
        if (SectorFree(atr, sector) ==
            (sector <= 3 || (sector >= 360 && sector <= 368) || owner[sector] >= 0)) {
            disk.faults.push_back(
                "sector " + std::to_string(sector) +
                (owner[sector] >= 0 ? " of a file is free" : " is wrongly marked"));
        }
    }
    if (free != (atr[kVtoc + 3] | atr[kVtoc + 4] << 8)) {
        disk.faults.push_back("free count differs from the bits");
    }
    return disk;
}

std::optional<Dos2File> FindFile(std::span<const std::uint8_t> atr, const std::string& name) {
    for (const Dos2File& file : ReadDos2(atr).files) {
        if (file.name == name) {
            return file;
        }
    }
    return std::nullopt;
}

Bytes Template(const std::vector<int>& free, int stored) {
    Bytes atr(16 + 720 * 128);
    for (std::size_t i = 16; i < atr.size(); ++i) {
        atr[i] = i >= kVtoc && i < At(369) ? 0 : static_cast<std::uint8_t>(i * 7 + i / 128);
    }
    const std::uint8_t header[] = {0x96, 0x02, 0x80, 0x16, 0x80},
                       vtoc[] = {2, 0xC3, 0x02, 0, 0, 0x55};
    std::copy(std::begin(header), std::end(header), atr.begin());
    std::copy(std::begin(vtoc), std::end(vtoc), atr.begin() + kVtoc);  // byte 5 travels unchanged
    for (int sector = 0; sector < 720; ++sector) {
        SetFree(atr, sector,
                free.empty() ? sector > 3 && (sector < 360 || sector > 368)
                             : std::count(free.begin(), free.end(), sector) > 0);
    }
    Recount(atr, stored);
    return atr;
}

void Recount(Bytes& atr, int stored) {
    int bits = 0;
    for (int sector = 0; sector < 720; ++sector) {
        bits += SectorFree(atr, sector) ? 1 : 0;
    }
    atr[kVtoc + 3] = static_cast<std::uint8_t>(stored < 0 ? bits : stored);
    atr[kVtoc + 4] = static_cast<std::uint8_t>((stored < 0 ? bits : stored) >> 8);
}

Bytes XexBytes(std::size_t length, std::uint32_t seed, bool plain) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = i < 2 && !plain
                       ? 0xFF
                       : static_cast<std::uint8_t>((i * 2654435761u + seed * 40503u) >> 13);
    }
    return bytes;
}

std::string ConvertFailLine() {
    return "Result:   " + std::string(39, '=') + " F A I L " + std::string(39, '=');
}

void ExpectImageHolds(const Bytes& image, const Bytes& template_image, const Bytes& xex) {
    const std::optional<Dos2File> file = FindFile(image, "AUTORUN SYS");
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->data, xex);
    int entry = 0;  // the first entry never used or deleted
    while (template_image[EntryAt(entry)] % 0x80 != 0) {
        ++entry;
    }
    EXPECT_EQ(file->number, entry);
    for (const std::string& fault : ReadDos2(image).faults) {
        EXPECT_NE(fault.find("file " + std::to_string(entry) + ":"), 0u) << fault;
    }
    std::vector<int> lowest;  // the lowest free sectors, in order
    for (int sector = 1; lowest.size() < std::max<std::size_t>(1, (xex.size() + 124) / 125);
         ++sector) {
        if (SectorFree(template_image, sector)) {
            lowest.push_back(sector);
        }
    }
    ASSERT_EQ(file->sectors, lowest);
    // Everything else as the template has it; sector 0, met first, is passed over used.
    Bytes expected = template_image;
    const std::uint8_t head[] = {0x42, static_cast<std::uint8_t>(lowest.size()),
                                 static_cast<std::uint8_t>(lowest.size() >> 8),
                                 static_cast<std::uint8_t>(lowest[0]),
                                 static_cast<std::uint8_t>(lowest[0] >> 8)};
    std::copy(std::begin(head), std::end(head), expected.begin() + EntryAt(entry));
    std::copy_n("AUTORUN SYS", 11, expected.begin() + EntryAt(entry) + 5);
    SetFree(expected, 0, false);
    for (const int sector : lowest) {
        SetFree(expected, sector, false);
        const std::size_t count = image[At(sector, 127)];  // data and links checked above
        std::copy_n(image.begin() + At(sector), count, expected.begin() + At(sector));
        std::copy_n(image.begin() + At(sector, 125), 3, expected.begin() + At(sector, 125));
        expected[At(sector, std::min<std::size_t>(count, 125))] =
            count < 125 ? 0 : image[At(sector, 125)];
    }
    Recount(expected, (template_image[kVtoc + 3] | template_image[kVtoc + 4] << 8) -
                          static_cast<int>(lowest.size()));
    const auto differ = std::mismatch(image.begin(), image.end(), expected.begin(), expected.end());
    EXPECT_TRUE(differ.first == image.end())
        << "first difference at offset " << differ.first - image.begin();
}

ConvertFixture::ConvertFixture() {
    std::filesystem::create_directory(program_dir);
    std::filesystem::create_directory(source_dir);
    PutTemplate(template_image);
}

ConversionRunTotals ConvertFixture::Run() {
    window.SetPattern("*.xex");
    EXPECT_TRUE(window.ApplyDirectory(source_dir).ok());
    return RunXexConversion(context, program_dir);
}

}  // namespace korvane::testing
