#include "file_list.h"

#include <fnmatch.h>

#include <algorithm>

namespace korvane {

namespace {

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SourceNameLess(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::string& x = a.native();
    const std::string& y = b.native();
    const std::size_t common = std::min(x.size(), y.size());
    for (std::size_t i = 0; i < common; ++i) {
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
            ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
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
