// The DOS 2.5 enhanced-density disk the fit mode lays out (layout in dos25_layout.h).
#include <algorithm>

#include "disk_formats.h"
#include "dos25_layout.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane {

namespace {

using namespace dos25;

class Dos25Disk final : public DiskFormat {
  public:
    int SectorSize() const override { return 128; }
    int SectorCount() const override { return kSectors; }
    LinkFormat Links() const override { return LinkFormat::kDos2; }
    // DOS 2.5 writes $03 for a file that reaches beyond sector 719, so that DOS 2.0,
    // which can not follow it there, takes it for a file still open and leaves it alone.
    std::uint8_t FileFlags(std::span<const int> sectors) const override {
        return std::any_of(sectors.begin(), sectors.end(),
                           [](int sector) { return sector >= kFirstUpperSector; })
                   ? kFlagBeyondSingleDensity
                   : dos2::kFlagDos2File;
    }
    bool Allocatable(int sector) const override {
        return sector > 3 && (sector < dos2::kVtocSector || sector > dos2::kDirectoryLastSector) &&
               sector != kFirstUpperSector && sector < kVtoc2Sector;
    }
    void WriteVtoc(DosDisk& disk, const std::vector<bool>& used) const override {
        const std::span<std::uint8_t> vtoc = disk.Sector(dos2::kVtocSector);
        const std::span<std::uint8_t> vtoc2 = disk.Sector(kVtoc2Sector);
        int lower_free = 0, upper_free = 0;
        for (int sector = 1; sector < kVtoc2Sector; ++sector) {
            if (used[static_cast<std::size_t>(sector)]) {
                continue;
            }
            if (sector < kFirstUpperSector) {
                dos2::SetSectorFree(vtoc, sector, true);
                ++lower_free;
            } else {
                const int bit = sector - kFirstUpperSector;
                vtoc2[kUpperBits + static_cast<std::size_t>(bit / 8)] |=
                    static_cast<std::uint8_t>(0x80 >> bit % 8);
                ++upper_free;
            }
        }
        vtoc[dos2::kVtocDosCode] = dos2::kDosCode;
        WriteLe16(vtoc, dos2::kVtocTotalSectors, kFreshFree);
        WriteLe16(vtoc, dos2::kVtocFreeCount, static_cast<std::uint16_t>(lower_free));
        std::copy_n(vtoc.begin() + kRepeatFrom, kRepeatLength, vtoc2.begin());
        WriteLe16(vtoc2, kUpperFree, static_cast<std::uint16_t>(upper_free));
    }
};

}  // namespace

std::unique_ptr<DiskFormat> MakeEnhancedDensityDisk() {
    return std::make_unique<Dos25Disk>();
}

}  // namespace korvane
