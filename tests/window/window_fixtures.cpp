#include "window_fixtures.h"

#include "image_builder.h"

namespace korvane::testing {

namespace {

constexpr std::int64_t kSingleDensityData = 720 * 128;
constexpr std::int64_t kLongLayoutData = 720 * 256;
// 7 sectors of 256 bytes and 240 more: neither a long nor a short layout, and above 1 kB.
constexpr std::int64_t kOddLayoutData = 2032;

}  // namespace

Bytes MakeImage(ImageKind kind) {
    switch (kind) {
        case ImageKind::Good128:
            return ImageBuilder().StatedLength(kSingleDensityData).Build();
        case ImageKind::WrongIdentifier:
            return ImageBuilder().Identifier(0x92, 0x02).StatedLength(kSingleDensityData).Build();
        case ImageKind::TooLong:
            return ImageBuilder()
                .StatedLength(kSingleDensityData)
                .DataLength(kSingleDensityData + 20)
                .Build();
        case ImageKind::TooShort:
            return ImageBuilder::Raw(15, 0x96);
        case ImageKind::Long256:
            return ImageBuilder().SectorSize(256).StatedLength(kLongLayoutData).Build();
        case ImageKind::BadSectorSize:
            return ImageBuilder().SectorSize(512).StatedLength(kSingleDensityData).Build();
        case ImageKind::OddLayout256:
            return ImageBuilder().SectorSize(256).StatedLength(kOddLayoutData).Build();
    }
    return {};
}

void WriteImages(const std::filesystem::path& directory, const std::vector<FixtureFile>& files) {
    std::filesystem::create_directories(directory);
    for (const FixtureFile& file : files) {
        WriteFile(directory / file.name, MakeImage(file.kind));
    }
}

void WriteXex(const std::filesystem::path& path, std::size_t length) {
    Bytes bytes(length, 0xEA);
    if (length >= 2) {
        bytes[0] = 0xFF;
        bytes[1] = 0xFF;
    }
    WriteFile(path, bytes);
}

}  // namespace korvane::testing
