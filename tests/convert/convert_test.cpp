// The converter and the generator: loading the template disk, the DOS 2 writer and its
// sector allocator, the conversion run's report blocks, output names, skips and summary,
// the generator's images, names and sizes, and korvane-cli convert against the engine.
#include <cstdio>
#include <random>

#include <sys/stat.h>

#include "convert_fixture.h"
#include "generation_run.h"
#include "image_geometry.h"
#include "template_image.h"
#include "xex_writer.h"

namespace korvane::testing {
namespace {

// Loading the template disk: where it is looked for, and every fault that ends a run.
TEST(LoadTemplateImage, LinesAndTheOutcomeOfEachTemplate) {
    const std::string in(10, ' '), length = in + "Physical filelength         = 92176 byte";
    const auto vtoc = [&](int stored, int counted) {
        return in + "ERROR: Invalid VTOC detected - Read " + std::to_string(stored) +
               " at VTOC(3+4) but " + std::to_string(counted) + " free sectors at bitfield";
    };
    Bytes no_atr_header = Template(), short_one = Template(), long_one = Template(),
          autorun = Template();
    for (Bytes* image : {&no_atr_header, &autorun}) {  // deleted in the good one
        (*image)[EntryAt(0)] = image == &autorun ? 0x42 : 0xC2;
        std::copy_n("AUTORUN SYS", 11, image->begin() + EntryAt(0) + 5);
    }
    no_atr_header[0] = 0x12;
    SetFree(no_atr_header, 0, true);
    Recount(no_atr_header);
    short_one.pop_back();
    long_one.push_back(0);
    // The template (none: a directory of that name; empty: 3 GiB, sparse, refused by its
    // length unread) and the lines after "Read" (none when the template counts as
    // missing). Only the length is tested, not the ATR header; sector
    // 0's bit counts (707 + 1); the mismatch test comes first (stored 0, one bit set).
    const std::pair<std::optional<Bytes>, Lines> cases[] = {
        {no_atr_header,
         {length, in + "Free space                  = 708 sectors or 88500 bytes", ""}},
        {std::nullopt, {}},
        {Template(), {in + "ERROR: Template can not be read - Input/output error (injected)"}},
        {short_one,
         {in + "Physical filelength         = 92175 byte",
          in + "ERROR: Physical filelength shall be $16810 bytes (92176 byte)"}},
        {long_one,
         {in + "Physical filelength         = 92177 byte",
          in + "ERROR: Physical filelength shall be $16810 bytes (92176 byte)"}},
        {Bytes{},
         {in + "Physical filelength         = 3221225472 byte",
          in + "ERROR: Physical filelength shall be $16810 bytes (92176 byte)"}},
        {Template({9, 99, 400, 500, 600, 719}, 5), {length, vtoc(5, 6)}},
        {Template(kNothingFree), {length, in + "ERROR: No free sectors found"}},
        {Template({0}, 0), {length, vtoc(0, 1)}},
        {autorun, {length, in + "ERROR: Template already holds an AUTORUN.SYS file"}},
    };
    for (const auto& [image, lines] : cases) {
        SCOPED_TRACE(&image - &cases[0].first);
        ConvertFixture f;
        const std::filesystem::path path = f.program_dir / "KELDRIX.ATR";
        std::filesystem::remove(path);
        image ? WriteFile(path, *image) : void(std::filesystem::create_directory(path));
        if (image && image->empty()) {
            std::filesystem::resize_file(path, 3ull << 30);
        }
        if (lines.size() == 1) {
            f.fs.FailOn(FsOperation::Read, 1, "KELDRIX.ATR");
        }
        const std::optional<LoadedTemplate> loaded =
            LoadTemplateImage(f.context, TemplatePath(f.program_dir));
        EXPECT_EQ(loaded.has_value(), !lines.empty() && lines.back().empty());
        EXPECT_EQ(f.report.lines,
                  lines.empty() ? Lines{} : Join({{"Read    : " + path.string()}, lines}));
        ASSERT_EQ(f.prompt.asked().size(), lines.empty() ? 1u : 0u);
        if (lines.empty()) {
            EXPECT_EQ(f.prompt.asked().front().text,
                      "Can not find required KELDRIX.ATR file at install directory");
        }
    }
}

// The DOS 2 writer and its sector allocator, checked against the image DOS 2 would write.
// Writes `xex` into a copy of `image` the way one conversion does; the lines it reports.
Lines Write(Bytes& image, const Bytes& xex, bool ok = true) {
    Bytes vtoc(image.begin() + kVtoc, image.begin() + kVtoc + 128);
    RecordingReport report;
    EXPECT_EQ(WriteXexToImage(xex, image, vtoc, report), ok);
    return report.lines;
}

// Random templates (free sectors, entries taken or deleted) and lengths up to the free
// space, among them the sector-count boundaries and sectors above 255, whose high bits
// share byte 125 with the file number. The content is not examined: $FF $FF or not.
TEST(WriteXexToImage, RandomTemplatesAndLengths) {
    const char* given = std::getenv("KORVANE_TEST_SEED");
    const auto seed = given != nullptr
                          ? static_cast<std::uint32_t>(std::strtoul(given, nullptr, 10))
                          : std::random_device{}();
    std::printf("XEX writer seed: %u (rerun with KORVANE_TEST_SEED=%u)\n", seed, seed);
    std::mt19937 random(seed);
    const std::size_t lengths[] = {128, 250, 251, 707 * 125};
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round) + ", seed " + std::to_string(seed));
        Bytes tmpl = Template();
        const unsigned density = random() % 100 + 1;
        for (int sector = 0; round >= 4 && sector < 720; ++sector) {
            SetFree(tmpl, sector, random() % 100 < density && (sector < 360 || sector > 368));
        }
        SetFree(tmpl, static_cast<int>(random() % 359) + 1, true);
        SetFree(tmpl, static_cast<int>(random() % 351) + 369, true);
        for (int i = static_cast<int>(random() % 64); i > 0 && round >= 4; --i) {
            tmpl[EntryAt(i - 1)] = random() % 3 == 0 ? 0x80 : 0x42;
        }
        Recount(tmpl);
        const int usable = (tmpl[kVtoc + 3] | tmpl[kVtoc + 4] << 8) - (SectorFree(tmpl, 0) ? 1 : 0);
        const std::size_t length =
            round < 4 ? lengths[round] : 128 + random() % (usable * 125u - 127);
        const Bytes xex = XexBytes(length, static_cast<std::uint32_t>(random()), round % 3 == 0);
        Bytes image = tmpl;
        EXPECT_TRUE(Write(image, xex).empty());
        ExpectImageHolds(image, tmpl, xex);
    }
}

TEST(WriteXexToImage, RefusesWhatDoesNotFit) {
    Bytes two_free = Template({4, 5}), lying = Template({4, 5}, 3), no_entry = Template();
    EXPECT_EQ(Write(two_free, XexBytes(251, 1), false),
              Lines{"ERROR: To less space on ATR image for the XEX file"});
    EXPECT_TRUE(Write(lying, XexBytes(251, 1), false).empty());  // the chain breaks off
    for (int entry = 0; entry < 64; ++entry) {
        no_entry[EntryAt(entry)] = 0x42;
    }
    EXPECT_EQ(Write(no_entry, XexBytes(200, 1), false),
              Lines{"ERROR: No free directory entry on ATR image for the XEX file"});
}

// The converter's batch run: lengths at both bounds, names that clash, and whatever has the
// output name is kept: a directory, a dangling link, a file. A file that can not be read,
// or whose image can not be written whole or take its name: the block says so, nothing of
// its image is left, and the run goes on. Then the summary, where the run recorded it.
TEST(RunXexConversion, OneBlockPerFileThenTheSummary) {
    ConvertFixture f;
    const auto made = [&](const char* atr) {
        return Lines{"Generate: " + (f.source_dir / atr).string(), ""};
    };
    const Lines too_short{"          ERROR: Filelength shall be more than 127 bytes", kConvertFail},
        skipped{"ERROR   : Skipping conversion - file already exists", ""};
    const Bytes a = XexBytes(128, 1), v2 = XexBytes(300, 2);
    const std::tuple<std::string, Bytes, Lines> files[] = {
        // in the report's order
        {"A.XEX", a, made("A.ATR")},
        {"B.XEX", XexBytes(127, 3), too_short},
        {"C.XEX", {}, too_short},
        {"D.XEX",
         XexBytes(707 * 125 + 1, 4),
         {"          ERROR: Filelength shall be smaller than 600 sectors", kConvertFail}},
        {"E.XEX", a, skipped},
        {"F.XEX", a, skipped},
        {"GAME.V2.XEX", v2, made("GAME.ATR")},
        {"GAME.XEX", XexBytes(400, 5), skipped},
        {"H.XEX",
         a,
         {"          ERROR: XEX file can not be read - Input/output error (injected)",
          kConvertFail}},
        {"I.XEX",
         XexBytes(900, 6),
         {made("I.ATR")[0], "ERROR   : Can not write ATR file - No space left on device (injected)",
          ""}},
        {"J.XEX", XexBytes(707 * 125, 7), made("J.ATR")},
        {"K.XEX",  // written whole, then the name can not be taken
         XexBytes(900, 8),
         {made("K.ATR")[0], "ERROR   : Can not write ATR file - injected failure", ""}}};
    Lines expected = {"Read    : " + (f.program_dir / "KELDRIX.ATR").string(),
                      "          Physical filelength         = 92176 byte",
                      "          Free space                  = 707 sectors or 88375 bytes", ""};
    for (const auto& [name, bytes, rest] : files) {
        f.PutXex(name, bytes);
        expected.push_back("Read    : " + name);
        if (name != "H.XEX") {  // read before its length is known
            expected.push_back("          Physical filelength         = " +
                               std::to_string(bytes.size()) + " byte");
        }
        expected.insert(expected.end(), rest.begin(), rest.end());
    }
    std::filesystem::create_directory(f.source_dir / "E.ATR");
    std::filesystem::create_symlink(f.source_dir / "nowhere", f.source_dir / "F.ATR");
    f.fs.FailOn(FsOperation::Read, 1, "H.XEX");
    f.fs.FailOn(FsOperation::Write, 1, "I.ATR", 40000);
    f.fs.FailOn(FsOperation::Rename, 1, "K.ATR");
    f.Run();
    EXPECT_EQ(f.state.FileReportLine(13), std::ssize(expected)) << "where the summary begins";
    const std::string rule(61, '=');
    EXPECT_EQ(f.report.lines,
              Join({expected,
                    {"", rule, std::string(21, '=') + "   S U M M A R Y   " + std::string(21, '='),
                     rule, "", "Converted     XEX-files:  3", "Not converted XEX-files:  9", "",
                     "Click on the filenames to see the detailed conversion information"}}));
    ExpectImageHolds(f.Output("GAME.ATR"), f.template_image, v2);
    EXPECT_EQ(Snapshot(f.source_dir).size(), 17u) << "the XEX files, E, F, A, GAME and J.ATR only";
}

// The generator over the converter's fixture, writing into its source directory. Names as
// typed; a file, a directory, a dangling link of that name, an empty name and a name leading
// into another directory refused with nothing written. The size comes from the two lists
// (256-byte sectors in the short layout) or is typed outside them, a paragraph's rest
// dropped; the image is its header and zeros.
TEST(RunAtrGeneration, NamesSizesAndTheImageWritten) {
    ConvertFixture f;
    const std::string size_error = "ERROR: Image size shall be from 16 to 2147483647 bytes",
                      taken = "ERROR: File already exists or empty filename";
    const std::tuple<std::string, std::string, std::string, int, std::string> cases[] = {
        // name, typed size (with a count from the list: the size it gives), count, sector
        // size, error
        {"NEWFILE", "92176", "720", 128, ""},
        {"GAME.ATR", "32784", "", 128, ""},
        {"game", "100", "", 128, ""},
        {"  ", "16", "", 256, ""},
        {"X", "15", "", 128, size_error},
        {"X", "3000000000", "", 128, size_error},
        {"X", "92176", "", 512, "ERROR: Sector size shall be 128 or 256 bytes"},
        {"game", "92176", "", 128, taken},
        {"DIR", "92176", "", 128, taken},
        {"LINK", "92176", "", 128, taken},
        {"", "92176", "", 128, taken},
        {"sub/INNER", "92176", "", 128, "ERROR: A file name can not hold \"/\""},
        {"..", "92176", "", 128, "ERROR: A file name can not begin with \".\""},
        {"N\nL", "92176", "", 128, "ERROR: A file name can not hold control characters"},
        {"N\xC2\x9B", "92176", "", 128, "ERROR: A file name can not hold control characters"},
        {"N\x7F", "92176", "", 128, "ERROR: A file name can not hold control characters"},
        {"BIG", "16776592", "65535", 256, ""}};  // last: the others read the directory whole
    std::filesystem::create_directory(f.source_dir / "DIR.ATR");
    std::filesystem::create_symlink(f.source_dir / "nowhere", f.source_dir / "LINK.ATR");
    std::filesystem::create_directory(f.source_dir / "sub");
    f.window.SetPattern("*.atr");
    for (const auto& [name, size, sectors, sector_size, error] : cases) {
        SCOPED_TRACE(name + " " + size + sectors);
        const auto before = Snapshot(f.source_dir);
        f.window.SetText(Control::Txt_filename, name);
        f.window.SetText(Control::Txt_image_size, sectors.empty() ? size : "0");
        f.window.SetText(Control::Combo_byte_per_sector, std::to_string(sector_size));
        f.window.SetText(Control::Combo_no_of_sectors, sectors);
        sectors.empty() ? void() : UpdateImageSize(f.window);
        EXPECT_TRUE(f.window.ApplyDirectory(f.source_dir).ok());
        EXPECT_EQ(RunAtrGeneration(f.context).generated, error.empty());
        const std::filesystem::path path = f.source_dir / (name + ".ATR");
        EXPECT_EQ(f.report.lines,
                  (error.empty() ? Lines{path.string(), "successfully generated"} : Lines{error}));
        EXPECT_EQ(f.report.selected, f.report.LineCount() - 1);
        if (!error.empty()) {
            EXPECT_EQ(Snapshot(f.source_dir), before);
            continue;
        }
        const std::int64_t stated = std::stoll(size) / 16 * 16 - 16;
        EXPECT_TRUE(ReadFile(path) ==
                    Image({.stated = stated, .sector = std::uint32_t(sector_size)}));
    }
    EXPECT_TRUE(std::filesystem::is_empty(f.source_dir / "sub"));
}

// "Format for DOS": an empty directory and a VTOC with every sector a file may take free,
// across each DOS's sizes (MyDOS's VTOC of one, two and many 256-byte blocks, 128- and
// 256-byte sectors), everything else zero; a size the DOS does not format is refused and
// nothing is written. "No DOS" writes zeros as without the choice.
TEST(RunAtrGeneration, FormatsForDos) {
    ConvertFixture f;
    const std::string dos2 = "ERROR: DOS 2.0 formats only 720 sectors of 128 or 256 bytes",
                      dos25 = "ERROR: DOS 2.5 formats only 1040 sectors of 128 bytes",
                      mydos =
                          "ERROR: MyDOS formats only 1024 to 65535 sectors, but not 1040 "
                          "sectors of 128 bytes (DOS 2.5)";
    const std::tuple<std::string, int, int, std::string> cases[] = {
        {"DOS 2.0", 128, 720, ""},    {"DOS 2.0", 256, 720, ""},   {"DOS 2.5", 128, 1040, ""},
        {"MyDOS", 256, 1024, ""},     {"MyDOS", 256, 1967, ""},    {"MyDOS", 256, 1968, ""},
        {"MyDOS", 256, 2047, ""},     {"MyDOS", 128, 1440, ""},    {"MyDOS", 128, 2000, ""},
        {"MyDOS", 256, 65535, ""},    {"MyDOS", 128, 65535, ""},   {"No DOS", 128, 1040, ""},
        {"DOS 2.0", 128, 1040, dos2}, {"DOS 2.0", 256, 256, dos2}, {"DOS 2.5", 256, 1040, dos25},
        {"MyDOS", 128, 1040, mydos},  {"MyDOS", 256, 720, mydos},  {"MyDOS", 128, 1023, mydos}};
    f.window.SetPattern("*.atr");
    int n = 0;
    for (const auto& [dos, sector_size, sectors, error] : cases) {
        SCOPED_TRACE(dos + " " + std::to_string(sectors) + "x" + std::to_string(sector_size));
        const std::string name = std::string("F").append(std::to_string(++n));
        f.window.SetText(Control::Txt_filename, name);
        f.window.SetText(Control::Combo_byte_per_sector, std::to_string(sector_size));
        f.window.SetText(Control::Combo_no_of_sectors, std::to_string(sectors));
        f.window.SetText(Control::Combo_format, dos);
        UpdateImageSize(f.window);
        EXPECT_TRUE(f.window.ApplyDirectory(f.source_dir).ok());
        EXPECT_EQ(RunAtrGeneration(f.context).generated, error.empty());
        const std::filesystem::path path = f.source_dir / (name + ".ATR");
        EXPECT_EQ(f.report.lines,
                  (error.empty() ? Lines{path.string(), "successfully generated"} : Lines{error}));
        if (!error.empty()) {
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        const Bytes atr = ReadFile(path);
        const std::int64_t length = sector_size == 128 ? sectors * 128 : sectors * 256 - 384;
        Bytes blank = Image({.stated = length, .sector = std::uint32_t(sector_size)});
        if (dos == "No DOS") {
            EXPECT_TRUE(atr == blank);
            continue;
        }
        const DiskReader r(atr);
        EXPECT_TRUE(r.Files().empty());
        r.ExpectVtoc({});
        // Nothing but the VTOC sectors differs from a blank image.
        for (const int s : {360 - r.vtocs + 1, 1024}) {
            for (int v = s; v <= (s == 1024 ? (r.dos25 ? 1024 : 0) : 360); ++v) {
                const auto at = r.Sector(v).data() - atr.data();
                std::copy_n(atr.begin() + at, r.size, blank.begin() + at);
            }
        }
        EXPECT_TRUE(atr == blank);
    }
}

// korvane-cli convert, run as a separate process: standard output holds the engine's report
// and nothing else, exit statuses as documented.
TEST(CliConvert, StandardOutputIsTheEngineReportAndTheExitStatusItsOutcome) {
    ConvertFixture f;
    WriteFile(f.temp / "my.atr", f.template_image);
    f.PutXex("A.XEX", XexBytes(128, 1));
    f.PutXex("B.XEX", XexBytes(127, 2));
    f.window.SetPattern("*.xex");
    EXPECT_TRUE(f.window.ApplyDirectory(f.source_dir).ok());
    RunXexConversionWithTemplate(f.context, f.temp / "my.atr");
    const auto converted = Snapshot(f.source_dir);
    std::filesystem::remove(f.source_dir / "A.ATR");
    const std::string line = "convert --template " + (f.temp / "my.atr").string() + " D";
    CommandResult run = RunCli(line, f.source_dir);
    EXPECT_EQ(run.exit_status, 1);  // B.XEX is too short
    EXPECT_EQ(SplitLines(run.out), f.report.lines);
    EXPECT_EQ(Snapshot(f.source_dir), converted);
    std::filesystem::remove(f.source_dir / "A.ATR");
    // B too; a template without the loader gives no larger disks, and the report says so.
    run = RunCli("convert --fit" + line.substr(7), f.source_dir);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("bytes\n\nFit     : No larger disks - the template's directory "
                           "entry 0 is not KELDRIX.SYS or its boot sectors are not the "
                           "loader's\n\nRead    : A.XEX\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(std::filesystem::exists(f.source_dir / "B.ATR"));
    std::filesystem::remove(f.source_dir / "B.XEX");
    std::filesystem::remove(f.source_dir / "A.ATR");
    EXPECT_EQ(RunCli(line, f.source_dir).exit_status, 0);
    // A template with a hidden name is as good as any; what is no template is named on
    // standard error with what it is.
    std::filesystem::rename(f.temp / "my.atr", f.temp / ".my.atr");
    std::filesystem::remove(f.source_dir / "A.ATR");
    EXPECT_EQ(RunCli("convert --template " + (f.temp / ".my.atr").native() + " D", f.source_dir)
                  .exit_status,
              0);
    ::mkfifo((f.temp / "fifo").c_str(), 0644);
    std::filesystem::create_symlink("gone", f.temp / "dangling");
    for (const auto& [path, why] : {std::pair{f.temp.path(), "is not a regular file"},
                                    {f.temp / "fifo", "is not a regular file"},
                                    {std::filesystem::path("/dev/zero"), "is not a regular file"},
                                    {f.temp / "dangling", "not found (a dangling link)"},
                                    {f.temp / "none", "not found"}}) {
        run = RunCli("convert --template " + path.native() + " D", f.source_dir);
        EXPECT_EQ(run.exit_status, 2);
        EXPECT_TRUE(run.err.ends_with("korvane-cli: template " + path.native() + " " + why + "\n"))
            << run.err;
    }
    // A template refused: its lines, and exit status 2.
    run = RunCli("convert --template D/A.XEX D", f.source_dir);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_TRUE(
        run.out.ends_with("= 128 byte\n          ERROR: Physical filelength shall be "
                          "$16810 bytes (92176 byte)\n"));
    // The default template lies beside the program; missing: a message, exit status 2.
    const std::filesystem::path copy = f.program_dir / "korvane-cli";
    std::filesystem::copy_file(KORVANE_CLI, copy);
    run = RunCommand(copy, {"convert", f.source_dir.string()});
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "Read    : " + (f.program_dir / "KELDRIX.ATR").string());
    std::filesystem::remove(f.program_dir / "KELDRIX.ATR");
    run = RunCommand(copy, {"convert", f.source_dir.string()});
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.err.find("Can not find required KELDRIX.ATR file at install directory"),
              std::string::npos);
}

// A thousand images of every fault and a hundred XEX files, made alike on every run: the
// reports of korvane-cli check, repair and convert, and the files they leave, stay byte for
// byte those stored in thousand_images.expected. On a difference the run's text is written
// beside the test program for diff.
TEST(CliReports, AThousandImagesGiveTheStoredReportsAndFiles) {
    TempDir temp;
    const std::filesystem::path dir = temp / "a";
    std::filesystem::create_directories(dir / "sub.atr");
    std::uint32_t seed = 30;
    const auto pick = [&](std::uint32_t n) {
        return (seed = seed * 1103515245u + 12345u) >> 8 & (n - 1);
    };
    const std::int64_t stated[] = {1024, 608, 1408, 1664, 2048, 3200, 92160, 1024};
    const std::int64_t extra[] = {0, 0, 0, 20, -16, -400, 384, -1050};
    for (int i = 0; i < 1000; ++i) {
        Atr a{.stated = stated[pick(8)], .fill = static_cast<std::uint8_t>(i)};
        a.sector = pick(4) == 0 ? 256u : pick(8) == 0 ? 512u : 128u;
        a.id = pick(16) == 0 ? 0x92 : 0x96;
        a.data = std::max<std::int64_t>(0, a.stated + extra[pick(8)]);
        Bytes image = Image(i == 0 ? Atr{} : a);
        image.resize(pick(32) == 0 ? pick(32) : image.size());
        char name[16];
        std::snprintf(name, sizeof name, pick(4) == 0 ? "g%03d.Atr" : "G%03d.ATR", i);
        WriteFile(dir / name, image);
    }
    std::filesystem::create_symlink("G000.ATR", dir / "LINK.ATR");
    WriteFile(temp / "T.ATR", Template());
    for (int i = 0; i < 100; ++i) {
        WriteFile(dir / std::string("X").append(std::to_string(i)).append(".XEX"),
                  XexBytes(i == 99 ? 87876 : pick(64) * 1373 + pick(128), seed));
    }
    std::string text;
    for (const std::string& line : std::vector<std::string>{
             "check D", "check --layout short --no-min-size D",
             "repair --sector-size 256 --fix-length file --fix-layout add --overwrite-backup yes D",
             "convert --fit --template " + (temp / "T.ATR").string() + " D"}) {
        const CommandResult run = RunCli(line, dir.string());
        text += "== " + line.substr(0, line.find(" --template")) + ": " +
                std::to_string(run.exit_status) + "\n" + run.out;
    }
    text += "== files\n";
    for (const auto& [name, bytes] : Snapshot(dir)) {
        std::uint32_t hash = 2166136261u;  // FNV-1a
        for (const std::uint8_t byte : bytes) {
            hash = (hash ^ byte) * 16777619u;
        }
        text += name + " " + std::to_string(bytes.size()) + " " + std::to_string(hash) + "\n";
    }
    for (std::size_t at; (at = text.find(temp.path().string())) != std::string::npos;) {
        text.replace(at, temp.path().string().size(), "TMP");
    }
    const Bytes expected =
        ReadFile(std::filesystem::path(KORVANE_EXPECTED_DIR) / "thousand_images.expected");
    EXPECT_TRUE(text == std::string(expected.begin(), expected.end()));
    if (text != std::string(expected.begin(), expected.end())) {
        WriteFile(std::filesystem::path(KORVANE_CLI).parent_path() / "thousand_images.actual",
                  Bytes(text.begin(), text.end()));
    }
}

}  // namespace
}  // namespace korvane::testing
