// DOS 2.5 enhanced density: 1040 sectors of 128 bytes, DOS 2 links, two VTOC sectors.
//
//   sector 360   VTOC as on a single-density disk: byte 0 DOS code 2, bytes 1-2 total
//                free sectors of a fresh disk (1010), bytes 3-4 free sectors below 720,
//                bytes 10-99 bit field of sectors 0 to 719 (set = free)
//   sector 1024  VTOC2: bytes 0-83 repeat the bit field of sectors 48 to 719 (VTOC bytes
//                16-99), bytes 84-121 bit field of sectors 720 to 1023, bytes 122-123
//                free sectors from 720 up
//   Sector 720 is kept used, as DOS 2.5 formats it; 1024 to 1040 lie beyond the 10-bit
//   links and are never handed out.
#include <algorithm>

#include "disk_formats.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace korvane {

namespace {

constexpr int kSectors = 1040;
constexpr int kVtoc2Sector = 1024;
constexpr int kFreshFree = 1010;
constexpr int kFirstUpperSector = 720;
constexpr std::size_t kRepeatFrom = 16;    // VTOC byte of sectors 48 onward
constexpr std::size_t kRepeatLength = 84;  // VTOC bytes 16-99
constexpr std::size_t kUpperBits = 84;     // VTOC2 byte of sector 720
constexpr std::size_t kUpperFree = 122;

class Dos25Disk final : public DiskFormat {
  public:
    int SectorSize() const override { return 128; }
    int SectorCount() const override { return kSectors; }
    LinkFormat Links() const override { return LinkFormat::kDos2; }
    std::uint8_t FileFlags() const override { return dos2::kFlagDos2File; }
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
