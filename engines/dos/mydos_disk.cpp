// The MyDOS disk the fit mode lays out (layout in mydos_layout.h).
#include "disk_formats.h"
#include "dos2_layout.h"
#include "le_bytes.h"
#include "mydos_layout.h"

namespace korvane {

namespace {

constexpr int kSectorBytes = 256;
using mydos::kSixteenBitLinkFlag;

int VtocSectors(int sectors) {
    return mydos::VtocSectors(sectors, kSectorBytes);
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
            const mydos::BitPlace place =
                mydos::FreeBitPlace(sector, kSectorBytes, dos2::kVtocSector);
            disk.Sector(place.sector)[place.byte] |= place.mask;
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
