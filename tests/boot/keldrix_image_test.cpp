// The built template disk KELDRIX.ATR and the builder that lays it out.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "boot_fixture.h"
#include "boot_test_files.h"
#include "dos2_layout.h"
#include "le_bytes.h"
#include "template_layout.h"

namespace korvane::boottest {
namespace {

namespace fs = std::filesystem;

std::span<const std::uint8_t> SectorOf(const std::vector<std::uint8_t>& atr, int sector) {
    return std::span<const std::uint8_t>(atr).subspan(dos2::SectorOffset(sector),
                                                      dos2::kSectorSize);
}

bool FreeBit(std::span<const std::uint8_t> vtoc, int sector) {
    return (vtoc[dos2::kVtocBitmapFirst + sector / 8] & (0x80 >> (sector % 8))) != 0;
}

int SetBits(std::span<const std::uint8_t> vtoc) {
    int bits = 0;
    for (std::size_t i = dos2::kVtocBitmapFirst; i <= dos2::kVtocBitmapLast; ++i) {
        bits += std::popcount(vtoc[i]);
    }
    return bits;
}

TEST(KeldrixImage, HasTheSingleDensityLengthAndHeader) {
    const auto& atr = Template();
    ASSERT_EQ(atr.size(), 92176u);
    const std::uint8_t header[16] = {0x96, 0x02, 0x80, 0x16, 0x80, 0x00};
    EXPECT_TRUE(std::equal(std::begin(header), std::end(header), atr.begin()));
}

TEST(KeldrixImage, VtocCountsExactlyItsFreeBits) {
    const auto& atr = Template();
    const auto vtoc = SectorOf(atr, dos2::kVtocSector);
    EXPECT_EQ(vtoc[0], 2);
    EXPECT_EQ(ReadLe16(vtoc, 1), 707);
    const int stored = ReadLe16(vtoc, 3);
    EXPECT_EQ(stored, SetBits(vtoc));
    EXPECT_GT(stored, 0);
    for (std::size_t i = 5; i < dos2::kVtocBitmapFirst; ++i) {
        EXPECT_EQ(vtoc[i], 0) << "VTOC byte " << i;
    }
    for (std::size_t i = dos2::kVtocBitmapLast + 1; i < dos2::kSectorSize; ++i) {
        EXPECT_EQ(vtoc[i], 0) << "VTOC byte " << i;  // no bit for sector 720
    }
}

TEST(KeldrixImage, MarksOnlyBootVtocAndDirectorySectorsUsed) {
    const auto& atr = Template();
    const auto vtoc = SectorOf(atr, dos2::kVtocSector);
    const int boot_sectors = std::max(3, int{atr[16 + 1]});
    for (int sector = 0; sector < dos2::kSectorCount; ++sector) {
        const bool used = sector <= boot_sectors ||
                          (sector >= dos2::kVtocSector && sector <= dos2::kDirectoryLastSector);
        EXPECT_EQ(FreeBit(vtoc, sector), !used) << "sector " << sector;
    }
    EXPECT_EQ(ReadLe16(vtoc, 3), 710 - boot_sectors);
}

TEST(KeldrixImage, DirectoryAndEveryUnusedSectorAreZero) {
    const auto& atr = Template();
    const int boot_sectors = atr[16 + 1];
    for (int sector = boot_sectors + 1; sector <= dos2::kSectorCount; ++sector) {
        if (sector == dos2::kVtocSector) {
            continue;
        }
        const auto bytes = SectorOf(atr, sector);
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0; }))
            << "sector " << sector;
    }
}

TEST(KeldrixImage, BootHeaderDescribesTheLoader) {
    const auto& atr = Template();
    const auto loader = ReadFile(files::kLoaderBinary);
    const auto boot = SectorOf(atr, 1);
    EXPECT_EQ(boot[0], 0x00);
    EXPECT_EQ(boot[1], (loader.size() + 127) / 128);
    EXPECT_EQ(ReadLe16(boot, 2), 0x0700);
    // DOSINI points at an RTS inside the loader's code.
    const std::uint16_t init = ReadLe16(boot, 4);
    ASSERT_GE(init, 0x0706);
    ASSERT_LT(init, 0x0700 + loader.size());
    EXPECT_EQ(loader[init - 0x0700], 0x60);
    EXPECT_TRUE(std::equal(loader.begin(), loader.end(), atr.begin() + 16));
}

TEST(KeldrixImage, BuilderGivesTheSameBytesEveryRun) {
    char pattern[] = "/tmp/keldrix_build_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir(pattern);
    for (const char* name : {"first.atr", "second.atr"}) {
        const std::string command = std::string("\"") + files::kTemplateBuilder + "\" \"" +
                                    files::kLoaderBinary + "\" \"" + (dir / name).string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    const auto first = ReadFile((dir / "first.atr").string());
    const auto second = ReadFile((dir / "second.atr").string());
    fs::remove_all(dir);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, Template());
}

std::vector<std::uint8_t> FakeLoader(std::size_t size, std::uint8_t sectors) {
    std::vector<std::uint8_t> loader(size, 0xEA);
    loader[0] = 0x00;
    loader[1] = sectors;
    loader[2] = 0x00;
    loader[3] = 0x07;
    return loader;
}

TEST(TemplateBuilder, ReservesSectorsOneToThreeForAShortLoader) {
    auto built = bootdisk::BuildTemplateImage(FakeLoader(200, 2));
    ASSERT_TRUE(std::holds_alternative<bootdisk::TemplateImage>(built));
    const auto& image = std::get<bootdisk::TemplateImage>(built);
    EXPECT_EQ(image.boot_sectors, 3);
    EXPECT_EQ(image.free_sectors, 707);
    const auto vtoc = SectorOf(image.bytes, dos2::kVtocSector);
    EXPECT_EQ(vtoc[10], 0x0F);  // sectors 0-3 used, 4-7 free, as DOS 2 formats
    EXPECT_EQ(vtoc[55], 0x00);  // sectors 360-367
    EXPECT_EQ(vtoc[56], 0x7F);  // sector 368
}

TEST(TemplateBuilder, TakesSectorsFourOnForALongLoader) {
    auto built = bootdisk::BuildTemplateImage(FakeLoader(5 * 128, 5));
    ASSERT_TRUE(std::holds_alternative<bootdisk::TemplateImage>(built));
    const auto& image = std::get<bootdisk::TemplateImage>(built);
    EXPECT_EQ(image.free_sectors, 705);
    const auto vtoc = SectorOf(image.bytes, dos2::kVtocSector);
    EXPECT_FALSE(FreeBit(vtoc, 5));
    EXPECT_TRUE(FreeBit(vtoc, 6));
    EXPECT_EQ(ReadLe16(vtoc, 3), 705);
}

TEST(TemplateBuilder, RefusesABootHeaderThatDoesNotMatch) {
    EXPECT_TRUE(std::holds_alternative<std::string>(
        bootdisk::BuildTemplateImage(FakeLoader(300, 2))));  // 300 bytes take 3 sectors
    auto wrong_address = FakeLoader(128, 1);
    wrong_address[3] = 0x08;
    EXPECT_TRUE(std::holds_alternative<std::string>(bootdisk::BuildTemplateImage(wrong_address)));
    EXPECT_TRUE(std::holds_alternative<std::string>(
        bootdisk::BuildTemplateImage(std::vector<std::uint8_t>{0x00, 0x01})));
}

}  // namespace
}  // namespace korvane::boottest
