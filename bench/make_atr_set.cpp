// Writes a directory of ATR images for the benchmarks and the sample run: good single-
// and double-density images in both layouts, broken headers and wrong lengths.
//
//   make_atr_set --samples DIR      a handful of named good and broken images
//   make_atr_set DIR COUNT          COUNT images of mixed kinds, about 130 kB each
//   make_atr_set --small DIR COUNT  COUNT images of 1,040 bytes, every tenth broken
//   make_atr_set --header FILE N    only the header of an image stating N data bytes
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "atr_header.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Image(std::int64_t stated, int sector_size, std::int64_t data, std::uint8_t seed) {
    Bytes image(16 + static_cast<std::size_t>(data));
    const korvane::AtrHeaderBytes header = korvane::EncodeAtrHeader(stated, sector_size);
    std::copy(header.begin(), header.end(), image.begin());
    for (std::size_t i = 16; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 31 + seed);
    }
    return image;
}

bool Write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// One image of the benchmark mix; the kinds cycle so every tenth image is broken.
Bytes MixedImage(int index) {
    const auto seed = static_cast<std::uint8_t>(index);
    switch (index % 10) {
        case 0:
        case 1:
        case 2:
        case 3:
            return Image(720 * 128, 128, 720 * 128, seed);
        case 4:
        case 5:
            return Image(720 * 256 - 384, 256, 720 * 256 - 384, seed);
        case 6:
            return Image(720 * 256, 256, 720 * 256, seed);
        case 7: {
            Bytes bad = Image(720 * 128, 128, 720 * 128, seed);
            bad[0] = 0x69;  // broken identifier
            return bad;
        }
        case 8:
            return Image(720 * 128, 128, 720 * 128 + 37, seed);  // too long
        default:
            return Image(720 * 256, 256, 720 * 256 - 200, seed);  // too short
    }
}

int Samples(const std::filesystem::path& dir) {
    struct Sample {
        const char* name;
        Bytes bytes;
    };
    Bytes bad_id = Image(720 * 128, 128, 720 * 128, 1);
    bad_id[0] = 0x92;
    Bytes sector512 = Image(1024, 128, 1024, 2);
    sector512[4] = 0x00;
    sector512[5] = 0x02;
    const Sample samples[] = {
        {"GAME.ATR", Image(720 * 128, 128, 720 * 128, 3)},
        {"DOUBLE_SHORT.ATR", Image(720 * 256 - 384, 256, 720 * 256 - 384, 4)},
        {"DOUBLE_LONG.ATR", Image(720 * 256, 256, 720 * 256, 5)},
        {"BROKEN_ID.ATR", bad_id},
        {"TOO_LONG.ATR", Image(720 * 128, 128, 720 * 128 + 20, 6)},
        {"SECTOR512.ATR", sector512},
        {"ODD_LAYOUT.ATR", Image(1008, 256, 1008, 7)},
        {"TINY.ATR", Bytes(10, 0x96)},
        {"readme.txt", Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e', '\n'}},
    };
    for (const Sample& sample : samples) {
        if (!Write(dir / sample.name, sample.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", (dir / sample.name).c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--samples") {
        std::filesystem::create_directories(argv[2]);
        return Samples(argv[2]);
    }
    if (argc == 4 && std::string(argv[1]) == "--header") {
        const korvane::AtrHeaderBytes header = korvane::EncodeAtrHeader(std::atoll(argv[3]), 128);
        return Write(argv[2], Bytes(header.begin(), header.end())) ? 0 : 1;
    }
    const bool small = argc == 4 && std::string(argv[1]) == "--small";
    if (argc != 3 && !small) {
        std::fprintf(stderr,
                     "usage: make_atr_set --samples DIR | make_atr_set [--small] DIR COUNT | "
                     "make_atr_set --header FILE LENGTH\n");
        return 2;
    }
    const std::filesystem::path dir = argv[small ? 2 : 1];
    std::filesystem::create_directories(dir);
    const int count = std::atoi(argv[small ? 3 : 2]);
    Bytes good = Image(1024, 128, 1024, 9);
    Bytes broken = good;
    broken[0] = 0x69;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, small ? "i%06d.atr" : "IMG%05d.ATR", i);
        if (!Write(dir / name, small ? (i % 10 == 9 ? broken : good) : MixedImage(i))) {
            std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
            return 1;
        }
    }
    return 0;
}
