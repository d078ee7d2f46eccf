// The test tree's DOS 2 writer, checked against the DOS 2 layout.
#include "dos2_writer.h"

#include <gtest/gtest.h>

#include <numeric>

#include "boot_fixture.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane::boottest {
namespace {

std::span<std::uint8_t> SectorOf(std::vector<std::uint8_t>& atr, int sector) {
    return std::span<std::uint8_t>(atr).subspan(dos2::SectorOffset(sector), dos2::kSectorSize);
}

std::vector<std::uint8_t> Counting(std::size_t length) {
    std::vector<std::uint8_t> data(length);
    std::iota(data.begin(), data.end(), std::uint8_t{1});
    return data;
}

TEST(Dos2Writer, ChainsSectorsInAscendingOrderWithLinksAndCounts) {
    auto atr = Template();
    const int free_before = ReadLe16(SectorOf(atr, dos2::kVtocSector), 3);
    const auto data = Counting(251);
    const auto file = WriteDos2File(atr, "AUTORUN.SYS", data);
    ASSERT_TRUE(file);
    ASSERT_EQ(file->sectors.size(), 3u);
    const int first_free = atr[16 + 1] < 3 ? 4 : atr[16 + 1] + 1;
    EXPECT_EQ(file->sectors, (std::vector<int>{first_free, first_free + 1, first_free + 2}));
    EXPECT_EQ(file->file_number, 0);

    auto first = SectorOf(atr, file->sectors[0]);
    EXPECT_EQ(first[127], 125);
    EXPECT_EQ(first[126], file->sectors[1] & 0xFF);
    EXPECT_EQ(first[125], file->sectors[1] >> 8);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 125, first.begin()));
    auto last = SectorOf(atr, file->sectors[2]);
    EXPECT_EQ(last[127], 1);
    EXPECT_EQ(last[126], 0);
    EXPECT_EQ(last[0], data[250]);

    auto vtoc = SectorOf(atr, dos2::kVtocSector);
    EXPECT_EQ(ReadLe16(vtoc, 3), free_before - 3);
    for (int sector : file->sectors) {
        EXPECT_EQ(vtoc[10 + sector / 8] & (0x80 >> (sector % 8)), 0) << sector;
    }
    auto entry = SectorOf(atr, dos2::kDirectoryFirstSector).subspan(0, 16);
    EXPECT_EQ(entry[0], 0x42);
    EXPECT_EQ(ReadLe16(entry, 1), 3);
    EXPECT_EQ(ReadLe16(entry, 3), file->sectors[0]);
    EXPECT_EQ(std::string(entry.begin() + 5, entry.end()), "AUTORUN SYS");
}

TEST(Dos2Writer, FullLastSectorEndsTheChain) {
    auto atr = Template();
    const auto file = WriteDos2File(atr, "A.B", Counting(250));
    ASSERT_TRUE(file);
    ASSERT_EQ(file->sectors.size(), 2u);
    EXPECT_EQ(SectorOf(atr, file->sectors[1])[127], 125);
    EXPECT_EQ(SectorOf(atr, file->sectors[1])[126], 0);
}

TEST(Dos2Writer, ReusesADeletedSlotAndNumbersFilesBySlot) {
    auto atr = Template();
    ASSERT_TRUE(WriteDos2File(atr, "ONE.DAT", Counting(10)));
    ASSERT_TRUE(WriteDos2File(atr, "TWO.DAT", Counting(10)));
    SectorOf(atr, dos2::kDirectoryFirstSector)[0] = 0x80;  // ONE.DAT deleted
    const auto third = WriteDos2File(atr, "THREE.DAT", Counting(10));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->slot, 0);
    const auto fourth = WriteDos2File(atr, "FOUR.DAT", Counting(10));
    ASSERT_TRUE(fourth);
    EXPECT_EQ(fourth->file_number, 2);
    EXPECT_EQ(SectorOf(atr, fourth->sectors[0])[125] >> 2, 2);
}

TEST(Dos2Writer, FileNumbersContinueInTheNextDirectorySector) {
    auto atr = Template();
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(WriteDos2File(atr, "FILL.DAT", Counting(1)));
    }
    const auto file = WriteDos2File(atr, "NINTH.DAT", Counting(300));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->directory_sector, dos2::kDirectoryFirstSector + 1);
    EXPECT_EQ(file->file_number, 8);
    for (int sector : file->sectors) {
        EXPECT_EQ(SectorOf(atr, sector)[125] >> 2, 8);
    }
}

TEST(Dos2Writer, RefusesWithoutChangesWhenTheDiskIsFull) {
    auto atr = Template();
    const int free = ReadLe16(SectorOf(atr, dos2::kVtocSector), 3);
    const auto before = atr;
    EXPECT_FALSE(WriteDos2File(atr, "BIG.DAT", Counting(free * 125 + 1)));
    EXPECT_EQ(atr, before);
    const auto file = WriteDos2File(atr, "BIG.DAT", Counting(free * 125));
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadLe16(SectorOf(atr, dos2::kVtocSector), 3), 0);
}

}  // namespace
}  // namespace korvane::boottest
