// Loading the template disk: where it is looked for, and every fault that ends a run.
#include "template_image.h"

#include <gtest/gtest.h>

#include <functional>

#include "convert_fixture.h"

namespace korvane::testing {
namespace {

std::string LengthLine(std::size_t length) {
    return "          Physical filelength         = " + std::to_string(length) + " byte";
}
std::string VtocError(int stored, int counted) {
    return "          ERROR: Invalid VTOC detected - Read " + std::to_string(stored) +
           " at VTOC(3+4) but " + std::to_string(counted) + " free sectors at bitfield";
}
const std::string kLengthError =
    "          ERROR: Physical filelength shall be $16810 bytes (92176 byte)";

using Prepare = std::function<void(ConvertFixture&)>;
Prepare Put(const Bytes& image) {
    return [=](ConvertFixture& f) { f.PutTemplate(image); };
}
Prepare Missing(std::function<void(const std::filesystem::path&)> make) {
    return [=](ConvertFixture& f) {
        std::filesystem::remove(f.program_dir / "KELDRIX.ATR");
        make(f.program_dir);
    };
}

TEST(LoadTemplateImage, LinesAndTheOutcomeOfEachTemplate) {
    Bytes no_atr_header = TemplateBuilder().Free(0).Build();
    no_atr_header[0] = 0x12;
    TemplateBuilder six_free;
    six_free.NothingFree();
    for (int sector = 4; sector < 10; ++sector) {
        six_free.Free(sector);
    }
    struct Case {
        const char* what;
        Prepare setup;
        Lines lines;  // after "Read"; none when the template is missing
    };
    const Case cases[] = {
        // A header that is no ATR header at all passes: only the length is tested. The
        // bit of sector 0 counts like any other: 707 + 1.
        {"good",
         Put(no_atr_header),
         {LengthLine(92176), "          Free space                  = 708 sectors or 88500 bytes",
          ""}},
        {"link to a regular file",
         [](ConvertFixture& f) {
             std::filesystem::rename(f.program_dir / "KELDRIX.ATR", f.temp / "elsewhere.atr");
             std::filesystem::create_symlink(f.temp / "elsewhere.atr",
                                             f.program_dir / "KELDRIX.ATR");
         },
         {LengthLine(92176), "          Free space                  = 707 sectors or 88375 bytes",
          ""}},
        {"no file", Missing([](const std::filesystem::path&) {}), {}},
        {"hidden file only",
         Missing(
             [](const auto& dir) { WriteFile(dir / ".KELDRIX.ATR", TemplateBuilder().Build()); }),
         {}},
        {"directory of that name",
         Missing([](const auto& dir) { std::filesystem::create_directory(dir / "KELDRIX.ATR"); }),
         {}},
        {"dangling link",
         Missing([](const auto& dir) {
             std::filesystem::create_symlink(dir / "gone.atr", dir / "KELDRIX.ATR");
         }),
         {}},
        {"lower-case name",
         Missing(
             [](const auto& dir) { WriteFile(dir / "keldrix.atr", TemplateBuilder().Build()); }),
         {}},
        {"unreadable",
         [](ConvertFixture& f) { f.fs.FailOn(FsOperation::Read, 1, "KELDRIX.ATR"); },
         {"          ERROR: Template can not be read - Input/output error (injected)"}},
        {"one byte short",
         Put(TemplateBuilder().Length(92175).Build()),
         {LengthLine(92175), kLengthError}},
        {"one byte long",
         Put(TemplateBuilder().Length(92177).Build()),
         {LengthLine(92177), kLengthError}},
        {"empty file", Put(Bytes{}), {LengthLine(0), kLengthError}},
        {"stored 5, counted 6",
         Put(six_free.StoredCount(5).Build()),
         {LengthLine(92176), VtocError(5, 6)}},
        {"nothing free",
         Put(TemplateBuilder().NothingFree().Build()),
         {LengthLine(92176), "          ERROR: No free sectors found"}},
        // The mismatch test comes first: stored 0 with one bit set is a mismatch.
        {"stored 0, one bit",
         Put(TemplateBuilder().NothingFree().Free(0).StoredCount(0).Build()),
         {LengthLine(92176), VtocError(0, 1)}},
        {"stored count beyond any bit field",
         Put(TemplateBuilder().StoredCount(40000).Build()),
         {LengthLine(92176), VtocError(40000, 707)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConvertFixture f;
        c.setup(f);
        const std::optional<LoadedTemplate> loaded =
            LoadTemplateImage(f.context, TemplatePath(f.program_dir));
        const bool missing = c.lines.empty();
        EXPECT_EQ(loaded.has_value(), !missing && c.lines.back().empty());
        if (loaded) {
            EXPECT_EQ(loaded->free_count, c.what == std::string("good") ? 708 : 707);
            EXPECT_EQ(loaded->bytes, ReadFile(f.program_dir / "KELDRIX.ATR"));
        }
        Lines expected = {"Read    : " + (f.program_dir / "KELDRIX.ATR").string()};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(f.report.lines, missing ? Lines{} : expected);
        ASSERT_EQ(f.prompt.asked().size(), missing ? 1u : 0u);
        if (missing) {
            const Prompt& box = f.prompt.asked().front();
            EXPECT_EQ(box.topic, PromptTopic::MissingTemplate);
            EXPECT_EQ(box.title, "ERROR");
            EXPECT_EQ(box.text, "Can not find required KELDRIX.ATR file at install directory");
            EXPECT_EQ(box.icon, PromptIcon::Critical);
            EXPECT_EQ(box.buttons, PromptButtons::Ok);
        }
    }
}

}  // namespace
}  // namespace korvane::testing
