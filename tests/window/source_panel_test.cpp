// The source panel and the tool modes: drive, directory and file lists, the chain of
// change handlers, the count and the start buttons, and what a mode switch keeps. The
// About box and the help viewer, with and without the compiled help file.
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "about_box.h"
#include "directory_list.h"
#include "drive_list.h"
#include "file_list_view.h"
#include "help_window.h"
#include "program_location.h"
#include "report_list.h"
#include "report_text.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

const std::filesystem::path kHelpFile = KORVANE_HELP_FILE;

// Opens a directory the way a user does: pick its entry and press Enter.
void Activate(DirectoryList* list, const std::filesystem::path& directory) {
    for (int row = 0; row < list->count(); ++row) {
        list->EntryPath(row) == directory ? list->setCurrentRow(row) : void();
    }
    QTest::keyClick(list, Qt::Key_Return);
}

// How many of the three start buttons of the file tools are usable.
int StartButtonsEnabled(const MainControls& c) {
    return c.cmd_start_test->isEnabled() + c.cmd_start_repair->isEnabled() +
           c.Cmd_start_conversion->isEnabled();
}

}  // namespace

class SourcePanelTest : public QObject {
    Q_OBJECT

  private slots:
    void directoryAndModeChangesRecount();
    void directoryListAndUnreadableDirectory();
    void drivePickMovesToTheVolumeRoot();
    void aboutBoxOpensAndClosesTwice();
    void helpWithoutTheFileNamesThePath();
    void helpOpensTheDefaultPageAndFollowsLinks();
};

void SourcePanelTest::directoryAndModeChangesRecount() {
    TempDir dir;
    CopySamples(dir / "three",
                {{"GAME.ATR", "a.atr"}, {"TINY.ATR", "b.atr"}, {"GAME.ATR", "c.ATR"}});
    WriteFile(dir / "x.xex", Bytes(200, 0xFF));
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    QCOMPARE(StartButtonsEnabled(c), 0);
    Activate(c.source_dir, dir / "three");
    QCOMPARE(c.source_path->text(), QString::fromStdString(DisplayName(dir / "three")));
    QCOMPARE(h.FileListEntries(), (QStringList{"a.atr", "b.atr", "c.ATR"}));
    QCOMPARE(StartButtonsEnabled(c), 3);
    // A file that appears after the listing is found by the start button.
    CopySamples(dir / "three", {{"TINY.ATR", "d.atr"}});
    c.cmd_start_test->click();
    QCOMPARE(h.state.last_run_count, 4);

    // A mode switch recounts with its pattern and keeps the report and every choice.
    const std::vector<std::string> report = h.ReportLines();
    c.Opt_long->setChecked(true);
    c.chk_expand_images->setChecked(false);
    for (const auto& [action, count] :
         {std::pair{"XEXmenu", 0}, {"Generatemenu", 4}, {"ATRmenu", 4}}) {
        h.Trigger(action);
        QCOMPARE(c.source_count->text(), QString::number(count));
        QCOMPARE(StartButtonsEnabled(c), count > 0 ? 3 : 0);
        QCOMPARE(h.ReportLines(), report);
    }
    QVERIFY(c.Opt_long->isChecked() && !c.chk_expand_images->isChecked());
    // Each change of directory empties the report; the buttons follow the count.
    Activate(c.source_dir, dir.path());
    QCOMPARE(c.reportlst->LineCount(), 0);
    QCOMPARE(StartButtonsEnabled(c), 0);
}

void SourcePanelTest::directoryListAndUnreadableDirectory() {
    TempDir dir;
    for (const char* name : {"beta", "Alpha", ".hidden", "gamma.d/sub", "gone"}) {
        std::filesystem::create_directories(dir / name);
    }
    std::filesystem::create_directory_symlink(dir / "beta", dir / "link");
    CopySamples(dir.path(), {{"TINY.ATR", "top.atr"}});
    WindowHarness h(dir.path());
    DirectoryList* list = h.controls().source_dir;
    // The ancestors from the root down, the current directory selected, then its
    // subdirectories sorted, hidden ones left out, links to directories in.
    QStringList rows;
    for (int row = 0; row < list->count(); ++row) {
        rows << QString::fromStdString(list->EntryPath(row).native());
    }
    const QString own = QString::fromStdString(dir.path().native());
    QCOMPARE(rows.first(), QStringLiteral("/"));
    QCOMPARE(rows.mid(list->currentRow()),
             QStringList({own, own + "/Alpha", own + "/beta", own + "/gamma.d", own + "/gone",
                          own + "/link"}));
    // A directory that cannot be read leaves the panel on the previous one.
    std::filesystem::remove(dir / "gone");
    Activate(list, dir / "gone");
    QCOMPARE(list->path(), dir.path());
    QCOMPARE(h.FileListEntries(), QStringList{"top.atr"});
    Activate(list, dir / "link");
    QCOMPARE(h.window().SourcePath(), dir / "link");
}

void SourcePanelTest::drivePickMovesToTheVolumeRoot() {
    // Only volumes a user keeps files on, the root always; the last mount on a root wins.
    const std::vector<Volume> mounts = {
        {"/", "overlay", "overlay", {}},           {"/run", "tmpfs", "tmpfs", {}},
        {"/snap/x", "/dev/loop3", "squashfs", {}}, {"/mnt/old", "/dev/sdc1", "ext4", {}},
        {"/mnt/old", "tmpfs", "tmpfs", {}},        {"/media/usb", "/dev/sdb1", "vfat", {}}};
    std::vector<std::string> roots;
    for (const Volume& volume : UserVolumes(mounts)) {
        roots.push_back(volume.root.native());
    }
    QCOMPARE(roots, (std::vector<std::string>{"/", "/media/usb"}));

    TempDir dir;
    std::filesystem::create_directories(dir / "stick" / "games");
    std::filesystem::create_directories(dir / "sticky");
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    h.window().SetVolumes({Volume{"/", {}, {}, {}}, Volume{dir / "stick", {}, "vfat", "STICK"},
                           Volume{"/korvane-no-such-volume", {}, "vfat", {}}});
    // The drive shown is the deepest volume above the directory, by whole path elements.
    h.window().OpenDirectory(dir / "sticky");
    QCOMPARE(c.source_drive->currentIndex(), 0);
    h.window().OpenDirectory(dir / "stick" / "games");
    QCOMPARE(c.source_drive->currentIndex(), 1);
    QCOMPARE(c.source_drive->currentText(),
             QString::fromStdString(DisplayName(dir / "stick")) + QStringLiteral("  [STICK]"));
    // A pick moves to the volume's root.
    c.source_drive->setCurrentIndex(0);
    c.source_drive->setCurrentIndex(1);
    QCOMPARE(h.window().SourcePath(), dir / "stick");
    // A volume that cannot be read: the panel stays where it was.
    c.source_drive->setCurrentIndex(2);
    QCOMPARE(c.source_dir->path(), dir / "stick");
    QCOMPARE(c.source_drive->currentIndex(), 1);
}

void SourcePanelTest::aboutBoxOpensAndClosesTwice() {
    TempDir dir;
    WindowHarness h(dir.path());
    // Enter, Escape and the close box each close it, each time opened from the menu. The
    // main window is out of use while the box is open, and back in use after.
    for (const int way_out : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {
        h.Trigger("Aboutmenu");
        QPointer<AboutBox> box = h.window().about_box();
        QCOMPARE(QGuiApplication::modalWindow(), box->windowHandle());
        way_out != 0 ? QTest::keyClick(box, Qt::Key(way_out)) : void(box->close());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(box.isNull() && QGuiApplication::modalWindow() == nullptr);
    }
}

void SourcePanelTest::helpWithoutTheFileNamesThePath() {
    TempDir dir;
    WindowHarness h(dir.path());
    // The test program's own help file would be source_panel_test.CHM beside it.
    const std::filesystem::path expected = ProgramDirectory() / "source_panel_test.CHM";
    QVERIFY(!std::filesystem::exists(expected));
    h.Trigger("Onlinehelp");
    HelpWindow* help = h.window().help_window();
    QVERIFY(help != nullptr && help->isVisible());
    QCOMPARE(help->browser()->toPlainText(),
             QStringLiteral("Cannot open ") + QString::fromStdString(DisplayName(expected)));

    // The help window goes when the main window is closed.
    h.Trigger("Exitmenu");
    QVERIFY(!h.window().isVisible() && !help->isVisible());
}

void SourcePanelTest::helpOpensTheDefaultPageAndFollowsLinks() {
    HelpWindow help;
    help.Open(kHelpFile);
    QCOMPARE(help.browser()->documentTitle(), QStringLiteral("Korvane Tool Suite Help"));
    // Links between pages are relative to the page.
    help.browser()->setSource(QUrl("check.html"));
    QCOMPARE(help.browser()->documentTitle(), QStringLiteral("ATR File Check and Repair"));
}

QTEST_MAIN(SourcePanelTest)
#include "source_panel_test.moc"
