// Directories of images for the window tests, the screenshots and the benchmark, built
// in code: good images and images with each kind of fault the check tool reports.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace korvane::testing {

enum class ImageKind {
    Good128,          // 720 sectors of 128 bytes, consistent
    WrongIdentifier,  // identifier bytes $92 $02
    TooLong,          // 20 bytes more than the header states
    TooShort,         // fewer than 16 bytes
    Long256,          // 720 sectors of 256 bytes in the long layout
    BadSectorSize,    // sector size 512
    OddLayout256,     // 256-byte sectors, 2032 bytes: fits neither layout (a 9-line block)
};

Bytes MakeImage(ImageKind kind);

struct FixtureFile {
    std::string name;
    ImageKind kind;
};

// Writes each image into `directory` (created if missing).
void WriteImages(const std::filesystem::path& directory, const std::vector<FixtureFile>& files);

// A file of `length` bytes of XEX-like content.
void WriteXex(const std::filesystem::path& path, std::size_t length);

}  // namespace korvane::testing
