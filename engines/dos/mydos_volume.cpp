// Reading MyDOS disks: 128- or 256-byte sectors, up to 65535 of them, the VTOC's bit field
// running down from sector 360 over as many sectors as the disk needs, 16-bit links in
// the files marked for them on disks beyond 1023 sectors, subdirectories; layout in
// mydos_layout.h.
#include "dos2_layout.h"
#include "le_bytes.h"
#include "mydos_layout.h"
#include "volume_format.h"

namespace korvane {

namespace {

class MyDosVolume final : public VolumeFormat {
  public:
    explicit MyDosVolume(const VolumeGeometry& geometry)
        : geometry_(geometry),
          vtoc_sectors_(mydos::VtocSectors(geometry.sector_count, geometry.sector_size)) {}

    VolumeKind Kind() const override { return VolumeKind::kMyDos; }
    bool SixteenBitLinks(std::uint8_t flags) const override {
        return (flags & mydos::kSixteenBitLinkFlag) != 0 &&
               geometry_.sector_count > mydos::kLargestTenBitDisk;
    }
    bool Subdirectories() const override { return true; }
    bool SystemSector(int sector) const override {
        return sector <= 3 ||
               (sector > dos2::kVtocSector - vtoc_sectors_ && sector <= dos2::kDirectoryLastSector);
    }
    int ReadVtoc(SectorReader& reader, std::vector<FreeBit>& bits,
                 std::vector<std::string>& findings) const override {
        // The VTOC sectors, 360 first, held together (at most 33 sectors of 256 bytes).
        const auto size = static_cast<std::size_t>(geometry_.sector_size);
        std::vector<std::uint8_t> field(static_cast<std::size_t>(vtoc_sectors_) * size);
        for (int k = 0; k < vtoc_sectors_; ++k) {
            const std::span<const std::uint8_t> sector = reader.Sector(dos2::kVtocSector - k);
            if (sector.size() != size) {
                return 0;
            }
            std::copy(
                sector.begin(), sector.end(),
                field.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(k) * size));
        }
        int counted = 0;
        for (int sector = 0; sector <= geometry_.sector_count; ++sector) {
            const mydos::BitPlace place =
                mydos::FreeBitPlace(sector, geometry_.sector_size, dos2::kVtocSector);
            const std::size_t at =
                static_cast<std::size_t>(dos2::kVtocSector - place.sector) * size + place.byte;
            const bool free = (field[at] & place.mask) != 0;
            counted += free ? 1 : 0;
            bits[static_cast<std::size_t>(sector)] = free ? FreeBit::kFree : FreeBit::kUsed;
        }
        const int stated = ReadLe16(field, dos2::kVtocFreeCount);
        if (stated != counted) {
            findings.push_back(FreeCountFinding("VTOC", stated, counted));
        }
        return stated;
    }

  private:
    VolumeGeometry geometry_;
    int vtoc_sectors_;
};

}  // namespace

std::unique_ptr<VolumeFormat> MakeMyDosVolume(const VolumeGeometry& geometry) {
    return std::make_unique<MyDosVolume>(geometry);
}

}  // namespace korvane
