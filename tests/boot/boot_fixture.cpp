#include "boot_fixture.h"

#include "boot_test_files.h"
#include "dos2_layout.h"

namespace korvane::boottest {

namespace {

constexpr std::uint16_t kRunad = 0x02E0;
constexpr std::uint16_t kInitad = 0x02E2;
constexpr std::uint16_t kMemlo = 0x02E7;

void AddWord(std::vector<std::uint8_t>& bytes, std::uint16_t word) {
    bytes.push_back(static_cast<std::uint8_t>(word));
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
}

}  // namespace

const std::vector<std::uint8_t>& Template() {
    static const std::vector<std::uint8_t> bytes = ReadFile(files::kTemplateImage);
    return bytes;
}

Xex::Xex() {
    bytes_ = {0xFF, 0xFF};
}

Xex& Xex::Segment(std::uint16_t start, std::vector<std::uint8_t> data) {
    AddWord(bytes_, start);
    AddWord(bytes_, static_cast<std::uint16_t>(start + data.size() - 1));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
}

Xex& Xex::Run(std::uint16_t address) {
    return Segment(kRunad,
                   {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8)});
}

Xex& Xex::Init(std::uint16_t address) {
    return Segment(kInitad,
                   {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8)});
}

Xex& Xex::Raw(std::initializer_list<std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
    return *this;
}

std::vector<XexSegment> Segments(const std::vector<std::uint8_t>& xex) {
    std::vector<XexSegment> segments;
    std::size_t at = 2;
    auto word = [&](std::size_t offset) {
        return static_cast<std::uint16_t>(xex.at(offset) | xex.at(offset + 1) << 8);
    };
    while (at + 2 <= xex.size()) {
        const std::uint16_t start = word(at);
        if (start == 0xFFFF) {
            at += 2;
            continue;
        }
        const std::uint16_t end = word(at + 2);
        const std::size_t length = static_cast<std::size_t>(end - start) + 1;
        XexSegment segment{start, {}};
        segment.data.assign(xex.begin() + static_cast<std::ptrdiff_t>(at + 4),
                            xex.begin() + static_cast<std::ptrdiff_t>(at + 4 + length));
        segments.push_back(std::move(segment));
        at += 4 + length;
    }
    return segments;
}

Booted BootXex(std::vector<std::uint8_t> xex, const sim::BootOptions& options) {
    Booted booted;
    booted.xex = std::move(xex);
    booted.atr = testing::WithAutorun(Template(), booted.xex, &booted.file).value();
    booted.result = sim::BootAtr(booted.atr, options);
    return booted;
}

Booted BootXexFile(const std::string& path, const sim::BootOptions& options) {
    return BootXex(ReadFile(path), options);
}

std::vector<int> ExpectedSectors(const sim::BootResult& result, const Dos2File& file) {
    std::vector<int> sectors;
    for (int sector = 1; sector <= result.boot_sectors; ++sector) {
        sectors.push_back(sector);
    }
    for (int sector = dos2::kDirectoryFirstSector; sector <= file.directory_sector; ++sector) {
        sectors.push_back(sector);
    }
    sectors.insert(sectors.end(), file.sectors.begin(), file.sectors.end());
    return sectors;
}

std::uint16_t LoaderEnd(const sim::BootResult& result) {
    return result.Word(kMemlo);
}

std::string RamText(const sim::BootResult& result, std::uint16_t address, std::size_t length) {
    return std::string(result.ram.begin() + address, result.ram.begin() + address + length);
}

}  // namespace korvane::boottest
