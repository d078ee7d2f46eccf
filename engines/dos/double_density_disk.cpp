// DOS 2 double density: 720 sectors of 256 bytes in the short layout (sectors 1-3 of 128
// bytes in the image), DOS 2 links in the last three bytes of each data sector. The VTOC
// (sector 360) and the directory (361-368) use the first 128 bytes of their sectors as
// on a single-density disk; sector 720 has no bit.
#include "disk_formats.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane {

namespace {

class DoubleDensityDisk final : public DiskFormat {
  public:
    int SectorSize() const override { return 256; }
    int SectorCount() const override { return dos2::kSectorCount; }
    LinkFormat Links() const override { return LinkFormat::kDos2; }
    std::uint8_t FileFlags() const override { return dos2::kFlagDos2File; }
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
};

}  // namespace

std::unique_ptr<DiskFormat> MakeDoubleDensityDisk() {
    return std::make_unique<DoubleDensityDisk>();
}

}  // namespace korvane
