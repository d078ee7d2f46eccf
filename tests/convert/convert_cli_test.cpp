// korvane-cli convert (and generate's sector bound), run as a separate process: standard output
// holds the engine's report and nothing else, exit statuses as documented.
#include "convert_fixture.h"

namespace korvane::testing {
namespace {

const std::filesystem::path kCli = KORVANE_CLI;

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
    const std::vector<std::string> args = {"convert", "--template", (f.temp / "my.atr").string(),
                                           f.source_dir.string()};
    CommandResult run = RunCommand(kCli, args);
    EXPECT_EQ(run.exit_status, 1);  // B.XEX is too short
    EXPECT_EQ(SplitLines(run.out), f.report.lines);
    EXPECT_EQ(Snapshot(f.source_dir), converted);
    std::filesystem::remove(f.source_dir / "B.XEX");
    std::filesystem::remove(f.source_dir / "A.ATR");
    EXPECT_EQ(RunCommand(kCli, args).exit_status, 0);
    // The default template lies beside the program; missing: a message, exit status 2.
    std::filesystem::copy_file(kCli, f.program_dir / "korvane-cli");
    run = RunCommand(f.program_dir / "korvane-cli", {"convert", f.source_dir.string()});
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "Read    : " + (f.program_dir / "KELDRIX.ATR").string());
    std::filesystem::remove(f.program_dir / "KELDRIX.ATR");
    run = RunCommand(f.program_dir / "korvane-cli", {"convert", f.source_dir.string()});
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.err.find("Can not find required KELDRIX.ATR file at install directory"),
              std::string::npos);
    // generate: a sector count beyond 65535 is a usage error.
    EXPECT_EQ(
        RunCommand(kCli, {"generate", "--sectors", "65536", f.temp.path().string()}).exit_status,
        2);
}

}  // namespace
}  // namespace korvane::testing
