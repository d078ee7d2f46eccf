// The pieces of the DOS file-system reader that differ from one disk kind to the next:
// which sectors the file system keeps, where the VTOC's free bits lie, how links are
// stored. One file per kind implements it, beside the writer of the same kind.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dos_volume.h"

namespace korvane {

// The sectors of an image, read through its open file a window of whole sectors at a
// time.
class SectorReader {
  public:
    SectorReader(InputFile& file, const VolumeGeometry& geometry);
    // Sector `sector` (1-based): 128 bytes for sectors 1 to 3 in the short layout, else
    // the sector size. Empty when it can not be read; status() then says why.
    std::span<const std::uint8_t> Sector(int sector);
    const FsStatus& status() const { return status_; }
    // Whether a read of the file failed, rather than the image ending early.
    bool read_failed() const { return read_failed_; }
    const VolumeGeometry& geometry() const { return geometry_; }

  private:
    InputFile& file_;
    VolumeGeometry geometry_;
    std::vector<std::uint8_t> window_;
    std::int64_t window_start_ = -1;
    FsStatus status_ = FsStatus::Ok();
    bool read_failed_ = false;
};

// The free bit of each sector: kNoBit for sectors the VTOC has no bit for.
enum class FreeBit : std::uint8_t { kUsed, kFree, kNoBit };

class VolumeFormat {
  public:
    virtual ~VolumeFormat() = default;
    virtual VolumeKind Kind() const = 0;
    // Whether a data sector of a file with these directory flags links with 16 bits.
    virtual bool SixteenBitLinks(std::uint8_t /*flags*/) const { return false; }
    virtual bool Subdirectories() const { return false; }
    // Whether directory flags mark a file in use: bit 6 ($40).
    virtual bool InUse(std::uint8_t flags) const { return (flags & 0x40) != 0; }
    // The sectors the file system keeps for itself (boot sectors, VTOC, directory) and
    // those no file may take.
    virtual bool SystemSector(int sector) const = 0;
    // Reads the VTOC into `bits` (index = sector, 0 to the sector count), returns the
    // free sectors it states and adds a finding for each count that disagrees with the
    // bit field.
    virtual int ReadVtoc(SectorReader& reader, std::vector<FreeBit>& bits,
                         std::vector<std::string>& findings) const = 0;
};

// DOS 2.0 single (720 x 128) and double density (720 x 256).
std::unique_ptr<VolumeFormat> MakeDos2Volume(const VolumeGeometry& geometry);
// DOS 2.5 enhanced density (1040 x 128).
std::unique_ptr<VolumeFormat> MakeDos25Volume();
// MyDOS: any other geometry, one or more VTOC sectors.
std::unique_ptr<VolumeFormat> MakeMyDosVolume(const VolumeGeometry& geometry);

// The finding for a stated free count that the bit field does not bear out.
std::string FreeCountFinding(const std::string& which, int stated, int counted);

}  // namespace korvane
