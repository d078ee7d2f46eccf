#include "convert_fixture.h"

#include <algorithm>

namespace korvane::testing {

Bytes XexBytes(std::size_t length, std::uint32_t seed, bool plain) {
    Bytes bytes(length);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint8_t& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    if (!plain && length >= 2) {
        bytes[0] = 0xFF;
        bytes[1] = 0xFF;
    }
    return bytes;
}

std::string ConvertFailLine() {
    return "Result:   " + std::string(39, '=') + " F A I L " + std::string(39, '=');
}

void ExpectImageHolds(const Bytes& image, const Bytes& template_image, const Bytes& xex) {
    ASSERT_EQ(image.size(), 92176u);
    const int needed = static_cast<int>((xex.size() + 124) / 125);

    const std::optional<Dos2Entry> entry = FindDos2Entry(image, "AUTORUN SYS");
    ASSERT_TRUE(entry.has_value()) << "no AUTORUN.SYS entry";
    EXPECT_EQ(entry->flags, 0x42);
    EXPECT_EQ(entry->sector_count, needed);
    const Dos2File file = ReadDos2File(image, *entry);
    EXPECT_EQ(file.error, "");
    EXPECT_TRUE(file.bytes == xex) << "AUTORUN.SYS differs from the XEX file";

    // The sectors taken are the template's first free ones, in ascending order.
    std::vector<int> free_sectors;
    for (int sector = 1; sector < 720 && free_sectors.size() < file.sectors.size(); ++sector) {
        if (VtocSectorFree(template_image, sector)) {
            free_sectors.push_back(sector);
        }
    }
    EXPECT_EQ(file.sectors, free_sectors);
    ASSERT_EQ(static_cast<int>(file.sectors.size()), needed);
    EXPECT_EQ(file.sectors.front(), entry->first_sector);
    for (int i = 0; i < needed; ++i) {
        const int expected = i + 1 < needed ? 125 : static_cast<int>(xex.size()) - 125 * i;
        EXPECT_EQ(file.byte_counts[static_cast<std::size_t>(i)], expected) << "sector " << i;
        EXPECT_EQ(file.file_numbers[static_cast<std::size_t>(i)], entry->file_number);
    }

    // VTOC: the count goes down by the sectors taken, and so do the bits (a free bit of
    // sector 0 is cleared on the way).
    EXPECT_EQ(VtocStoredFree(image), VtocStoredFree(template_image) - needed);
    const int sector0 = VtocSectorFree(template_image, 0) ? 1 : 0;
    EXPECT_EQ(VtocFreeBits(image), VtocFreeBits(template_image) - needed - sector0);
    for (const int sector : file.sectors) {
        EXPECT_FALSE(VtocSectorFree(image, sector));
    }

    // Every other byte keeps the template's value.
    std::vector<bool> changed(image.size(), false);
    const std::size_t entry_at = SectorAt(361 + entry->file_number / 8) +
                                 static_cast<std::size_t>(entry->file_number % 8) * 16;
    for (std::size_t k = 0; k < 16; ++k) {
        changed.at(entry_at + k) = true;
    }
    for (std::size_t k : {3u, 4u}) {
        changed.at(SectorAt(360) + k) = true;
    }
    for (std::size_t k = 10; k <= 99; ++k) {
        changed.at(SectorAt(360) + k) = true;
    }
    for (std::size_t i = 0; i < file.sectors.size(); ++i) {
        const std::size_t at = SectorAt(file.sectors[i]);
        const auto count = static_cast<std::size_t>(file.byte_counts[i]);
        for (std::size_t k = 0; k < count; ++k) {
            changed.at(at + k) = true;
        }
        if (count < 125) {
            EXPECT_EQ(image[at + count], 0) << "no terminating zero in the last sector";
            changed.at(at + count) = true;
        }
        for (std::size_t k = 125; k < 128; ++k) {
            changed.at(at + k) = true;
        }
    }
    std::size_t differing = 0;
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (!changed[i] && image[i] != template_image[i]) {
            ++differing;
        }
    }
    EXPECT_EQ(differing, 0u) << "bytes outside the new file differ from the template";
}

ConvertFixture::ConvertFixture()
    : program_dir(temp / "program"),
      source_dir(temp / "atari"),
      template_image(TemplateBuilder().Build()) {
    std::filesystem::create_directory(program_dir);
    std::filesystem::create_directory(source_dir);
    PutTemplate(template_image);
}

ConversionRunTotals ConvertFixture::Run() {
    window.plain.SetPattern("*.xex");
    EXPECT_TRUE(window.plain.ApplyDirectory(source_dir).ok());
    return RunXexConversion(context, program_dir);
}

}  // namespace korvane::testing
