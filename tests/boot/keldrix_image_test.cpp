// The built template disk KELDRIX.ATR and the builder that lays it out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "boot_fixture.h"
#include "boot_test_files.h"
#include "dos2_layout.h"
#include "le_bytes.h"
#include "temp_dir.h"
#include "template_layout.h"

namespace korvane::boottest {
namespace {

std::span<const std::uint8_t> SectorOf(const std::vector<std::uint8_t>& atr, int sector) {
    return std::span<const std::uint8_t>(atr).subspan(dos2::SectorOffset(sector),
                                                      dos2::kSectorSize);
}

bool FreeBit(std::span<const std::uint8_t> vtoc, int sector) {
    return (vtoc[dos2::kVtocBitmapFirst + sector / 8] & (0x80 >> (sector % 8))) != 0;
}

// A fresh DOS 2 disk around the loader: header, boot sectors, VTOC, nothing else.
TEST(KeldrixImage, LoaderInTheBootSectorsAndAnEmptyDos2Disk) {
    const auto& atr = Template();
    const auto loader = ReadFile(files::kLoaderBinary);
    ASSERT_EQ(atr.size(), 92176u);
    const std::vector<std::uint8_t> header = {0x96, 0x02, 0x80, 0x16, 0x80, 0, 0, 0,
                                              0,    0,    0,    0,    0,    0, 0, 0};
    EXPECT_TRUE(std::equal(header.begin(), header.end(), atr.begin()));

    // The boot header describes the loader; DOSINI points at an RTS inside its code.
    const auto boot = SectorOf(atr, 1);
    const int boot_sectors = boot[1];
    EXPECT_EQ(boot[0], 0x00);
    EXPECT_EQ(boot_sectors, static_cast<int>((loader.size() + 127) / 128));
    EXPECT_GT(boot_sectors, 3);  // the builder's short case is checked below
    EXPECT_EQ(ReadLe16(boot, 2), 0x0700);
    const std::uint16_t init = ReadLe16(boot, 4);
    ASSERT_GE(init, 0x0706);
    ASSERT_LT(init, 0x0700 + loader.size());
    EXPECT_EQ(loader[init - 0x0700], 0x60);
    EXPECT_TRUE(std::equal(loader.begin(), loader.end(), atr.begin() + 16));

    // Only boot, VTOC and directory sectors used; the count agrees; the rest is zero.
    const auto vtoc = SectorOf(atr, dos2::kVtocSector);
    EXPECT_EQ(vtoc[0], 2);
    EXPECT_EQ(ReadLe16(vtoc, 1), 707);
    EXPECT_EQ(ReadLe16(vtoc, 3), 710 - boot_sectors);
    for (int sector = 0; sector < dos2::kSectorCount; ++sector) {
        const bool used = sector <= boot_sectors ||
                          (sector >= dos2::kVtocSector && sector <= dos2::kDirectoryLastSector);
        EXPECT_EQ(FreeBit(vtoc, sector), !used) << "sector " << sector;
    }
    for (std::size_t i = 5; i < dos2::kSectorSize; ++i) {
        if (i < dos2::kVtocBitmapFirst || i > dos2::kVtocBitmapLast) {
            EXPECT_EQ(vtoc[i], 0) << "VTOC byte " << i;  // no bit for sector 720
        }
    }
    for (int sector = boot_sectors + 1; sector <= dos2::kSectorCount; ++sector) {
        const auto bytes = SectorOf(atr, sector);
        EXPECT_TRUE(sector == dos2::kVtocSector ||
                    std::all_of(bytes.begin(), bytes.end(), [](auto b) { return b == 0; }))
            << "sector " << sector;
    }
}

TEST(KeldrixImage, BuilderGivesTheSameBytesEveryRun) {
    const korvane::testing::TempDir dir;
    const std::string path = (dir / "again.atr").string();
    const std::string command = std::string("\"") + files::kTemplateBuilder + "\" \"" +
                                files::kLoaderBinary + "\" \"" + path + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(ReadFile(path), Template());
}

std::vector<std::uint8_t> FakeLoader(std::size_t size, std::uint8_t sectors) {
    std::vector<std::uint8_t> loader(size, 0xEA);
    const std::uint8_t header[] = {0x00, sectors, 0x00, 0x07};
    std::copy(std::begin(header), std::end(header), loader.begin());
    return loader;
}

TEST(TemplateBuilder, ShortLoaderStillKeepsSectorsOneToThree) {
    auto built = bootdisk::BuildTemplateImage(FakeLoader(200, 2));
    ASSERT_TRUE(std::holds_alternative<bootdisk::TemplateImage>(built));
    const auto& image = std::get<bootdisk::TemplateImage>(built);
    EXPECT_EQ(image.boot_sectors, 3);
    EXPECT_EQ(image.free_sectors, 707);
    const auto vtoc = SectorOf(image.bytes, dos2::kVtocSector);
    EXPECT_EQ(vtoc[10], 0x0F);  // sectors 0-3 used, 4-7 free, as DOS 2 formats
    EXPECT_EQ(ReadLe16(vtoc, 3), 707);
}

TEST(TemplateBuilder, RefusesABootHeaderThatDoesNotMatch) {
    auto wrong_address = FakeLoader(128, 1);
    wrong_address[3] = 0x08;
    for (const auto& loader : {FakeLoader(300, 2) /* 300 bytes take 3 sectors */, wrong_address,
                               std::vector<std::uint8_t>{0x00, 0x01}}) {
        EXPECT_TRUE(std::holds_alternative<std::string>(bootdisk::BuildTemplateImage(loader)));
    }
}

}  // namespace
}  // namespace korvane::boottest
