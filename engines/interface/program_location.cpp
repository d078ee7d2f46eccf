#include "program_location.h"

#include <system_error>

namespace korvane {

namespace {

std::filesystem::path Executable() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

}  // namespace

std::filesystem::path ProgramDirectory() {
    const std::filesystem::path exe = Executable();
    std::filesystem::path directory = exe.parent_path();
    return directory.empty() ? std::filesystem::path("/") : directory;
}

std::filesystem::path ProgramFileName() {
    return Executable().stem();
}

std::filesystem::path AbsoluteDirectory(const std::filesystem::path& directory) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(directory, ec);
    if (ec) {
        absolute = directory;
    }
    // Drop "." components and trailing separators; ".." stays, since a link may lie
    // before it.
    std::filesystem::path cleaned;
    for (const std::filesystem::path& part : absolute) {
        if (part == "." || part.empty()) {
            continue;
        }
        cleaned /= part;
    }
    return cleaned.empty() ? std::filesystem::path("/") : cleaned;
}

}  // namespace korvane
