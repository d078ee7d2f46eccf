// Writes the converter benchmark's input: COUNT XEX files of mixed sizes, from 128 bytes
// to the largest that fits the template (its free sectors × 125 bytes), and, with
// --template, a stand-in template: a freshly formatted DOS 2 disk with 707 free sectors.
//
//   make_xex_set DIR COUNT TEMPLATE      the XEX files GAME0000.XEX ...
//   make_xex_set --template FILE         the stand-in template disk
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "atr_header.h"
#include "dos2_layout.h"
#include "le_bytes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace dos2 = korvane::dos2;

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
    const korvane::AtrHeaderBytes header = korvane::EncodeAtrHeader(
        static_cast<std::int64_t>(dos2::kImageLength - korvane::atr::kHeaderSize),
        korvane::atr::kSingleSectorSize);
    std::copy(header.begin(), header.end(), image.begin());
    const std::span<std::uint8_t> vtoc(image.data() + dos2::kVtocOffset, dos2::kSectorSize);
    vtoc[dos2::kVtocDosCode] = dos2::kDosCode;
    korvane::WriteLe16(vtoc, dos2::kVtocTotalSectors, dos2::kTotalSectors);
    korvane::WriteLe16(vtoc, dos2::kVtocFreeCount, dos2::kTotalSectors);
    for (int sector = 4; sector < dos2::kSectorCount; ++sector) {
        dos2::SetSectorFree(vtoc, sector,
                            sector < dos2::kVtocSector || sector > dos2::kDirectoryLastSector);
    }
    return image;
}

// Sizes spread evenly over the whole range; the first is the smallest, the last the
// largest.
std::size_t XexSize(int index, int count, std::size_t largest) {
    if (count < 2) {
        return kSmallestXex;
    }
    return kSmallestXex + (largest - kSmallestXex) * static_cast<std::size_t>(index) /
                              static_cast<std::size_t>(count - 1);
}

// The most a template takes: the free count of its VTOC times 125 data bytes a sector.
std::size_t LargestFor(const std::filesystem::path& template_path) {
    std::ifstream in(template_path, std::ios::binary);
    Bytes image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (image.size() != dos2::kImageLength) {
        return 0;
    }
    const std::span<const std::uint8_t> vtoc(image.data() + dos2::kVtocOffset, dos2::kSectorSize);
    return korvane::ReadLe16(vtoc, dos2::kVtocFreeCount) * dos2::kDataBytesPerSector;
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
    if (argc != 4) {
        std::fprintf(stderr,
                     "usage: make_xex_set DIR COUNT TEMPLATE | make_xex_set --template FILE\n");
        return 2;
    }
    const std::size_t largest = LargestFor(argv[3]);
    if (largest < kSmallestXex) {
        std::fprintf(stderr, "%s is no template with free sectors\n", argv[3]);
        return 1;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const int count = std::atoi(argv[2]);
    // Shuffled order of sizes, so that the listing does not run from small to large.
    for (int i = 0; i < count; ++i) {
        const int spread = static_cast<int>((static_cast<long>(i) * 7919) % count);
        char name[32];
        std::snprintf(name, sizeof name, "GAME%04d.XEX", i);
        if (!Write(dir / name, Xex(XexSize(spread, count, largest), i))) {
            std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
            return 1;
        }
    }
    return 0;
}
