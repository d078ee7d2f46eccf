// korvane-cli convert and generate, run as a separate process: standard output holds the
// engine's report and nothing else, messages go to standard error, exit statuses as
// documented.
#include <gtest/gtest.h>

#include "convert_fixture.h"
#include "run_command.h"

namespace korvane::testing {
namespace {

const std::filesystem::path kCli = KORVANE_CLI;

// The report of the converter run in-process over the fixture's directory.
std::string EngineReport(ConvertFixture& f, const std::filesystem::path& template_path) {
    f.window.plain.SetPattern("*.xex");
    EXPECT_TRUE(f.window.plain.ApplyDirectory(f.source_dir).ok());
    RunXexConversionWithTemplate(f.context, template_path);
    std::string text;
    for (const std::string& line : f.report.lines) {
        text += line + "\n";
    }
    return text;
}

TEST(CliConvert, StandardOutputIsTheEngineReportAndTheExitStatusItsOutcome) {
    ConvertFixture f;
    const std::filesystem::path tmpl = f.temp / "my.atr";
    WriteFile(tmpl, f.template_image);
    f.PutXex("A.XEX", XexBytes(128, 1));
    f.PutXex("B.XEX", XexBytes(127, 2));
    f.PutXex("C.XEX", XexBytes(5000, 3));
    const std::string in_process = EngineReport(f, tmpl);
    const auto converted = Snapshot(f.source_dir);
    std::filesystem::remove(f.source_dir / "A.ATR");
    std::filesystem::remove(f.source_dir / "C.ATR");

    const std::vector<std::string> args = {"convert", "--template", tmpl.string(),
                                           f.source_dir.string()};
    CommandResult run = RunCommand(kCli, args);
    EXPECT_EQ(run.exit_status, 1);  // B.XEX is too short
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, in_process);
    EXPECT_EQ(Snapshot(f.source_dir), converted);

    // Everything converted: 0. A directory that does not exist: 2.
    for (const char* name : {"B.XEX", "A.ATR", "C.ATR"}) {
        std::filesystem::remove(f.source_dir / name);
    }
    EXPECT_EQ(RunCommand(kCli, args).exit_status, 0);
    run = RunCommand(kCli, {"convert", (f.temp / "absent").string()});
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, "");
}

TEST(CliConvert, DefaultTemplateLiesBesideTheProgram) {
    ConvertFixture f;
    // A copy of the program in the program directory, where KELDRIX.ATR lies.
    const std::filesystem::path cli = f.program_dir / "korvane-cli";
    std::filesystem::copy_file(kCli, cli);
    f.PutXex("A.XEX", XexBytes(300, 1));
    CommandResult run = RunCommand(cli, {"convert", f.source_dir.string()});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
              "Read    : " + (f.program_dir / "KELDRIX.ATR").string());

    // An invalid template reports its lines; a missing one only a message on stderr.
    f.PutTemplate(TemplateBuilder().NothingFree().Build());
    run = RunCommand(cli, {"convert", f.source_dir.string()});
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, EngineReport(f, f.program_dir / "KELDRIX.ATR"));
    std::filesystem::remove(f.program_dir / "KELDRIX.ATR");
    run = RunCommand(cli, {"convert", f.source_dir.string()});
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Can not find required KELDRIX.ATR file at install directory"),
              std::string::npos);
}

TEST(CliGenerate, GeometriesNamesAndExitStatus) {
    TempDir temp;
    const std::string dir = temp.path().string();
    CommandResult run = RunCommand(kCli, {"generate", dir});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, dir + "/NEWFILE.ATR\nsuccessfully generated\n");
    EXPECT_EQ(ReadFile(temp / "NEWFILE.ATR").size(), 92176u);
    run = RunCommand(kCli, {"generate", dir});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "ERROR: File already exists or empty filename\n");
    EXPECT_EQ(RunCommand(kCli, {"generate", "--name", "", dir}).exit_status, 1);

    // Any count the lists do not offer, sized as the window sizes it.
    const std::pair<std::vector<std::string>, std::size_t> sizes[] = {
        {{"--sectors", "1"}, 144},
        {{"--sector-size", "256", "--sectors", "3"}, 400},
        {{"--sector-size", "128", "--sectors", "65535"}, 8388496},
    };
    for (const auto& [options, length] : sizes) {
        std::vector<std::string> args{"generate", "--name", "G"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(dir);
        EXPECT_EQ(RunCommand(kCli, args).exit_status, 0);
        EXPECT_EQ(ReadFile(temp / "G.ATR").size(), length);
        std::filesystem::remove(temp / "G.ATR");
    }

    const auto before = Snapshot(temp.path());
    const std::vector<std::string> bad[] = {
        {"--sector-size", "512"},
        {"--sectors", "0"},
        {"--sectors", "65536"},
        {"--sectors", "7x"},
        {"--sector-size", "256", "--sectors", "2"},
    };
    for (const std::vector<std::string>& options : bad) {
        std::vector<std::string> args{"generate", "--name", "BAD"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(dir);
        run = RunCommand(kCli, args);
        EXPECT_EQ(run.exit_status, 2) << options.back();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
    EXPECT_EQ(RunCommand(kCli, {"generate", (temp / "absent").string()}).exit_status, 2);
    EXPECT_EQ(Snapshot(temp.path()), before);
}

}  // namespace
}  // namespace korvane::testing
