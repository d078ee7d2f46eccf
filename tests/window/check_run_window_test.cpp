// Check and repair runs started from the window's buttons: the report matches the
// command-line tool's line for line, questions go through real message boxes and
// through answers given ahead, and the controls come back as they were.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
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

const std::vector<FixtureFile> kMixedImages = {
    {"ARCHON.ATR", ImageKind::Good128},   {"BOULDER.ATR", ImageKind::WrongIdentifier},
    {"DEMO.ATR", ImageKind::Long256},     {"MULE.ATR", ImageKind::TooLong},
    {"odd.atr", ImageKind::OddLayout256}, {"SECTOR.ATR", ImageKind::BadSectorSize},
    {"tiny.atr", ImageKind::TooShort},    {"zz_org.atr", ImageKind::TooLong},
};

std::vector<std::int64_t> SelectedRows(const QSignalSpy& spy) {
    std::vector<std::int64_t> rows;
    for (const QList<QVariant>& change : spy) {
        rows.push_back(change.at(0).toModelIndex().row());
    }
    return rows;
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

// Picks an entry of the file list with the mouse.
void Pick(const MainControls& c, int row) {
    FileListView* files = c.source_file;
    const QRect place = files->visualRect(files->model()->index(row, 0));
    QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
}

bool RowInView(ReportList* report, std::int64_t row) {
    const QRect place = report->visualRect(report->model()->index(static_cast<int>(row), 0));
    return report->viewport()->rect().contains(place);
}

}  // namespace

class CheckRunWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void testRunMatchesTheCommandLine();
    void layoutOptionAndCheckBoxReachTheEngine();
    void repairRunMatchesTheCommandLine();
    void repairQuestionsThroughMessageBoxes();
    void emptyDirectoryGivesOnlyTheSummary();
    void fileNamesThatAreNotUtf8();
    void enginesOwnSelectionsAreNoPicks();
    void pickJumpsToTheBlock();
    void noJumpAfterRepairInGeneratorOrOnEmptyReport();
    void converterListLongerThanTheReport();
};

void CheckRunWindowTest::testRunMatchesTheCommandLine() {
    TempDir dir;
    WriteImages(dir / "disks", kMixedImages);
    CopyDirectory(dir / "disks", dir / "copy");
    WindowHarness h(dir / "disks");
    const MainControls& c = h.controls();

    c.cmd_start_test->click();
    const std::vector<std::string> window_lines = h.ReportLines();
    QCOMPARE(window_lines, RunCli({"check", QString::fromStdString((dir / "copy").native())}));

    const std::int64_t count = static_cast<std::int64_t>(kMixedImages.size());
    QCOMPARE(h.state.last_run_count, count);
    for (std::int64_t i = 1; i <= count; ++i) {
        const std::string& first =
            window_lines[static_cast<std::size_t>(h.state.FileReportLine(i))];
        QCOMPARE(first, "Read  : " + kMixedImages[static_cast<std::size_t>(i - 1)].name);
    }
    QCOMPARE(window_lines[static_cast<std::size_t>(h.state.FileReportLine(count + 1))],
             std::string());
    // The run leaves the window idle: controls back, progress at 0, the hint selected.
    QVERIFY(!h.state.engine_running);
    QCOMPARE(c.ProgressBar1->value(), 0);
    QCOMPARE(c.ProgressBar1->maximum(), static_cast<int>(count));
    const std::vector<const QWidget*> locked = {
        c.cmd_start_test, c.cmd_start_repair, c.source_path,      c.source_file,
        c.source_dir,     c.source_drive,     c.chk_expand_images};
    for (const QWidget* control : locked) {
        QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    }
    QCOMPARE(c.reportlst->SelectedLine(), static_cast<std::int64_t>(window_lines.size()) - 1);
    // Listing the directory anew at the end leaves no file selected.
    QCOMPARE(c.source_file->SelectedIndex(), -1);
}

void CheckRunWindowTest::layoutOptionAndCheckBoxReachTheEngine() {
    TempDir dir;
    WriteImages(dir / "disks", kMixedImages);
    WriteFile(dir / "disks" / "small.atr", ImageBuilder().StatedLength(512).Build());
    CopyDirectory(dir / "disks", dir / "copy");
    WindowHarness h(dir / "disks");
    const MainControls& c = h.controls();
    const QString copy = QString::fromStdString((dir / "copy").native());

    c.Opt_short->setChecked(true);
    c.chk_expand_images->setChecked(false);
    c.cmd_start_test->click();
    QCOMPARE(h.ReportLines(), RunCli({"check", "--layout", "short", "--no-min-size", copy}));

    c.Opt_long->setChecked(true);
    c.chk_expand_images->setChecked(true);
    c.cmd_start_test->click();
    QCOMPARE(h.ReportLines(), RunCli({"check", "--layout", "long", "--min-size", copy}));
}

void CheckRunWindowTest::repairRunMatchesTheCommandLine() {
    TempDir dir;
    WriteImages(dir / "disks", kMixedImages);
    CopyDirectory(dir / "disks", dir / "copy");
    WindowHarness h(dir / "disks");
    h.prompt.Answer(PromptTopic::SectorSize, PromptAnswer::No);
    h.prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    h.prompt.Answer(PromptTopic::Layout, PromptAnswer::Yes);
    h.prompt.Answer(PromptTopic::OverwriteBackup, PromptAnswer::No);

    h.controls().cmd_start_repair->click();
    QVERIFY(!h.prompt.asked().empty());
    QCOMPARE(h.ReportLines(), RunCli({"repair", "--sector-size", "256", "--fix-length", "file",
                                      "--fix-layout", "add", "--overwrite-backup", "no",
                                      QString::fromStdString((dir / "copy").native())}));
    // Same images, same backups, nothing else left behind.
    QCOMPARE(Snapshot(dir / "disks"), Snapshot(dir / "copy"));
    // The backups now stand in the file list and its count.
    QCOMPARE(h.controls().source_count->text(), QString::number(h.controls().source_file->Count()));
    QVERIFY(h.FileListEntries().contains(QStringLiteral("MULE_org.atr")));
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
        const QModelIndex file = c.source_file->currentIndex();
        const bool last_selected =
            c.reportlst->SelectedLine() == c.reportlst->model()->rowCount() - 1;
        return file.data().toString() + (last_selected ? " last line" : " elsewhere");
    });
    h.controls().cmd_start_repair->click();

    QCOMPARE(answerer.seen().size(), std::size_t{2});
    const auto& length = answerer.seen()[0];
    QCOMPARE(length.title, QStringLiteral("LONG.ATR is invalid"));
    QCOMPARE(
        length.text,
        QStringLiteral("<YES> adapt physical file length - <NO> adapt header file length info?"));
    QCOMPARE(length.icon, QMessageBox::Question);
    QCOMPARE(length.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(length.default_button, QMessageBox::Yes);
    QCOMPARE(length.window_state, QStringLiteral("LONG.ATR last line"));
    const auto& sector = answerer.seen()[1];
    QCOMPARE(sector.title, QStringLiteral("Set SECT.ATRsector size"));
    QCOMPARE(sector.text, QStringLiteral("<YES> 128 bytes /sector - <NO> 256 bytes / sector?"));
    QCOMPARE(sector.default_button, QMessageBox::Yes);
    QCOMPARE(sector.window_state, QStringLiteral("SECT.ATR last line"));

    QCOMPARE(h.ReportLines(), RunCli({"repair", "--fix-length", "skip", "--sector-size", "128",
                                      QString::fromStdString((dir / "copy").native())}));
    QCOMPARE(Snapshot(dir / "disks"), Snapshot(dir / "copy"));
}

void CheckRunWindowTest::emptyDirectoryGivesOnlyTheSummary() {
    TempDir dir;
    WindowHarness h(dir.path());
    // The buttons are disabled in an empty directory; the handler still runs the engine.
    h.window().cmd_start_test_Click();
    QCOMPARE(h.ReportLines(), RunCli({"check", QString::fromStdString(dir.path().native())}));
    QCOMPARE(h.state.FileReportLine(1), 0);
    QCOMPARE(h.ReportLines().at(5), std::string("No invalid ATR-files found"));
}

void CheckRunWindowTest::fileNamesThatAreNotUtf8() {
    TempDir dir;
    const std::filesystem::path odd = dir / "disks" / std::string("caf\xE9.atr");
    WriteImages(dir / "disks", {{"plain.atr", ImageKind::Good128}});
    WriteFile(odd, MakeImage(ImageKind::WrongIdentifier));
    CopyDirectory(dir / "disks", dir / "copy");
    WindowHarness h(dir / "disks");

    QCOMPARE(h.FileListEntries(), (QStringList{"caf\\xE9.atr", "plain.atr"}));
    h.controls().cmd_start_test->click();
    const std::vector<std::string> lines = h.ReportLines();
    QCOMPARE(lines, RunCli({"check", QString::fromStdString((dir / "copy").native())}));
    QCOMPARE(lines.at(0), std::string("Read  : caf\\xE9.atr"));
    // The image itself was read, not just its name shown.
    QVERIFY(lines.at(2).find("Fail") != std::string::npos);
}

void CheckRunWindowTest::enginesOwnSelectionsAreNoPicks() {
    // While the third image is read, the first file's block is complete in the report:
    // a selection in the file list at that moment must not jump to it.
    TempDir dir;
    WriteImages(dir.path(), {{"A.atr", ImageKind::Good128},
                             {"B.atr", ImageKind::Good128},
                             {"C.atr", ImageKind::Good128}});
    CurrentDirectory current(dir.path());
    ProgramState state;
    ReadHookFileSystem fs;
    MainWindow window(state, fs);
    window.Form_Load();
    window.show();
    ReportList* report = window.controls().reportlst;
    // A run before, so that the recorded blocks stand for the three files.
    window.controls().cmd_start_test->click();
    QSignalSpy selections(report->selectionModel(), &QItemSelectionModel::currentChanged);
    qsizetype changes_during_pick = -1;
    fs.on_read = [&](const std::filesystem::path& path) {
        if (path.filename() == "C.atr") {
            const qsizetype before = selections.size();
            window.controls().source_file->Select(0);
            changes_during_pick = selections.size() - before;
        }
    };
    window.controls().cmd_start_test->click();
    QCOMPARE(changes_during_pick, 0);
    QCOMPARE(report->SelectedLine(), report->LineCount() - 1);
    // The engine's selections are shown when the window is brought up to date, which
    // may happen after its file loop: they still are no picks.
    window.controls().source_file->SelectLater(0);
    window.SyncRunDisplay();
    QCOMPARE(window.controls().source_file->SelectedIndex(), 0);
    QCOMPARE(report->SelectedLine(), report->LineCount() - 1);
    // Once the run is over, a selection is a pick.
    window.controls().source_file->Select(1);
    QCOMPARE(report->SelectedLine(), 7);
}

void CheckRunWindowTest::pickJumpsToTheBlock() {
    TempDir dir;
    WriteImages(dir.path(), {{"A.atr", ImageKind::Good128},
                             {"B.atr", ImageKind::OddLayout256},
                             {"C.atr", ImageKind::Good128}});
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    c.cmd_start_test->click();
    QCOMPARE(h.state.FileReportLine(1), 0);
    QCOMPARE(h.state.FileReportLine(2), 7);
    QCOMPARE(h.state.FileReportLine(3), 16);
    QCOMPARE(h.state.FileReportLine(4), 23);

    QSignalSpy selections(c.reportlst->selectionModel(), &QItemSelectionModel::currentChanged);
    Pick(c, 1);
    QCOMPARE(SelectedRows(selections), (std::vector<std::int64_t>{14, 7}));
    QCOMPARE(h.ReportLines().at(7), std::string("Read  : B.atr"));
    // The block but for its trailing empty line is in view.
    QVERIFY(RowInView(c.reportlst, 7) && RowInView(c.reportlst, 14));

    selections.clear();
    Pick(c, 2);
    QCOMPARE(SelectedRows(selections), (std::vector<std::int64_t>{21, 16}));
    QVERIFY(RowInView(c.reportlst, 16) && RowInView(c.reportlst, 21));

    // Picking the first again scrolls back up.
    selections.clear();
    Pick(c, 0);
    QCOMPARE(SelectedRows(selections), (std::vector<std::int64_t>{5, 0}));
    QVERIFY(RowInView(c.reportlst, 0));
}

void CheckRunWindowTest::noJumpAfterRepairInGeneratorOrOnEmptyReport() {
    TempDir dir;
    WriteImages(dir / "disks", {{"A.atr", ImageKind::Good128},
                                {"B.atr", ImageKind::TooLong},
                                {"C.atr", ImageKind::Good128}});
    std::filesystem::create_directories(dir / "empty");
    WindowHarness h(dir / "disks");
    const MainControls& c = h.controls();

    // After a repair run the list holds the backup and no longer matches the blocks.
    h.prompt.Answer(PromptTopic::FileLength, PromptAnswer::Yes);
    c.cmd_start_repair->click();
    const std::int64_t selected = c.reportlst->SelectedLine();
    QSignalSpy selections(c.reportlst->selectionModel(), &QItemSelectionModel::currentChanged);
    for (int row = 0; row < 4; ++row) {
        Pick(c, row);
    }
    QVERIFY(selections.isEmpty());
    QCOMPARE(c.reportlst->SelectedLine(), selected);

    // In the generator the report may be anybody's: no jumps.
    c.cmd_start_test->click();
    h.window().Generatemenu_Click();
    selections.clear();
    Pick(c, 1);
    QVERIFY(selections.isEmpty());
    h.window().ATRmenu_Click();
    Pick(c, 1);
    QVERIFY(!selections.isEmpty());

    // A change of directory empties the report: nothing to jump to.
    h.window().OpenDirectory(dir / "empty");
    h.window().OpenDirectory(dir / "disks");
    QCOMPARE(c.reportlst->LineCount(), 0);
    selections.clear();
    Pick(c, 1);
    QVERIFY(selections.isEmpty());
}

void CheckRunWindowTest::converterListLongerThanTheReport() {
    TempDir dir;
    WriteImages(dir.path(), {{"A.atr", ImageKind::Good128},
                             {"B.atr", ImageKind::OddLayout256},
                             {"C.atr", ImageKind::Good128}});
    for (const char* name : {"1.xex", "2.xex", "3.xex", "4.xex", "5.xex"}) {
        WriteXex(dir / name, 300);
    }
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    c.cmd_start_test->click();
    h.window().XEXmenu_Click();
    QCOMPARE(c.source_count->text(), QStringLiteral("5"));

    QSignalSpy selections(c.reportlst->selectionModel(), &QItemSelectionModel::currentChanged);
    Pick(c, 2);
    QCOMPARE(SelectedRows(selections), (std::vector<std::int64_t>{21, 16}));
    selections.clear();
    Pick(c, 3);
    Pick(c, 4);
    QVERIFY(selections.isEmpty());
    QCOMPARE(c.reportlst->SelectedLine(), 16);
}

QTEST_MAIN(CheckRunWindowTest)
#include "check_run_window_test.moc"
