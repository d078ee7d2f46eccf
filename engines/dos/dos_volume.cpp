#include "dos_volume.h"

#include <algorithm>
#include <map>

#include "atr_header.h"
#include "dos2_layout.h"
#include "le_bytes.h"
#include "mydos_layout.h"
#include "volume_format.h"

namespace korvane {

namespace {

// Bytes read from the image at once: whole sectors around the one asked for.
constexpr std::int64_t kWindowBytes = 64 * 1024;
constexpr int kBootSectorSize = 128;
// Subdirectories deeper than this are not followed.
constexpr int kDeepestDirectory = 8;
// Entries read from a disk at most, subdirectories included (memory stays bounded on a
// disk whose subdirectories nest in every entry).
constexpr std::size_t kMostEntries = 4096;
// A finding names this many sector ranges, then how many sectors there are in all.
constexpr std::size_t kRangesShown = 8;

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

// Sectors gathered in ascending order for one finding, shown as ranges: "45-60, 72".
class SectorList {
  public:
    void Add(int sector) { sectors_.push_back(sector); }
    bool empty() const { return sectors_.empty(); }
    std::string Text() const {
        std::vector<int> sorted = sectors_;
        std::sort(sorted.begin(), sorted.end());
        std::string text;
        std::size_t ranges = 0;
        for (std::size_t i = 0; i < sorted.size();) {
            std::size_t j = i;
            while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1) {
                ++j;
            }
            if (ranges++ == kRangesShown) {
                return text + ", ... (" + Number(static_cast<std::int64_t>(sorted.size())) +
                       " sectors)";
            }
            if (!text.empty()) {
                text += ", ";
            }
            text += Number(sorted[i]);
            if (j > i) {
                text += '-';
                text += Number(sorted[j]);
            }
            i = j + 1;
        }
        return text;
    }
    std::string Named() const { return (sectors_.size() == 1 ? "sector " : "sectors ") + Text(); }

  private:
    std::vector<int> sectors_;
};

bool AllZero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// What a walk along a chain meets.
struct ChainFaults {
    SectorList wrong_number;
    std::map<int, SectorList> byte_counts;  // by the count a sector claims
    std::string end;                        // why the chain stops early, "" when it ends
};

// Follows the chain of `file` from its first sector, handing each sector's data to
// `visit`. `stamp` marks the sectors of this walk in `visited` (one slot per sector).
template <typename Visit>
int WalkChain(SectorReader& reader, const VolumeFormat& format, const VolumeFile& file,
              std::vector<std::uint32_t>& visited, std::uint32_t stamp, ChainFaults& faults,
              Visit&& visit) {
    const VolumeGeometry& geometry = reader.geometry();
    const auto link_at = static_cast<std::size_t>(geometry.sector_size - 3);
    const bool sixteen = format.SixteenBitLinks(file.flags);
    int previous = 0;
    int sector = file.first_sector;
    int steps = 0;
    const auto from = [&] {
        return previous == 0 ? std::string("the directory") : "sector " + Number(previous);
    };
    while (sector != 0) {
        if (sector > geometry.sector_count) {
            faults.end = from() + " links to sector " + Number(sector) + ", past the disk's end";
            break;
        }
        if (format.SystemSector(sector)) {
            faults.end = from() + " links to sector " + Number(sector) +
                         ", which the file system keeps for itself";
            break;
        }
        std::uint32_t& mark = visited[static_cast<std::size_t>(sector)];
        if (mark == stamp) {
            faults.end = from() + " links back to sector " + Number(sector) + ", a loop";
            break;
        }
        mark = stamp;
        const std::span<const std::uint8_t> data = reader.Sector(sector);
        if (data.size() != static_cast<std::size_t>(geometry.sector_size)) {
            faults.end = "sector " + Number(sector) + " can not be read";
            break;
        }
        std::size_t count = data[link_at + 2];
        if (count > link_at) {
            faults.byte_counts[static_cast<int>(count)].Add(sector);
            count = link_at;
        }
        if (!sixteen && data[link_at] >> 2 != file.entry) {
            faults.wrong_number.Add(sector);
        }
        const int next = sixteen ? data[link_at] << 8 | data[link_at + 1]
                                 : (data[link_at] & 3) << 8 | data[link_at + 1];
        visit(sector, data.first(count));
        ++steps;
        previous = sector;
        sector = next;
    }
    return steps;
}

std::string Printable(std::span<const std::uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F) {
            text += static_cast<char>(byte);
        } else {
            text += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
        }
    }
    return text;
}

std::string Trimmed(std::span<const std::uint8_t> bytes) {
    std::size_t length = bytes.size();
    while (length > 0 && bytes[length - 1] == ' ') {
        --length;
    }
    return Printable(bytes.first(length));
}

// The whole reading and checking of one DOS disk.
class VolumeReader {
  public:
    VolumeReader(SectorReader& reader, const VolumeFormat& format, VolumeListing& listing)
        : reader_(reader),
          format_(format),
          listing_(listing),
          count_(reader.geometry().sector_count),
          owner_(static_cast<std::size_t>(count_) + 1, 0),
          visited_(static_cast<std::size_t>(count_) + 1, 0) {}

    void Run() {
        std::vector<FreeBit> bits(static_cast<std::size_t>(count_) + 1, FreeBit::kNoBit);
        listing_.free_sectors = format_.ReadVtoc(reader_, bits, listing_.findings);
        for (int sector = dos2::kDirectoryFirstSector; sector <= dos2::kDirectoryLastSector;
             ++sector) {
            directory_sectors_.push_back(sector);
        }
        ReadDirectory(directory_sectors_, "", 0);
        CompareBitmap(bits);
    }

  private:
    void ReadDirectory(const std::vector<int>& sectors, const std::string& path, int depth) {
        std::vector<VolumeFile> entries;
        for (std::size_t k = 0; k < sectors.size(); ++k) {
            const std::span<const std::uint8_t> sector = reader_.Sector(sectors[k]);
            if (sector.size() < dos2::kEntriesPerSector * dos2::kDirectoryEntrySize) {
                listing_.findings.push_back("Directory sector " + Number(sectors[k]) +
                                            " can not be read");
                return;
            }
            for (int e = 0; e < dos2::kEntriesPerSector; ++e) {
                const std::span<const std::uint8_t> entry =
                    sector.subspan(static_cast<std::size_t>(e) * dos2::kDirectoryEntrySize,
                                   dos2::kDirectoryEntrySize);
                if (entry[dos2::kEntryFlags] == dos2::kFlagNeverUsed) {
                    k = sectors.size();  // the end of the directory
                    break;
                }
                VolumeFile file;
                file.directory = path;
                file.entry = static_cast<int>(k) * dos2::kEntriesPerSector + e;
                file.flags = entry[dos2::kEntryFlags];
                std::copy_n(entry.begin() + dos2::kEntryName, dos2::kEntryNameLength,
                            file.name.begin());
                file.listed_sectors = ReadLe16(entry, dos2::kEntrySectorCount);
                file.first_sector = ReadLe16(entry, dos2::kEntryFirstSector);
                entries.push_back(file);
            }
        }
        for (VolumeFile& file : entries) {
            const std::size_t index = listing_.files.size();
            if (index >= kMostEntries) {
                if (!entries_cut_) {
                    listing_.findings.push_back("More than " + Number(kMostEntries) +
                                                " directory entries: the rest are not read");
                }
                entries_cut_ = true;
                return;
            }
            listing_.files.push_back(file);
            CheckEntry(index, depth);
        }
    }

    void CheckEntry(std::size_t index, int depth) {
        VolumeFile& file = listing_.files[index];
        const std::string name = file.DisplayName();
        if (file.deleted()) {
            return;
        }
        if (file.subdirectory() && format_.Subdirectories()) {
            ReadSubdirectory(index, depth);
            return;
        }
        if (!format_.InUse(file.flags)) {
            listing_.findings.push_back(name + ": directory entry " + Number(file.entry) +
                                        " has flags $" + Hex2(file.flags) +
                                        ", which mark no file in use");
            return;
        }
        if ((file.flags & dos2::kFlagOpenForOutput) != 0 && (file.flags & dos2::kFlagInUse) != 0) {
            listing_.findings.push_back(name + ": flags $" + Hex2(file.flags) +
                                        " say the file was never closed");
        }
        ChainFaults faults;
        std::map<std::size_t, SectorList> shared;
        const auto stamp = static_cast<std::uint32_t>(index + 1);
        const int steps = WalkChain(reader_, format_, file, visited_, stamp, faults,
                                    [&](int sector, std::span<const std::uint8_t> data) {
                                        file.bytes += static_cast<std::int64_t>(data.size());
                                        Own(sector, index, shared);
                                    });
        file.chain_sectors = steps;
        if (!faults.wrong_number.empty()) {
            listing_.findings.push_back(name + ": file number other than " + Number(file.entry) +
                                        " in " + faults.wrong_number.Named());
        }
        for (const auto& [count, sectors] : faults.byte_counts) {
            listing_.findings.push_back(name + ": byte count " + Number(count) + " in " +
                                        sectors.Named() + ", more than a sector holds");
        }
        for (const auto& [other, sectors] : shared) {
            listing_.findings.push_back(name + ": " + sectors.Named() + " also belong to " +
                                        listing_.files[other].DisplayName());
        }
        if (!faults.end.empty()) {
            listing_.findings.push_back(name + ": " + faults.end);
        } else if (steps != file.listed_sectors) {
            listing_.findings.push_back(name + ": the chain has " + Number(steps) + " sectors, " +
                                        (steps < file.listed_sectors ? "fewer" : "more") +
                                        " than the directory's " + Number(file.listed_sectors));
        }
    }

    // A MyDOS subdirectory: eight sectors of entries from its first sector.
    void ReadSubdirectory(std::size_t index, int depth) {
        const VolumeFile file = listing_.files[index];
        const std::string name = file.DisplayName();
        std::vector<int> sectors;
        for (int k = 0; k < mydos::kSubdirectorySectors; ++k) {
            const int sector = file.first_sector + k;
            if (file.first_sector == 0 || sector > count_ || format_.SystemSector(sector)) {
                listing_.findings.push_back(
                    name + ": the subdirectory's sectors " + Number(file.first_sector) + "-" +
                    Number(file.first_sector + 7) + " do not lie on the disk's data sectors");
                return;
            }
            sectors.push_back(sector);
        }
        std::map<std::size_t, SectorList> shared;
        for (const int sector : sectors) {
            Own(sector, index, shared);
        }
        for (const auto& [other, list] : shared) {
            listing_.findings.push_back(name + ": " + list.Named() + " also belong to " +
                                        listing_.files[other].DisplayName());
        }
        listing_.files[index].chain_sectors = mydos::kSubdirectorySectors;
        if (depth + 1 >= kDeepestDirectory || !shared.empty()) {
            return;
        }
        ReadDirectory(sectors, file.directory + Trimmed(std::span(file.name).first(8)) + ">",
                      depth + 1);
    }

    // Records that file `index` uses `sector`; one that another file uses already goes
    // into `shared` under that file.
    void Own(int sector, std::size_t index, std::map<std::size_t, SectorList>& shared) {
        std::uint32_t& owner = owner_[static_cast<std::size_t>(sector)];
        if (owner != 0 && owner != index + 1) {
            shared[owner - 1].Add(sector);
        } else {
            owner = static_cast<std::uint32_t>(index + 1);
        }
    }

    void CompareBitmap(const std::vector<FreeBit>& bits) {
        std::map<std::size_t, SectorList> free_but_used;
        SectorList system_free;
        SectorList lost;
        for (int sector = 1; sector <= count_; ++sector) {
            const FreeBit bit = bits[static_cast<std::size_t>(sector)];
            const std::uint32_t owner = owner_[static_cast<std::size_t>(sector)];
            if (bit == FreeBit::kFree && owner != 0) {
                free_but_used[owner - 1].Add(sector);
            } else if (bit == FreeBit::kFree && format_.SystemSector(sector)) {
                system_free.Add(sector);
            } else if (bit == FreeBit::kUsed && owner == 0 && !format_.SystemSector(sector)) {
                lost.Add(sector);
            }
        }
        for (const auto& [index, sectors] : free_but_used) {
            listing_.findings.push_back(listing_.files[index].DisplayName() + ": " +
                                        sectors.Named() + " marked free in the VTOC");
        }
        if (!system_free.empty()) {
            listing_.findings.push_back("The file system's own " + system_free.Named() +
                                        " marked free in the VTOC");
        }
        if (!lost.empty()) {
            listing_.findings.push_back("Lost " + lost.Named() +
                                        ": marked used in the VTOC, held by no file");
        }
    }

    static std::string Hex2(std::uint8_t value) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        return {kHex[value >> 4], kHex[value & 15]};
    }

    SectorReader& reader_;
    const VolumeFormat& format_;
    VolumeListing& listing_;
    int count_;
    std::vector<int> directory_sectors_;
    bool entries_cut_ = false;
    std::vector<std::uint32_t> owner_;    // file index + 1 for each sector, 0 for none
    std::vector<std::uint32_t> visited_;  // the stamp of the last walk through each sector
};

// The geometry the header and the file's length give; false with the reason in the
// listing's status.
bool ReadGeometry(InputFile& image, VolumeListing& listing) {
    VolumeGeometry& geometry = listing.geometry;
    FsStatus& status = listing.status;
    AtrHeaderBytes header{};
    std::size_t got = 0;
    status = image.ReadAt(0, header, got);
    if (!status.ok()) {
        listing.read_failed = true;
        return false;
    }
    const AtrHeader decoded = DecodeAtrHeader(header);
    if (got < atr::kHeaderSize || !decoded.identifier_matches) {
        status = FsStatus::Fail("no ATR header");
        return false;
    }
    if (decoded.sector_size != atr::kSingleSectorSize &&
        decoded.sector_size != atr::kDoubleSectorSize) {
        status = FsStatus::Fail("sector size " + Number(decoded.sector_size) +
                                " is neither 128 nor 256");
        return false;
    }
    const std::int64_t length = std::min(
        decoded.stated_length, image.info().length - static_cast<std::int64_t>(atr::kHeaderSize));
    geometry.sector_size = decoded.sector_size;
    std::int64_t count = 0;
    if (decoded.sector_size == atr::kSingleSectorSize) {
        count = length / atr::kSingleSectorSize;
    } else {
        // The short layout leaves a length of 128 more than whole 256-byte sectors.
        geometry.short_boot = length % atr::kDoubleSectorSize == kBootSectorSize;
        count = geometry.short_boot ? 3 + (length - atr::kShortBootArea) / atr::kDoubleSectorSize
                                    : length / atr::kDoubleSectorSize;
    }
    geometry.sector_count = static_cast<int>(std::clamp<std::int64_t>(count, 0, 65535));
    if (geometry.sector_count < 1) {
        status = FsStatus::Fail("no whole sector");
        return false;
    }
    return true;
}

// The file system the boot sector and the VTOC point to; null for disks without DOS 2
// structures, with the kind in `kind`.
std::unique_ptr<VolumeFormat> RecogniseFormat(SectorReader& reader, VolumeKind& kind) {
    const VolumeGeometry& geometry = reader.geometry();
    const std::span<const std::uint8_t> read_boot = reader.Sector(1);
    const std::vector<std::uint8_t> boot(read_boot.begin(), read_boot.end());
    if (boot.size() < kBootSectorSize) {
        kind = VolumeKind::kNotReadable;
        return nullptr;
    }
    // SpartaDOS: $80 at byte 7 and its sector size at byte 31 (0 for 256).
    constexpr std::size_t kSpartaSignature = 7, kSpartaSectorSize = 31;
    if (boot[kSpartaSignature] == 0x80 &&
        (boot[kSpartaSectorSize] == 0 ? 256 : boot[kSpartaSectorSize]) == geometry.sector_size) {
        kind = VolumeKind::kSpartaDos;
        return nullptr;
    }
    kind = AllZero(boot) ? VolumeKind::kUnformatted : VolumeKind::kBootOnly;
    if (geometry.sector_count < dos2::kDirectoryLastSector) {
        return nullptr;
    }
    const std::span<const std::uint8_t> vtoc = reader.Sector(dos2::kVtocSector);
    if (vtoc.empty()) {
        kind = VolumeKind::kNotReadable;
        return nullptr;
    }
    const std::uint8_t code = vtoc[dos2::kVtocDosCode];
    // Sector 0 never exists, so its bit is never free.
    const bool sector_zero_used = !dos2::SectorFree(vtoc, 0);
    if (kind == VolumeKind::kUnformatted && !AllZero(vtoc)) {
        kind = VolumeKind::kBootOnly;
    }
    if (!sector_zero_used || code < dos2::kDosCode || code >= 0x40) {
        return nullptr;
    }
    const int size = geometry.sector_size;
    const int count = geometry.sector_count;
    if (code == dos2::kDosCode && count == dos2::kSectorCount) {
        return MakeDos2Volume(geometry);
    }
    if (code == dos2::kDosCode && size == 128 && count == 1040) {
        return MakeDos25Volume();
    }
    return MakeMyDosVolume(geometry);
}

}  // namespace

SectorReader::SectorReader(InputFile& file, const VolumeGeometry& geometry)
    : file_(file), geometry_(geometry) {}

std::span<const std::uint8_t> SectorReader::Sector(int sector) {
    if (sector < 1 || sector > geometry_.sector_count) {
        return {};
    }
    const bool short_sector = sector <= 3 && (geometry_.sector_size == 128 || geometry_.short_boot);
    const std::int64_t size = short_sector ? kBootSectorSize : geometry_.sector_size;
    std::int64_t offset = static_cast<std::int64_t>(atr::kHeaderSize);
    if (geometry_.short_boot && geometry_.sector_size == 256 && sector > 3) {
        offset += atr::kShortBootArea + (sector - 4) * std::int64_t{256};
    } else {
        offset += (sector - 1) * size;
    }
    const auto held = static_cast<std::int64_t>(window_.size());
    if (window_start_ < 0 || offset < window_start_ || offset + size > window_start_ + held) {
        window_.resize(static_cast<std::size_t>(kWindowBytes));
        std::size_t got = 0;
        const FsStatus read = file_.ReadAt(offset, window_, got);
        window_.resize(got);
        window_start_ = offset;
        if (!read.ok()) {
            status_ = read;
            read_failed_ = true;
            window_start_ = -1;
            return {};
        }
        if (static_cast<std::int64_t>(got) < size) {
            status_ = FsStatus::Fail("the image ends inside sector " + Number(sector));
            return {};
        }
    }
    return std::span<const std::uint8_t>(window_).subspan(
        static_cast<std::size_t>(offset - window_start_), static_cast<std::size_t>(size));
}

std::string FreeCountFinding(const std::string& which, int stated, int counted) {
    return "The " + which + " says " + Number(stated) + " free sectors, its bit field marks " +
           Number(counted);
}

bool VolumeFile::deleted() const {
    return (flags & dos2::kFlagDeleted) != 0;
}
bool VolumeFile::locked() const {
    return (flags & dos2::kFlagLocked) != 0;
}
bool VolumeFile::subdirectory() const {
    return !deleted() && (flags & mydos::kSubdirectoryFlag) != 0;
}

std::string VolumeFile::DisplayName() const {
    const std::span<const std::uint8_t> all(name);
    const std::string extension = Trimmed(all.subspan(8));
    return directory + Trimmed(all.first(8)) + (extension.empty() ? "" : "." + extension);
}

std::string DescribeVolumeKind(VolumeKind kind) {
    switch (kind) {
        case VolumeKind::kDos2Single:
            return "DOS 2.0 single density";
        case VolumeKind::kDos2Double:
            return "DOS 2.0 double density";
        case VolumeKind::kDos25Enhanced:
            return "DOS 2.5 enhanced density";
        case VolumeKind::kMyDos:
            return "MyDOS";
        case VolumeKind::kSpartaDos:
            return "SpartaDOS";
        case VolumeKind::kBootOnly:
            return "no DOS file system (boot disk)";
        case VolumeKind::kUnformatted:
            return "unformatted";
        case VolumeKind::kNotReadable:
            break;
    }
    return "not readable";
}

bool IsDosVolume(VolumeKind kind) {
    return kind == VolumeKind::kDos2Single || kind == VolumeKind::kDos2Double ||
           kind == VolumeKind::kDos25Enhanced || kind == VolumeKind::kMyDos;
}

VolumeListing ReadVolume(InputFile& image) {
    VolumeListing listing;
    if (!ReadGeometry(image, listing)) {
        return listing;
    }
    SectorReader reader(image, listing.geometry);
    const std::unique_ptr<VolumeFormat> format = RecogniseFormat(reader, listing.kind);
    if (format) {
        listing.kind = format->Kind();
        VolumeReader(reader, *format, listing).Run();
    }
    if (!reader.status().ok()) {
        listing.status = reader.status();
        listing.read_failed = reader.read_failed();
    }
    return listing;
}

FsStatus ExtractVolumeFile(InputFile& image, const VolumeListing& listing, const VolumeFile& file,
                           const std::function<FsStatus(std::span<const std::uint8_t>)>& write) {
    SectorReader reader(image, listing.geometry);
    VolumeKind kind = VolumeKind::kNotReadable;
    const std::unique_ptr<VolumeFormat> format = RecogniseFormat(reader, kind);
    if (!format) {
        return FsStatus::Fail("no DOS file system");
    }
    std::vector<std::uint32_t> visited(static_cast<std::size_t>(listing.geometry.sector_count) + 1);
    ChainFaults faults;
    FsStatus status = FsStatus::Ok();
    WalkChain(reader, *format, file, visited, 1, faults,
              [&](int, std::span<const std::uint8_t> data) {
                  if (status.ok()) {
                      status = write(data);
                  }
              });
    if (!reader.status().ok()) {
        return reader.status();
    }
    return status;
}

}  // namespace korvane
