// The check-and-repair engine: each image's block of report lines under each layout
// option and the 1 kB rule; the file list, where each block begins and the summary; the
// repair's steps, questions and written bytes; and at every failing file operation the
// user's bytes survive whole with one error line while the run goes on. What the writing
// runs promise beyond the report: one writing run per directory, backups never lost within
// a run, long names, odd files in place of images, the original's mode and owner, failed
// operations counted.
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "conversion_run.h"
#include "file_list.h"
#include "generation_run.h"
#include "memory_file_system.h"
#include "posix_file_system.h"
#include "program_location.h"
#include "report_text.h"
#include "support.h"
#include "temporary_files.h"

namespace korvane::testing {
namespace {

// The engines as the start buttons run them, over a scratch directory: one image checked
// alone, or the whole batch with the window's options as they stand.
class Engine : public ::testing::Test {
  protected:
    CheckResult CheckFile(const std::string& name, const Bytes& bytes) {
        WriteFile(dir / name, bytes);
        return CheckImage({name, dir / name, dir.path()}, settings, report, prompt, *fs);
    }
    // The batch as the start buttons run it, with the window's options as they stand.
    CheckRunTotals RunBatch(bool repair_mode) {
        EXPECT_TRUE(window.ApplyDirectory(dir.path()).ok());
        state.repair_mode = repair_mode;
        EngineContext context{window, report, prompt, *fs, state};
        return RunAtrCheck(context);
    }
    Lines Tail(std::size_t n) const { return Lines(report.lines.end() - n, report.lines.end()); }
    // How many report lines hold `part`.
    std::int64_t Reported(const std::string& part) const {
        return std::count_if(report.lines.begin(), report.lines.end(),
                             [&](const std::string& line) { return line.find(part) != line.npos; });
    }

    TempDir dir;
    CheckSettings settings{true, LayoutMode::Both, false};
    ScriptedPrompt prompt;
    RecordingReport report;
    PosixFileSystem posix;
    FileSystem* fs = &posix;
    PlainWindow window{posix};
    ProgramState state;
};

// An image with `s`-byte sectors stating `n` bytes of data and holding `d` bytes of `f`:
// as bytes, or as the recipe that a table keeps, so that no image is built before its test
// runs (some are 16 MB).
const auto Rec = [](std::uint16_t s, std::int64_t n, std::int64_t d = -1, std::uint8_t f = 0) {
    return Atr{.stated = n, .sector = s, .data = d, .fill = f};
};
const auto Img = [](auto... recipe) { return Image(Rec(recipe...)); };
// A line of an image's block, indented once (8 blanks) or twice.
const auto In = [](const std::string& text, std::size_t depth = 1) {
    return std::string(8 * depth, ' ') + text;
};
const std::string kFailLine =
    "Result: " + std::string(39, '=') + " F A I L " + std::string(39, '=');
const std::string kSkipped = In("Skip repair selected by user");
const std::string kTooSmall1k = In("ERROR : Physical file size is smaller than 1kB");
const std::string kPerSector = " for 256 bytes / sector implementation";
const auto Info = [](const char* layout) {
    return In("Info  : " + std::string(layout) +
              " 256 bytes / sector implementation detected according to header information");
};
const auto Off384 = [](const char* way) {
    return In("ERROR : Header file size is 384 bytes too " + (way + kPerSector));
};
const auto LengthError = [](std::int64_t n, const char* way) {
    return In("ERROR : Physical file size is " + std::to_string(n) + " bytes too " + way +
              " according to header information");
};
// The layout error of a length that fits neither layout: bytes to add or to cut.
const auto TwoWays = [](int add, int cut) {
    return Lines{In("ERROR : Header file size is " + std::to_string(add) + " bytes too small or "),
                 In(std::to_string(cut) + " bytes too larger" + kPerSector, 2)};
};
const std::string kSector128 = In("Header: ATARI sector size   = Ok ($80 byte)");

struct CheckCase {
    const char* label;
    Bytes image;
    LayoutMode layout;
    bool expand_small;
    std::size_t from;  // the first block line compared
    bool pass;
    Lines lines;  // up to the verdict
};
// A case shows as its label in a failure message, not as the bytes of its struct.
void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.label;
}
class CheckBlock : public Engine, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckBlock, LinesAndVerdict) {
    const CheckCase& c = GetParam();
    settings = {false, c.layout, c.expand_small};
    const CheckResult result = CheckFile("IMAGE.ATR", c.image);
    Lines expected = Join({c.lines, {c.pass ? "Result: PASS" : kFailLine, ""}});
    if (c.image.size() < 16) {
        expected.pop_back();  // too short for a header: no empty line
    }
    ASSERT_GE(report.lines.size(), c.from);
    EXPECT_EQ(Lines(report.lines.begin() + static_cast<long>(c.from), report.lines.end()),
              expected);
    EXPECT_EQ(result.count, c.pass ? CountClass::Valid : CountClass::Invalid);
}

constexpr auto kBoth = LayoutMode::Both;
constexpr auto kShort = LayoutMode::Short;
constexpr auto kLong = LayoutMode::Long;
const Bytes kLong720 = Img(256, 720 * 128);
const Bytes kShort720 = Img(256, 720 * 256 - 384);
const Bytes kOdd1008 = Img(256, 1008);

// Reserved bytes are not looked at; only 256-byte sectors have layouts; below 384 bytes
// the truncating remainder goes negative (208 gives 432 and 176).
// clang-format off
const CheckCase kChecks[] = {
    {"Good", Image({.stated = 184320, .reserved = 0xA5}), kBoth, true, 0, true,
      {"Read  : IMAGE.ATR", In("Physical filelength         = $2D010 bytes (184336 byte)"),
       In("Header: ATR-file identifier = Ok"),
       In("Header: Image size          = $2D000 bytes (184320 byte)"), kSector128}},
    {"TooShort", Bytes(15), kBoth, true, 1, false,
      {In("Physical filelength         = $F bytes (15 byte)"),
       In("ERROR: Filelength shall be more than 16 bytes")}},
    {"Under1k", Img(128, 0), kBoth, true, 5, false, {kTooSmall1k}},
    {"Exactly1k", Img(128, 1024), kBoth, true, 5, true, {}},
    {"OneBelow1k", Img(128, 1008, 1023), kBoth, true, 5, false,
      {LengthError(15, "large"), kTooSmall1k}},
    {"FileTooShort", Img(128, 92160, 92140), kBoth, true, 5, false, {LengthError(20, "small")}},
    {"WrongIdentifier", Image({.id = 0xA9}), kBoth, true, 2, false,
      {In("Header: ATR-file identifier = Fail - Expect $96,$02 - Read $A9 $2"),
       In("Header: Image size          = $16800 bytes (92160 byte)"), kSector128}},
    {"WrongSecondIdentifierByte", [] { Bytes b = Img(128, 1024); b[1] = 0x03; return b; }(), kBoth,
      true, 2, false, {In("Header: ATR-file identifier = Fail - Expect $96,$02 - Read $96 $3"),
       In("Header: Image size          = $400 bytes (1024 byte)"), kSector128}},
    {"NoLayoutFor128", Img(128, 1008), kShort, false, 5, true, {}},
    {"BadSectorSize", Img(1000, 1008), kBoth, true, 4, false,
      {In("Header: ATARI sector size   = $3E8"), "ERROR : Expect $80 or $100 ATARI sector size",
       kTooSmall1k}},
    {"BeyondTheLargestLength", Image({.data = 1024, .paragraphs = 0x07FFFFFF}), kBoth, true, 4, false,
      {In("ERROR : Header image size is beyond the largest length an image can have"),
       kSector128, LengthError(2147482608, "small")}},
    {"LongUnderBoth", kLong720, kBoth, true, 5, true, {Info("Long")}},
    {"LongUnderShort", kLong720, kShort, true, 5, false, {Info("Long"), Off384("large")}},
    {"ShortUnderBoth", kShort720, kBoth, true, 5, true, {Info("Short")}},
    {"ShortUnderLong", kShort720, kLong, true, 5, false, {Info("Short"), Off384("small")}},
    {"InfoFromTheFileLength", Img(256, 183936, 184320), kBoth, true, 5, false,
      {LengthError(384, "large"), Info("Long")}},
    {"NeitherUnderLong", kOdd1008, kLong, false, 5, false, TwoWays(16, 240)},
    {"NeitherUnderBoth", kOdd1008, kBoth, false, 5, false, TwoWays(144, 112)},
    {"TinyUnderShort", Img(256, 208), kShort, false, 5, false, TwoWays(432, 176)},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Images, CheckBlock, ::testing::ValuesIn(kChecks),
                         [](const auto& info) { return info.param.label; });

TEST_F(Engine, FileListBlocksSummaryAndWhereEachBlockBegins) {
    const Lines head = {"", std::string(61, '='),
                        std::string(21, '=') + "   S U M M A R Y   " + std::string(21, '='),
                        std::string(61, '='), ""};
    const std::string click = "Click on the filenames to see the detailed test information";
    RunBatch(true);
    EXPECT_EQ(report.lines, Join({head, {"Nothing found to repair"}}));
    RunBatch(false);
    EXPECT_EQ(report.lines, Join({head, {"No invalid ATR-files found", "", click}}));
    WriteFile(dir / "b.atr", Bytes(3));
    RunBatch(false);
    EXPECT_EQ(Tail(4), (Lines{"Valid    ATR-files:  0", "Invalid  ATR-files:  1", "", click}));

    // Regular files and links to them, hidden names left out, letter case folded (so "_"
    // comes before the letters), byte order for names equal when folded.
    for (const char* name : {"b.atr", "A.ATR", "a.atr", ".hidden.atr", "notes.txt", "_u.aTr"}) {
        WriteFile(dir / name, Bytes(3));
    }
    WriteFile(dir / "c.atr", Image({}));
    std::filesystem::create_directory(dir / "folder.atr");
    std::filesystem::create_symlink(dir / "c.atr", dir / "link.atr");
    std::filesystem::create_symlink(dir / "missing", dir / "dangling.atr");
    RunBatch(false);
    const Lines order = {"_u.aTr", "A.ATR", "a.atr", "b.atr", "c.atr", "link.atr"};
    for (std::size_t k = 0; k <= order.size(); ++k) {
        const std::int64_t start = state.FileReportLine(static_cast<std::int64_t>(k + 1));
        EXPECT_EQ(start, k <= 4 ? 4 * k : 16 + 7 * (k - 4)) << k;
        if (k < order.size()) {
            EXPECT_EQ(report.lines[static_cast<std::size_t>(start)], "Read  : " + order[k]);
        }
    }
    EXPECT_EQ(Lines(report.lines.begin() + 30, report.lines.end()),
              Join({head, {"Valid    ATR-files:  2", "Invalid  ATR-files:  4", "", click}}));
    EXPECT_EQ(report.selected, report.LineCount() - 1);
}

TEST_F(Engine, CountsAndBlockLinesBeyondSixteenBits) {
    // 100,000 images in memory, every tenth too short, all names links to two files.
    MemoryFileSystem many;
    const auto good = std::make_shared<Bytes>(Img(128, 0)), bad = std::make_shared<Bytes>(4);
    for (int i = 100000; i < 200000; ++i) {
        many.files["/many/i" + std::to_string(i) + ".atr"] = i % 10 == 0 ? bad : good;
    }
    PlainWindow many_window(many);
    ASSERT_TRUE(many_window.ApplyDirectory("/many").ok());
    EngineContext context{many_window, report, prompt, many, state};
    RunAtrCheck(context);
    // Blocks of 7 lines, and 4 for each short file.
    EXPECT_EQ(state.FileReportLine(100001), 90000 * 7 + 10000 * 4);
    EXPECT_EQ(report.lines[static_cast<std::size_t>(state.FileReportLine(99999))],
              "Read  : i199998.atr");
    EXPECT_EQ(Lines(report.lines.end() - 4, report.lines.end() - 2),
              (Lines{"Valid    ATR-files:  90000", "Invalid  ATR-files:  10000"}));

    // A directory that is gone ends the run after its first file, with one line, and the
    // summary of that file follows.
    many.files.clear();
    RunAtrCheck(context);
    EXPECT_EQ(
        Lines(report.lines.begin(), report.lines.begin() + 5),
        (Lines{"Read  : i100000.atr", In("ERROR: File can not be read - No such file or directory"),
               kFailLine, "", "ERROR: The directory /many is gone - the run stops"}));
    EXPECT_EQ(Lines(report.lines.end() - 4, report.lines.end() - 2),
              (Lines{"Valid    ATR-files:  0", "Invalid  ATR-files:  1"}));
}

// The source path as the window and the command line take it, and control texts as numbers.
TEST(Text, PathsAndNumbers) {
    EXPECT_EQ(AbsoluteDirectory("/tmp/./a/../b/").native(), "/tmp/a/../b");
    EXPECT_EQ(AbsoluteDirectory("/").native(), "/");
    EXPECT_EQ(JoinPath("/", "A.ATR").native(), "/A.ATR");
    EXPECT_EQ(LeadingNumber(" 12.6 bytes"), 13);
    // One name, one line: a literal backslash, DEL and the line and paragraph separators
    // are escaped as the other controls and the bytes that are not UTF-8.
    EXPECT_EQ(DisplayName("a\\xFF\xFF\x7F\xC2\x9F\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xA7.atr"),
              "a\\x5CxFF\\xFF\\x7F\\xC2\\x9F\\xE2\\x80\\xA8\\xE2\\x80\\xA9\xE2\x80\xA7.atr");
    // Names of ASCII alone, each with one of them.
    EXPECT_EQ(DisplayName("a\\b.atr") + DisplayName("\x7F") + DisplayName("\t"),
              "a\\x5Cb.atr\\x7F\\x09");
    // A name before every longer name it begins, whatever the letter case.
    EXPECT_TRUE(SourceNameLess("B.ATR", "b.atr.atr") && !SourceNameLess("b.atr.atr", "B.ATR"));
}

// A run in the root directory: the locked directory "/" is still found by its own name.
TEST(Text, RootDirectoryLockedIsNotGone) {
    PosixFileSystem fs;
    const LockResult lock = fs.LockDirectory("/");
    ASSERT_TRUE(lock.status.ok());
    EXPECT_TRUE(fs.Exists("/") && fs.Identity("/") && !fs.LockedDirectoryReplaced("/"));
}

using Answers = std::vector<std::pair<PromptTopic, PromptAnswer>>;
struct RepairCase {
    const char* label;
    Atr image;
    Answers answers;  // in the order the questions come
    LayoutMode layout;
    bool expand_small;
    std::optional<Atr> mended;  // the image as written, or none when it is left alone
    Lines steps;  // the repair's own lines, without their indent; "Skip" for the user's
};
void PrintTo(const RepairCase& c, std::ostream* os) {
    *os << c.label;
}
class RepairStep : public Engine, public ::testing::WithParamInterface<RepairCase> {};

// The check's lines are those of a test run; here only the repair's own lines count.
TEST_P(RepairStep, StepsQuestionsAndWrittenBytes) {
    const RepairCase& c = GetParam();
    settings = {true, c.layout, c.expand_small};
    for (const auto& [topic, answer] : c.answers) {
        prompt.Answer(topic, answer);
    }
    const Bytes image = Image(c.image);
    const CheckResult result = CheckFile("GAME.ATR", image);
    Lines steps;
    for (const std::string& line : report.lines) {
        if (line == kSkipped ||
            (line.starts_with(In("", 2)) && !line.ends_with("implementation"))) {
            steps.push_back(line == kSkipped ? "Skip" : line.substr(16));
        }
    }
    EXPECT_EQ(steps, c.steps);
    EXPECT_EQ(prompt.asked().size(), c.answers.size());
    EXPECT_EQ(result.count, c.mended ? CountClass::Invalid : CountClass::Valid);
    std::map<std::string, Bytes> files = {{"GAME.ATR", image}};
    if (c.mended) {
        files = {{"GAME.ATR", Image(*c.mended)}, {"GAME_org.atr", image}};
        EXPECT_EQ(Tail(3), (Lines{"Write : Backup image as GAME_org.atr",
                                  In("Generate new GAME.ATR file"), ""}));
    }
    EXPECT_TRUE(Snapshot(dir.path()) == files) << "other files or bytes on disk";
}

constexpr auto kYes = PromptAnswer::Yes;
constexpr auto kNo = PromptAnswer::No;
constexpr auto kCancel = PromptAnswer::Cancel;
constexpr auto kSectorQ = PromptTopic::SectorSize;
constexpr auto kLengthQ = PromptTopic::FileLength;
constexpr auto kLayoutQ = PromptTopic::Layout;
constexpr std::int64_t kMax = 65535LL * 256;  // the largest image's data
const Atr k512 = Rec(512, 1024, -1, 0x5A);
const Atr kBeyond = {.data = 1024, .paragraphs = 65535 * 16 + 1};

// Sector size: Yes 128, No 256, Cancel clears the fail mark, yet another fault still
// writes the old field. A header without a size takes the file's without asking; No
// rounds the file's length down into the header; Cancel still writes with the reserved
// bytes cleared. Refused: a cut larger than the data, growth beyond the largest image
// (65535 sectors of 256 bytes) by the header's length or by the layout.
// clang-format off
const RepairCase kRepairs[] = {
    {"SectorYes", k512, {{kSectorQ, kYes}}, kBoth, false, Rec(128, 1024, -1, 0x5A), {}},
    {"SectorNo", k512, {{kSectorQ, kNo}}, kBoth, false, Rec(256, 1024, -1, 0x5A), {}},
    {"SectorCancel", k512, {{kSectorQ, kCancel}}, kBoth, false, {}, {"Skip"}},
    {"SectorCancelThenLength", Rec(512, 1024, 1000), {{kSectorQ, kCancel}, {kLengthQ, kYes}},
      kBoth, false, Rec(512, 1024), {"Skip", "Add 24 bytes empty area"}},
    {"HeaderWithoutSize", Rec(128, 0, 1 << 20), {}, kBoth, false, Rec(128, 1 << 20),
      {"Modify header"}},
    {"LengthYesCuts", Rec(128, 1024, 1044), {{kLengthQ, kYes}}, kBoth, false, Rec(128, 1024),
      {"Cut 20 bytes unused space"}},
    {"LengthNo", Rec(128, 960, 1000), {{kLengthQ, kNo}}, kBoth, false, Rec(128, 992, 1000),
      {"Modify header"}},
    {"LengthNoThenLayout", Rec(256, 768, 1000), {{kLengthQ, kNo}, {kLayoutQ, kYes}}, kLong, false,
      Rec(256, 1024, 1032), {"Modify header", "Add 32 bytes empty area"}},
    {"LengthCancel", Atr{.stated = 960, .data = 1000, .reserved = 0xAA}, {{kLengthQ, kCancel}},
      kBoth, false, Rec(128, 960, 1000), {}},
    {"SmallGrows", Rec(256, 256), {}, kBoth, true, Rec(256, 1024), {"Add 768 byte"}},
    // 608 bytes of $5A kept of 628, cut to them and grown to 1 kB again: zeros, not the cut bytes.
    {"CutThenGrown", Rec(128, 608, 628, 0x5A), {{kLengthQ, kYes}}, kBoth, true,
      Atr{.stated = 1024, .fill = 0x5A, .filled = 608}, {"Cut 20 bytes unused space", "Add 416 byte"}},
    {"LayoutYes", Rec(256, 1008), {{kLayoutQ, kYes}}, kLong, false, Rec(256, 1024),
      {"Add 16 bytes empty area"}},
    {"LayoutNo", Rec(256, 1008), {{kLayoutQ, kNo}}, kLong, false, Rec(256, 768), {"Cut 240 byte"}},
    {"LayoutCancel", Rec(256, 1008), {{kLayoutQ, kCancel}}, kLong, false, {}, {"Skip"}},
    {"LongUnderShort", Rec(256, 92160), {}, kShort, false, Rec(256, 91776), {"Cut 384 byte"}},
    {"ShortUnderLong", Rec(256, 183936), {}, kLong, false, Rec(256, 184320),
      {"Add 384 bytes empty area"}},
    {"CutAllTheData", Rec(256, 256, 384), {{kLengthQ, kCancel}}, kShort, false, Rec(256, 0),
      {"Cut 384 byte"}},
    {"CutBeyondTheData", Rec(256, 256), {}, kShort, false, Rec(256, 256),
      {"Refused: can not cut 384 byte from an image with 256 bytes of data"}},
    {"BeyondTheLargest", kBeyond, {{kLengthQ, kYes}}, kBoth, false, kBeyond,
      {"Refused: the header states 16776976 bytes, more than the largest ATR image holds"}},
    {"GrowsToTheLargest", Rec(256, kMax, 0), {{kLengthQ, kYes}}, kBoth, false, Rec(256, kMax),
      {"Add 16776960 bytes empty area"}},
    {"LayoutGrowsToTheLargest", Rec(256, kMax - 16), {{kLayoutQ, kYes}}, kLong, false,
      Rec(256, kMax), {"Add 16 bytes empty area"}},
    {"LayoutBeyondTheLargest", Rec(256, kMax - 16, kMax + 32),
      {{kLengthQ, kCancel}, {kLayoutQ, kYes}}, kLong, false, Rec(256, kMax - 16, kMax + 32),
      {"Refused: adding 16 bytes would exceed the largest ATR image"}},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Faults, RepairStep, ::testing::ValuesIn(kRepairs),
                         [](const auto& info) { return info.param.label; });

// A 1 kB image whose file is 20 bytes longer than its header says, and its repair: cut,
// and the reserved header bytes cleared.
Bytes Broken(std::uint8_t fill) {
    return Image({.stated = 1024, .data = 1044, .fill = fill, .reserved = 0xAA});
}
Bytes Mended(std::uint8_t fill) {
    return Img(128, 1024, -1, fill);
}

// Backups: named up to the first "." of the name, replaced only when the user agrees;
// failing backups (their mark in any letter case) are skipped and not counted.
TEST_F(Engine, BackupsAndHowTheBatchCountsRepairedImages) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::No);
    const Bytes good = Img(128, 1024);
    for (const auto& [name, bytes] : std::map<std::string, Bytes>{{"MY.A.ATR", Broken(1)},
                                                                  {"B.ATR", good},
                                                                  {"c_ORG.Atr.atr", Broken(4)},
                                                                  {"E.ATR", Broken(5)},
                                                                  {"E_org.atr", good}}) {
        WriteFile(dir / name, bytes);
    }
    auto expected = Snapshot(dir.path());
    RunBatch(true);  // valid: B, E_org; repaired: MY.A, and E declined
    EXPECT_EQ(Tail(2), (Lines{"Valid    ATR-files:  2", "Repaired ATR-files:  2"}));
    const auto skip = std::find(report.lines.begin(), report.lines.end(), "Skip c_ORG.Atr.atr");
    ASSERT_NE(skip, report.lines.end());
    EXPECT_EQ(Lines(skip - 1, skip + 2), (Lines{kFailLine, *skip, ""}));
    const auto declined =
        std::find(report.lines.begin(), report.lines.end(), "Write : Backup image as E_org.atr");
    ASSERT_NE(declined, report.lines.end());
    EXPECT_EQ(*(declined + 1), In("Skip repair"));
    expected["MY.A.ATR"] = Mended(1);
    expected["MY_org.atr"] = Broken(1);
    EXPECT_EQ(Snapshot(dir.path()), expected);

    // Agreed: the old backup is replaced, with its own line.
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    CheckFile("MY.A.ATR", Broken(2));
    EXPECT_EQ(prompt.asked().back().title, "File MY_org.atr exists");
    EXPECT_EQ(Tail(3)[0], In("Overwrite existing Backupfile"));
}

// An old backup replaced in the run is read as it is by then: the original of GAME.ATR,
// a failing backup that is skipped and not counted.
TEST_F(Engine, BackupReplacedEarlierInTheRunIsReadAsItIsNow) {
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    WriteFile(dir / "GAME.ATR", Broken(1));
    WriteFile(dir / "GAME_org.atr", Bytes(3));
    RunBatch(true);
    const auto block = std::find(report.lines.begin(), report.lines.end(), "Read  : GAME_org.atr");
    ASSERT_NE(block, report.lines.end());
    EXPECT_EQ(*(block + 1), In("Physical filelength         = $424 bytes (1060 byte)"));
    EXPECT_TRUE(Reported("Skip GAME_org.atr"));
    EXPECT_EQ(Tail(2), (Lines{"Valid    ATR-files:  0", "Repaired ATR-files:  1"}));
}

// A batch's repaired images take their names only after one sync of them all: when it
// fails, each stays untouched, with its error line. A question shown to the user comes
// after the lines of the images before it, their outcome included.
TEST_F(Engine, GroupedRepairsTakeTheirNamesAfterTheirSync) {
    FaultFileSystem faulty;
    fs = &faulty;
    WriteFile(dir / "A.ATR", Broken(1));
    WriteFile(dir / "B.ATR", Broken(2));
    const auto before = Snapshot(dir.path());
    faulty.FailOn(FsOperation::Sync);
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    RunBatch(true);
    EXPECT_EQ(Reported(In("ERROR: Can not write the repaired image - injected failure")), 2);
    EXPECT_EQ(Snapshot(dir.path()), before);

    std::vector<std::int64_t> outcomes_shown;
    ScriptedPrompt asking([&](const Prompt&) {
        outcomes_shown.push_back(Reported("ERROR: Can not write") + Reported("Generate new"));
        return PromptAnswer::Yes;
    });
    EngineContext context{window, report, asking, *fs, state};
    RunAtrCheck(context);
    EXPECT_EQ(outcomes_shown, (std::vector<std::int64_t>{0, 1}));
}

struct FaultCase {
    const char* label;
    FsOperation operation;
    const char* path_part;
    std::size_t partial;  // bytes a failing write still writes
    bool old_backup;      // GAME_org.atr exists, the user agrees to replace it, and it stays
    std::string error;    // the block's one error line, after "ERROR: "
};
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.label;
}
// Each fault on a file system with hard links and on one without (FAT).
class RepairFault : public Engine,
                    public ::testing::WithParamInterface<std::tuple<FaultCase, bool>> {};

TEST_P(RepairFault, OriginalSurvivesUnderItsOwnName) {
    const auto& [fault, hard_links] = GetParam();
    FaultFileSystem faulty;
    fs = &faulty;
    faulty.hard_links = hard_links;
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    WriteFile(dir / "GAME.ATR", Broken(1));
    WriteFile(dir / "ZOO.ATR", Broken(2));
    const Bytes old_backup = Img(128, 1024, -1, 0x0B);
    if (fault.old_backup) {
        WriteFile(dir / "GAME_org.atr", old_backup);
    }
    faulty.FailOn(fault.operation, 1, fault.path_part, fault.partial);
    RunBatch(true);

    // One error line, GAME.ATR's, and its block ends with its empty line.
    EXPECT_EQ(Reported("ERROR: "), 1);
    EXPECT_EQ(std::count(report.lines.begin(), report.lines.end(), In("ERROR: ") + fault.error), 1);
    EXPECT_EQ(*(std::find(report.lines.begin(), report.lines.end(), "Read  : ZOO.ATR") - 1), "");
    // The old image untouched under its name, nothing temporary, the next image repaired.
    std::map<std::string, Bytes> expected = {
        {"GAME.ATR", Broken(1)}, {"ZOO.ATR", Mended(2)}, {"ZOO_org.atr", Broken(2)}};
    if (fault.old_backup && fault.operation != FsOperation::Rename) {
        expected["GAME_org.atr"] = old_backup;
    }
    EXPECT_EQ(Snapshot(dir.path()), expected);
}

// Two faults in a row on a file system without hard links: the new image can not take
// the name and the original can not be put back. It stays whole, and the line says where.
TEST_F(Engine, DoubleFaultKeepsTheOriginalAndSaysWhere) {
    FaultFileSystem faulty;
    fs = &faulty;
    faulty.hard_links = false;
    prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    faulty.FailOn(FsOperation::Rename, 1, "/GAME.ATR");  // a rule that fires stops the search:
    faulty.FailOn(FsOperation::Rename, 1, "/GAME.ATR");  // the second one fails the undo
    CheckFile("GAME.ATR", Broken(1));
    EXPECT_TRUE(
        Reported(In("ERROR: Can not rename the repaired image to GAME.ATR - injected "
                    "failure; the untouched image stays as GAME_org.atr")));
    auto left = Snapshot(dir.path());
    EXPECT_EQ(std::erase_if(left, [](const auto& file) { return IsRestoreRecordName(file.first); }),
              1u);
    EXPECT_EQ(left, (std::map<std::string, Bytes>{{"GAME_org.atr", Broken(1)}}));
}

const std::string kNotWritten = "Can not write the repaired image - ";
const std::string kNoBackup = "Can not rename GAME.ATR to GAME_org.atr - injected failure";
// clang-format off
const FaultCase kFaults[] = {
    {"Read", FsOperation::Read, "GAME", 0, false,
      "File can not be read - Input/output error (injected)"},
    {"DiskFull", FsOperation::Write, "GAME", 100, false,
      kNotWritten + "No space left on device (injected)"},
    {"DeleteOldBackup", FsOperation::Remove, "GAME_org", 0, true,
      "Can not delete GAME_org.atr - injected failure"},
    {"RenameToBackup", FsOperation::Rename, "GAME_org", 0, false, kNoBackup},
    {"RenameIntoPlace", FsOperation::Rename, "/GAME.ATR", 0, false,
      "Can not rename the repaired image to GAME.ATR - injected failure"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(EveryFileOperation, RepairFault,
                         ::testing::Combine(::testing::ValuesIn(kFaults), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) +
                                    (std::get<1>(info.param) ? "" : "WithoutHardLinks");
                         });

class FileSafety : public Engine {
  protected:
    FileSafety() { prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes); }
    GenerationTotals Generate(const std::string& name) {
        window.SetText(Control::Txt_filename, name);
        window.SetText(Control::Txt_image_size, "1040");
        window.SetText(Control::Combo_byte_per_sector, "128");
        EXPECT_TRUE(window.ApplyDirectory(dir.path()).ok());
        EngineContext context{window, report, prompt, *fs, state};
        context.notice = [this](const std::string& line) { notices.push_back(line); };
        return RunAtrGeneration(context);
    }
    Lines notices;
    bool Has(const std::filesystem::path& name) const {
        return std::filesystem::exists(dir / name);
    }
};

TEST_F(FileSafety, RacesOneWritingRunPerDirectoryAndNoBackupReplacedInARun) {
    WriteFile(dir / "A.ATR", Broken(1));
    WriteFile(dir / "A.B.ATR", Broken(2));
    {
        LockResult other = PosixFileSystem().LockDirectory(dir.path());  // another run
        const auto before = Snapshot(dir.path());
        EngineContext context{window, report, prompt, *fs, state};
        EXPECT_TRUE(RunBatch(true).could_not_start);
        EXPECT_TRUE(RunXexConversionWithTemplate(context, dir / "none").could_not_start);
        EXPECT_TRUE(Generate("NEW").could_not_start);
        EXPECT_EQ(Snapshot(dir.path()), before);
        ASSERT_EQ(prompt.asked().size(), 3u) << "nothing but the one box each";
        EXPECT_EQ(prompt.asked()[2].icon, PromptIcon::Critical);
        EXPECT_FALSE(RunBatch(false).could_not_start) << "a check run takes no lock";
    }
}

// One directory reached by two paths whose flocks do not meet (two FUSE mounts): the lock
// file in the directory refuses the second run. One left by a killed run is taken over.
TEST_F(FileSafety, LockHoldsWhateverPathReachesTheDirectory) {
    FaultFileSystem first, second;
    first.LocksOfItsOwn();
    second.LocksOfItsOwn();
    fs = &second;
    const TempDir paths;
    std::filesystem::create_directory_symlink(dir.path(), paths / "other");
    WriteFile(dir / "A.ATR", Broken(1));
    {
        const LockResult other = first.LockDirectory(paths / "other");
        ASSERT_TRUE(other.status.ok());
        EXPECT_TRUE(RunBatch(true).could_not_start);
        EXPECT_EQ(ReadFile(dir / "A.ATR"), Broken(1));
    }
    const pid_t killed = fork();  // takes the lock and ends without a word
    if (killed == 0) {
        (void)PosixFileSystem().LockDirectory(dir.path()).lock.release();
        _exit(0);
    }
    waitpid(killed, nullptr, 0);
    ASSERT_TRUE(Has(".korvane-lock"));
    EXPECT_FALSE(RunBatch(true).could_not_start);
    EXPECT_EQ(ReadFile(dir / "A.ATR"), Mended(1));
    EXPECT_FALSE(Has(".korvane-lock"));

    // Killed while it writes its lock: no half-written lock keeps the next run out.
    const pid_t cut = fork();
    if (cut == 0) {
        sock_filter kill_at_write[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_write, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
        const sock_fprog program = {4, kill_at_write};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
            _exit(77);  // no system-call filters here
        }
        (void)PosixFileSystem().LockDirectory(dir.path()).lock.release();
        _exit(0);
    }
    int status = 0;
    waitpid(cut, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << "system-call filters are not allowed here";
    }
    ASSERT_TRUE(WIFSIGNALED(status));
    WriteFile(dir / "B.ATR", Broken(2));
    EXPECT_FALSE(RunBatch(true).could_not_start);
    EXPECT_EQ(ReadFile(dir / "B.ATR"), Mended(2));
}

// A volume that folds letter case and has neither RENAME_NOREPLACE nor hard links
// (exFAT through FUSE): a.atr's backup is also A.B.ATR's, and the backup the run itself
// wrote stays, though the user agreed to replace an existing one.
TEST_F(FileSafety, CaseFoldingVolumeWithoutLinksKeepsEveryOriginal) {
    FaultFileSystem exfat;
    fs = &exfat;
    exfat.fold_case = exfat.identity_per_spelling = true;
    exfat.WithoutNoReplaceOrLinks();
    WriteFile(dir / "a.atr", Broken(1));
    WriteFile(dir / "A.B.ATR", Broken(2));
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    RunBatch(true);
    EXPECT_EQ(Snapshot(dir.path()),
              (std::map<std::string, Bytes>{
                  {"a.atr", Mended(1)}, {"a_org.atr", Broken(1)}, {"A.B.ATR", Broken(2)}}));
    EXPECT_TRUE(Reported("Skip repair - A_org.atr already holds the original of another image"));
}

// With hard links the run knows the backup it linked by the file it opened, without
// looking it up again: A.B.ATR's repair leaves A.ATR's original alone.
TEST_F(FileSafety, BackupLinkedByTheRunIsKnownAsItsOwn) {
    WriteFile(dir / "A.ATR", Broken(1));
    WriteFile(dir / "A.B.ATR", Broken(2));
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    RunBatch(true);
    EXPECT_EQ(Snapshot(dir.path()),
              (std::map<std::string, Bytes>{
                  {"A.ATR", Mended(1)}, {"A_org.atr", Broken(1)}, {"A.B.ATR", Broken(2)}}));
}

// A file put under the new image's name after the run looked is never replaced: with
// RENAME_NOREPLACE, and on a volume without it or hard links.
TEST_F(FileSafety, NameTakenMeanwhileIsNeverReplaced) {
    const Bytes theirs = {'m', 'i', 'n', 'e'};
    for (const std::string name : {"NEW", "FUSE"}) {
        FaultFileSystem faulty;
        fs = &faulty;
        if (name == "FUSE") {
            faulty.WithoutNoReplaceOrLinks();
        }
        faulty.before = [&](FsOperation operation, const std::filesystem::path&) {
            if (operation == FsOperation::Rename) {
                WriteFile(dir / (name + ".ATR"), theirs);
            }
        };
        EXPECT_FALSE(Generate(name).generated);
        EXPECT_EQ(ReadFile(dir / (name + ".ATR")), theirs);
        EXPECT_EQ(report.lines.front(),
                  "ERROR: Can not write " + DisplayName(dir / (name + ".ATR")) + " - File exists");
    }
    EXPECT_EQ(Snapshot(dir.path()).size(), 2u) << "no temporary file left";
}

// Each new file is on the disk before it takes its name, and each name before the run goes
// on: a generated image, a repair alone, and the repairs of a batch with one sync for all.
TEST_F(FileSafety, NewFilesAndTheirNamesReachTheDisk) {
    FaultFileSystem recording;
    fs = &recording;
    Lines seen;
    recording.before = [&](FsOperation operation, const std::filesystem::path& path) {
        const char* names[] = {"", "", "", "", "rename ", "", "sync all ", "sync ", "file sync "};
        if (*names[static_cast<int>(operation)] != '\0') {
            seen.push_back(names[static_cast<int>(operation)] + path.filename().native());
        }
    };
    Generate("NEW");
    const std::string d = dir.path().filename();
    EXPECT_EQ(seen, (Lines{"file sync NEW.ATR", "rename NEW.ATR", "sync " + d}));
    seen.clear();
    // The backup's name, a second name of a file on the disk, is made durable by the
    // volume's sync where that writes the directory too, and by a sync of its own where
    // it does not (FUSE).
    CheckFile("A.ATR", Broken(1));
    EXPECT_EQ(seen, (Lines{"rename A_org.atr", "sync all " + d, "rename A.ATR", "sync " + d}));
    seen.clear();
    WriteFile(dir / "B.ATR", Broken(2));
    recording.sync_writes_names = false;
    RunBatch(true);
    EXPECT_EQ(seen, (Lines{"rename B_org.atr", "sync all " + d, "sync " + d, "rename B.ATR",
                           "sync " + d}));
}

// The directory renamed away and another put in its place during the first repair: the
// run stops with one line and its summary, and writes nothing into the new directory.
TEST_F(FileSafety, DirectoryReplacedMidRunGetsNothingWritten) {
    FaultFileSystem faulty;
    fs = &faulty;
    WriteFile(dir / "A.ATR", Broken(1));
    WriteFile(dir / "B.ATR", Broken(2));
    const TempDir elsewhere;
    faulty.before = [&](FsOperation operation, const std::filesystem::path& path) {
        if (operation == FsOperation::Create && path.filename() == "A.ATR") {
            std::filesystem::rename(dir.path(), elsewhere / "moved");
            std::filesystem::create_directory(dir.path());
        }
    };
    RunBatch(true);
    EXPECT_EQ(Reported("ERROR: The directory " + DisplayName(dir.path()) +
                       " was replaced by another - the run stops"),
              1);
    EXPECT_EQ(Tail(1), Lines{"Repaired ATR-files:  1"});
    EXPECT_TRUE(Snapshot(dir.path()).empty());
    EXPECT_EQ(Snapshot(elsewhere / "moved"),
              (std::map<std::string, Bytes>{
                  {"A.ATR", Mended(1)}, {"A_org.atr", Broken(1)}, {"B.ATR", Broken(2)}}));
}

// A repair killed between its two renames on a volume without hard links leaves the image
// only under its backup name: the next run puts it back first, and says so.
TEST_F(FileSafety, ImageLeftUnderItsBackupNameIsPutBack) {
    FaultFileSystem fat;
    fs = &fat;
    fat.hard_links = false;
    WriteFile(dir / "GAME.ATR", Broken(1));
    const pid_t killed = fork();
    if (killed == 0) {
        fat.before = [](FsOperation operation, const std::filesystem::path& path) {
            if (operation == FsOperation::Rename && path.filename() == "GAME.ATR") {
                _exit(0);
            }
        };
        RunBatch(true);
        _exit(1);
    }
    int status = 0;
    waitpid(killed, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_FALSE(Has("GAME.ATR"));
    ASSERT_TRUE(window.ApplyDirectory(dir.path()).ok());
    state.repair_mode = true;
    EngineContext context{window, report, prompt, *fs, state};
    context.notice = [this](const std::string& line) { notices.push_back(line); };
    RunAtrCheck(context);
    EXPECT_EQ(std::count(notices.begin(), notices.end(),
                         "Put back GAME.ATR from GAME_org.atr, where an interrupted run left it"),
              1);
    EXPECT_EQ(Snapshot(dir.path()), (std::map<std::string, Bytes>{{"GAME.ATR", Broken(1)}}));
}

// A backup that another program replaced after the user agreed to lose it stays; a
// directory that can not be synced is said on the image it concerns, and an image whose
// backup may not survive a power cut stays as it is.
TEST_F(FileSafety, BackupChangedAfterTheQuestionStaysAndFailedSyncsAreSaid) {
    FaultFileSystem faulty;
    fs = &faulty;
    prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::Yes);
    WriteFile(dir / "GAME.ATR", Broken(1));
    WriteFile(dir / "GAME_org.atr", Broken(2));
    const Bytes theirs = {'n', 'e', 'w'};
    faulty.before = [&](FsOperation operation, const std::filesystem::path&) {
        if (operation == FsOperation::Sync) {
            WriteFile(dir / "THEIRS", theirs);
            std::filesystem::rename(dir / "THEIRS", dir / "GAME_org.atr");
        }
    };
    RunBatch(true);
    faulty.before = nullptr;
    EXPECT_TRUE(
        Reported(In("ERROR: Can not replace GAME_org.atr - another program changed it "
                    "after the question; it stays")));
    EXPECT_EQ(Snapshot(dir.path()),
              (std::map<std::string, Bytes>{{"GAME.ATR", Broken(1)}, {"GAME_org.atr", theirs}}));

    // Where the volume's sync writes no directory (FUSE), the backups get a sync of their
    // own; elsewhere that sync makes them durable, and the first directory sync is that of
    // the new names.
    const auto said_unsynced = [&](bool backups) {
        RunBatch(true);
        return Reported(In(backups ? "ERROR: Can not write the repaired image - the directory "
                                     "can not be synced - injected failure"
                                   : "ERROR: Generate new GAME.ATR file, but the directory can "
                                     "not be synced - injected failure")) == 1;
    };
    std::filesystem::remove(dir / "GAME_org.atr");
    faulty.sync_writes_names = false;
    faulty.FailOn(FsOperation::SyncDirectory, 1);
    EXPECT_TRUE(said_unsynced(true));
    EXPECT_EQ(Snapshot(dir.path()), (std::map<std::string, Bytes>{{"GAME.ATR", Broken(1)}}));
    faulty.FailOn(FsOperation::SyncDirectory, 2);
    EXPECT_TRUE(said_unsynced(false));
    EXPECT_EQ(ReadFile(dir / "GAME.ATR"), Mended(1));
    faulty.sync_writes_names = true;
    std::filesystem::remove(dir / "GAME_org.atr");
    WriteFile(dir / "GAME.ATR", Broken(1));
    faulty.FailOn(FsOperation::SyncDirectory, 1);
    EXPECT_TRUE(said_unsynced(false));
    EXPECT_EQ(Snapshot(dir.path()),
              (std::map<std::string, Bytes>{{"GAME.ATR", Mended(1)}, {"GAME_org.atr", Broken(1)}}));
    faulty.FailOn(FsOperation::SyncDirectory, 1);
    Generate("NEW");
    EXPECT_EQ(report.lines, Lines{"ERROR: " + DisplayName(dir / "NEW.ATR") +
                                  " is written, but the directory can not be synced - injected "
                                  "failure"});
}

// A new image is private while it is written and takes a new file's mode only when
// complete; temporary names never run out, however many leftovers take them.
TEST_F(FileSafety, PrivateWhileWrittenAndTemporaryNamesNeverRunOut) {
    FaultFileSystem faulty;
    fs = &faulty;
    std::vector<unsigned> modes;
    faulty.before = [&](FsOperation operation, const std::filesystem::path&) {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            struct stat info {};
            if (operation == FsOperation::Write && IsTemporaryName(entry.path().filename()) &&
                stat(entry.path().c_str(), &info) == 0) {
                modes.push_back(info.st_mode & 0777);
            }
        }
    };
    const mode_t mask = umask(022);
    umask(mask);
    ASSERT_TRUE(Generate("PRIVATE").generated);
    EXPECT_EQ(modes, (std::vector<unsigned>{0600, 0600}));
    struct stat written {};
    ASSERT_EQ(stat((dir / "PRIVATE.ATR").c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 0777, 0666 & ~mask);

    MemoryFileSystem memory;
    const std::string next = TemporaryNameIn("/d").filename();
    const unsigned long counter = std::stoul(next.substr(20, 8), nullptr, 16);
    char name[48];
    for (unsigned long taken = counter + 1; taken <= counter + 150; ++taken) {
        std::snprintf(name, sizeof name, "/d/%.20s%08lx.tmp", next.c_str(), taken);
        memory.files[name] = nullptr;
    }
    const CreateResult created = memory.CreateTemporary("/d/A.ATR");
    std::snprintf(name, sizeof name, "%.20s%08lx.tmp", next.c_str(), counter + 151);
    EXPECT_TRUE(created.status.ok());
    EXPECT_EQ(created.path.filename(), name);
}

// Names of 255 bytes; odd files in place of images; the original's mode and owner kept.
// A large file is read as it is at the read: shortened after its open, only what is left
// (the copy through a mapping meets the lost pages and the read goes on without it);
// made longer, to the new end.
TEST_F(FileSafety, LargeFileReadAsItIsAtTheRead) {
    Bytes counted(3 << 20);
    for (std::size_t i = 0; i < counted.size(); ++i) {
        counted[i] = static_cast<std::uint8_t>(i % 251);
    }
    for (const std::size_t now : {std::size_t{3} << 19, std::size_t{3} << 20}) {
        WriteFile(dir / "BIG.XEX", Bytes(counted.begin(), counted.begin() + (2 << 20)));
        OpenResult opened = posix.OpenRead(dir / "BIG.XEX");
        ASSERT_TRUE(opened.status.ok());
        WriteFile(dir / "BIG.XEX", Bytes(counted.begin(), counted.begin() + now));
        std::vector<std::uint8_t> read;
        EXPECT_TRUE(ReadToEnd(*opened.file, INT64_MAX, read).ok());
        EXPECT_TRUE(read == Bytes(counted.begin(), counted.begin() + now)) << now;
    }
}

TEST_F(FileSafety, NamesOddFilesOwnerAndTemporaries) {
    const std::string longest = "LONG." + std::string(246, 'N') + ".ATR";  // 255 bytes
    WriteFile(dir / longest, Broken(1));
    ASSERT_EQ(chmod((dir / longest).c_str(), 0600) | chown((dir / longest).c_str(), 12, 34), 0);
    ASSERT_EQ(mkfifo((dir / "PIPE").c_str(), 0644), 0);  // as if swapped in after the listing
    EXPECT_EQ(posix.OpenRead(dir / "PIPE").status.reason(), "not a regular file");
    // A check opens without a look at the type: what is no file still says so.
    std::filesystem::create_directory(dir / "SUB.ATR");
    for (const std::filesystem::path& odd :
         {dir / "PIPE", dir / "SUB.ATR", std::filesystem::path("/dev/null")}) {
        OpenResult opened = posix.OpenToCheck(odd);
        std::array<std::uint8_t, 16> header{};
        std::size_t got = 0;
        EXPECT_EQ(
            (opened.status.ok() ? opened.file->ReadAt(0, header, got) : opened.status).reason(),
            "not a regular file")
            << odd;
    }
    std::filesystem::remove(dir / "SUB.ATR");
    EXPECT_EQ(RunBatch(true).failed_file_operations, 0);
    struct stat repaired {};
    ASSERT_EQ(stat((dir / longest).c_str(), &repaired), 0);
    EXPECT_EQ(
        std::tuple(repaired.st_size, repaired.st_mode & 07777, repaired.st_uid, repaired.st_gid),
        std::tuple(1040, 0600u, 12u, 34u));
    EXPECT_TRUE(Generate(std::string(251, 'G')).generated);

    // Every temporary file of ours goes, whatever process id it carries (this one's too),
    // with a notice outside the report; a look-alike stays. One that can not go (a
    // directory), though it takes the next name, is said once and is no failed operation.
    const auto ours = PosixFileSystem().CreateTemporary(dir / "A.ATR").path.filename();
    const std::string taken = TemporaryNameIn(dir.path()).filename();
    char next[40];
    std::snprintf(next, sizeof next, "%.20s%08lx.tmp", taken.c_str(),
                  std::stoul(taken.substr(20, 8), nullptr, 16) + 1);
    std::filesystem::create_directory(dir / next);
    WriteFile(dir / ".korvane-+000000001-00000000.tmp", {});
    WriteFile(dir / ".korvane-0000000001-000000000.tmp", {});  // 33 characters
    const GenerationTotals totals = Generate("ANOTHER");
    EXPECT_TRUE(totals.generated && totals.failed_file_operations == 0);
    std::sort(notices.begin(), notices.end());  // in the directory's order
    EXPECT_EQ(notices, (Lines{"Can not remove " + std::string(next) +
                                  ", a temporary file left by an interrupted run - Is a directory",
                              "Removed " + ours.native() +
                                  ", a temporary file left by an interrupted run"}));
    EXPECT_EQ(report.lines.back(), "successfully generated");
    EXPECT_EQ(report.lines.size(), 2u) << "nothing but the run's own lines";
    EXPECT_TRUE(!Has(ours) && Has(".korvane-+000000001-00000000.tmp") &&
                Has(".korvane-0000000001-000000000.tmp"));
    // Creating a file never writes over one that is there.
    EXPECT_EQ(posix.CreateExclusive(dir / longest).status.reason(), "File exists");
    EXPECT_EQ(ReadFile(dir / longest).size(), 1040u);
    std::filesystem::remove(dir / next);

    FaultFileSystem faulty;
    fs = &faulty;
    faulty.FailOn(FsOperation::Write);
    faulty.FailOn(FsOperation::Remove, 1, "/.korvane-");
    EXPECT_EQ(Generate("FULL").failed_file_operations, 2) << "the write and the removal";
    EXPECT_TRUE(Reported("ERROR: Can not write " + DisplayName(dir / "FULL.ATR") +
                         " - No space left on device (injected); the temporary file "));
    EXPECT_TRUE(Reported("is left behind - injected failure") && !Has("FULL.ATR"));
}

}  // namespace
}  // namespace korvane::testing
