// Shared pieces of the boot tests: the built files, binary load files made in code,
// and booting a file as AUTORUN.SYS on a copy of the template disk.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "boot_sim.h"
#include "dos2_disk.h"
#include "temp_dir.h"

namespace korvane::boottest {

using testing::Dos2File;
using testing::ReadFile;
using testing::WriteDos2File;

// KELDRIX.ATR as the build made it.
const std::vector<std::uint8_t>& Template();

// A binary load file put together in code, for cases the assembled programs do not cover.
class Xex {
  public:
    Xex();  // starts with $FF $FF
    Xex& Segment(std::uint16_t start, std::vector<std::uint8_t> data);
    Xex& Run(std::uint16_t address);
    Xex& Init(std::uint16_t address);
    Xex& Raw(std::initializer_list<std::uint8_t> bytes);
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// One segment of a binary load file: its start and its data.
struct XexSegment {
    std::uint16_t start = 0;
    std::vector<std::uint8_t> data;
};

// The complete segments of a well-formed binary load file, $FFFF markers left out.
std::vector<XexSegment> Segments(const std::vector<std::uint8_t>& xex);

struct Booted {
    std::vector<std::uint8_t> xex;
    std::vector<std::uint8_t> atr;
    Dos2File file;
    sim::BootResult result;
};

// Writes `xex` as AUTORUN.SYS onto a copy of the template and boots it.
Booted BootXex(std::vector<std::uint8_t> xex, const sim::BootOptions& options = {});
Booted BootXexFile(const std::string& path, const sim::BootOptions& options = {});

// The sectors a boot of `file` may read, in order: the boot sectors, the directory up
// to the file's entry, then the file's chain.
std::vector<int> ExpectedSectors(const sim::BootResult& result, const Dos2File& file);

// First address after the loader: the MEMLO it sets while loading.
std::uint16_t LoaderEnd(const sim::BootResult& result);

// A text of the RAM at [address, address + length).
std::string RamText(const sim::BootResult& result, std::uint16_t address, std::size_t length);

}  // namespace korvane::boottest
