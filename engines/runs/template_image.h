// The template disk of the converter: a single-density DOS 2 image that every converted
// XEX file is copied into, loaded once per run together with a copy of its VTOC.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "dos2_layout.h"
#include "engine_context.h"

namespace korvane {

// The template's fixed name; it lies in the program's directory.
inline constexpr const char* kTemplateName = "KELDRIX.ATR";

using VtocBytes = std::array<std::uint8_t, dos2::kSectorSize>;

struct LoadedTemplate {
    std::vector<std::uint8_t> bytes;  // the whole template file, 92176 bytes
    VtocBytes vtoc{};                 // sector 360 as read
    int free_count = 0;               // free sectors, stored count and bit field agree
    std::filesystem::path path;       // where the template was read, for the report
};

// Free space in bytes: a DOS 2 data sector carries 125 bytes of file data.
constexpr std::int64_t FreeBytes(int free_sectors) {
    return static_cast<std::int64_t>(free_sectors) *
           static_cast<std::int64_t>(dos2::kDataBytesPerSector);
}

// The template disk's place: KELDRIX.ATR in the program's directory.
std::filesystem::path TemplatePath(const std::filesystem::path& program_directory);

// Finds and reads the template disk, checks its length and VTOC, and reports what it
// found; a missing template is told through one message box. Empty on any failure.
std::optional<LoadedTemplate> LoadTemplateImage(EngineContext& context,
                                                const std::filesystem::path& template_path);

}  // namespace korvane
