// The MyDOS disk the fit mode lays out and the generator formats (layout in
// mydos_layout.h): 256- or 128-byte sectors; MyDOS writes its files on these disks with
// flag bit 2 set ($46): 16-bit links, no file number.
#include "disk_formats.h"
#include "dos2_layout.h"
#include "le_bytes.h"
#include "mydos_layout.h"

namespace korvane {

namespace {

using mydos::kSixteenBitLinkFlag;

class MyDosDisk final : public DiskFormat {
  public:
    MyDosDisk(int sectors, int sector_size)
        : sectors_(sectors),
          sector_size_(sector_size),
          vtoc_sectors_(mydos::VtocSectors(sectors, sector_size)) {}

    int SectorSize() const override { return sector_size_; }
    int SectorCount() const override { return sectors_; }
    LinkFormat Links() const override { return LinkFormat::kSixteenBit; }
    std::uint8_t FileFlags(std::span<const int> /*sectors*/) const override {
        return dos2::kFlagDos2File | kSixteenBitLinkFlag;
    }
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
                mydos::FreeBitPlace(sector, sector_size_, dos2::kVtocSector);
            disk.Sector(place.sector)[place.byte] |= place.mask;
            ++free;
        }
        const std::span<std::uint8_t> vtoc = disk.Sector(dos2::kVtocSector);
        vtoc[dos2::kVtocDosCode] = static_cast<std::uint8_t>(2 + mydos::VtocBlocks(sectors_));
        // Free sectors of a fresh disk: all but the boot sectors, the VTOC and the directory.
        WriteLe16(vtoc, dos2::kVtocTotalSectors,
                  static_cast<std::uint16_t>(sectors_ - 3 - vtoc_sectors_ - 8));
        WriteLe16(vtoc, dos2::kVtocFreeCount, static_cast<std::uint16_t>(free));
    }

  private:
    int sectors_;
    int sector_size_;
    int vtoc_sectors_;
};

}  // namespace

std::unique_ptr<DiskFormat> MakeMyDosDisk(int sectors, int sector_size) {
    return std::make_unique<MyDosDisk>(sectors, sector_size);
}

}  // namespace korvane
