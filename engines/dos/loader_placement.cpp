#include "loader_placement.h"

#include <algorithm>

#include "loader_relocations.h"

namespace korvane {

namespace {

constexpr int kHighestEnd = 0x9C;  // the loader ends below $9C00
constexpr int kInitad = 0x02E2;

// Calls `segment(start, end)` for each segment of the file, as LoadedPages walks them.
template <typename Segment>
void ForEachSegment(std::span<const std::uint8_t> xex, Segment segment) {
    const auto word = [&](std::size_t at) { return xex[at] | xex[at + 1] << 8; };
    std::size_t at = 2;  // past the $FF $FF the file starts with
    while (at + 4 <= xex.size()) {
        const int start = word(at);
        if (start == 0xFFFF) {  // a marker: the header follows
            at += 2;
            continue;
        }
        const int end = word(at + 2);
        if (end < start) {
            break;
        }
        segment(start, end);
        at += 4 + static_cast<std::size_t>(end - start + 1);
    }
}

}  // namespace

std::bitset<256> LoadedPages(std::span<const std::uint8_t> xex) {
    std::bitset<256> pages;
    ForEachSegment(xex, [&](int start, int end) {
        for (int page = start >> 8; page <= end >> 8; ++page) {
            pages.set(static_cast<std::size_t>(page));
        }
    });
    return pages;
}

LoaderPlace PlaceLoaderFor(std::span<const std::uint8_t> xex) {
    const std::bitset<256> loaded = LoadedPages(xex);
    bool inits = false;
    ForEachSegment(xex, [&](int start, int end) {
        inits = inits || (start <= kInitad + 1 && end >= kInitad);
    });
    const auto free_from = [&](int first) {
        for (int page = first; page < first + kLoaderPages; ++page) {
            if (loaded.test(static_cast<std::size_t>(page))) {
                return false;
            }
        }
        return true;
    };
    if (free_from(kLoaderHome)) {
        // For INITs only the pages just below $9C00: the gaps between a file's own segments
        // are often its INITs' work space. And only for a file that loads above $7FFF: a
        // machine it runs on has those pages (a 32K machine does not).
        bool above_32k = false;
        for (int page = 0x80; page < 0xC0; ++page) {
            above_32k = above_32k || loaded.test(static_cast<std::size_t>(page));
        }
        constexpr int below_screen = kHighestEnd - kLoaderPages;
        return inits && above_32k && free_from(below_screen)
                   ? LoaderPlace{below_screen, LoaderMove::kFileRunsInits}
                   : LoaderPlace{};
    }
    for (int first = kHighestEnd - kLoaderPages; first > kLoaderHome; --first) {
        if (free_from(first)) {
            return {first, LoaderMove::kFileLoadsThere};
        }
    }
    return {0, LoaderMove::kNone};
}

std::optional<BootLoader> MoveBootLoader(const BootLoader& loader, int page) {
    using loader_relocation::kHighBytes;
    using loader_relocation::kLoader;
    std::vector<std::uint8_t> bytes = loader.boot_sectors;
    bytes.insert(bytes.end(), loader.loader_file.begin(), loader.loader_file.end());
    if (!std::equal(bytes.begin(), bytes.end(), std::begin(kLoader), std::end(kLoader))) {
        return std::nullopt;
    }
    for (const std::uint16_t at : kHighBytes) {
        bytes[at] = static_cast<std::uint8_t>(bytes[at] + page - kLoaderHome);
    }
    BootLoader moved;
    const auto split = bytes.begin() + static_cast<std::ptrdiff_t>(loader.boot_sectors.size());
    moved.boot_sectors.assign(bytes.begin(), split);
    moved.loader_file.assign(split, bytes.end());
    return moved;
}

}  // namespace korvane
