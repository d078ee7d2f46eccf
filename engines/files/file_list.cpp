#include "file_list.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstdint>

namespace korvane {

namespace {

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the glob `pattern` is "*" and a plain ending (the tools' "*.atr" and "*.xex").
bool PlainEnding(const std::string& pattern) {
    return pattern.size() > 1 && pattern[0] == '*' &&
           pattern.find_first_of("*?[\\", 1) == std::string::npos;
}

// Whether `name` matches the glob `pattern` without regard to letter case. A plain ending
// is compared byte by byte with ASCII letters folded, as fnmatch would; fnmatch itself,
// which converts both to wide characters in the window's UTF-8 locale, only for other
// patterns.
bool NameMatches(const std::string& pattern, bool plain_ending, const std::string& name) {
    if (plain_ending) {
        const std::size_t tail = pattern.size() - 1;
        return name.size() >= tail &&
               std::equal(pattern.begin() + 1, pattern.end(),
                          name.end() - static_cast<std::ptrdiff_t>(tail),
                          [](char a, char b) { return FoldCase(a) == FoldCase(b); });
    }
    return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
}

}  // namespace

bool SourceNameLess(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::string& x = a.native();
    const std::string& y = b.native();
    const std::size_t common = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (x[i] == y[i]) {
            continue;  // the long common beginnings of numbered names
        }
        const auto fx = static_cast<unsigned char>(FoldCase(x[i]));
        const auto fy = static_cast<unsigned char>(FoldCase(y[i]));
        if (fx != fy) {
            return fx < fy;
        }
    }
    if (x.size() != y.size()) {
        return x.size() < y.size();
    }
    return x < y;
}

FsStatus ListSourceFiles(FileSystem& fs, const std::filesystem::path& directory,
                         const std::string& pattern, std::vector<std::filesystem::path>& files) {
    files.clear();
    const bool plain_ending = PlainEnding(pattern);
    // Only the names kept are held, not every entry of the directory.
    const FsStatus status = fs.ForEachEntry(directory, [&](DirectoryEntry& entry) {
        const std::string& name = entry.name.native();
        // Letter case is ignored, as on the disks the images come from.
        if ((entry.regular_file || entry.type_unknown) && !name.empty() && name[0] != '.' &&
            NameMatches(pattern, plain_ending, name)) {
            files.push_back(std::move(entry.name));
        }
    });
    if (!status.ok()) {
        files.clear();
        return status;
    }
    // Sorted by a key of each name's first 8 bytes, letters folded (zeros after a shorter
    // name, which holds no zero byte): where two keys differ they give the order
    // SourceNameLess gives, so that the whole names are compared only where they are equal.
    struct Keyed {
        std::uint64_t key;
        std::size_t index;
    };
    std::vector<Keyed> keyed(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& name = files[i].native();
        std::uint64_t key = 0;
        for (std::size_t k = 0; k < 8; ++k) {
            key = key << 8 | (k < name.size() ? static_cast<unsigned char>(FoldCase(name[k])) : 0u);
        }
        keyed[i] = {key, i};
    }
    std::sort(keyed.begin(), keyed.end(), [&files](const Keyed& a, const Keyed& b) {
        return a.key != b.key ? a.key < b.key : SourceNameLess(files[a.index], files[b.index]);
    });
    // Each name moved to its place along the cycles of the order, without a second list.
    for (std::size_t start = 0; start < keyed.size(); ++start) {
        if (keyed[start].index == start) {
            continue;  // in place, or placed already
        }
        std::filesystem::path held = std::move(files[start]);
        for (std::size_t to = start;;) {
            const std::size_t from = keyed[to].index;
            keyed[to].index = to;
            if (from == start) {
                files[to] = std::move(held);
                break;
            }
            files[to] = std::move(files[from]);
            to = from;
        }
    }
    return FsStatus::Ok();
}

}  // namespace korvane
