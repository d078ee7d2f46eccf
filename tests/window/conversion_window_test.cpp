// Conversion runs started from the window, with the template disk beside this test
// program as it lies beside the installed one: the report matches the command-line
// tool's, the images are the same, and a pick jumps to a file's block.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "file_list_view.h"
#include "program_location.h"
#include "report_list.h"
#include "report_text.h"
#include "window_fixtures.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

const std::filesystem::path kTemplate = ProgramDirectory() / "KELDRIX.ATR";

// The command-line tool's report over `copy`, its paths turned into those of `original`.
std::vector<std::string> CliReport(const std::filesystem::path& copy,
                                   const std::filesystem::path& original) {
    std::vector<std::string> lines = RunCli({"convert", "--template", Arg(kTemplate), Arg(copy)});
    const std::string from = DisplayName(copy);
    const std::string to = DisplayName(original);
    for (std::string& line : lines) {
        const std::size_t at = line.find(from);
        if (at != std::string::npos) {
            line.replace(at, from.size(), to);
        }
    }
    return lines;
}

}  // namespace

class ConversionWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void conversionMatchesTheCommandLine();
};

void ConversionWindowTest::conversionMatchesTheCommandLine() {
    QVERIFY2(std::filesystem::is_regular_file(kTemplate), kTemplate.c_str());
    TempDir dir;
    const std::filesystem::path xex = dir / "xex";
    std::filesystem::create_directories(xex);
    WriteXex(xex / "ARCHON.XEX", 9000);
    WriteXex(xex / "tiny.xex", 100);
    WriteXex(xex / "GAME.V2.XEX", 128);
    WriteXex(xex / "huge.xex", 200000);
    WriteImages(xex, {{"OTHER.ATR", ImageKind::Good128}});
    CopyDirectory(xex, dir / "copy");
    WindowHarness h(xex);
    const MainControls& c = h.controls();
    h.Trigger("XEXmenu");
    QCOMPARE(c.source_count->text(), QStringLiteral("4"));

    c.Cmd_start_conversion->click();
    QCOMPARE(h.ReportLines(), CliReport(dir / "copy", xex));
    QCOMPARE(Snapshot(xex), Snapshot(dir / "copy"));
    QVERIFY(std::filesystem::exists(xex / "ARCHON.ATR") &&
            std::filesystem::exists(xex / "GAME.ATR"));
    // The file list of the converter still shows the XEX files only.
    QCOMPARE(c.source_count->text(), QStringLiteral("4"));
    QVERIFY(!h.state.repair_mode);

    // A second run skips the images that exist now; a pick jumps to a file's block.
    c.Cmd_start_conversion->click();
    QCOMPARE(h.ReportLines(), CliReport(dir / "copy", xex));
    const std::vector<std::string> lines = h.ReportLines();
    for (std::int64_t file = 1; file <= 4; ++file) {
        const std::string& first = lines.at(static_cast<std::size_t>(h.state.FileReportLine(file)));
        QCOMPARE(first.substr(0, 10), std::string("Read    : "));
    }
    const std::int64_t game = h.state.FileReportLine(2);
    QCOMPARE(lines.at(static_cast<std::size_t>(game) + 2),
             std::string("ERROR   : Skipping conversion - file already exists"));
    QSignalSpy selections(c.reportlst->selectionModel(), &QItemSelectionModel::currentChanged);
    c.source_file->Select(1);
    QCOMPARE(CurrentRows(selections),
             (std::vector<std::int64_t>{h.state.FileReportLine(3) - 2, game}));
}

QTEST_MAIN(ConversionWindowTest)
#include "conversion_window_test.moc"
