// The generator: the size shown for each geometry, and the empty image written.
#include "generation_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "convert_fixture.h"
#include "image_geometry.h"

namespace korvane::testing {
namespace {

// The generator's panel over the converter's fixture, writing into its source directory.
struct GenerateFixture : ConvertFixture {
    // The panel as the user left it: two list choices and a name.
    void Choose(const std::string& sector_size, const std::string& sectors,
                const std::string& name = "NEWFILE") {
        window.SetText(Control::Combo_byte_per_sector, sector_size);
        window.SetText(Control::Combo_no_of_sectors, sectors);
        UpdateImageSize(window);
        window.SetText(Control::Txt_filename, name);
    }
    // What "Start Generation" does: apply the directory, then run the engine.
    bool Generate() {
        window.plain.SetPattern("*.atr");
        EXPECT_TRUE(window.plain.ApplyDirectory(source_dir).ok());
        return RunAtrGeneration(context);
    }
    Lines Written(const std::string& file) const {
        return {(source_dir / file).string(), "successfully generated"};
    }
};

TEST(UpdateImageSize, EveryChoiceOfTheTwoLists) {
    EXPECT_EQ(kSectorSizeItems, (std::array<std::string_view, 2>{"128", "256"}));
    EXPECT_EQ(kSectorCountItems[kSectorCountStartItem], "720");
    EXPECT_EQ(kSectorSizeItems[kSectorSizeStartItem], "128");
    const std::vector<std::string> shown[] = {
        {"32784", "92176", "133136", "184336", "368656", "4194192", "8388496"},
        {"65168", "183952", "265872", "368272", "736912", "8387984", "16776592"}};
    PosixFileSystem fs;
    PlainWindow window(fs);
    for (std::size_t i = 0; i < kSectorCountItems.size(); ++i) {
        window.SetText(Control::Combo_no_of_sectors, std::string(kSectorCountItems[i]));
        for (std::size_t size = 0; size < 2; ++size) {
            window.SetText(Control::Combo_byte_per_sector, std::string(kSectorSizeItems[size]));
            UpdateImageSize(window);
            EXPECT_EQ(window.Text(Control::Txt_image_size), shown[size][i]);
        }
    }
}

TEST(RunAtrGeneration, EmptyImagesByteForByte) {
    struct Case {
        std::string sector_size, sectors;
        std::size_t length;
        Bytes header;  // the first 8 bytes; every byte after them is zero
    };
    const Case cases[] = {
        {"128", "720", 92176, {0x96, 0x02, 0x80, 0x16, 0x80, 0x00, 0x00, 0x00}},
        {"256", "720", 183952, {0x96, 0x02, 0xE8, 0x2C, 0x00, 0x01, 0x00, 0x00}},
        {"256", "65535", 16776592, {0x96, 0x02, 0xD8, 0xFF, 0x00, 0x01, 0x0F, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sector_size + " x " + c.sectors);
        GenerateFixture f;
        f.Choose(c.sector_size, c.sectors);
        EXPECT_TRUE(f.Generate());
        EXPECT_EQ(f.report.lines, f.Written("NEWFILE.ATR"));
        EXPECT_EQ(f.report.selected, 1);
        const Bytes image = ReadFile(f.source_dir / "NEWFILE.ATR");
        ASSERT_EQ(image.size(), c.length);
        EXPECT_EQ(Bytes(image.begin(), image.begin() + 8), c.header);
        EXPECT_TRUE(std::all_of(image.begin() + 8, image.end(), [](auto b) { return b == 0; }));

        // Controls locked and released in order; progress from 0 to P, then back to 0.
        const std::vector<Control> order{Control::Cmd_generation, Control::Combo_byte_per_sector,
                                         Control::Combo_no_of_sectors};
        ASSERT_EQ(f.window.enabled_changes.size(), 6u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(f.window.enabled_changes[i], std::make_pair(order[i], false));
            EXPECT_EQ(f.window.enabled_changes[3 + i], std::make_pair(order[i], true));
        }
        const auto paragraphs = static_cast<std::int64_t>(c.length - 16) / 16;
        EXPECT_EQ(f.window.ranges,
                  (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, paragraphs}}));
        ASSERT_GE(f.window.values.size(), 2u);
        EXPECT_TRUE(std::is_sorted(f.window.values.begin(), f.window.values.end() - 1));
        EXPECT_EQ(f.window.values[f.window.values.size() - 2], paragraphs);
        EXPECT_EQ(f.window.values.back(), 0);
        // The new image shows up in the file list and its count.
        EXPECT_EQ(f.window.Caption(Control::source_count), "1");
        EXPECT_EQ(f.window.FileEntry(0), "NEWFILE.ATR");
    }
}

TEST(RunAtrGeneration, NamesAsTypedAndNamesThatAreRefused) {
    GenerateFixture f;
    for (const std::string name : {"GAME.ATR", "game", "  "}) {
        f.Choose("128", "256", name);
        EXPECT_TRUE(f.Generate());
        EXPECT_EQ(f.report.lines, f.Written(name + ".ATR"));
        EXPECT_EQ(ReadFile(f.source_dir / (name + ".ATR")).size(), 32784u);
    }
    WriteFile(f.source_dir / "NEWFILE.ATR", {7, 7, 7});
    std::filesystem::create_directory(f.source_dir / "DIR.ATR");
    std::filesystem::create_symlink(f.source_dir / "nowhere", f.source_dir / "LINK.ATR");
    std::filesystem::create_directory(f.source_dir / "sub");
    const auto before = Snapshot(f.source_dir);
    // A file, a directory and a dangling link of that name, an empty name (with no
    // ".ATR" anywhere), and a name that would lead into another directory.
    for (const std::string name : {"NEWFILE", "DIR", "LINK", "", "sub/INNER"}) {
        SCOPED_TRACE(name);
        f.window.SetText(Control::Txt_filename, name);
        EXPECT_FALSE(f.Generate());
        EXPECT_EQ(f.report.lines,
                  Lines{name == "sub/INNER" ? "ERROR: A file name can not hold \"/\""
                                            : "ERROR: File already exists or empty filename"});
        EXPECT_EQ(f.report.selected, 0);
        EXPECT_EQ(f.window.values.back(), 0);
    }
    EXPECT_EQ(Snapshot(f.source_dir), before);
    EXPECT_TRUE(std::filesystem::is_empty(f.source_dir / "sub"));
}

TEST(RunAtrGeneration, TypedSizesOutsideTheLists) {
    const std::string size_error = "ERROR: Image size shall be from 16 to 2147483647 bytes";
    const std::string sector_error = "ERROR: Sector size shall be 128 or 256 bytes";
    struct Case {
        std::string size, sector_size, line;  // no line: written with `length` bytes
        std::size_t length;
    };
    const Case cases[] = {
        {"15", "128", size_error, 0},
        {"", "128", size_error, 0},
        {"-400", "256", size_error, 0},
        {"3000000000", "128", size_error, 0},
        {"92176", "512", sector_error, 0},
        {"92176", "", sector_error, 0},
        {"16", "128", "", 16},
        {"100", "128", "", 96},  // the remainder of the paragraph division is dropped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size + " / " + c.sector_size);
        GenerateFixture f;
        f.window.SetText(Control::Txt_image_size, c.size);
        f.window.SetText(Control::Combo_byte_per_sector, c.sector_size);
        f.window.SetText(Control::Txt_filename, "X");
        EXPECT_EQ(f.Generate(), c.line.empty());
        if (c.line.empty()) {
            EXPECT_EQ(ReadFile(f.source_dir / "X.ATR").size(), c.length);
        } else {
            EXPECT_EQ(f.report.lines, Lines{c.line});
            EXPECT_TRUE(Snapshot(f.source_dir).empty());
        }
    }
}

TEST(RunAtrGeneration, FileSystemFailuresLeaveNothingBehind) {
    struct Case {
        FsOperation operation;
        int nth;
        std::size_t partial;
        std::string reason;
    };
    const Case cases[] = {
        {FsOperation::Create, 1, 0, "injected failure"},
        {FsOperation::Write, 3, 1000, "No space left on device (injected)"},  // midway
        {FsOperation::Close, 1, 0, "injected failure"},
        {FsOperation::Rename, 1, 0, "injected failure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.operation));
        GenerateFixture f;
        f.Choose("256", "2880");
        f.fs.FailOn(c.operation, c.nth, "NEWFILE.ATR", c.partial);
        EXPECT_FALSE(f.Generate());
        EXPECT_EQ(f.report.lines,
                  Lines{"ERROR: Can not write " + (f.source_dir / "NEWFILE.ATR").string() + " - " +
                        c.reason});
        EXPECT_TRUE(Snapshot(f.source_dir).empty()) << "no image and no temporary file";
        EXPECT_TRUE(f.window.plain.Enabled(Control::Cmd_generation));
        EXPECT_EQ(f.window.values.back(), 0);
        EXPECT_EQ(f.window.Caption(Control::source_count), "0");
    }
}

}  // namespace
}  // namespace korvane::testing
