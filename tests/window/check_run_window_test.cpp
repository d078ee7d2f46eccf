// Check and repair runs started from the window's buttons: the report matches the
// command-line tool's line for line, questions go through real message boxes and
// through answers given ahead, the controls come back as they were, and a pick in the
// file list jumps to that file's block of the report.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <array>
#include <functional>

#include "directory_list.h"
#include "file_list_view.h"
#include "image_builder.h"
#include "message_box_answerer.h"
#include "report_list.h"
#include "window_fixtures.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

// Every kind of fault, an image under the minimum size and a name that is not UTF-8.
void WriteMixedImages(const std::filesystem::path& directory) {
    WriteImages(directory, {{"ARCHON.ATR", ImageKind::Good128},
                            {"BOULDER.ATR", ImageKind::WrongIdentifier},
                            {"DEMO.ATR", ImageKind::Long256},
                            {"MULE.ATR", ImageKind::TooLong},
                            {"odd.atr", ImageKind::OddLayout256},
                            {"SECTOR.ATR", ImageKind::BadSectorSize},
                            {"tiny.atr", ImageKind::TooShort},
                            {"zz_org.atr", ImageKind::TooLong},
                            {std::string("caf\xE9.atr"), ImageKind::WrongIdentifier}});
    WriteFile(directory / "small.atr", ImageBuilder().StatedLength(512).Build());
}

// Three images whose report blocks are 7, 9 and 7 lines long.
void WriteBlocks797(const std::filesystem::path& directory, ImageKind middle) {
    WriteImages(directory,
                {{"A.atr", ImageKind::Good128}, {"B.atr", middle}, {"C.atr", ImageKind::Good128}});
}

// The real file system, with a look at each file as it is read.
class ReadHookFileSystem final : public FileSystem {
  public:
    std::function<void(const std::filesystem::path&)> on_read;

    FsStatus List(const std::filesystem::path& directory,
                  std::vector<DirectoryEntry>& entries) override {
        return real_.List(directory, entries);
    }
    ReadResult ReadWhole(const std::filesystem::path& path, std::int64_t max_length) override {
        if (on_read) {
            on_read(path);
        }
        return real_.ReadWhole(path, max_length);
    }
    bool Exists(const std::filesystem::path& path) override { return real_.Exists(path); }
    bool IsRegularFile(const std::filesystem::path& path) override {
        return real_.IsRegularFile(path);
    }
    CreateResult CreateExclusive(const std::filesystem::path& path) override {
        return real_.CreateExclusive(path);
    }
    FsStatus RenameNoReplace(const std::filesystem::path& from,
                             const std::filesystem::path& to) override {
        return real_.RenameNoReplace(from, to);
    }
    FsStatus Remove(const std::filesystem::path& path) override { return real_.Remove(path); }

  private:
    PosixFileSystem real_;
};

bool RowInView(ReportList* report, std::int64_t row) {
    const QRect place = report->visualRect(report->model()->index(static_cast<int>(row), 0));
    return report->viewport()->rect().contains(place);
}

}  // namespace

class CheckRunWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void runMatchesTheCommandLine_data();
    void runMatchesTheCommandLine();
    void emptyDirectoryGivesOnlyTheSummary();
    void repairQuestionsThroughMessageBoxes();
    void enginesOwnSelectionsAreNoPicks();
    void pickJumpsToTheBlock();
    void noJumpAfterRepairInGeneratorOrOnEmptyReport();
};

void CheckRunWindowTest::runMatchesTheCommandLine_data() {
    QTest::addColumn<bool>("repair");
    QTest::addColumn<int>("layout");  // both, short, long
    QTest::addColumn<bool>("expand");
    QTest::addColumn<QString>("cli");
    QTest::newRow("check") << false << 0 << true << "check";
    QTest::newRow("short, no minimum")
        << false << 1 << false << "check --layout short --no-min-size";
    QTest::newRow("long") << false << 2 << true << "check --layout long --min-size";
    // The answers given ahead below, as the command line states them.
    QTest::newRow("repair") << true << 0 << true
                            << "repair --sector-size 256 --fix-length file --fix-layout add "
                               "--overwrite-backup no";
}

void CheckRunWindowTest::runMatchesTheCommandLine() {
    QFETCH(bool, repair);
    QFETCH(int, layout);
    QFETCH(bool, expand);
    QFETCH(QString, cli);
    TempDir dir;
    WriteMixedImages(dir / "disks");
    CopyDirectory(dir / "disks", dir / "copy");
    WindowHarness h(dir / "disks");
    const MainControls& c = h.controls();
    h.prompt.Answer(PromptTopic::SectorSize, PromptAnswer::No);
    h.prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    h.prompt.Answer(PromptTopic::Layout, PromptAnswer::Yes);
    h.prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::No);
    std::array{c.Opt_both, c.Opt_short, c.Opt_long}[layout]->setChecked(true);
    c.chk_expand_images->setChecked(expand);
    const QStringList files = h.FileListEntries();
    QVERIFY(files.contains(QStringLiteral("caf\\xE9.atr")));

    (repair ? c.cmd_start_repair : c.cmd_start_test)->click();
    const std::vector<std::string> lines = h.ReportLines();
    QCOMPARE(lines, RunCli(cli.split(' ') << Arg(dir / "copy")));
    const std::int64_t count = files.size();
    QCOMPARE(h.state.last_run_count, count);
    for (std::int64_t i = 1; i <= count; ++i) {
        const std::string& first = lines.at(static_cast<std::size_t>(h.state.FileReportLine(i)));
        QCOMPARE(first, "Read  : " + files[static_cast<int>(i - 1)].toStdString());
    }
    // The run leaves the window idle: controls back, progress at 0, a check run's last
    // line selected, and the directory listed anew with no file selected.
    QVERIFY(!h.state.engine_running);
    QCOMPARE(c.ProgressBar1->value(), 0);
    for (const QWidget* control : std::initializer_list<const QWidget*>{
             c.cmd_start_test, c.cmd_start_repair, c.source_path, c.source_file, c.source_dir,
             c.source_drive, c.chk_expand_images}) {
        QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    }
    if (!repair) {
        QCOMPARE(c.reportlst->SelectedLine(), static_cast<std::int64_t>(lines.size()) - 1);
    }
    QCOMPARE(c.source_file->SelectedIndex(), -1);
    // Same images, same backups, nothing else left behind; backups are listed and counted.
    QCOMPARE(Snapshot(dir / "disks"), Snapshot(dir / "copy"));
    QCOMPARE(c.source_count->text(), QString::number(c.source_file->Count()));
    QCOMPARE(h.FileListEntries().contains(QStringLiteral("MULE_org.atr")), repair);
}

void CheckRunWindowTest::emptyDirectoryGivesOnlyTheSummary() {
    TempDir dir;
    WindowHarness h(dir.path());
    // The buttons are disabled in an empty directory; the handler still runs the engine.
    h.window().cmd_start_test_Click();
    QCOMPARE(h.ReportLines(), RunCli({"check", Arg(dir.path())}));
    QCOMPARE(h.ReportLines().at(5), std::string("No invalid ATR-files found"));
}

void CheckRunWindowTest::repairQuestionsThroughMessageBoxes() {
    TempDir dir;
    WriteImages(dir / "disks", {{"GOOD.ATR", ImageKind::Good128},
                                {"LONG.ATR", ImageKind::TooLong},
                                {"SECT.ATR", ImageKind::BadSectorSize}});
    CopyDirectory(dir / "disks", dir / "copy");
    WindowHarness h(dir / "disks");
    h.window().SetPrompt(nullptr);

    // LONG.ATR: the box closed through its close box counts as Cancel. SECT.ATR: Yes.
    // While a box asks, the file list shows the image asked about, and the report its
    // lines up to the question, the last one selected.
    const MainControls& c = h.controls();
    MessageBoxAnswerer answerer({QMessageBox::NoButton, QMessageBox::Yes}, [&c] {
        const bool last = c.reportlst->SelectedLine() == c.reportlst->model()->rowCount() - 1;
        return c.source_file->currentIndex().data().toString() + (last ? " last" : " elsewhere");
    });
    c.cmd_start_repair->click();

    QCOMPARE(answerer.seen().size(), std::size_t{2});
    const auto& length = answerer.seen()[0];
    QCOMPARE(length.title, QStringLiteral("LONG.ATR is invalid"));
    QCOMPARE(
        length.text,
        QStringLiteral("<YES> adapt physical file length - <NO> adapt header file length info?"));
    QCOMPARE(length.icon, QMessageBox::Question);
    QCOMPARE(length.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(length.default_button, QMessageBox::Yes);
    QCOMPARE(length.window_state, QStringLiteral("LONG.ATR last"));
    const auto& sector = answerer.seen()[1];
    QCOMPARE(sector.title, QStringLiteral("Set SECT.ATRsector size"));
    QCOMPARE(sector.text, QStringLiteral("<YES> 128 bytes /sector - <NO> 256 bytes / sector?"));
    QCOMPARE(sector.window_state, QStringLiteral("SECT.ATR last"));

    QCOMPARE(h.ReportLines(),
             RunCli({"repair", "--fix-length", "skip", "--sector-size", "128", Arg(dir / "copy")}));
    QCOMPARE(Snapshot(dir / "disks"), Snapshot(dir / "copy"));
}

void CheckRunWindowTest::enginesOwnSelectionsAreNoPicks() {
    // While the third image is read, the first file's block is complete in the report:
    // a selection in the file list at that moment must not jump to it.
    TempDir dir;
    WriteBlocks797(dir.path(), ImageKind::Good128);
    CurrentDirectory current(dir.path());
    ProgramState state;
    ReadHookFileSystem fs;
    MainWindow window(state, fs);
    window.Form_Load();
    window.show();
    const MainControls& c = window.controls();
    // A run before, so that the recorded blocks stand for the three files.
    c.cmd_start_test->click();
    QSignalSpy selections(c.reportlst->selectionModel(), &QItemSelectionModel::currentChanged);
    qsizetype changes_during_pick = -1;
    fs.on_read = [&](const std::filesystem::path& path) {
        if (path.filename() == "C.atr") {
            const qsizetype before = selections.size();
            c.source_file->Select(0);
            changes_during_pick = selections.size() - before;
        }
    };
    c.cmd_start_test->click();
    QCOMPARE(changes_during_pick, 0);
    QCOMPARE(c.reportlst->SelectedLine(), c.reportlst->LineCount() - 1);
    // The engine's selections are shown when the window is brought up to date, which
    // may happen after its file loop: they still are no picks.
    c.source_file->SelectLater(0);
    window.SyncRunDisplay();
    QCOMPARE(c.source_file->SelectedIndex(), 0);
    QCOMPARE(c.reportlst->SelectedLine(), c.reportlst->LineCount() - 1);
    // Once the run is over, a selection is a pick.
    c.source_file->Select(1);
    QCOMPARE(c.reportlst->SelectedLine(), 7);
}

void CheckRunWindowTest::pickJumpsToTheBlock() {
    TempDir dir;
    WriteBlocks797(dir.path(), ImageKind::OddLayout256);
    for (const char* name : {"1.xex", "2.xex", "3.xex", "4.xex", "5.xex"}) {
        WriteXex(dir / name, 300);
    }
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    c.cmd_start_test->click();
    QSignalSpy selections(c.reportlst->selectionModel(), &QItemSelectionModel::currentChanged);
    // The lower end of the block (but for its empty line) first, then its first line,
    // both in view; the first again scrolls back up.
    const std::vector<std::vector<std::int64_t>> jumps = {{5, 0}, {14, 7}, {21, 16}};
    for (const int row : {1, 2, 0}) {
        selections.clear();
        h.Pick(row);
        QCOMPARE(CurrentRows(selections), jumps[row]);
        QVERIFY(RowInView(c.reportlst, jumps[row][0]) && RowInView(c.reportlst, jumps[row][1]));
    }
    QCOMPARE(h.ReportLines().at(7), std::string("Read  : B.atr"));

    // The converter lists more files than the report has blocks: those jump nowhere.
    h.Trigger("XEXmenu");
    QCOMPARE(c.source_count->text(), QStringLiteral("5"));
    selections.clear();
    h.Pick(2);
    QCOMPARE(CurrentRows(selections), jumps[2]);
    selections.clear();
    h.Pick(3);
    h.Pick(4);
    QVERIFY(selections.isEmpty());
    QCOMPARE(c.reportlst->SelectedLine(), 16);
}

void CheckRunWindowTest::noJumpAfterRepairInGeneratorOrOnEmptyReport() {
    TempDir dir;
    WriteBlocks797(dir / "disks", ImageKind::TooLong);
    std::filesystem::create_directories(dir / "empty");
    WindowHarness h(dir / "disks");
    const MainControls& c = h.controls();

    // After a repair run the list holds the backup and no longer matches the blocks.
    h.prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    c.cmd_start_repair->click();
    const std::int64_t selected = c.reportlst->SelectedLine();
    QSignalSpy selections(c.reportlst->selectionModel(), &QItemSelectionModel::currentChanged);
    for (int row = 0; row < 4; ++row) {
        h.Pick(row);
    }
    QVERIFY(selections.isEmpty());
    QCOMPARE(c.reportlst->SelectedLine(), selected);

    // In the generator the report may be anybody's: no jumps.
    c.cmd_start_test->click();
    h.Trigger("Generatemenu");
    selections.clear();
    h.Pick(1);
    QVERIFY(selections.isEmpty());
    h.Trigger("ATRmenu");
    h.Pick(1);
    QVERIFY(!selections.isEmpty());

    // A change of directory empties the report: nothing to jump to.
    h.window().OpenDirectory(dir / "empty");
    h.window().OpenDirectory(dir / "disks");
    QCOMPARE(c.reportlst->LineCount(), 0);
    selections.clear();
    h.Pick(1);
    QVERIFY(selections.isEmpty());
}

QTEST_MAIN(CheckRunWindowTest)
#include "check_run_window_test.moc"
