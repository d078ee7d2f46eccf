// Builds single-density DOS 2 template disks in memory for the converter's tests: a
// freshly formatted disk by default, with any sector marked free or used, directory
// entries taken, the stored free count or the length made wrong on purpose.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace korvane::testing {

class TemplateBuilder {
  public:
    TemplateBuilder();

    // Marks `sector` (0 to 719) free or used in the VTOC's bit field.
    TemplateBuilder& Free(int sector);
    TemplateBuilder& Used(int sector);
    // Marks every sector of the bit field used, so a test can free exactly the ones it names.
    TemplateBuilder& NothingFree();
    // Stores this free count instead of the number of free bits.
    TemplateBuilder& StoredCount(std::uint16_t count);
    // Sets the flag byte of directory entry `slot` (0 to 7) of `sector` (361 to 368).
    TemplateBuilder& Entry(int sector, int slot, std::uint8_t flags);
    // Marks all 64 directory entries in use.
    TemplateBuilder& DirectoryFull();
    // Makes the file `length` bytes long (cut or padded with zeros).
    TemplateBuilder& Length(std::size_t length);
    TemplateBuilder& HeaderByte(std::size_t offset, std::uint8_t value);

    std::vector<std::uint8_t> Build() const;

  private:
    std::vector<std::uint8_t> image_;
    std::optional<std::uint16_t> stored_;
    std::optional<std::size_t> length_;
};

// Offset of a sector (1-based) in a 720-sector single-density image; written out here
// rather than shared with the engine, so a wrong engine constant cannot hide.
constexpr std::size_t SectorAt(int sector) {
    return 16 + static_cast<std::size_t>(sector - 1) * 128;
}

}  // namespace korvane::testing
