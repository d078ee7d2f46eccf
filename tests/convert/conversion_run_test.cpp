// The converter's batch run: report blocks, output names, skips, the summary, the
// window's state, and file-system failures.
#include <gtest/gtest.h>

#include <functional>

#include "convert_fixture.h"

namespace korvane::testing {
namespace {

Lines Head(const ConvertFixture& f, int free_sectors = 707) {
    return {"Read    : " + (f.program_dir / "KELDRIX.ATR").string(),
            "          Physical filelength         = 92176 byte",
            "          Free space                  = " + std::to_string(free_sectors) +
                " sectors or " + std::to_string(free_sectors * 125) + " bytes",
            ""};
}

Lines Block(const std::string& name, std::size_t length, const Lines& rest) {
    Lines lines{"Read    : " + name,
                "          Physical filelength         = " + std::to_string(length) + " byte"};
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
}

Lines Generated(const std::filesystem::path& output) {
    return {"Generate: " + output.string(), ""};
}

Lines Summary(std::int64_t converted, std::int64_t not_converted) {
    Lines lines{"",
                std::string(61, '='),
                std::string(21, '=') + "   S U M M A R Y   " + std::string(21, '='),
                std::string(61, '='),
                "",
                "Converted     XEX-files:  " + std::to_string(converted)};
    if (not_converted > 0) {
        lines.push_back("Not converted XEX-files:  " + std::to_string(not_converted));
    }
    lines.push_back("");
    lines.push_back("Click on the filenames to see the detailed conversion information");
    return lines;
}

const Lines kSkipped{"ERROR   : Skipping conversion - file already exists", ""};

TEST(RunXexConversion, OneBlockPerFileThenTheSummary) {
    ConvertFixture f;
    const Bytes a = XexBytes(128, 1);
    const Bytes v2 = XexBytes(300, 2);
    f.PutXex("A.XEX", a);
    f.PutXex("B.XEX", XexBytes(127, 3));
    f.PutXex("C.XEX", {});
    f.PutXex("D.XEX", XexBytes(707 * 125 + 1, 4));
    f.PutXex("GAME.XEX", XexBytes(400, 5));
    f.PutXex("GAME.V2.XEX", v2);  // listed before GAME.XEX, and also gives GAME.ATR
    f.PutXex("notes.txt", XexBytes(200, 6));
    std::filesystem::create_directory(f.source_dir / "DIR.XEX");

    const ConversionRunTotals totals = f.Run();
    const Lines too_short{"          ERROR: Filelength shall be more than 127 bytes",
                          ConvertFailLine()};
    const Lines expected = Join({
        Head(f),
        Block("A.XEX", 128, Generated(f.source_dir / "A.ATR")),
        Block("B.XEX", 127, too_short),
        Block("C.XEX", 0, too_short),
        Block("D.XEX", 88376,
              {"          ERROR: Filelength shall be smaller than 600 sectors", ConvertFailLine()}),
        Block("GAME.V2.XEX", 300, Generated(f.source_dir / "GAME.ATR")),
        Block("GAME.XEX", 400, kSkipped),
        Summary(2, 4),
    });
    EXPECT_EQ(f.report.lines, expected);
    EXPECT_EQ(totals.converted_count, 2);
    EXPECT_EQ(totals.not_converted_count, 4);
    EXPECT_FALSE(totals.template_failed);
    ExpectImageHolds(f.Output("A.ATR"), f.template_image, a);
    ExpectImageHolds(f.Output("GAME.ATR"), f.template_image, v2);

    // Where each block begins, and the summary's first (empty) line.
    for (std::int64_t k = 1; k <= 7; ++k) {
        EXPECT_EQ(f.state.FileReportLine(k), 4 * k) << k;
    }
    EXPECT_EQ(f.state.last_run_count, 6);
    EXPECT_FALSE(f.state.engine_running);
    EXPECT_EQ(f.report.selected, static_cast<std::int64_t>(expected.size()) - 1);

    // The controls locked in this order and released; progress, selection and count.
    const std::vector<Control> order{Control::Cmd_start_conversion, Control::source_path,
                                     Control::source_file, Control::source_dir,
                                     Control::source_drive};
    ASSERT_EQ(f.window.enabled_changes.size(), 10u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(f.window.enabled_changes[i], std::make_pair(order[i], false));
        EXPECT_EQ(f.window.enabled_changes[5 + i], std::make_pair(order[i], true));
    }
    EXPECT_EQ(f.window.ranges, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 6}}));
    EXPECT_EQ(f.window.values, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 0}));
    EXPECT_EQ(f.window.selections, (std::vector<std::int64_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(f.window.Caption(Control::source_count), "6");
}

TEST(RunXexConversion, OutputNames) {
    ConvertFixture f;
    // The stem keeps its case, the extension is upper-case; a dotted directory changes
    // nothing; a name that is not UTF-8 is shown escaped but written as it is.
    f.source_dir = f.temp / "my.dir";
    std::filesystem::create_directory(f.source_dir);
    f.PutXex("game.xex", XexBytes(130, 1));
    f.PutXex("JUMP.XEX", XexBytes(130, 2));
    f.PutXex("bad\xFF.Xex", XexBytes(130, 3));
    f.Run();
    const std::string dir = f.source_dir.string();
    EXPECT_EQ(f.report.lines[4], "Read    : bad\\xFF.Xex");
    EXPECT_EQ(f.report.lines[6], "Generate: " + dir + "/bad\\xFF.ATR");
    EXPECT_EQ(f.report.lines[10], "Generate: " + dir + "/game.ATR");
    EXPECT_EQ(f.report.lines[14], "Generate: " + dir + "/JUMP.ATR");
    for (const char* name : {"game.ATR", "JUMP.ATR", "bad\xFF.ATR"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(f.source_dir / name)) << name;
    }
    EXPECT_EQ(OutputNameFor("A.B.C.XEX").native(), "A.ATR");
}

// The size bound is the template's free space, here 10 sectors.
TEST(RunXexConversion, SizeBoundIsTheTemplatesFreeSpace) {
    ConvertFixture f;
    TemplateBuilder builder;
    builder.NothingFree();
    for (int sector = 400; sector < 410; ++sector) {
        builder.Free(sector);
    }
    f.template_image = builder.Build();
    f.PutTemplate(f.template_image);
    const Bytes fits = XexBytes(1250, 1);
    f.PutXex("A.XEX", fits);
    f.PutXex("B.XEX", XexBytes(1251, 2));
    const ConversionRunTotals totals = f.Run();
    EXPECT_EQ(f.report.lines,
              Join({Head(f, 10), Block("A.XEX", 1250, Generated(f.source_dir / "A.ATR")),
                    Block("B.XEX", 1251,
                          {"          ERROR: Filelength shall be smaller than 600 sectors",
                           ConvertFailLine()}),
                    Summary(1, 1)}));
    EXPECT_EQ(totals.converted_count, 1);
    ExpectImageHolds(f.Output("A.ATR"), f.template_image, fits);
}

// Whatever has the output name is kept: a directory, a dangling link, a file.
TEST(RunXexConversion, AnythingOfTheOutputNameIsKept) {
    ConvertFixture f;
    for (const char* name : {"A.XEX", "B.XEX", "C.XEX"}) {
        f.PutXex(name, XexBytes(128, 1));
    }
    std::filesystem::create_directory(f.source_dir / "A.ATR");
    std::filesystem::create_symlink(f.source_dir / "nowhere", f.source_dir / "B.ATR");
    WriteFile(f.source_dir / "C.ATR", {1, 2, 3});
    const auto before = Snapshot(f.source_dir);
    const ConversionRunTotals totals = f.Run();
    EXPECT_EQ(f.report.lines,
              Join({Head(f), Block("A.XEX", 128, kSkipped), Block("B.XEX", 128, kSkipped),
                    Block("C.XEX", 128, kSkipped), Summary(0, 3)}));
    EXPECT_EQ(totals.not_converted_count, 3);
    EXPECT_EQ(Snapshot(f.source_dir), before);
}

// A file that can not be read, or whose image can not be written whole: the block says
// so, nothing of A.ATR is left, and the run goes on.
TEST(RunXexConversion, FileSystemFailuresLeaveNothingBehind) {
    const auto write_error = [](const ConvertFixture& f, const std::string& reason) {
        return Block("A.XEX", 900,
                     {"Generate: " + (f.source_dir / "A.ATR").string(),
                      "ERROR   : Can not write ATR file - " + reason, ""});
    };
    const std::string injected = "injected failure";
    struct Case {
        FsOperation operation;
        std::size_t partial;
        std::function<Lines(const ConvertFixture&)> block;
    };
    const Case cases[] = {
        {FsOperation::Read, 0,
         [](const ConvertFixture&) {
             return Lines{"Read    : A.XEX",
                          "          ERROR: XEX file can not be read - Input/output error "
                          "(injected)",
                          ConvertFailLine()};
         }},
        {FsOperation::Create, 0, [&](const auto& f) { return write_error(f, injected); }},
        {FsOperation::Write, 40000,
         [&](const auto& f) { return write_error(f, "No space left on device (injected)"); }},
        {FsOperation::Close, 0, [&](const auto& f) { return write_error(f, injected); }},
        {FsOperation::Rename, 0, [&](const auto& f) { return write_error(f, injected); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.operation));
        ConvertFixture f;
        const Bytes b = XexBytes(900, 2);
        f.PutXex("A.XEX", XexBytes(900, 1));
        f.PutXex("B.XEX", b);
        f.fs.FailOn(c.operation, 1, c.operation == FsOperation::Read ? "A.XEX" : "A.ATR",
                    c.partial);
        const ConversionRunTotals totals = f.Run();
        EXPECT_EQ(f.report.lines,
                  Join({Head(f), c.block(f), Block("B.XEX", 900, Generated(f.source_dir / "B.ATR")),
                        Summary(1, 1)}));
        EXPECT_EQ(totals.not_converted_count, 1);
        const auto left = Snapshot(f.source_dir);
        EXPECT_EQ(left.size(), 3u) << "only A.XEX, B.XEX and B.ATR";
        EXPECT_EQ(left.count("A.ATR"), 0u);
        ExpectImageHolds(f.Output("B.ATR"), f.template_image, b);
    }
}

TEST(RunXexConversion, TemplateWithoutAFreeDirectoryEntry) {
    ConvertFixture f;
    f.PutTemplate(TemplateBuilder().DirectoryFull().Build());
    f.PutXex("A.XEX", XexBytes(128, 1));
    f.PutXex("B.XEX", XexBytes(128, 2));
    const Lines refused{"ERROR: No free directory entry on ATR image for the XEX file",
                        "ERROR   : Can not generate ATR file", ""};
    const ConversionRunTotals totals = f.Run();
    EXPECT_EQ(f.report.lines, Join({Head(f), Block("A.XEX", 128, refused),
                                    Block("B.XEX", 128, refused), Summary(0, 2)}));
    EXPECT_EQ(totals.not_converted_count, 2);
    EXPECT_EQ(Snapshot(f.source_dir).size(), 2u);
}

TEST(RunXexConversion, TemplateFailureEndsTheRunBeforeAnyFile) {
    for (const bool missing : {true, false}) {
        SCOPED_TRACE(missing ? "missing" : "too short");
        ConvertFixture f;
        if (missing) {
            std::filesystem::remove(f.program_dir / "KELDRIX.ATR");
        } else {
            f.PutTemplate(TemplateBuilder().Length(92175).Build());
        }
        f.PutXex("A.XEX", XexBytes(128, 1));
        f.report.Append("old line");
        f.state.SetFileReportLine(1, 77);
        f.window.plain.SetProgressValue(5);
        const ConversionRunTotals totals = f.Run();
        EXPECT_TRUE(totals.template_failed);
        EXPECT_EQ(f.report.lines.size(), missing ? 0u : 3u);
        EXPECT_EQ(f.report.select_last_calls, 0);
        EXPECT_EQ(f.prompt.asked().size(), missing ? 1u : 0u);
        EXPECT_TRUE(f.window.enabled_changes.empty());
        EXPECT_TRUE(f.window.ranges.empty());
        EXPECT_TRUE(f.window.values.empty());
        EXPECT_EQ(f.state.FileReportLine(1), 77);
        EXPECT_EQ(f.fs.calls(FsOperation::Read), missing ? 0 : 1);
        EXPECT_EQ(Snapshot(f.source_dir).size(), 1u);
    }
}

}  // namespace
}  // namespace korvane::testing
