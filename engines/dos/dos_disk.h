// The sector and link code shared by the disk formats the converter lays out itself:
// an ATR image held in memory whose sectors 1 to 3 are 128 bytes and every other sector
// 128 or 256 bytes (the short layout), DOS 2 data sectors with their three link bytes,
// directory entries, and the lay-out of a bootable disk from the template's boot loader.
//
//   data sector of S bytes   bytes 0 to S-4 data;
//                            byte S-3: file number << 2 | next sector bits 9-8 (DOS 2
//                            links), or next sector bits 15-8 (16-bit links);
//                            byte S-2: next sector bits 7-0; byte S-1: data bytes here
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvane {

// How a data sector names the next one.
enum class LinkFormat { kDos2, kSixteenBit };

class DosDisk {
  public:
    // A blank image: the ATR header and `sector_count` zeroed sectors.
    DosDisk(int sector_size, int sector_count);

    int sector_size() const { return sector_size_; }
    int sector_count() const { return sector_count_; }
    // Sector `sector` (1-based): 128 bytes for sectors 1 to 3, sector_size() otherwise.
    std::span<std::uint8_t> Sector(int sector);
    std::vector<std::uint8_t>& bytes() { return bytes_; }

  private:
    int sector_size_;
    int sector_count_;
    std::vector<std::uint8_t> bytes_;
};

// One disk kind the converter can lay out besides the template: its geometry, its link
// format and its VTOC. A file per kind implements it.
class DiskFormat {
  public:
    virtual ~DiskFormat() = default;
    virtual int SectorSize() const = 0;
    virtual int SectorCount() const = 0;
    virtual LinkFormat Links() const = 0;
    // The flag byte of a file's directory entry, as the DOS writes it for a file in
    // `sectors` (its highest sector decides on a DOS 2.5 disk).
    virtual std::uint8_t FileFlags(std::span<const int> sectors) const = 0;
    // Whether a file may take `sector` on a freshly formatted disk of this kind.
    virtual bool Allocatable(int sector) const = 0;
    // Writes the VTOC sectors for a disk whose sectors in `used` are taken.
    virtual void WriteVtoc(DosDisk& disk, const std::vector<bool>& used) const = 0;

    // Data bytes of one data sector.
    std::int64_t DataBytesPerSector() const { return SectorSize() - 3; }
};

// The boot loader as the template holds it: the three boot sectors and the data of its
// second part, the locked file KELDRIX.SYS.
struct BootLoader {
    std::vector<std::uint8_t> boot_sectors;  // 384 bytes
    std::vector<std::uint8_t> loader_file;
};

// Writes `data` into `sectors` in that order as one file with DOS 2 data sectors; the
// last sector links to 0. `sectors` holds at least one sector.
void WriteFileSectors(DosDisk& disk, std::span<const int> sectors,
                      std::span<const std::uint8_t> data, int file_number, LinkFormat links);

// Writes directory entry `index` (0 to 63; eight 16-byte entries in each of sectors 361
// to 368): flags, sector count, first sector and the 11-character name.
void WriteDirectoryEntry(DosDisk& disk, int index, std::uint8_t flags, std::int64_t sectors,
                         int first_sector, const char* name);

// The number of data sectors a file of `length` bytes takes: at least one.
std::int64_t SectorsNeeded(std::int64_t length, std::int64_t bytes_per_sector);

// Whether the boot sectors carry the loader's disk parameters for the template's own
// disk: DOS 2 links, KELDRIX.SYS as file 0, 128-byte sectors.
bool HoldsSingleDensityParameters(std::span<const std::uint8_t> boot_sectors);

// The first sectors of a freshly formatted disk of `format` (the image bytes behind the
// header): the empty directory and the VTOC with every sector a file may take free. All
// sectors from the returned ones on are zero; the returned part covers the VTOC sectors.
std::vector<std::uint8_t> FormattedDiskHead(const DiskFormat& format);

// Lays out a bootable disk of `format`: the loader's boot sectors with its disk parameters
// set for the format, AUTORUN.SYS (`xex`) in directory entry 0 and KELDRIX.SYS in entry 1,
// each in the lowest free sectors, KELDRIX.SYS first, and the VTOC. Empty when the disk
// cannot hold both files.
std::vector<std::uint8_t> LayOutBootDisk(const DiskFormat& format, const BootLoader& loader,
                                         std::span<const std::uint8_t> xex);

}  // namespace korvane
