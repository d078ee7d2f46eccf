// DOS 2.0 on 720 sectors: single density (128 bytes a sector) and double density (256
// bytes, the short layout: sectors 1-3 of 128 bytes in the image), DOS 2 links in the
// last three bytes of each data sector. The VTOC (sector 360) and the directory (361-368)
// use the first 128 bytes of their sectors as on a single-density disk; sector 720 has
// no bit.
#include "disk_formats.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane {

namespace {

class Dos2Disk final : public DiskFormat {
  public:
    explicit Dos2Disk(int sector_size) : sector_size_(sector_size) {}

    int SectorSize() const override { return sector_size_; }
    int SectorCount() const override { return dos2::kSectorCount; }
    LinkFormat Links() const override { return LinkFormat::kDos2; }
    std::uint8_t FileFlags(std::span<const int> /*sectors*/) const override {
        return dos2::kFlagDos2File;
    }
    bool Allocatable(int sector) const override {
        return sector > 3 && (sector < dos2::kVtocSector || sector > dos2::kDirectoryLastSector) &&
               sector < dos2::kSectorCount;
    }
    void WriteVtoc(DosDisk& disk, const std::vector<bool>& used) const override {
        const std::span<std::uint8_t> vtoc = disk.Sector(dos2::kVtocSector);
        int free = 0;
        for (int sector = 1; sector < dos2::kSectorCount; ++sector) {
            if (!used[static_cast<std::size_t>(sector)]) {
                dos2::SetSectorFree(vtoc, sector, true);
                ++free;
            }
        }
        vtoc[dos2::kVtocDosCode] = dos2::kDosCode;
        WriteLe16(vtoc, dos2::kVtocTotalSectors, dos2::kTotalSectors);
        WriteLe16(vtoc, dos2::kVtocFreeCount, static_cast<std::uint16_t>(free));
    }

  private:
    int sector_size_;
};

}  // namespace

std::unique_ptr<DiskFormat> MakeDoubleDensityDisk() {
    return std::make_unique<Dos2Disk>(256);
}

std::unique_ptr<DiskFormat> MakeSingleDensityDisk() {
    return std::make_unique<Dos2Disk>(128);
}

std::unique_ptr<DiskFormat> FormatFor(DosChoice dos, int sector_size, std::int64_t sectors) {
    const bool single = sector_size == 128;
    switch (dos) {
        case DosChoice::kDos2:
            return sectors != dos2::kSectorCount ? nullptr
                   : single                      ? MakeSingleDensityDisk()
                                                 : MakeDoubleDensityDisk();
        case DosChoice::kDos25:
            return single && sectors == 1040 ? MakeEnhancedDensityDisk() : nullptr;
        case DosChoice::kMyDos:
            return sectors < kMyDosSmallest || sectors > kMyDosLargest ||
                           (single && sectors == 1040)
                       ? nullptr
                       : MakeMyDosDisk(static_cast<int>(sectors), sector_size);
        case DosChoice::kNone:
            break;
    }
    return nullptr;
}

}  // namespace korvane
