// A fresh directory under the system's temporary directory, removed with its content,
// and whole-file helpers for the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace korvane::testing {

class TempDir {
  public:
    TempDir();
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

void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadFile(const std::filesystem::path& path);

// Every entry of a directory (hidden ones included) with its content; directories and
// links show up with an empty content. For "nothing lost, nothing left behind" checks.
std::map<std::string, Bytes> Snapshot(const std::filesystem::path& directory);

}  // namespace korvane::testing
