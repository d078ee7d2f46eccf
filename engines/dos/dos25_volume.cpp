// Reading DOS 2.5 enhanced-density disks (1040 x 128, VTOC2 in sector 1024); layout in
// dos25_layout.h.
#include "dos25_layout.h"
#include "dos2_layout.h"
#include "le_bytes.h"
#include "volume_format.h"

namespace korvane {

namespace {

class Dos25Volume final : public VolumeFormat {
  public:
    VolumeKind Kind() const override { return VolumeKind::kDos25Enhanced; }
    // A file that reaches sectors from 720 up has flags $03, which DOS 2.0 does not take
    // for a file in use.
    bool InUse(std::uint8_t flags) const override {
        return (flags & (dos2::kFlagInUse | dos2::kFlagOpenForOutput)) != 0;
    }
    bool SystemSector(int sector) const override {
        return sector <= 3 ||
               (sector >= dos2::kVtocSector && sector <= dos2::kDirectoryLastSector) ||
               sector == dos25::kFirstUpperSector || sector >= dos25::kVtoc2Sector;
    }
    int ReadVtoc(SectorReader& reader, std::vector<FreeBit>& bits,
                 std::vector<std::string>& findings) const override {
        const std::span<const std::uint8_t> read_vtoc = reader.Sector(dos2::kVtocSector);
        if (read_vtoc.empty()) {
            return 0;
        }
        const std::vector<std::uint8_t> vtoc(read_vtoc.begin(), read_vtoc.end());
        const std::span<const std::uint8_t> vtoc2 = reader.Sector(dos25::kVtoc2Sector);
        if (vtoc2.empty()) {
            return 0;
        }
        int upper_free = 0;
        for (int sector = 0; sector < dos25::kVtoc2Sector; ++sector) {
            bool free = false;
            if (sector < dos25::kFirstUpperSector) {
                free = dos2::SectorFree(vtoc, sector);
            } else {
                const int bit = sector - dos25::kFirstUpperSector;
                free = (vtoc2[dos25::kUpperBits + static_cast<std::size_t>(bit / 8)] &
                        0x80 >> bit % 8) != 0;
                upper_free += free ? 1 : 0;
            }
            bits[static_cast<std::size_t>(sector)] = free ? FreeBit::kFree : FreeBit::kUsed;
        }
        const int lower_stated = ReadLe16(vtoc, dos2::kVtocFreeCount);
        const int lower_counted = dos2::CountFreeSectors(vtoc);
        if (lower_stated != lower_counted) {
            findings.push_back(FreeCountFinding("VTOC", lower_stated, lower_counted));
        }
        const int upper_stated = ReadLe16(vtoc2, dos25::kUpperFree);
        if (upper_stated != upper_free) {
            findings.push_back(FreeCountFinding("VTOC2", upper_stated, upper_free));
        }
        return lower_stated + upper_stated;
    }
};

}  // namespace

std::unique_ptr<VolumeFormat> MakeDos25Volume() {
    return std::make_unique<Dos25Volume>();
}

}  // namespace korvane
