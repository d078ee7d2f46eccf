// The converter's batch run: report blocks, output names, skips, the summary, and
// file-system failures.
#include <gtest/gtest.h>

#include "convert_fixture.h"

namespace korvane::testing {
namespace {

const Lines kSkipped{"ERROR   : Skipping conversion - file already exists", ""};
const Lines kTooLong{"          ERROR: Filelength shall be smaller than 600 sectors", kConvertFail};

struct RunFixture : ConvertFixture {
    Lines Head(int free = 707) const {
        return {"Read    : " + (program_dir / "KELDRIX.ATR").string(),
                "          Physical filelength         = 92176 byte",
                "          Free space                  = " + std::to_string(free) + " sectors or " +
                    std::to_string(free * 125) + " bytes",
                ""};
    }
    static Lines Block(const std::string& name, std::size_t length, const Lines& rest) {
        return Join({{"Read    : " + name, "          Physical filelength         = " +
                                               std::to_string(length) + " byte"},
                     rest});
    }
    Lines Made(const std::string& output) const {
        return {"Generate: " + (source_dir / output).string(), ""};
    }
    static Lines Summary(int converted, int not_converted) {
        const std::string rule(61, '=');
        return Join({{"", rule, std::string(21, '=') + "   S U M M A R Y   " + std::string(21, '='),
                      rule, "", "Converted     XEX-files:  " + std::to_string(converted)},
                     not_converted > 0
                         ? Lines{"Not converted XEX-files:  " + std::to_string(not_converted)}
                         : Lines{},
                     {"", "Click on the filenames to see the detailed conversion information"}});
    }
};

// Lengths at both bounds, names that clash, and whatever has the output name is kept:
// a directory, a dangling link, a file.
TEST(RunXexConversion, OneBlockPerFileThenTheSummary) {
    RunFixture f;
    const Bytes a = XexBytes(128, 1), v2 = XexBytes(300, 2);
    const std::pair<const char*, Bytes> files[] = {{"A.XEX", a},
                                                   {"B.XEX", XexBytes(127, 3)},
                                                   {"C.XEX", {}},
                                                   {"D.XEX", XexBytes(707 * 125 + 1, 4)},
                                                   {"E.XEX", a},
                                                   {"F.XEX", a},
                                                   {"GAME.XEX", XexBytes(400, 5)},
                                                   {"GAME.V2.XEX", v2},
                                                   {"notes.txt", a}};
    for (const auto& [name, bytes] : files) {
        f.PutXex(name, bytes);
    }
    std::filesystem::create_directory(f.source_dir / "DIR.XEX");
    std::filesystem::create_directory(f.source_dir / "E.ATR");
    std::filesystem::create_symlink(f.source_dir / "nowhere", f.source_dir / "F.ATR");
    const ConversionRunTotals totals = f.Run();
    const Lines too_short{"          ERROR: Filelength shall be more than 127 bytes", kConvertFail};
    EXPECT_EQ(
        f.report.lines,
        Join({f.Head(), f.Block("A.XEX", 128, f.Made("A.ATR")), f.Block("B.XEX", 127, too_short),
              f.Block("C.XEX", 0, too_short), f.Block("D.XEX", 88376, kTooLong),
              f.Block("E.XEX", 128, kSkipped), f.Block("F.XEX", 128, kSkipped),
              f.Block("GAME.V2.XEX", 300, f.Made("GAME.ATR")), f.Block("GAME.XEX", 400, kSkipped),
              f.Summary(2, 6)}));
    EXPECT_EQ(totals.converted_count, 2);
    EXPECT_EQ(totals.not_converted_count, 6);
    ExpectImageHolds(f.Output("A.ATR"), f.template_image, a);
    ExpectImageHolds(f.Output("GAME.ATR"), f.template_image, v2);
    for (std::int64_t k = 1; k <= 9; ++k) {  // where each block begins
        EXPECT_EQ(f.state.FileReportLine(k), 4 * k) << k;
    }
    EXPECT_EQ(f.report.selected, static_cast<std::int64_t>(f.report.lines.size()) - 1);
    EXPECT_EQ(OutputNameFor("A.B.C.xex").native(), "A.ATR");
}

// A file that can not be read, or whose image can not be written whole: the block says
// so, nothing of A.ATR is left, and the run goes on.
TEST(RunXexConversion, FileSystemFailuresLeaveNothingBehind) {
    const std::pair<FsOperation, std::string> cases[] = {
        {FsOperation::Read,
         "          ERROR: XEX file can not be read - Input/output error (injected)"},
        {FsOperation::Write,
         "ERROR   : Can not write ATR file - No space left on device (injected)"},
        {FsOperation::Rename, "ERROR   : Can not write ATR file - injected failure"}};
    for (const auto& [operation, line] : cases) {
        SCOPED_TRACE(line);
        RunFixture f;
        f.PutXex("A.XEX", XexBytes(900, 1));
        f.PutXex("B.XEX", XexBytes(900, 2));
        const bool read = operation == FsOperation::Read;
        f.fs.FailOn(operation, 1, read ? "A.XEX" : "A.ATR", 40000);
        f.Run();
        const Lines a = read ? Lines{"Read    : A.XEX", line, kConvertFail}
                             : f.Block("A.XEX", 900, {f.Made("A.ATR")[0], line, ""});
        EXPECT_EQ(f.report.lines,
                  Join({f.Head(), a, f.Block("B.XEX", 900, f.Made("B.ATR")), f.Summary(1, 1)}));
        EXPECT_EQ(Snapshot(f.source_dir).size(), 3u) << "only A.XEX, B.XEX and B.ATR";
        ExpectImageHolds(f.Output("B.ATR"), f.template_image, XexBytes(900, 2));
    }
}

}  // namespace
}  // namespace korvane::testing
