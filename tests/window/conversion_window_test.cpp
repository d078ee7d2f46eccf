// Conversion runs started from the window, with the template disk beside this test
// program as it lies beside the installed one: the report matches the command-line
// tool's, the images are the same, and a pick jumps to a file's block.
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

const std::filesystem::path kTemplate = ProgramDirectory() / "KELDRIX.ATR";

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
    WriteFile(xex / "ARCHON.XEX", Bytes(9000, 0xFF));
    WriteFile(xex / "tiny.xex", Bytes(100, 0xFF));
    WriteFile(xex / "GAME.V2.XEX", Bytes(128, 0xFF));
    WriteFile(xex / "huge.xex", Bytes(200000, 0xFF));
    CopySamples(xex, {{"GAME.ATR", "OTHER.ATR"}, {"GAME.ATR", "tiny.atr"}});
    std::filesystem::copy(xex, dir / "before");
    WindowHarness h(xex);
    const MainControls& c = h.controls();
    h.Trigger("XEXmenu");
    h.state.repair_mode = true;  // as a repair run before leaves it
    c.Cmd_start_conversion->click();
    // The command-line tool over the same directory as it was before.
    std::filesystem::rename(xex, dir / "window");
    std::filesystem::rename(dir / "before", xex);
    QCOMPARE(h.ReportLines(),
             RunCli("convert --template " + QString::fromStdString(kTemplate), xex));
    QCOMPARE(Snapshot(dir / "window"), Snapshot(xex));
    // A pick jumps to a file's block.
    c.source_file->Select(1);
    QCOMPARE(c.reportlst->Line(c.reportlst->SelectedLine()),
             QStringLiteral("Read    : GAME.V2.XEX"));
}

QTEST_MAIN(ConversionWindowTest)
#include "conversion_window_test.moc"
