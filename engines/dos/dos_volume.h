// Reading the DOS file system of an ATR image: which file system the disk holds, its
// directory, each file's sector chain, and the check of the VTOC, the chains and the
// directory entries against each other. The sectors are read through the open file, a
// window at a time, so that a disk of any size is read in bounded memory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "file_system.h"

namespace korvane {

enum class VolumeKind {
    kDos2Single,     // DOS 2.0, 720 sectors of 128 bytes
    kDos2Double,     // DOS 2.0, 720 sectors of 256 bytes
    kDos25Enhanced,  // DOS 2.5, 1040 sectors of 128 bytes with VTOC2
    kMyDos,          // MyDOS, other geometries and VTOCs over several sectors
    kSpartaDos,      // SpartaDOS file system: named, not read
    kBootOnly,       // a boot program and no DOS file system
    kUnformatted,    // nothing written: boot sector, VTOC and directory all zeros
    kNotReadable,    // no ATR image, or one whose sectors can not be read
};

// "DOS 2.0 single density", "MyDOS", "SpartaDOS", ...
std::string DescribeVolumeKind(VolumeKind kind);
// Whether the reader lists and checks the kind's files.
bool IsDosVolume(VolumeKind kind);

struct VolumeGeometry {
    int sector_size = 128;
    int sector_count = 0;
    // 256-byte sectors with sectors 1-3 of 128 bytes in the image.
    bool short_boot = true;
};

// One directory entry and what its chain holds.
struct VolumeFile {
    std::string directory;  // "" in the main directory, else "SUBDIR>" for each level
    int entry = 0;          // index in its directory, the file number of DOS 2 links
    std::uint8_t flags = 0;
    std::array<std::uint8_t, 11> name{};
    int listed_sectors = 0;  // the directory's sector count
    int first_sector = 0;
    int chain_sectors = 0;  // sectors of the chain as far as it can be followed
    std::int64_t bytes = 0;

    bool deleted() const;
    bool locked() const;
    bool subdirectory() const;
    // The name as the disk's directory shows it: "NAME.EXT", blanks dropped, bytes
    // outside printable ASCII written as \xNN; subdirectories lead with their path.
    std::string DisplayName() const;
};

struct VolumeListing {
    FsStatus status = FsStatus::Ok();  // why the image could not be read
    bool read_failed = false;          // a read of the open file failed (not its content)
    VolumeKind kind = VolumeKind::kNotReadable;
    VolumeGeometry geometry;
    int free_sectors = 0;  // as the VTOC says
    std::vector<VolumeFile> files;
    // The check's findings, one line each, naming the file and the sectors.
    std::vector<std::string> findings;
};

// Finds the file system of the image open in `image` and, on a DOS disk, reads its
// directory, follows each file's chain and checks the disk.
VolumeListing ReadVolume(InputFile& image);

// Hands the data of `file` (of a listing ReadVolume made of this image) to `write`, a
// sector's bytes at a time, following its chain as far as it goes.
FsStatus ExtractVolumeFile(InputFile& image, const VolumeListing& listing, const VolumeFile& file,
                           const std::function<FsStatus(std::span<const std::uint8_t>)>& write);

}  // namespace korvane
