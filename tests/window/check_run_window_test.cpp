// Runs started from the window's buttons, against the command-line tool's report line for
// line and its files byte for byte; questions through real message boxes; the jump from
// a picked file name to its report block and the conditions under which it stays put.
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

// Tells whether a widget was painted while it was disabled.
struct PaintedDisabled : QObject {
    bool seen = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        seen |= event->type() == QEvent::Paint && !static_cast<QWidget*>(watched)->isEnabled();
        return false;
    }
};

}  // namespace

class CheckRunWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void runMatchesTheCommandLine();
    void repairQuestionsThroughMessageBoxes();
    void generationAndMissingTemplate();
    void pickJumpsToTheBlock();
};

void CheckRunWindowTest::runMatchesTheCommandLine() {
    TempDir dir;
    std::filesystem::copy(kSamples, dir / "disks");
    WriteFile(dir / "disks" / "caf\xE9.atr", ReadFile(kSamples / "TOO_LONG.ATR"));  // not UTF-8
    std::filesystem::copy(dir / "disks", dir / "copy");
    WindowHarness h(dir / "disks");
    const MainControls& c = h.controls();
    for (const auto& [layout, expand, cli] :
         {std::tuple{c.Opt_short, false, "check --layout short --no-min-size"},
          {c.Opt_long, true, "check --layout long --min-size"},
          {c.Opt_both, true, "check"}}) {
        layout->setChecked(true);
        c.chk_expand_images->setChecked(expand);
        c.cmd_start_test->click();
        QCOMPARE(h.ReportLines(), RunCli(cli, dir / "copy"));
        // Lines as long as the "Info" lines fit without scrolling sideways.
        QVERIFY(!c.reportlst->horizontalScrollBar()->isVisible());
    }
    QCOMPARE(Snapshot(dir / "disks"), Snapshot(dir / "copy"));
}

void CheckRunWindowTest::repairQuestionsThroughMessageBoxes() {
    TempDir dir;
    CopySamples(
        dir / "disks",
        {{"GAME.ATR", "GOOD.ATR"}, {"TOO_LONG.ATR", "LONG.ATR"}, {"SECTOR512.ATR", "SECT.ATR"}});
    std::filesystem::copy(dir / "disks", dir / "copy");
    WindowHarness h(dir / "disks");
    h.window().SetPrompt(nullptr);
    // LONG.ATR: the close box counts as Cancel; SECT.ATR: Yes by Enter. While a box asks,
    // the file list shows the image asked about and the report's last line is selected.
    const MainControls& c = h.controls();
    MessageBoxAnswerer answerer({QMessageBox::NoButton, QMessageBox::Yes}, [&c] {
        const bool last = c.reportlst->SelectedLine() == c.reportlst->LineCount() - 1;
        return " / " + c.source_file->currentIndex().data().toString() + (last ? " last" : "");
    });
    c.cmd_start_repair->click();
    QCOMPARE(answerer.seen,
             QStringList({"LONG.ATR is invalid: <YES> adapt physical file length - <NO> adapt "
                          "header file length info? / LONG.ATR last",
                          "Set SECT.ATRsector size: <YES> 128 bytes /sector - <NO> 256 bytes / "
                          "sector? / SECT.ATR last"}));
    QCOMPARE(h.ReportLines(), RunCli("repair --fix-length skip --sector-size 128", dir / "copy"));
    QCOMPARE(Snapshot(dir / "disks"), Snapshot(dir / "copy"));
    // The backup is listed and counted.
    QVERIFY(RowInView(c.reportlst, c.reportlst->LineCount() - 1));  // the summary
    QVERIFY(h.FileListEntries().contains("SECT_org.atr"));
}

void CheckRunWindowTest::generationAndMissingTemplate() {
    TempDir dir;
    std::filesystem::create_directories(dir / "copy");
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    h.Trigger("Generatemenu");
    c.Combo_no_of_sectors->setCurrentText("1440");
    c.Combo_byte_per_sector->setCurrentText("256");
    c.Txt_filename->setText("WORK");
    c.Cmd_generation->click();
    QCOMPARE(h.ReportLines(),
             (std::vector<std::string>{DisplayName(dir / "WORK.ATR"), "successfully generated"}));
    RunCli("generate --sector-size 256 --sectors 1440 --name WORK", dir / "copy");
    QCOMPARE(ReadFile(dir / "WORK.ATR"), ReadFile(dir / "copy" / "WORK.ATR"));
    // The new image is listed and counted; the check buttons follow the count.
    QVERIFY(h.FileListEntries() == QStringList{"WORK.ATR"} && c.cmd_start_test->isEnabled());

    // This test program has no template disk beside it, only the current directory has
    // one: the converter says so in a box. It is no repair run, whatever ran before.
    h.window().SetPrompt(nullptr);
    WriteFile(dir / "game.xex", Bytes(400, 0xFF));
    WriteFile(dir / "KELDRIX.ATR", Bytes(16));
    h.Trigger("XEXmenu");
    MessageBoxAnswerer answerer({QMessageBox::Ok}, [] { return QString(); });
    h.state.repair_mode = true;
    c.Cmd_start_conversion->click();
    QCOMPARE(answerer.seen,
             QStringList{"ERROR: Can not find required KELDRIX.ATR file at install directory"});
    QCOMPARE(Snapshot(dir.path()).size(), std::size_t{4});  // nothing written
    QVERIFY(!h.state.repair_mode);
}

void CheckRunWindowTest::pickJumpsToTheBlock() {
    TempDir dir;
    CopySamples(dir.path(),
                {{"GAME.ATR", "A.atr"}, {"ODD_LAYOUT.ATR", "B.atr"}, {"DOUBLE_LONG.ATR", "C.atr"}});
    for (const char* name : {"1.xex", "2.xex", "3.xex", "4.xex", "5.xex"}) {
        WriteFile(dir / name, Bytes(300, 0xFF));
    }
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    ReportList* report = c.reportlst;
    // The window shows the run's start at once: its controls greyed.
    PaintedDisabled painted;
    c.cmd_start_test->installEventFilter(&painted);
    c.cmd_start_test->click();
    QVERIFY(painted.seen);
    // Nine rows of the report in view; a pick selects the block's first line, with the
    // block in view down to its verdict.
    report->scrollToTop();
    QVERIFY(RowInView(report, 8));
    for (const auto& [row, first, last] : {std::tuple{0, 0, 5}, {2, 17, 23}, {1, 7, 15}}) {
        h.Pick(row);
        QCOMPARE(report->SelectedLine(), first);
        QVERIFY(RowInView(report, first) && RowInView(report, last));
    }
    // The engine's own selections, shown when the window is brought up to date after its
    // file loop, are no picks.
    c.source_file->SelectLater(0);
    h.window().SyncRunDisplay();
    QCOMPARE(report->SelectedLine(), 7);
    // The converter lists more files than the report has blocks: those jump nowhere, even
    // where an earlier, longer run left its line numbers.
    h.state.SetFileReportLine(5, 20);
    h.Trigger("XEXmenu");
    h.Pick(1);
    QCOMPARE(report->SelectedLine(), 7);
    h.Pick(3);
    QCOMPARE(report->SelectedLine(), 7);

    // No jump after a repair run (the list holds backups now), in the generator, while
    // an engine runs, or after a change of directory has emptied the report.
    const auto no_jump = [&] {
        const std::int64_t selected = report->SelectedLine();
        h.Pick(1);
        QCOMPARE(report->SelectedLine(), selected);
    };
    h.Trigger("ATRmenu");
    c.cmd_start_repair->click();
    no_jump();
    c.cmd_start_test->click();
    h.Trigger("Generatemenu");
    no_jump();
    h.Trigger("ATRmenu");
    h.state.engine_running = true;
    no_jump();
    h.state.engine_running = false;
    h.window().OpenDirectory(dir.path().parent_path());
    h.window().OpenDirectory(dir.path());
    no_jump();
    c.cmd_start_test->click();
    h.Pick(1);
    QCOMPARE(report->SelectedLine(), 7);
}

QTEST_MAIN(CheckRunWindowTest)
#include "check_run_window_test.moc"
