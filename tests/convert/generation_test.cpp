// The generator: the empty image written, the names it takes or refuses, typed sizes.
#include "generation_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "convert_fixture.h"
#include "image_geometry.h"

namespace korvane::testing {
namespace {

// The generator's panel over the converter's fixture, writing into its source directory;
// with a sector count the size comes from the two lists, else it is typed.
bool Generate(ConvertFixture& f, const std::string& name, const std::string& sector_size = "128",
              const std::string& sectors = "") {
    f.window.SetText(Control::Txt_filename, name);
    f.window.SetText(Control::Combo_byte_per_sector, sector_size);
    f.window.SetText(Control::Combo_no_of_sectors, sectors);
    if (!sectors.empty()) {
        UpdateImageSize(f.window);
    }
    f.window.SetPattern("*.atr");
    EXPECT_TRUE(f.window.ApplyDirectory(f.source_dir).ok());
    return RunAtrGeneration(f.context);
}

TEST(RunAtrGeneration, EmptyImagesByteForByte) {
    const std::tuple<std::string, std::string, std::size_t, Bytes> cases[] = {
        // header: the first 8 bytes
        {"128", "720", 92176, {0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00}},
        {"256", "720", 183952, {0x96, 0x02, 0xE8, 0x2C, 0x00, 0x01, 0x00, 0x00}},
        {"256", "65535", 16776592, {0x96, 0x02, 0xD8, 0xFF, 0x00, 0x01, 0x0F, 0x00}}};
    for (const auto& [sector_size, sectors, length, header] : cases) {
        SCOPED_TRACE(sectors);
        ConvertFixture f;
        EXPECT_TRUE(Generate(f, "NEWFILE", sector_size, sectors));
        EXPECT_EQ(f.report.lines,
                  (Lines{(f.source_dir / "NEWFILE.ATR").string(), "successfully generated"}));
        EXPECT_EQ(f.report.selected, 1);
        const Bytes image = ReadFile(f.source_dir / "NEWFILE.ATR");
        ASSERT_EQ(image.size(), length);
        EXPECT_EQ(Bytes(image.begin(), image.begin() + 8), header);
        EXPECT_TRUE(std::all_of(image.begin() + 8, image.end(), [](auto b) { return b == 0; }));
        EXPECT_EQ(f.window.FileEntry(0), "NEWFILE.ATR");  // the list shows the new image
    }
}

// Names as typed; a file, a directory, a dangling link of that name, an empty name and a
// name leading into another directory refused with nothing written; sizes typed outside
// the lists, a paragraph's rest dropped.
TEST(RunAtrGeneration, NamesAndTypedSizes) {
    ConvertFixture f;
    const std::string size_error = "ERROR: Image size shall be from 16 to 2147483647 bytes",
                      taken = "ERROR: File already exists or empty filename";
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        // name, size, sector size, error
        {"GAME.ATR", "32784", "128", ""},
        {"game", "100", "128", ""},
        {"  ", "16", "256", ""},
        {"X", "15", "128", size_error},
        {"X", "", "128", size_error},
        {"X", "3000000000", "128", size_error},
        {"X", "92176", "512", "ERROR: Sector size shall be 128 or 256 bytes"},
        {"game", "92176", "128", taken},
        {"DIR", "92176", "128", taken},
        {"LINK", "92176", "128", taken},
        {"", "92176", "128", taken},
        {"sub/INNER", "92176", "128", "ERROR: A file name can not hold \"/\""},
        {"..", "92176", "128", "ERROR: A file name can not begin with \".\""}};
    std::filesystem::create_directory(f.source_dir / "DIR.ATR");
    std::filesystem::create_symlink(f.source_dir / "nowhere", f.source_dir / "LINK.ATR");
    std::filesystem::create_directory(f.source_dir / "sub");
    for (const auto& [name, size, sector_size, error] : cases) {
        SCOPED_TRACE(name + " " + size);
        const auto before = Snapshot(f.source_dir);
        f.window.SetText(Control::Txt_image_size, size);
        EXPECT_EQ(Generate(f, name, sector_size), error.empty());
        if (error.empty()) {
            EXPECT_EQ(ReadFile(f.source_dir / (name + ".ATR")).size(), std::stoul(size) / 16 * 16);
        } else {
            EXPECT_EQ(f.report.lines, Lines{error});
            EXPECT_EQ(Snapshot(f.source_dir), before);
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(f.source_dir / "sub"));
}

}  // namespace
}  // namespace korvane::testing
