// Writes the converter benchmark's input: COUNT XEX files of mixed sizes, from 128 bytes
// to the largest that fits a freshly formatted DOS 2 disk (707 free sectors × 125 bytes),
// and, with --template, a stand-in template disk of that layout.
//
//   make_xex_set DIR COUNT               the XEX files GAME0000.XEX ...
//   make_xex_set --template FILE         a 92176-byte DOS 2 disk with 707 free sectors
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "dos2_layout.h"
#include "le_bytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace dos2 = korvane::dos2;

// Largest XEX file a freshly formatted disk takes: 707 free sectors of 125 data bytes.
constexpr std::size_t kLargestXex = 707 * dos2::kDataBytesPerSector;
constexpr std::size_t kSmallestXex = 128;

bool Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// A freshly formatted single-density disk: sectors 0 to 3 and 360 to 368 used.
Bytes Template() {
    Bytes image(dos2::kImageLength, 0);
    const std::uint8_t header[8] = {0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00};
    std::copy(std::begin(header), std::end(header), image.begin());
    const std::span<std::uint8_t> vtoc(image.data() + dos2::kVtocOffset, dos2::kSectorSize);
    vtoc[dos2::kVtocDosCode] = dos2::kDosCode;
    korvane::WriteLe16(vtoc, dos2::kVtocTotalSectors, dos2::kTotalSectors);
    korvane::WriteLe16(vtoc, dos2::kVtocFreeCount, dos2::kTotalSectors);
    for (int sector = 4; sector < dos2::kSectorCount; ++sector) {
        if (sector < dos2::kVtocSector || sector > dos2::kDirectoryLastSector) {
            vtoc[dos2::kVtocBitmapFirst + static_cast<std::size_t>(sector / 8)] |=
                static_cast<std::uint8_t>(0x80 >> (sector % 8));
        }
    }
    return image;
}

// Sizes spread evenly over the whole range; the first is the smallest, the last the
// largest.
std::size_t XexSize(int index, int count) {
    if (count < 2) {
        return kSmallestXex;
    }
    return kSmallestXex + (kLargestXex - kSmallestXex) * static_cast<std::size_t>(index) /
                              static_cast<std::size_t>(count - 1);
}

Bytes Xex(std::size_t size, int index) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13 + static_cast<std::size_t>(index));
    }
    bytes[0] = 0xFF;
    bytes[1] = 0xFF;
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--template") {
        return Write(argv[2], Template()) ? 0 : 1;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_xex_set DIR COUNT | make_xex_set --template FILE\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const int count = std::atoi(argv[2]);
    // Shuffled order of sizes, so that the listing does not run from small to large.
    for (int i = 0; i < count; ++i) {
        const int spread = static_cast<int>((static_cast<long>(i) * 7919) % count);
        char name[32];
        std::snprintf(name, sizeof name, "GAME%04d.XEX", i);
        if (!Write(dir / name, Xex(XexSize(spread, count), i))) {
            std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
            return 1;
        }
    }
    return 0;
}
