#include "loader_placement.h"

#include <algorithm>

#include "loader_relocations.h"

namespace korvane {

namespace {

constexpr int kHighestEnd = 0x9C;  // the loader ends below $9C00

}  // namespace

std::bitset<256> LoadedPages(std::span<const std::uint8_t> xex) {
    std::bitset<256> pages;
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
        for (int page = start >> 8; page <= end >> 8; ++page) {
            pages.set(static_cast<std::size_t>(page));
        }
        at += 4 + static_cast<std::size_t>(end - start + 1);
    }
    return pages;
}

int LoaderPageFor(std::span<const std::uint8_t> xex) {
    const std::bitset<256> loaded = LoadedPages(xex);
    const auto free_from = [&](int first) {
        for (int page = first; page < first + kLoaderPages; ++page) {
            if (loaded.test(static_cast<std::size_t>(page))) {
                return false;
            }
        }
        return true;
    };
    if (free_from(kLoaderHome)) {
        return kLoaderHome;
    }
    for (int first = kHighestEnd - kLoaderPages; first > kLoaderHome; --first) {
        if (free_from(first)) {
            return first;
        }
    }
    return 0;
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
