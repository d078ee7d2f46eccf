// A fresh directory under the system's temporary directory, removed with its content.
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
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

  private:
    std::filesystem::path path_;
};

using Bytes = std::vector<std::uint8_t>;

void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadFile(const std::filesystem::path& path);

// Every entry of a directory (hidden ones included) with its content; directories and
// links show up with an empty content. For "nothing lost, nothing left behind" checks.
std::map<std::string, Bytes> Snapshot(const std::filesystem::path& directory);

}  // namespace korvane::testing
