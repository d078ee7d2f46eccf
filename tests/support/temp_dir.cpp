#include "temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace korvane::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes))) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::map<std::string, Bytes> Snapshot(const std::filesystem::path& directory) {
    std::map<std::string, Bytes> content;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const bool file = entry.is_regular_file() && !entry.is_symlink();
        content[entry.path().filename()] = file ? ReadFile(entry.path()) : Bytes();
    }
    return content;
}

}  // namespace korvane::testing
