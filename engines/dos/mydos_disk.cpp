// The MyDOS format for large disks: up to 65535 sectors of 256 bytes in the short layout,
// 16-bit links, a VTOC over several sectors.
//
//   sector 360    byte 0: 2 + the number of VTOC sectors (a value above 2 tells MyDOS
//                 that links are 16 bits wide); bytes 1-2: free sectors of a fresh disk;
//                 bytes 3-4: free sectors now
//   VTOC sectors  360, 359, 358, ... one after the other form one bit field: the bit of
//                 sector s is bit 7 - (s + 80) % 8 of bit-field byte (s + 80) / 8, byte
//                 k lying in sector 360 - k / 256 at byte k % 256 (so sector 0 is bit 7 of
//                 byte 10, as in DOS 2); set = free
//   directory     361-368 as in DOS 2; a file with 16-bit links has flag bit 2 set ($46)
#include "disk_formats.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane {

namespace {

constexpr int kSectorBytes = 256;
constexpr int kBitOffset = 80;  // bit-field position of sector 0: byte 10, bit 7
constexpr std::uint8_t kSixteenBitLinkFlag = 0x04;

int VtocSectors(int sectors) {
    return 1 + (sectors + kBitOffset) / (kSectorBytes * 8);
}

// Free sectors of a fresh disk: all but the boot sectors, the VTOC and the directory.
int FreshFree(int sectors) {
    return sectors - 3 - VtocSectors(sectors) - 8;
}

class MyDosDisk final : public DiskFormat {
  public:
    explicit MyDosDisk(int sectors) : sectors_(sectors), vtoc_sectors_(VtocSectors(sectors)) {}

    int SectorSize() const override { return kSectorBytes; }
    int SectorCount() const override { return sectors_; }
    LinkFormat Links() const override { return LinkFormat::kSixteenBit; }
    std::uint8_t FileFlags() const override { return dos2::kFlagDos2File | kSixteenBitLinkFlag; }
    bool Allocatable(int sector) const override {
        return sector > 3 && sector <= sectors_ &&
               (sector <= dos2::kVtocSector - vtoc_sectors_ || sector > dos2::kDirectoryLastSector);
    }
    void WriteVtoc(DosDisk& disk, const std::vector<bool>& used) const override {
        int free = 0;
        for (int sector = 1; sector <= sectors_; ++sector) {
            if (used[static_cast<std::size_t>(sector)]) {
                continue;
            }
            const int bit = sector + kBitOffset;
            const int byte = bit / 8;
            disk.Sector(dos2::kVtocSector -
                        byte / kSectorBytes)[static_cast<std::size_t>(byte % kSectorBytes)] |=
                static_cast<std::uint8_t>(0x80 >> bit % 8);
            ++free;
        }
        const std::span<std::uint8_t> vtoc = disk.Sector(dos2::kVtocSector);
        vtoc[dos2::kVtocDosCode] = static_cast<std::uint8_t>(2 + vtoc_sectors_);
        WriteLe16(vtoc, dos2::kVtocTotalSectors, static_cast<std::uint16_t>(FreshFree(sectors_)));
        WriteLe16(vtoc, dos2::kVtocFreeCount, static_cast<std::uint16_t>(free));
    }

  private:
    int sectors_;
    int vtoc_sectors_;
};

}  // namespace

int MyDosSectorsFor(std::int64_t file_sectors) {
    for (int sectors = kMyDosSmallest; sectors <= kMyDosLargest; ++sectors) {
        if (FreshFree(sectors) >= file_sectors) {
            return sectors;
        }
    }
    return 0;
}

std::unique_ptr<DiskFormat> MakeMyDosDisk(int sectors) {
    return std::make_unique<MyDosDisk>(sectors);
}

}  // namespace korvane
