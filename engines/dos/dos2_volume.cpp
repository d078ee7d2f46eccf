// Reading DOS 2.0 disks, single density (720 x 128) and double density (720 x 256, the
// VTOC and directory in the first 128 bytes of their sectors); layout in dos2_layout.h.
#include "dos2_layout.h"
#include "le_bytes.h"
#include "volume_format.h"

namespace korvane {

namespace {

class Dos2Volume final : public VolumeFormat {
  public:
    explicit Dos2Volume(const VolumeGeometry& geometry) : geometry_(geometry) {}

    VolumeKind Kind() const override {
        return geometry_.sector_size == 128 ? VolumeKind::kDos2Single : VolumeKind::kDos2Double;
    }
    bool SystemSector(int sector) const override {
        return sector <= 3 || (sector >= dos2::kVtocSector && sector <= dos2::kDirectoryLastSector);
    }
    int ReadVtoc(SectorReader& reader, std::vector<FreeBit>& bits,
                 std::vector<std::string>& findings) const override {
        const std::span<const std::uint8_t> vtoc = reader.Sector(dos2::kVtocSector);
        if (vtoc.empty()) {
            return 0;
        }
        // Sector 720 and any beyond have no bit.
        for (int sector = 0; sector < dos2::kSectorCount && sector < static_cast<int>(bits.size());
             ++sector) {
            bits[static_cast<std::size_t>(sector)] =
                dos2::SectorFree(vtoc, sector) ? FreeBit::kFree : FreeBit::kUsed;
        }
        const int stated = ReadLe16(vtoc, dos2::kVtocFreeCount);
        const int counted = dos2::CountFreeSectors(vtoc);
        if (stated != counted) {
            findings.push_back(FreeCountFinding("VTOC", stated, counted));
        }
        return stated;
    }

  private:
    VolumeGeometry geometry_;
};

}  // namespace

std::unique_ptr<VolumeFormat> MakeDos2Volume(const VolumeGeometry& geometry) {
    return std::make_unique<Dos2Volume>(geometry);
}

}  // namespace korvane
