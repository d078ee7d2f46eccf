// Shared pieces of the converter's, the generator's and the boot tests, written from the
// DOS 2 single-density layout alone (no engine constants, so a wrong one can not hide):
// the image a conversion must write, template disks made in memory, and a program
// directory with a template.
#pragma once

#include <algorithm>
#include <map>
#include <span>

#include "support.h"

namespace korvane::testing {

constexpr std::size_t At(int sector, std::size_t byte = 0) {
    return 16 + static_cast<std::size_t>(sector - 1) * 128 + byte;
}
constexpr std::size_t kVtoc = At(360);
constexpr std::size_t EntryAt(int index) {
    return At(361 + index / 8, (index % 8) * 16u);
}
// The VTOC bit of `sector` (0 to 719; set means free).
inline bool SectorFree(std::span<const std::uint8_t> atr, int sector) {
    return (atr[kVtoc + 10 + static_cast<std::size_t>(sector / 8)] & 0x80 >> sector % 8) != 0;
}

inline void SetFree(Bytes& atr, int sector, bool free) {
    std::uint8_t& bits = atr[kVtoc + 10 + static_cast<std::size_t>(sector / 8)];
    bits =
        static_cast<std::uint8_t>(free ? bits | 0x80 >> sector % 8 : bits & ~(0x80 >> sector % 8));
}

// The sectors of the file at directory entry `entry`, by the links from its first
// sector; a link that does not carry the entry's file number fails the test.
inline std::vector<int> FileSectors(std::span<const std::uint8_t> atr, int entry) {
    std::vector<int> sectors;
    for (int s = atr[EntryAt(entry) + 3] | atr[EntryAt(entry) + 4] << 8;
         s > 0 && s < 720 && sectors.size() < 720;
         s = (atr[At(s, 125)] & 3) << 8 | atr[At(s, 126)]) {
        EXPECT_EQ(atr[At(s, 125)] >> 2, entry) << "file number in sector " << s;
        sectors.push_back(s);
    }
    return sectors;
}

// Any disk the converter or the generator writes, read back from its ATR image alone: the
// sector size from the header, sectors 1-3 of 128 bytes, the directory in 361-368, DOS 2
// links or, when VTOC byte 0 is above 2 (MyDOS large disks), 16-bit links; the free bits
// of DOS 2 (sector 360, bytes 10-99), DOS 2.5 enhanced density (720-1023 in sector 1024
// from byte 84) and MyDOS (one bit field of 256-byte blocks from sector 360 downward,
// sector s at bit s + 80).
struct DiskReader {
    explicit DiskReader(const Bytes& image) : atr(image) {}
    std::span<const std::uint8_t> Sector(int s) const {
        return std::span(atr).subspan(s <= 3 ? At(s) : At(4) + (s - 4) * size, s <= 3 ? 128 : size);
    }
    bool Free(int s) const {
        const int bit = mydos ? s + 80 : s < 720 ? s + 80 : s - 720 + 84 * 8;
        const int sector = mydos ? 360 - bit / 8 / size : s < 720 ? 360 : 1024;
        return (mydos || s < 720 || (dos25 && s < 1024)) &&
               (Sector(sector)[bit / 8 % size] & 0x80 >> bit % 8) != 0;
    }
    // Name -> data and sectors, each sector's byte count and file number checked.
    std::map<std::string, std::pair<Bytes, std::vector<int>>> Files() const {
        std::map<std::string, std::pair<Bytes, std::vector<int>>> files;
        for (int e = 0; e < 64 && Sector(361 + e / 8)[e % 8 * 16] != 0; ++e) {
            const auto entry = Sector(361 + e / 8).subspan(e % 8 * 16, 16);
            auto& [data, sectors] = files[std::string(entry.begin() + 5, entry.end())];
            for (int s = entry[3] | entry[4] << 8; s != 0 && sectors.size() <= 65535;) {
                const auto link = Sector(s).subspan(static_cast<std::size_t>(size - 3));
                EXPECT_TRUE(mydos || link[0] >> 2 == e) << "file number in sector " << s;
                EXPECT_LE(link[2], size - 3) << s;
                data.insert(data.end(), Sector(s).begin(), Sector(s).begin() + link[2]);
                sectors.push_back(s);
                s = (mydos ? link[0] << 8 : (link[0] & 3) << 8) | link[1];
            }
            EXPECT_EQ(sectors.size(), entry[1] | entry[2] << 8u);
            // The flags each DOS writes: $46 MyDOS (16-bit links), $03 DOS 2.5 for a file
            // beyond sector 719, else $42; $20 for a locked file.
            const bool beyond =
                std::any_of(sectors.begin(), sectors.end(), [](int x) { return x >= 720; });
            EXPECT_EQ(entry[0] & ~0x20, mydos ? 0x46 : dos25 && beyond ? 0x03 : 0x42) << e;
        }
        return files;
    }
    // Every sector's free bit: used are the boot sectors, VTOC and directory, the sectors
    // of `files` and those beyond each format's bit field; the stated counts (bytes 1-4,
    // VTOC2 bytes 122-123) agree, VTOC2 repeats the VTOC's bits of sectors 48-719.
    void ExpectVtoc(const std::map<std::string, std::pair<Bytes, std::vector<int>>>& files) const {
        std::vector<bool> in_file(static_cast<std::size_t>(count) + 1);
        for (const auto& [name, file] : files) {
            for (const int s : file.second) {
                in_file.at(static_cast<std::size_t>(s)) = true;
            }
        }
        int free_low = 0, free_high = 0, fresh = 0;
        for (int s = 1; s <= count; ++s) {
            const bool system = s <= 3 || (s > 360 - vtocs && s <= 368) ||
                                (!mydos && (s == 720 || s >= (dos25 ? 1024 : 720)));
            EXPECT_EQ(Free(s), !system && !in_file[static_cast<std::size_t>(s)]) << s;
            (s < 720 || mydos ? free_low : free_high) += Free(s) ? 1 : 0;
            fresh += system ? 0 : 1;
        }
        EXPECT_EQ(Sector(360)[3] | Sector(360)[4] << 8, free_low);
        EXPECT_EQ(Sector(360)[1] | Sector(360)[2] << 8, count == 720 ? 707 : fresh);
        EXPECT_EQ(Sector(360)[0], mydos ? 2 + (count / 8 + 266) / 256 : 2);
        if (dos25) {
            EXPECT_EQ(Sector(1024)[122] | Sector(1024)[123] << 8, free_high);
            EXPECT_TRUE(std::equal(Sector(360).begin() + 16, Sector(360).begin() + 100,
                                   Sector(1024).begin()));
        }
    }
    const Bytes& atr;
    const int size = atr[4] | atr[5] << 8;
    const int count = size == 128 ? static_cast<int>(atr.size() - 16) / 128
                                  : 3 + static_cast<int>(atr.size() - 400) / 256;
    const bool mydos = Sector(360)[0] > 2, dos25 = !mydos && count == 1040 && size == 128;
    const int vtocs = mydos ? (Sector(360)[0] - 2) * 256 / size : 1;
};

inline void Recount(Bytes& atr, int stored = -1) {
    int bits = 0;
    for (int sector = 0; sector < 720; ++sector) {
        bits += SectorFree(atr, sector) ? 1 : 0;
    }
    atr[kVtoc + 3] = static_cast<std::uint8_t>(stored < 0 ? bits : stored);
    atr[kVtoc + 4] = static_cast<std::uint8_t>((stored < 0 ? bits : stored) >> 8);
}

// A freshly formatted DOS 2 disk, a pattern in every other sector so that a byte changed
// where it should not be shows; with `free` given only those sectors are free. The
// stored free count is the number of free bits unless `stored` is given.
inline const std::vector<int> kNothingFree{-1};
inline Bytes Template(const std::vector<int>& free = {}, int stored = -1) {
    Bytes atr(16 + 720 * 128);
    for (std::size_t i = 16; i < atr.size(); ++i) {
        atr[i] = i >= kVtoc && i < At(369) ? 0 : static_cast<std::uint8_t>(i * 7 + i / 128);
    }
    const std::uint8_t header[] = {0x96, 0x02, 0x80, 0x16, 0x80},
                       vtoc[] = {2, 0xC3, 0x02, 0, 0, 0x55};
    std::copy(std::begin(header), std::end(header), atr.begin());
    std::copy(std::begin(vtoc), std::end(vtoc), atr.begin() + kVtoc);  // byte 5 travels unchanged
    for (int sector = 0; sector < 720; ++sector) {
        SetFree(atr, sector,
                free.empty() ? sector > 3 && (sector < 360 || sector > 368)
                             : std::count(free.begin(), free.end(), sector) > 0);
    }
    Recount(atr, stored);
    return atr;
}

// XEX content that differs with `seed`; $FF $FF first unless `plain`.
inline Bytes XexBytes(std::size_t length, std::uint32_t seed, bool plain = false) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = i < 2 && !plain
                       ? 0xFF
                       : static_cast<std::uint8_t>((i * 2654435761u + seed * 40503u) >> 13);
    }
    return bytes;
}

inline const std::string kConvertFail =
    "Result:   " + std::string(39, '=') + " F A I L " + std::string(39, '=');

// `image` is `template_image` with `xex` added as AUTORUN.SYS as DOS 2 adds a file: the
// first free entry, the lowest free sectors in order, the VTOC updated, nothing else.
inline void ExpectImageHolds(const Bytes& image, const Bytes& template_image, const Bytes& xex) {
    int entry = 0;  // the first entry never used or deleted
    while (template_image[EntryAt(entry)] % 0x80 != 0) {
        ++entry;
    }
    std::vector<int> sectors;  // the lowest free sectors, in order; sector 0 is passed over
    for (int sector = 1; sectors.size() < std::max<std::size_t>(1, (xex.size() + 124) / 125);
         ++sector) {
        if (SectorFree(template_image, sector)) {
            sectors.push_back(sector);
        }
    }
    // The template with the entry, each sector's data and link bytes, and the VTOC.
    Bytes expected = template_image;
    const std::size_t n = sectors.size();
    const std::uint8_t head[] = {
        0x42, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
        static_cast<std::uint8_t>(sectors[0]), static_cast<std::uint8_t>(sectors[0] >> 8)};
    std::copy(std::begin(head), std::end(head), expected.begin() + EntryAt(entry));
    std::copy_n("AUTORUN SYS", 11, expected.begin() + EntryAt(entry) + 5);
    SetFree(expected, 0, false);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t count = std::min<std::size_t>(125, xex.size() - i * 125);
        const int next = i + 1 < n ? sectors[i + 1] : 0;
        std::copy_n(xex.begin() + static_cast<std::ptrdiff_t>(i * 125), count,
                    expected.begin() + At(sectors[i]));
        expected[At(sectors[i], count)] = 0;  // after the data; a full sector's link follows
        expected[At(sectors[i], 125)] = static_cast<std::uint8_t>(entry << 2 | next >> 8);
        expected[At(sectors[i], 126)] = static_cast<std::uint8_t>(next);
        expected[At(sectors[i], 127)] = static_cast<std::uint8_t>(count);
        SetFree(expected, sectors[i], false);
    }
    Recount(expected,
            (template_image[kVtoc + 3] | template_image[kVtoc + 4] << 8) - static_cast<int>(n));
    const auto differ = std::mismatch(image.begin(), image.end(), expected.begin(), expected.end());
    EXPECT_TRUE(differ.first == image.end())
        << "first difference at offset " << differ.first - image.begin();
}

struct ConvertFixture {
    ConvertFixture() {
        std::filesystem::create_directory(program_dir);
        std::filesystem::create_directory(source_dir);
        PutTemplate(template_image);
    }
    void PutTemplate(const Bytes& bytes) { WriteFile(program_dir / "KELDRIX.ATR", bytes); }
    void PutXex(const std::string& name, const Bytes& bytes) {
        WriteFile(source_dir / name, bytes);
    }
    // What "Start Conversion" does: apply the source directory, then run the engine.
    ConversionRunTotals Run() {
        window.SetPattern("*.xex");
        EXPECT_TRUE(window.ApplyDirectory(source_dir).ok());
        return RunXexConversion(context, program_dir);
    }
    Bytes Output(const std::string& name) const { return ReadFile(source_dir / name); }

    TempDir temp;
    std::filesystem::path program_dir = temp / "program", source_dir = temp / "atari";
    FaultFileSystem fs;
    PlainWindow window{fs};
    RecordingReport report;
    ScriptedPrompt prompt;
    ProgramState state;
    EngineContext context{window, report, prompt, fs, state};
    Bytes template_image = Template();
};

}  // namespace korvane::testing
