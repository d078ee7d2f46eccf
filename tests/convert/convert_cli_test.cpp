// korvane-cli convert and generate, run as a separate process: standard output holds the
// report and nothing else, messages go to standard error, exit statuses as documented.
#include <gtest/gtest.h>

#include "convert_fixture.h"
#include "run_command.h"

namespace korvane::testing {
namespace {

const std::filesystem::path kCli = KORVANE_CLI;

TEST(CliConvert, TemplateOptionReportAndExitStatus) {
    ConvertFixture f;
    const std::filesystem::path tmpl = f.temp / "my.atr";
    WriteFile(tmpl, f.template_image);
    f.PutXex("A.XEX", XexBytes(128, 1));
    f.PutXex("B.XEX", XexBytes(127, 2));
    CommandResult run =
        RunCommand(kCli, {"convert", "--template", tmpl.string(), f.source_dir.string()});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.err, "");
    const std::string fail = ConvertFailLine();
    EXPECT_EQ(run.out, "Read    : " + tmpl.string() +
                           "\n"
                           "          Physical filelength         = 92176 byte\n"
                           "          Free space                  = 707 sectors or 88375 bytes\n"
                           "\n"
                           "Read    : A.XEX\n"
                           "          Physical filelength         = 128 byte\n"
                           "Generate: " +
                           (f.source_dir / "A.ATR").string() +
                           "\n\n"
                           "Read    : B.XEX\n"
                           "          Physical filelength         = 127 byte\n"
                           "          ERROR: Filelength shall be more than 127 bytes\n" +
                           fail + "\n\n" + std::string(61, '=') + "\n" + std::string(21, '=') +
                           "   S U M M A R Y   " + std::string(21, '=') + "\n" +
                           std::string(61, '=') +
                           "\n\n"
                           "Converted     XEX-files:  1\n"
                           "Not converted XEX-files:  1\n"
                           "\n"
                           "Click on the filenames to see the detailed conversion information\n");
    ExpectImageHolds(f.Output("A.ATR"), f.template_image, XexBytes(128, 1));

    // Everything converted: 0. A directory that does not exist: 2.
    std::filesystem::remove(f.source_dir / "B.XEX");
    std::filesystem::remove(f.source_dir / "A.ATR");
    EXPECT_EQ(RunCommand(kCli, {"convert", "--template", tmpl.string(), f.source_dir.string()})
                  .exit_status,
              0);
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
    EXPECT_EQ(run.out.substr(run.out.find('\n') + 1),
              "          Physical filelength         = 92176 byte\n"
              "          ERROR: No free sectors found\n");
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
    const std::vector<std::pair<std::vector<std::string>, std::size_t>> sizes = {
        {{"--sectors", "1"}, 144},
        {{"--sector-size", "256", "--sectors", "3"}, 400},
        {{"--sector-size", "128", "--sectors", "65535"}, 8388496},
    };
    int n = 0;
    for (const auto& [options, length] : sizes) {
        std::vector<std::string> args{"generate", "--name", "G" + std::to_string(++n)};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(dir);
        EXPECT_EQ(RunCommand(kCli, args).exit_status, 0);
        EXPECT_EQ(ReadFile(temp / ("G" + std::to_string(n) + ".ATR")).size(), length);
    }

    const auto before = Snapshot(temp.path());
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--sector-size", "512"},
             {"--sectors", "0"},
             {"--sectors", "65536"},
             {"--sectors", "7x"},
             {"--sector-size", "256", "--sectors", "2"},
         }) {
        std::vector<std::string> args{"generate", "--name", "BAD"};
        args.insert(args.end(), bad.begin(), bad.end());
        args.push_back(dir);
        run = RunCommand(kCli, args);
        EXPECT_EQ(run.exit_status, 2) << bad.back();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
    EXPECT_EQ(RunCommand(kCli, {"generate", (temp / "absent").string()}).exit_status, 2);
    EXPECT_EQ(Snapshot(temp.path()), before);
}

}  // namespace
}  // namespace korvane::testing
