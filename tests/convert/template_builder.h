// Builds single-density DOS 2 template disks in memory for the converter's tests: a
// freshly formatted disk by default, with any sector marked free, directory entries
// taken, the stored free count or the length made wrong on purpose.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace korvane::testing {

class TemplateBuilder {
  public:
    TemplateBuilder();

    // Marks `sector` (0 to 719) free in the VTOC's bit field.
    TemplateBuilder& Free(int sector);
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

    std::vector<std::uint8_t> Build() const;

  private:
    std::vector<std::uint8_t> image_;
    std::optional<std::uint16_t> stored_;
    std::optional<std::size_t> length_;
};

}  // namespace korvane::testing
