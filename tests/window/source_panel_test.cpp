// The source panel and the tool modes: drive, directory and file lists, the chain of
// change handlers, the count and the start buttons, and what a mode switch keeps. The
// About box and the help viewer, with and without the compiled help file.
#include "about_box.h"
#include "directory_list.h"
#include "drive_list.h"
#include "help_window.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

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
    void aboutBoxAndHelp();
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

    // A mode switch recounts with its pattern and keeps the report.
    const std::vector<std::string> report = h.ReportLines();
    for (const auto& [action, count] :
         {std::pair{"XEXmenu", 0}, {"Generatemenu", 4}, {"ATRmenu", 4}}) {
        h.Trigger(action);
        QCOMPARE(c.source_count->text(), QString::number(count));
        QCOMPARE(StartButtonsEnabled(c), count > 0 ? 3 : 0);
        QCOMPARE(h.ReportLines(), report);
    }
    // Each change of directory empties the report; the buttons follow the count.
    Activate(c.source_dir, dir.path());
    QCOMPARE(c.reportlst->LineCount(), 0);
    QCOMPARE(StartButtonsEnabled(c), 0);

    // The directory gone, or its volume unplugged: Start puts one line in the report that
    // says so and runs nothing; the panel moves to the nearest directory still there.
    Activate(c.source_dir, dir / "three");
    std::filesystem::remove_all(dir / "three");
    c.cmd_start_test->click();
    QCOMPARE(h.ReportLines().size(), std::size_t{1});
    QCOMPARE(h.window().SourcePath(), dir.path());
    // Files removed between the listing and Start: the run has nothing to do, the
    // progress bar shows that empty, not busy, and the buttons follow the count again.
    CopySamples(dir.path(), {{"TINY.ATR", "e.atr"}});
    h.Trigger("ATRmenu");
    std::filesystem::remove(dir / "e.atr");
    c.cmd_start_test->click();
    QVERIFY(c.ProgressBar1->maximum() > c.ProgressBar1->value());
    QCOMPARE(StartButtonsEnabled(c), 0);
}

void SourcePanelTest::directoryListAndUnreadableDirectory() {
    TempDir dir;
    const std::filesystem::path deep = dir / std::string(50, 'a') / std::string(50, 'b');
    for (const char* name : {"beta", "Alpha", ".hidden", "gamma.d/sub", "gone"}) {
        std::filesystem::create_directories(deep / name);
    }
    std::filesystem::create_directory_symlink(deep / "beta", deep / "link");
    CopySamples(deep, {{"TINY.ATR", "top.atr"}});
    WindowHarness h(deep);
    DirectoryList* list = h.controls().source_dir;
    // The ancestors from the root down, the current directory selected, then its
    // subdirectories sorted, hidden ones left out, links to directories in.
    const int current = list->currentRow();
    QVERIFY(list->EntryPath(0) == "/" && list->EntryPath(current) == deep);
    QVERIFY(list->count() == current + 6 && list->EntryPath(current + 1) == deep / "Alpha" &&
            list->EntryPath(current + 5) == deep / "link");
    // Its full path heads the list, elided in the middle, whole in the tooltip; the
    // directory and its parent are in view, and the hidden source_path takes no Tab stop.
    const QLabel* path = list->path_label();
    QCOMPARE(path->toolTip(), QString::fromStdString(deep));
    QVERIFY(path->text().startsWith('/') && path->text().endsWith("bbbb") &&
            path->text() != path->toolTip());
    QVERIFY(RowInView(list, current - 1) && RowInView(list, current));
    QCOMPARE(h.controls().source_path->focusPolicy(), Qt::NoFocus);

    // A directory that cannot be read leaves the panel and its highlight on the previous
    // one, and says why.
    std::filesystem::remove(deep / "gone");
    Activate(list, deep / "gone");
    QVERIFY(list->path() == deep && list->currentRow() == current);
    QVERIFY(path->text().contains("gone"));
    QCOMPARE(h.FileListEntries(), QStringList{"top.atr"});
}

void SourcePanelTest::drivePickMovesToTheVolumeRoot() {
    // Only volumes a user keeps files on, the root always; the last mount on a root wins.
    const std::vector<Volume> volumes = UserVolumes({{"/", "overlay", "overlay", {}},
                                                     {"/snap/x", "/dev/loop3", "squashfs", {}},
                                                     {"/mnt/old", "/dev/sdc1", "ext4", {}},
                                                     {"/mnt/old", "tmpfs", "tmpfs", {}},
                                                     {"/media/usb", "/dev/sdb1", "vfat", {}}});
    QVERIFY(volumes.size() == 2 && volumes[1].root == "/media/usb");

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
    // A pick moves to the volume's root.
    c.source_drive->setCurrentIndex(0);
    c.source_drive->setCurrentIndex(1);
    QCOMPARE(h.window().SourcePath(), dir / "stick");
    // A volume that cannot be read: the panel stays where it was.
    c.source_drive->setCurrentIndex(2);
    QCOMPARE(c.source_dir->path(), dir / "stick");
    QCOMPARE(c.source_drive->currentIndex(), 1);
}

void SourcePanelTest::aboutBoxAndHelp() {
    TempDir dir;
    WindowHarness h(dir.path());
    // The About box takes the main window out of use until Escape closes it.
    h.Trigger("Aboutmenu");
    QPointer<AboutBox> box = h.window().about_box();
    QCOMPARE(QGuiApplication::modalWindow(), box->windowHandle());
    QTest::keyClick(box, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(box.isNull() && QGuiApplication::modalWindow() == nullptr);
    // Help without its file names the file it looked for: the program's name with ".CHM",
    // beside it. With the file: its default page, and links relative to the page.
    h.Trigger("Onlinehelp");
    HelpWindow* help = h.window().help_window();
    const std::filesystem::path expected = ProgramDirectory() / "source_panel_test.CHM";
    QCOMPARE(help->browser()->toPlainText(), "Cannot open " + QString::fromStdString(expected));
    help->Open(KORVANE_HELP_FILE);
    QCOMPARE(help->browser()->documentTitle(), QStringLiteral("Korvane Tool Suite Help"));
    help->browser()->setSource(QUrl("check.html"));
    QCOMPARE(help->browser()->documentTitle(), QStringLiteral("ATR File Check and Repair"));
    // The help window goes when the main window is closed.
    h.Trigger("Exitmenu");
    QVERIFY(!h.window().isVisible() && !help->isVisible());
}

QTEST_MAIN(SourcePanelTest)
#include "source_panel_test.moc"
