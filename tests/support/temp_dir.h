// A fresh directory under the system's temporary directory, removed with its content,
// and whole-file helpers for the tests.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvane::testing {

class TempDir {
  public:
    TempDir() {
        std::string pattern = std::filesystem::temp_directory_path() / "korvane-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(path_, ignored_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

using Bytes = std::vector<std::uint8_t>;

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes))) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

inline Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every entry of a directory (hidden ones included) with its content; directories and
// links show up with an empty content. For "nothing lost, nothing left behind" checks.
inline std::map<std::string, Bytes> Snapshot(const std::filesystem::path& directory) {
    std::map<std::string, Bytes> content;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const bool file = entry.is_regular_file() && !entry.is_symlink();
        content[entry.path().filename()] = file ? ReadFile(entry.path()) : Bytes();
    }
    return content;
}

}  // namespace korvane::testing
