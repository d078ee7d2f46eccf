#include "file_list.h"

#include <fnmatch.h>

#include <algorithm>

namespace korvane {

namespace {

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `name` matches the glob `pattern` without regard to letter case. A pattern of
// "*" and a plain ending (the tools' "*.atr" and "*.xex") is an ending compared byte by
// byte with ASCII letters folded, as fnmatch would; fnmatch itself, which converts both
// to wide characters in the window's UTF-8 locale, only for other patterns.
bool NameMatches(const std::string& pattern, const std::string& name) {
    if (pattern.size() > 1 && pattern[0] == '*' &&
        pattern.find_first_of("*?[\\", 1) == std::string::npos) {
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
    // Only the names kept are held, not every entry of the directory.
    const FsStatus status = fs.ForEachEntry(directory, [&](DirectoryEntry& entry) {
        const std::string& name = entry.name.native();
        // Letter case is ignored, as on the disks the images come from.
        if ((entry.regular_file || entry.type_unknown) && !name.empty() && name[0] != '.' &&
            NameMatches(pattern, name)) {
            files.push_back(std::move(entry.name));
        }
    });
    if (!status.ok()) {
        files.clear();
        return status;
    }
    std::sort(files.begin(), files.end(), SourceNameLess);
    return FsStatus::Ok();
}

}  // namespace korvane
