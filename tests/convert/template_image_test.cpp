// Loading the template disk: where it is looked for, and every fault that ends a run.
#include "template_image.h"

#include <gtest/gtest.h>

#include "convert_fixture.h"

namespace korvane::testing {
namespace {

struct Loaded {
    std::optional<LoadedTemplate> loaded;
    Lines lines;
    std::vector<Prompt> prompts;
};

Loaded Load(ConvertFixture& f) {
    f.report.Clear();
    Loaded result;
    result.loaded = LoadTemplateImage(f.context, TemplatePath(f.program_dir));
    result.lines = f.report.lines;
    result.prompts = f.prompt.asked();
    return result;
}

std::string ReadLine(const ConvertFixture& f) {
    return "Read    : " + (f.program_dir / "KELDRIX.ATR").string();
}

std::string LengthLine(std::size_t length) {
    return "          Physical filelength         = " + std::to_string(length) + " byte";
}

TEST(LoadTemplateImage, ReadsLengthVtocAndFreeSpace) {
    ConvertFixture f;
    // A header that is no ATR header at all passes: only the length is tested.
    f.PutTemplate(TemplateBuilder().HeaderByte(0, 0x12).Free(0).Build());
    const Loaded result = Load(f);
    ASSERT_TRUE(result.loaded.has_value());
    EXPECT_TRUE(result.prompts.empty());
    // The bit of sector 0 counts like any other: 707 + 1.
    EXPECT_EQ(result.lines,
              (Lines{ReadLine(f), LengthLine(92176),
                     "          Free space                  = 708 sectors or 88500 bytes", ""}));
    EXPECT_EQ(result.loaded->free_count, 708);
    EXPECT_EQ(result.loaded->bytes, ReadFile(f.program_dir / "KELDRIX.ATR"));
    EXPECT_TRUE(std::equal(result.loaded->vtoc.begin(), result.loaded->vtoc.end(),
                           result.loaded->bytes.begin() + SectorAt(360)));
    EXPECT_EQ(result.loaded->path, f.program_dir / "KELDRIX.ATR");
}

TEST(LoadTemplateImage, MissingTemplateAsksOnceAndReportsNothing) {
    const auto make_missing =
        std::vector<std::pair<const char*, void (*)(const std::filesystem::path&)>>{
            {"no file", [](const std::filesystem::path&) {}},
            {"hidden file only",
             [](const std::filesystem::path& dir) {
                 WriteFile(dir / ".KELDRIX.ATR", TemplateBuilder().Build());
             }},
            {"directory of that name",
             [](const std::filesystem::path& dir) {
                 std::filesystem::create_directory(dir / "KELDRIX.ATR");
             }},
            {"dangling link",
             [](const std::filesystem::path& dir) {
                 std::filesystem::create_symlink(dir / "gone.atr", dir / "KELDRIX.ATR");
             }},
            {"lower-case name",
             [](const std::filesystem::path& dir) {
                 WriteFile(dir / "keldrix.atr", TemplateBuilder().Build());
             }},
        };
    for (const auto& [what, make] : make_missing) {
        SCOPED_TRACE(what);
        ConvertFixture f;
        std::filesystem::remove(f.program_dir / "KELDRIX.ATR");
        make(f.program_dir);
        const Loaded result = Load(f);
        EXPECT_FALSE(result.loaded.has_value());
        EXPECT_TRUE(result.lines.empty());
        ASSERT_EQ(result.prompts.size(), 1u);
        const Prompt& box = result.prompts.front();
        EXPECT_EQ(box.topic, PromptTopic::MissingTemplate);
        EXPECT_EQ(box.title, "ERROR");
        EXPECT_EQ(box.text, "Can not find required KELDRIX.ATR file at install directory");
        EXPECT_EQ(box.icon, PromptIcon::Critical);
        EXPECT_EQ(box.buttons, PromptButtons::Ok);
    }
}

TEST(LoadTemplateImage, LinkToARegularFileCounts) {
    ConvertFixture f;
    std::filesystem::rename(f.program_dir / "KELDRIX.ATR", f.temp / "elsewhere.atr");
    std::filesystem::create_symlink(f.temp / "elsewhere.atr", f.program_dir / "KELDRIX.ATR");
    EXPECT_TRUE(Load(f).loaded.has_value());
}

TEST(LoadTemplateImage, FaultsEndWithTheirErrorLine) {
    const std::string length_error =
        "          ERROR: Physical filelength shall be $16810 bytes (92176 byte)";
    const std::string invalid_5_6 =
        "          ERROR: Invalid VTOC detected - Read 5 at VTOC(3+4) but 6 free sectors at "
        "bitfield";
    TemplateBuilder six_free;
    six_free.NothingFree();
    for (int sector = 4; sector < 10; ++sector) {
        six_free.Free(sector);
    }
    struct Case {
        const char* what;
        Bytes image;
        Lines tail;
    };
    const std::vector<Case> cases = {
        {"one byte short",
         TemplateBuilder().Length(92175).Build(),
         {LengthLine(92175), length_error}},
        {"one byte long",
         TemplateBuilder().Length(92177).Build(),
         {LengthLine(92177), length_error}},
        {"empty file", Bytes{}, {LengthLine(0), length_error}},
        {"stored 5, counted 6", six_free.StoredCount(5).Build(), {LengthLine(92176), invalid_5_6}},
        {"nothing free",
         TemplateBuilder().NothingFree().Build(),
         {LengthLine(92176), "          ERROR: No free sectors found"}},
        // The mismatch test comes first: stored 0 with one bit set is a mismatch.
        {"stored 0, one bit",
         TemplateBuilder().NothingFree().Free(0).StoredCount(0).Build(),
         {LengthLine(92176),
          "          ERROR: Invalid VTOC detected - Read 0 at VTOC(3+4) but 1 free sectors at "
          "bitfield"}},
        {"stored count beyond any bit field",
         TemplateBuilder().StoredCount(40000).Build(),
         {LengthLine(92176),
          "          ERROR: Invalid VTOC detected - Read 40000 at VTOC(3+4) but 707 free sectors "
          "at bitfield"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConvertFixture f;
        f.PutTemplate(c.image);
        const Loaded result = Load(f);
        EXPECT_FALSE(result.loaded.has_value());
        EXPECT_TRUE(result.prompts.empty());
        Lines expected{ReadLine(f)};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(result.lines, expected);
    }
}

TEST(LoadTemplateImage, UnreadableTemplateIsReported) {
    ConvertFixture f;
    f.fs.FailOn(FsOperation::Read, 1, "KELDRIX.ATR");
    const Loaded result = Load(f);
    EXPECT_FALSE(result.loaded.has_value());
    EXPECT_EQ(result.lines,
              (Lines{ReadLine(f),
                     "          ERROR: Template can not be read - Input/output error (injected)"}));
}

}  // namespace
}  // namespace korvane::testing
