// korvane-cli check and repair as a script runs them: standard output holds exactly the
// report the engine writes in-process over an equal directory, the options set the
// window's settings and answer the questions (or the terminal does), messages go to
// standard error, and the exit status says whether anything failed or was repaired.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "posix_file_system.h"
#include "support.h"

namespace korvane::testing {
namespace {

// Images for every fault and question, a backup that exists and one that fails itself,
// and a file the pattern leaves out.
void PutImages(const std::filesystem::path& dir) {
    const std::pair<const char*, Bytes> images[] = {
        {"A.ATR", Image({.stated = 1024, .sector = 512})},
        {"B.ATR", Image({.stated = 960, .data = 1000, .fill = 0x33})},
        {"B_org.atr", {1}},
        {"C.ATR", Image({.stated = 1008, .sector = 256, .fill = 0x44})},
        {"D.ATR", Bytes(7)},
        {"E.ATR", Image({.stated = 92160, .sector = 256})},
        {"F_org.atr", Image({.stated = 960, .data = 1000})},
        {"G.ATR", Image({.stated = 608})},
        {"H.ATR", Image({.stated = 1024, .id = 0x92})},
        {"good.atr", Image({})},
        {"skip.xex", Image({})}};
    for (const auto& [name, bytes] : images) {
        WriteFile(dir / name, bytes);
    }
}

// The report of the engine run in-process over `dir` as the window would run it, with
// `answer` to every question (Ok: none given).
std::string EngineReport(const std::filesystem::path& dir, Control layout, int check_box,
                         bool repair, PromptAnswer answer = PromptAnswer::Ok) {
    PosixFileSystem fs;
    PlainWindow window(fs);
    window.ChooseOption(layout);
    window.SetCheckValue(Control::chk_expand_images, check_box);
    EXPECT_TRUE(window.ApplyDirectory(dir).ok());
    ScriptedPrompt prompt;
    for (const PromptTopic topic : {PromptTopic::SectorSize, PromptTopic::FileLength,
                                    PromptTopic::Layout, PromptTopic::OverwriteBackup}) {
        answer != PromptAnswer::Ok ? prompt.Answer(topic, answer) : void();
    }
    RecordingReport report;
    ProgramState state{.repair_mode = repair};
    EngineContext context{window, report, prompt, fs, state};
    RunAtrCheck(context);
    std::string text;
    for (const std::string& line : report.lines) {
        text += line + "\n";
    }
    return text;
}

struct Variant {
    std::string options;  // those before "--sector-size" also go to check
    Control layout;
    int check_box;
    PromptAnswer answer;      // what the answer options give every question, if any
    const char* layout_line;  // a line that only this layout writes in a check run
};

TEST(Cli, CheckAndRepairWriteTheEngineReportAndLeaveTheSameFiles) {
    const Variant variants[] = {
        {"", Control::Opt_both, 1, PromptAnswer::Ok, "Header file size is 144 bytes too small"},
        {"--layout short --min-size --sector-size 128 --fix-length=file --fix-layout add "
         "--overwrite-backup yes",
         Control::Opt_short, 1, PromptAnswer::Yes, "Header file size is 384 bytes too large"},
        {"--layout long --no-min-size --sector-size 256 --fix-length header --fix-layout cut "
         "--overwrite-backup no",
         Control::Opt_long, 0, PromptAnswer::No, "Header file size is 16 bytes too small"},
    };
    for (const bool repair : {false, true}) {
        for (const Variant& v : variants) {
            SCOPED_TRACE(v.options + (repair ? " repair" : " check"));
            TempDir by_cli;
            TempDir in_process;
            PutImages(by_cli.path());
            PutImages(in_process.path());
            const std::string options =
                repair ? v.options : v.options.substr(0, v.options.find(" --sector"));
            const CommandResult run =
                RunCli((repair ? "repair " : "check ") + options + " D", by_cli.path());
            EXPECT_EQ(run.out, EngineReport(in_process.path(), v.layout, v.check_box, repair,
                                            repair ? v.answer : PromptAnswer::Ok));
            EXPECT_EQ(Snapshot(by_cli.path()), Snapshot(in_process.path()));
            EXPECT_EQ(run.exit_status, 1);
            EXPECT_TRUE(repair || run.out.find(v.layout_line) != std::string::npos) << run.out;
            // Unanswered questions get the answer that changes nothing, each naming its option.
            const bool unanswered = repair && v.answer == PromptAnswer::Ok;
            for (const char* option : {"--sector-size", "--fix-length", "--overwrite-backup"}) {
                EXPECT_EQ(run.err.find(option) != std::string::npos, unanswered) << run.err;
            }
            EXPECT_EQ(run.err.empty(), !unanswered);
        }
    }
}

TEST(Cli, ExitStatusZeroWhenNothingFailsAndOddNamesEscaped) {
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    WriteFile(dir / "sub" / "\n\xFE\xC2\x85\xC0\xAF\xC3\xBC\xE2\x80\xAE\xE2\x81\xA9.atr",
              Image({}));
    for (const char* command : {"check", "repair"}) {
        const CommandResult run = RunCli(command + std::string(" sub/"), "", dir.path());
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.out, EngineReport(dir / "sub", Control::Opt_both, 1, command[0] == 'r'));
        EXPECT_TRUE(
            run.out.starts_with("Read  : \\x0A\\xFE\\xC2\\x85\\xC0\\xAF\xC3\xBC"
                                "\\xE2\\x80\\xAE\\xE2\\x81\\xA9.atr\n"));
    }
    // The largest image; a file that can not be read (memory at address 0, not even by root)
    // exits with 3, not with the 1 of a failed check.
    EXPECT_EQ(RunCli("generate --sectors 65535 sub", "", dir.path()).exit_status, 0);
    EXPECT_EQ(std::filesystem::file_size(dir / "sub" / "NEWFILE.ATR"), 8388496u);
    // Each DOS formats its own sizes only: 1 for a refused one.
    int n = 0;
    for (const auto& [format, status] : {std::pair("dos2 --sectors 720", 0),
                                         {"dos25 --sectors 1040", 0},
                                         {"mydos --sectors 1440", 0},
                                         {"dos25 --sectors 720", 1},
                                         {"dos2 --sectors 1040", 1}}) {
        const std::string line =
            "generate --name F" + std::to_string(++n) + " --format " + format + " sub";
        EXPECT_EQ(RunCli(line, "", dir.path()).exit_status, status) << line;
    }
    std::filesystem::create_symlink("/proc/self/mem", dir / "sub" / "MEM.ATR");
    EXPECT_EQ(RunCli("check sub", "", dir.path()).exit_status, 3);
    // So does an image larger than 2 GiB (sparse), which is not read.
    std::filesystem::remove(dir / "sub" / "MEM.ATR");
    std::filesystem::resize_file(dir / "sub" / "NEWFILE.ATR", 1LL << 31);
    const CommandResult large = RunCli("check sub", "", dir.path());
    EXPECT_EQ(large.exit_status, 3);
    EXPECT_NE(large.out.find("Read  : NEWFILE.ATR\n        ERROR: File can not be read - file is "
                             "larger than 2147483647 bytes\n"),
              std::string::npos);
    std::filesystem::remove(dir / "sub" / "NEWFILE.ATR");
    // An entry whose type can not be read (a loop of links) is reported, not left out.
    std::filesystem::create_symlink("LOOP.ATR", dir / "sub" / "LOOP.ATR");
    const CommandResult loop = RunCli("check sub", "", dir.path());
    EXPECT_EQ(loop.exit_status, 3);
    EXPECT_NE(loop.out.find("Read  : LOOP.ATR\n"
                            "        ERROR: File can not be read - Too many levels of symbolic "
                            "links\n"),
              std::string::npos)
        << loop.out;
}

TEST(Cli, UsageErrorsExitTwoWithoutAReport) {
    TempDir dir;
    WriteFile(dir / "A.ATR", Image({.stated = 960, .data = 1000}));
    const auto before = Snapshot(dir.path());
    for (const char* line :
         {"", "check", "check --layout middle D", "check --layout", "check --fix-length file D",
          "check -x D", "check D D", "frobnicate D", "check D/missing",
          "repair --fix-length=maybe D", "repair D/A.ATR", "check ''",
          "check --min-size --no-min-size D", "generate --sectors 65536 D",
          "generate --sector-size 256 --sectors 2 D", "generate --format dos3 D"}) {
        const CommandResult result = RunCli(line, dir.path(), dir.path());
        EXPECT_EQ(result.exit_status, 2) << line;
        EXPECT_EQ(result.out, "") << line;
        EXPECT_NE(result.err, "") << line;
        for (const std::string& message : SplitLines(result.err)) {
            EXPECT_TRUE(message.starts_with("korvane-cli: ")) << line << ": " << message;
        }
    }
    // A flag given a value is named; each command's --help is its usage.
    EXPECT_TRUE(RunCli("convert --fit=yes D", dir.path())
                    .err.starts_with("korvane-cli: --fit takes no value\n"));
    const CommandResult help = RunCli("repair --help", dir.path());
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_TRUE(help.out.starts_with(
        "usage:\n"
        "  korvane-cli repair   [--layout both|short|long] [--min-size|--no-min-size]\n"
        "                       [--sector-size 128|256|skip] [--fix-length file|header|skip]\n"
        "                       [--fix-layout add|cut|skip] [--overwrite-backup yes|no]\n"
        "                       [--json] DIR\n"
        "exit status:\n"))
        << help.out;
    for (const char* command : {"check", "convert", "generate"}) {
        const CommandResult usage = RunCli(command + std::string(" --help"), dir.path());
        EXPECT_TRUE(usage.exit_status == 0 &&
                    usage.out.starts_with("usage:\n  korvane-cli " + std::string(command)))
            << usage.out;
    }
    EXPECT_EQ(Snapshot(dir.path()), before);
    EXPECT_NE(RunCli("convert --template D/no.atr D", dir.path()).err.find(dir / "no.atr"),
              std::string::npos);
}

// With a terminal as standard input the question is asked there: "n" for the length
// question adapts the header instead of the file. SIGINT or SIGTERM while a question
// waits ends the wait at once and the run with it: nothing is written for the image,
// not even what an option answered before, and no further image is read.
TEST(Cli, AsksOnTheTerminal) {
    TempDir dir;
    WriteFile(dir / "B.ATR", Image({.stated = 1024, .data = 1040}));
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
    // Waits in the terminal until it is read; a second question would read the end (^D).
    ASSERT_EQ(::write(terminal, "n\n\x04", 3), 3);
    const CommandResult run =
        RunCommand(KORVANE_CLI, {"repair", dir.path().native()}, {}, ::ptsname(terminal));
    ::close(terminal);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find(
                  "korvane-cli: B.ATR is invalid\nkorvane-cli: <YES> adapt physical file length"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("Modify header"), std::string::npos) << run.out;
    EXPECT_EQ(ReadFile(dir / "B.ATR")[2], 1040 / 16);

    const int waiting = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(waiting >= 0 && ::grantpt(waiting) == 0 && ::unlockpt(waiting) == 0);
    const auto text = [&](const char* name) {
        const Bytes bytes = ReadFile(dir / name);
        return std::string(bytes.begin(), bytes.end());
    };
    for (const auto& [signal, status] : {std::pair{"INT", 130}, {"TERM", 143}}) {
        TempDir stop;
        WriteFile(stop / "A.ATR", Image({.stated = 1024, .sector = 512, .data = 1040}));
        WriteFile(stop / "C.ATR", Image({.stated = 960, .data = 1000}));
        const auto before = Snapshot(stop.path());
        // The report as it stands while the question waits goes to "seen". A read that
        // is restarted after the signal waits until the timeout kills it. --foreground:
        // the signal reaches korvane-cli once; otherwise timeout repeats it and SIGCONT to
        // its process group, which can land in the leak checker's stop at exit and hang it.
        RunCommand(
            "/bin/sh",
            {"-c", "timeout --foreground -s KILL 20 " KORVANE_CLI " repair --sector-size 128 . <" +
                       std::string(::ptsname(waiting)) +
                       " 2>err >out & until grep -q 'adapt physical' err; do sleep 0.01; "
                       "done; cp out seen; kill -" +
                       signal + " $!; wait $!; echo status $? >>err; mv err out seen " +
                       dir.path().native()},
            stop.path());
        EXPECT_TRUE(text("err").ends_with("status " + std::to_string(status) + "\n"))
            << text("err");
        EXPECT_TRUE(
            text("seen").ends_with("ERROR : Expect $80 or $100 ATARI sector size\n"
                                   "        ERROR : Physical file size is 16 bytes too "
                                   "large according to header information\n"));
        EXPECT_EQ(text("out"), text("seen") + "        Skip repair - the run was interrupted\n\n");
        EXPECT_EQ(Snapshot(stop.path()), before);
    }
    ::close(waiting);
}

// A report that can not be written (a full disk, a pipe without reader) and a run ended
// by a signal: said on stderr with their own exit status; the report holds whole blocks
// only and no temporary file stays behind.
TEST(Cli, UnwritableReportAndInterruptedRun) {
    TempDir dir;
    TempDir out;
    for (int i = 0; i < 2000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "I%d.ATR", i);
        WriteFile(dir / name, Image({.stated = 1024, .data = 1044}));
    }
    const auto Sh = [&](const std::string& script) {
        return RunCommand("/bin/sh", {"-c", script}, dir.path()).err;
    };
    const std::string cli = KORVANE_CLI " ";
    EXPECT_NE(Sh(cli + "check . >/dev/full; echo status $? >&2")
                  .find("No space left on device\nstatus 2\n"),
              std::string::npos);
    // A reader that has gone stops the run as a signal would, whether SIGPIPE is ignored.
    for (const char* trap : {"", "trap '' PIPE; "}) {
        EXPECT_NE(
            Sh(trap + std::string("{ sleep 1; ") + cli + "check .; echo status $? >&2; } | true")
                .find("reader has gone (Broken pipe); the report ends with the last file "
                      "done\nstatus 141"),
            std::string::npos);
    }
    // SIGKILL ends it at once, the others after the image in hand, with no summary: the
    // report, written a whole block at a time into a file, ends with a whole block.
    for (const auto& [signal, status] : {std::pair{"INT", 130}, {"TERM", 143}, {"KILL", 137}}) {
        const std::string report = (out / signal).native();
        const std::string err =
            Sh(cli + "repair --fix-length file . >" + report + " & while [ ! -s " + report +
               " ]; do sleep 0.01; done; kill -" + signal + " $!; wait $!; echo status $? >&2");
        const bool kill = status == 137;
        EXPECT_EQ(err.find("interrupted (SIG" + std::string(signal) + ")") != err.npos, !kill);
        EXPECT_TRUE(err.ends_with("status " + std::to_string(status) + "\n")) << err;
        const Bytes text = ReadFile(report);
        EXPECT_TRUE(std::string(text.begin(), text.end()).ends_with("\n\n"));
        EXPECT_TRUE(kill || Snapshot(dir.path()).begin()->first[0] == 'I') << "a temporary is left";
    }
}

// A repair that grows a sparse image keeps its holes and adds a hole: only its data takes
// room on the disk, and it reads back as before with zeros added.
TEST(Cli, RepairKeepsASparseImageSparse) {
    TempDir dir;
    Bytes image = Image({.stated = 8 << 20, .data = 0});
    WriteFile(dir / "S.ATR", image);
    std::filesystem::resize_file(dir / "S.ATR", 6 << 20);
    image.resize(8 << 20, 0);
    for (const std::int64_t at : {0, 3 << 20}) {
        std::fstream(dir / "S.ATR", std::ios::in | std::ios::out | std::ios::binary)
            .seekp(at + 16)
            .write("data", 4);
        std::copy_n("data", 4, image.begin() + at + 16);
    }
    EXPECT_EQ(RunCli("repair --fix-length file D", dir.path().string()).exit_status, 1);
    struct stat written {};
    ::stat((dir / "S.ATR").c_str(), &written);
    EXPECT_LT(written.st_blocks, 1024) << "512-byte blocks";
    image.resize((8 << 20) + 16);
    EXPECT_EQ(ReadFile(dir / "S.ATR"), image);
}

}  // namespace
}  // namespace korvane::testing
