// Loading the template disk: where it is looked for, and every fault that ends a run.
#include "template_image.h"

#include <gtest/gtest.h>

#include "convert_fixture.h"

namespace korvane::testing {
namespace {

TEST(LoadTemplateImage, LinesAndTheOutcomeOfEachTemplate) {
    const auto length = [](std::size_t n) {
        return "          Physical filelength         = " + std::to_string(n) + " byte";
    };
    const auto vtoc = [](int stored, int counted) {
        return "          ERROR: Invalid VTOC detected - Read " + std::to_string(stored) +
               " at VTOC(3+4) but " + std::to_string(counted) + " free sectors at bitfield";
    };
    const std::string wrong_length =
        "          ERROR: Physical filelength shall be $16810 bytes (92176 byte)";
    Bytes no_atr_header = Template(), short_one = Template();
    Bytes autorun = Template();
    for (Bytes* image : {&no_atr_header, &autorun}) {  // deleted in the good one
        (*image)[EntryAt(0)] = image == &autorun ? 0x42 : 0xC2;
        std::copy_n("AUTORUN SYS", 11, image->begin() + EntryAt(0) + 5);
    }
    no_atr_header[0] = 0x12;
    SetFree(no_atr_header, 0, true);
    Recount(no_atr_header);
    short_one.pop_back();
    struct Case {
        const char* what;
        std::optional<Bytes> image;  // none: a directory of that name
        Lines lines;                 // after "Read"; none when the template counts as missing
        const char* hidden_name = nullptr;
    };
    const Case cases[] = {
        // Only the length is tested, not the ATR header; sector 0's bit counts: 707 + 1.
        {"good",
         no_atr_header,
         {length(92176), "          Free space                  = 708 sectors or 88500 bytes", ""}},
        {"directory", std::nullopt, {}},
        {"hidden and lower-case only", std::nullopt, {}, ".KELDRIX.ATR"},
        {"unreadable",
         Template(),
         {"          ERROR: Template can not be read - Input/output error (injected)"}},
        {"one byte short", short_one, {length(92175), wrong_length}},
        {"stored 5, counted 6",
         Template({9, 99, 400, 500, 600, 719}, 5),
         {length(92176), vtoc(5, 6)}},
        {"nothing free",
         Template(kNothingFree),
         {length(92176), "          ERROR: No free sectors found"}},
        // The mismatch test comes first: stored 0 with one bit set is a mismatch.
        {"stored 0, one bit", Template({0}, 0), {length(92176), vtoc(0, 1)}},
        {"AUTORUN.SYS already there",
         autorun,
         {length(92176), "          ERROR: Template already holds an AUTORUN.SYS file"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConvertFixture f;
        const std::filesystem::path path = f.program_dir / "KELDRIX.ATR";
        std::filesystem::remove(path);
        if (c.hidden_name != nullptr) {
            WriteFile(f.program_dir / c.hidden_name, Template());
            WriteFile(f.program_dir / "keldrix.atr", Template());
        } else if (c.image) {
            WriteFile(path, *c.image);
        } else {
            std::filesystem::create_directory(path);
        }
        if (c.lines.size() == 1) {
            f.fs.FailOn(FsOperation::Read, 1, "KELDRIX.ATR");
        }
        const std::optional<LoadedTemplate> loaded =
            LoadTemplateImage(f.context, TemplatePath(f.program_dir));
        EXPECT_EQ(loaded.has_value(), !c.lines.empty() && c.lines.back().empty());
        Lines expected = {"Read    : " + path.string()};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(f.report.lines, c.lines.empty() ? Lines{} : expected);
        ASSERT_EQ(f.prompt.asked().size(), c.lines.empty() ? 1u : 0u);
        if (c.lines.empty()) {
            EXPECT_EQ(f.prompt.asked().front().text,
                      "Can not find required KELDRIX.ATR file at install directory");
        }
    }
}

}  // namespace
}  // namespace korvane::testing
