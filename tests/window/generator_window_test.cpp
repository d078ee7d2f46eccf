// The generator in the window: its lists and the size they show, images written like
// the command-line tool writes them; and the converter without its template disk.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "file_list_view.h"
#include "message_box_answerer.h"
#include "program_location.h"
#include "report_list.h"
#include "report_text.h"
#include "window_fixtures.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

void Choose(QComboBox* combo, const QString& item) {
    combo->setCurrentIndex(combo->findText(item));
}

}  // namespace

class GeneratorWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void sizeFollowsTheChoice_data();
    void sizeFollowsTheChoice();
    void generationWritesTheImageLikeTheCommandLine();
    void takenOrEmptyNameWritesNothing();
    void converterWithoutItsTemplateSaysSo();
};

void GeneratorWindowTest::sizeFollowsTheChoice_data() {
    QTest::addColumn<QString>("sectors");
    QTest::addColumn<QString>("sector_size");
    QTest::addColumn<QString>("size");
    QTest::newRow("720 x 256, short layout") << "720"
                                             << "256"
                                             << "183952";
    QTest::newRow("1040 x 128") << "1040"
                                << "128"
                                << "133136";
    QTest::newRow("65535 x 256") << "65535"
                                 << "256"
                                 << "16776592";
    QTest::newRow("256 x 128") << "256"
                               << "128"
                               << "32784";
}

void GeneratorWindowTest::sizeFollowsTheChoice() {
    QFETCH(QString, sectors);
    QFETCH(QString, sector_size);
    QFETCH(QString, size);
    TempDir dir;
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    h.Trigger("Generatemenu");
    Choose(c.Combo_no_of_sectors, sectors);
    Choose(c.Combo_byte_per_sector, sector_size);
    QCOMPARE(c.Txt_image_size->text(), size);
    // Away to another tool and back: the same choice, the same size.
    h.Trigger("XEXmenu");
    h.Trigger("Generatemenu");
    QCOMPARE(c.Txt_image_size->text(), size);
}

void GeneratorWindowTest::generationWritesTheImageLikeTheCommandLine() {
    TempDir dir;
    std::filesystem::create_directories(dir / "disks");
    std::filesystem::create_directories(dir / "copy");
    WindowHarness h(dir / "disks");
    const MainControls& c = h.controls();
    h.Trigger("Generatemenu");
    Choose(c.Combo_no_of_sectors, "1440");
    Choose(c.Combo_byte_per_sector, "256");
    c.Txt_filename->setText(QStringLiteral("WORK"));
    h.state.repair_mode = true;
    QCOMPARE(c.source_count->text(), QStringLiteral("0"));

    c.Cmd_generation->click();
    const std::filesystem::path image = dir / "disks" / "WORK.ATR";
    QCOMPARE(h.ReportLines(),
             (std::vector<std::string>{DisplayName(image), "successfully generated"}));
    QCOMPARE(c.reportlst->SelectedLine(), 1);
    RunCli({"generate", "--sector-size", "256", "--sectors", "1440", "--name", "WORK",
            Arg(dir / "copy")});
    QCOMPARE(ReadFile(image), ReadFile(dir / "copy" / "WORK.ATR"));

    // The new image is listed and counted; the check buttons follow the count.
    QCOMPARE(c.source_count->text(), QStringLiteral("1"));
    QCOMPARE(h.FileListEntries(), QStringList{"WORK.ATR"});
    QVERIFY(c.cmd_start_test->isEnabled() && c.Cmd_generation->isEnabled());
    QCOMPARE(c.ProgressBar1->value(), 0);
    QVERIFY(h.state.repair_mode);
}

void GeneratorWindowTest::takenOrEmptyNameWritesNothing() {
    TempDir dir;
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    h.Trigger("Generatemenu");
    c.Cmd_generation->click();
    const Bytes first = ReadFile(dir / "NEWFILE.ATR");
    QCOMPARE(first.size(), std::size_t{92176});

    for (const char* name : {"NEWFILE", ""}) {
        c.Txt_filename->setText(QString::fromLatin1(name));
        c.Cmd_generation->click();
        QCOMPARE(h.ReportLines(),
                 std::vector<std::string>{"ERROR: File already exists or empty filename"});
        QCOMPARE(ReadFile(dir / "NEWFILE.ATR"), first);
        QCOMPARE(Snapshot(dir.path()).size(), std::size_t{1});
    }
}

void GeneratorWindowTest::converterWithoutItsTemplateSaysSo() {
    // This test program has no template disk beside it.
    QVERIFY(!std::filesystem::exists(ProgramDirectory() / "KELDRIX.ATR"));
    TempDir dir;
    WriteXex(dir / "game.xex", 400);
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    h.window().SetPrompt(nullptr);
    h.Trigger("XEXmenu");
    c.cmd_start_test->click();
    QVERIFY(c.reportlst->LineCount() > 0);

    MessageBoxAnswerer answerer({QMessageBox::Ok});
    c.Cmd_start_conversion->click();
    QCOMPARE(answerer.seen().size(), std::size_t{1});
    const auto& box = answerer.seen()[0];
    QCOMPARE(box.title, QStringLiteral("ERROR"));
    QCOMPARE(box.text,
             QStringLiteral("Can not find required KELDRIX.ATR file at install directory"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // The report was cleared, nothing was written, the window is idle as before.
    QCOMPARE(c.reportlst->LineCount(), 0);
    QCOMPARE(Snapshot(dir.path()).size(), std::size_t{1});
    QVERIFY(c.Cmd_start_conversion->isEnabled() && c.source_file->isEnabled());
    QVERIFY(!h.state.repair_mode);
}

QTEST_MAIN(GeneratorWindowTest)
#include "generator_window_test.moc"
