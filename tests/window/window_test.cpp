// The main window on the offscreen platform. The source panel and the tool modes: drive,
// directory and file lists, the chain of change handlers, the count and the start
// buttons, and what a mode switch keeps; the help viewer. Runs started
// from the window's buttons, against the command-line tool's report line for line and its
// files byte for byte; questions through real message boxes; the jump from a picked file
// name to its report block and the conditions under which it stays put.
#include "about_box.h"
#include "directory_list.h"
#include "disk_formats.h"
#include "dos_disk.h"
#include "drive_list.h"
#include "help_window.h"
#include "stop_signals.h"
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

// The real file system, with every image taking longer to open than the window's repaint
// interval, and c.atr refused as unreadable.
struct SlowFiles final : WatchedFiles {
    SlowFiles() { delay = std::chrono::milliseconds(60), unreadable = "c.atr"; }
};

// The real file system, telling a directory's times of change 10 s early, as for one last
// changed well before it was listed.
struct SettledFiles final : WatchedFiles {
    std::optional<FileStamp> Stamp(const std::filesystem::path& path) override {
        std::optional<FileStamp> stamp = PosixFileSystem::Stamp(path);
        if (stamp) {
            stamp->modified_ns -= 10'000'000'000;
            stamp->changed_ns -= 10'000'000'000;
        }
        return stamp;
    }
};

// The real file system, keeping each directory whose entries were listed.
struct ListedFiles final : PosixFileSystem {
    std::vector<std::filesystem::path> listed;
    FsStatus ForEachEntry(const std::filesystem::path& directory,
                          const std::function<void(DirectoryEntry&)>& each) override {
        listed.push_back(directory);
        return PosixFileSystem::ForEachEntry(directory, each);
    }
};

// How many of the four start buttons of the file tools are usable.
int StartButtonsEnabled(const MainControls& c) {
    return c.cmd_start_test->isEnabled() + c.cmd_start_repair->isEnabled() +
           c.Cmd_start_conversion->isEnabled() + c.Cmd_start_contents->isEnabled();
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void directoryAndModeChangesRecount() {
        TempDir dir;
        CopySamples(dir / "three",
                    {{"GAME.ATR", "a.atr"}, {"TINY.ATR", "b.atr"}, {"GAME.ATR", "c.ATR"}});
        WriteFile(dir / "x.xex", Bytes(200, 0xFF));
        WindowHarness h(dir.path());
        const MainControls& c = h.controls();
        QCOMPARE(StartButtonsEnabled(c), 0);
        Activate(c.source_dir, dir / "three");
        QCOMPARE(StartButtonsEnabled(c), 4);
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
            QCOMPARE(StartButtonsEnabled(c), count > 0 ? 4 : 0);
            QCOMPARE(h.ReportLines(), report);
            QVERIFY(c.chk_fit->isHidden() == (count > 0) &&
                    !c.chk_fit->isChecked());  // converter's
        }
        // The buttons follow the count of each directory.
        Activate(c.source_dir, dir.path());
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

    void directoryAndDriveListsAndHelp() {
        TempDir dir;
        for (const char* name : {"beta", "Alpha", ".hidden", "gamma.d/sub", "gone", "stick"}) {
            std::filesystem::create_directories(dir / name);
        }
        std::filesystem::create_directory_symlink(dir / "beta", dir / "link");
        CopySamples(dir.path(), {{"TINY.ATR", "top.atr"}});
        WindowHarness h(dir.path());
        const MainControls& c = h.controls();
        DirectoryList* list = c.source_dir;
        // The ancestors from the root down, the current directory selected, then its
        // subdirectories sorted, hidden ones left out, links to directories in.
        const int current = list->currentRow();
        QVERIFY(list->EntryPath(0) == "/" && list->EntryPath(current) == dir.path());
        QVERIFY(list->count() == current + 7 && list->EntryPath(current + 1) == dir / "Alpha" &&
                list->EntryPath(current + 5) == dir / "link");
        // A directory that cannot be read leaves the panel and its highlight on the previous
        // one, and says why.
        std::filesystem::remove(dir / "gone");
        Activate(list, dir / "gone");
        QVERIFY(list->path() == dir.path() && list->currentRow() == current);
        QVERIFY(list->path_line()->text().contains("gone"));
        QCOMPARE(h.FileListEntries(), QStringList{"top.atr"});

        // Only volumes a user keeps files on, the root always; the last mount on a root wins.
        const std::vector<Volume> volumes = UserVolumes({{"/", "overlay", "overlay", {}},
                                                         {"/snap/x", "/dev/loop3", "squashfs", {}},
                                                         {"/mnt/old", "/dev/sdc1", "ext4", {}},
                                                         {"/mnt/old", "tmpfs", "tmpfs", {}},
                                                         {"/media/usb", "/dev/sdb1", "vfat", {}}});
        QVERIFY(volumes.size() == 2 && volumes[1].root == "/media/usb");
        // The drive of a directory is the deepest volume above it, by whole path elements.
        QVERIFY(VolumeIndexOf(volumes, "/media/usbstick") == 0 &&
                VolumeIndexOf(volumes, "/media/usb/games") == 1);
        // A pick moves to the volume's root; at one that cannot be read the panel stays.
        h.window().SetVolumes({Volume{"/", {}, {}, {}}, Volume{dir / "stick", {}, "vfat", "STICK"},
                               Volume{"/korvane-no-such-volume", {}, "vfat", {}}});
        c.source_drive->setCurrentIndex(1);
        QCOMPARE(h.window().SourcePath(), dir / "stick");
        c.source_drive->setCurrentIndex(2);
        QVERIFY(c.source_dir->path() == dir / "stick" && c.source_drive->currentIndex() == 1);

        // Help without its file names the file it looked for: the program's name with ".CHM",
        // beside it. With the file: its default page, and links relative to the page.
        h.Trigger("Onlinehelp");
        HelpWindow* help = h.window().help_window();
        const std::filesystem::path expected = ProgramDirectory() / "window_test.CHM";
        QCOMPARE(help->browser()->toPlainText(), "Cannot open " + QString::fromStdString(expected));
        help->Open(KORVANE_HELP_FILE);
        QCOMPARE(help->browser()->documentTitle(), QStringLiteral("Korvane Tool Suite Help"));
        help->browser()->setSource(QUrl("check.html"));
        QCOMPARE(help->browser()->documentTitle(), QStringLiteral("ATR File Check and Repair"));
        // Ctrl+F finds text in the page; Escape closes the help window.
        QApplication::setActiveWindow(help);
        QTest::keyClick(help, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), "Start Repair");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(help->browser()->textCursor().selectedText(), QStringLiteral("Start Repair"));
        // A find without a match says so and keeps the place; Escape leaves the search box
        // first, then closes the window; F1 brings it back at the page it showed.
        QTest::keyClicks(QApplication::focusWidget(), " xyzzy");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(help->browser()->textCursor().selectedText(), QStringLiteral("Start Repair"));
        QCOMPARE(help->findChild<QLabel*>("helpFindResult")->text(), QStringLiteral("not found"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(help->isVisible());
        QTest::keyClick(help, Qt::Key_Escape);
        QVERIFY(!help->isVisible());
        h.Trigger("Onlinehelp");
        QVERIFY(help->isVisible() &&
                help->browser()->documentTitle() == QStringLiteral("ATR File Check and Repair"));
        // The help window goes when the main window is closed.
        h.Trigger("Exitmenu");
        QVERIFY(!h.window().isVisible() && !help->isVisible());
    }

    void runMatchesTheCommandLine() {
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
            QCOMPARE(h.ReportLines(), CliReport(cli, dir / "copy"));
        }
        // Save Report writes the report as the command line prints it.
        QString error;
        QVERIFY(h.window().SaveReport(QString::fromStdString(dir / "report.txt"), &error));
        const Bytes saved = ReadFile(dir / "report.txt");
        QCOMPARE(std::string(saved.begin(), saved.end()), RunCli("check D", dir / "copy").out);
        // From the summary, "Previous failure" steps back through the failing blocks and
        // "Next failure" forward, each time to the block's first line, past the last one
        // to the first.
        QStringList steps;
        for (const char* action : {"PreviousFailure", "PreviousFailure", "PreviousFailure",
                                   "NextFailure", "NextFailure", "NextFailure"}) {
            h.Trigger(action);
            steps << QStringLiteral("%1:%2")
                         .arg(c.reportlst->SelectedLine())
                         .arg(c.source_file->SelectedIndex());
        }
        // The file list follows to the failing file's entry.
        QCOMPARE(steps.join(' '), QStringLiteral("60:8 56:7 48:6 56:7 60:8 0:0"));
        // From the first line, a page down goes to the last line wholly in view and leaves
        // the view where it is; the next goes a page further, a page up back to the line
        // now first in view. Shift with an arrow key extends the selection Copy takes.
        ReportList* report = c.reportlst;
        QTest::keyClick(report, Qt::Key_PageDown);
        const std::int64_t page = report->SelectedLine();
        QVERIFY(page > 1 && RowInView(report, 0) && RowInView(report, page) &&
                !RowInView(report, page + 1));
        QTest::keyClick(report, Qt::Key_PageDown);
        QCOMPARE(report->SelectedLine(), 2 * page);
        QTest::keyClick(report, Qt::Key_PageUp);
        QVERIFY(report->SelectedLine() == page && !RowInView(report, page - 1));
        QTest::keyClick(report, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(report, Qt::Key_Down, Qt::ShiftModifier);
        const std::vector<std::string> cli = CliReport("check", dir / "copy");
        QCOMPARE(report->SelectedText().toStdString(),
                 cli[page] + "\n" + cli[page + 1] + "\n" + cli[page + 2] + "\n");
    }

    void repairQuestionsThroughMessageBoxes() {
        TempDir dir;
        CopySamples(dir / "disks", {{"GAME.ATR", "GOOD.ATR"},
                                    {"TOO_LONG.ATR", "LONG.ATR"},
                                    {"SECTOR512.ATR", "SECT.ATR"}});
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
        QCOMPARE(h.ReportLines(),
                 CliReport("repair --fix-length skip --sector-size 128", dir / "copy"));
        QCOMPARE(Snapshot(dir / "disks"), Snapshot(dir / "copy"));
        // The backup is listed and counted.
        QVERIFY(h.FileListEntries().contains("SECT_org.atr"));
    }

    void generationAndMissingTemplate() {
        TempDir dir;
        std::filesystem::create_directories(dir / "copy");
        WindowHarness h(dir.path());
        const MainControls& c = h.controls();
        h.Trigger("Generatemenu");
        c.Combo_no_of_sectors->setCurrentText("1440");
        c.Combo_byte_per_sector->setCurrentText("256");
        c.Txt_filename->setText("WORK");
        c.Cmd_generation->click();
        QCOMPARE(h.ReportLines(), (std::vector<std::string>{DisplayName(dir / "WORK.ATR"),
                                                            "successfully generated"}));
        CliReport("generate --sector-size 256 --sectors 1440 --name WORK", dir / "copy");
        QCOMPARE(ReadFile(dir / "WORK.ATR"), ReadFile(dir / "copy" / "WORK.ATR"));
        // The new image is listed and counted; the check buttons follow the count.
        QVERIFY(h.FileListEntries() == QStringList{"WORK.ATR"} && c.cmd_start_test->isEnabled());
        // The keyboard focus is back on the button that started the run.
        QCOMPARE(h.window().focusWidget(), c.Cmd_generation);

        // This test program has no template disk beside it, only the current directory has
        // one: the converter says so in a box. It is no repair run, whatever ran before.
        h.window().SetPrompt(nullptr);
        WriteFile(dir / "game.xex", Bytes(400, 0xFF));
        WriteFile(dir / "KELDRIX.ATR", Bytes(16));
        h.Trigger("XEXmenu");
        MessageBoxAnswerer answerer({QMessageBox::Ok}, [] {
            return " / " +
                   qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->detailedText();
        });
        h.state.repair_mode = true;
        c.Cmd_start_conversion->click();
        QCOMPARE(
            answerer.seen,
            QStringList{"ERROR: Can not find required KELDRIX.ATR file at install directory / " +
                        QString::fromStdString(ProgramDirectory() / "KELDRIX.ATR")});
        QCOMPARE(Snapshot(dir.path()).size(), std::size_t{4});  // nothing written
        QVERIFY(!h.state.repair_mode);
    }

    void pickJumpsToTheBlock() {
        TempDir dir;
        CopySamples(
            dir.path(),
            {{"GAME.ATR", "A.atr"}, {"ODD_LAYOUT.ATR", "B.atr"}, {"DOUBLE_LONG.ATR", "C.atr"}});
        for (const char* name : {"1.xex", "2.xex", "3.xex", "4.xex", "5.xex"}) {
            WriteFile(dir / name, Bytes(300, 0xFF));
        }
        WindowHarness h(dir.path());
        const MainControls& c = h.controls();
        ReportList* report = c.reportlst;
        c.cmd_start_test->click();
        // A pick selects the block's first line, with the block in view down to its verdict.
        for (const auto& [row, first, last] : {std::tuple{0, 0, 5}, {2, 17, 23}, {1, 7, 15}}) {
            h.Pick(row);
            QCOMPARE(report->SelectedLine(), first);
            QVERIFY(RowInView(report, first) && RowInView(report, last));
        }
        // At least ten rows are in view, whatever the fixed-pitch font; a larger window
        // gives the report list all the height it gains.
        QVERIFY(RowInView(report, 9));
        const int height = report->height();
        h.window().resize(h.window().size() + QSize(80, 120));
        QCOMPARE(report->height(), height + 120);
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

    void runShowsTheFileItReadsAndDropsInput() {
        TempDir dir;
        CopySamples(dir.path(),
                    {{"GAME.ATR", "a.atr"}, {"GAME.ATR", "b.atr"}, {"GAME.ATR", "c.atr"}});
        SlowFiles files;
        WindowHarness h(dir.path(), &files);
        const MainControls& c = h.controls();
        QApplication::setActiveWindow(&h.window());
        // While an image is read, the bar and the file list show that image; the generator's
        // shortcut pressed meanwhile does nothing, then or afterwards.
        QStringList seen;
        files.on_open = [&](const std::filesystem::path& path) {
            seen << QString::fromStdString(path.filename()) +
                        QStringLiteral(" %1 %2")
                            .arg(c.ProgressBar1->value())
                            .arg(c.source_file->SelectedIndex());
            QTest::keyClick(&h.window(), Qt::Key_G, Qt::ControlModifier);
        };
        c.cmd_start_test->click();
        QCOMPARE(seen, QStringList({"a.atr 1 0", "b.atr 2 1", "c.atr 3 2"}));
        // The list of files made anew after the run keeps the last one read selected.
        QCOMPARE(c.source_file->SelectedIndex(), 2);
        QVERIFY(c.Cmd_generation->isHidden());
        // The image that could not be read is counted outside the report.
        QCOMPARE(h.window().statusBar()->currentMessage(),
                 QStringLiteral("Files that could not be read or written in this run: 1"));
        // Hovering a menu leaves it there; a change of tool or of directory clears it.
        QStatusTipEvent tip{QString()};
        QApplication::sendEvent(&h.window(), &tip);
        QVERIFY(!h.window().statusBar()->currentMessage().isEmpty());
        h.Trigger("XEXmenu");
        QVERIFY(h.window().statusBar()->currentMessage().isEmpty());
        h.Trigger("ATRmenu");
        c.cmd_start_test->click();
        h.window().OpenDirectory(dir.path().parent_path());
        QVERIFY(h.window().statusBar()->currentMessage().isEmpty());
    }

    void fileListAfterARun() {
        TempDir dir;
        CopySamples(dir.path(), {{"GAME.ATR", "a.atr"}, {"GAME.ATR", "b.atr"}});
        SettledFiles files;
        WindowHarness h(dir.path(), &files);
        const MainControls& c = h.controls();
        // The directory as it was listed: the list stays, the last file read selected.
        c.cmd_start_test->click();
        QCOMPARE(c.source_file->SelectedIndex(), 1);
        // A file another program makes during a run is listed after it.
        files.on_open = [&](const std::filesystem::path& path) {
            path.filename() == "b.atr" ? CopySamples(dir.path(), {{"TINY.ATR", "c.atr"}}) : void();
        };
        c.cmd_start_test->click();
        QCOMPARE(h.FileListEntries(), QStringList({"a.atr", "b.atr", "c.atr"}));
        QVERIFY(c.source_count->text() == "3" && c.source_file->SelectedIndex() == 1);
    }

    void diskContentsToolAndExtraction() {
        TempDir dir;
        std::filesystem::copy(kSamples, dir / "disks");
        const Bytes xex(5000, 0x5A);
        Bytes dos = LayOutBootDisk(*MakeDoubleDensityDisk(), {Bytes(384, 0), Bytes(300, 1)}, xex);
        WriteFile(dir / "disks" / "DOS.ATR", dos);
        dos[400 + (7 - 4) * 256 + 255] = 254;  // a byte count beyond the sector's 253
        WriteFile(dir / "disks" / "BAD.ATR", dos);
        std::filesystem::copy(dir / "disks", dir / "copy");
        WindowHarness h(dir / "disks");
        const MainControls& c = h.controls();
        h.Trigger("Contentsmenu");
        QCOMPARE(c.lblname->text(), QStringLiteral("Disk Contents"));
        QVERIFY(!c.Cmd_start_contents->isHidden() && c.cmd_start_test->isHidden() &&
                c.chk_fit->isHidden() && c.Frame1->isHidden());
        c.Cmd_start_contents->click();
        QCOMPARE(h.ReportLines(), CliReport("list", dir / "copy"));
        // F3 goes to the damaged disk's block.
        c.reportlst->SelectLine(-1);
        h.Trigger("NextFailure");
        QCOMPARE(c.reportlst->Line(c.reportlst->SelectedLine()), QStringLiteral("Read  : BAD.ATR"));
        // "Extract Files..." from the file list's context menu writes the picked image's
        // files into the folder chosen.
        std::filesystem::create_directories(dir / "out");
        h.window().ChooseExtractFolder = [&] { return dir / "out"; };
        h.Pick(h.FileListEntries().indexOf("DOS.ATR"));
        QVERIFY(c.source_file->actions().contains(
            h.window().findChild<QAction*>(QStringLiteral("ExtractFilesmenu"))));
        h.Trigger("ExtractFilesmenu");
        QCOMPARE(ReadFile(dir / "out" / "AUTORUN.SYS"), xex);
        QCOMPARE(ReadFile(dir / "out" / "KELDRIX.SYS"), Bytes(300, 1));
        QCOMPARE(h.ReportLines().at(h.ReportLines().size() - 2), std::string("Result: PASS"));
    }

    void foldersAreRemembered() {
        TempDir dir;
        CopySamples(dir / "kept", {{"TINY.ATR", "a.atr"}});
        std::filesystem::create_directories(dir / "start");
        QSize normal;
        QSettings settings(QString::fromStdString(dir / "korvane.conf"), QSettings::IniFormat);
        const auto launch = [&](const std::function<void(WindowHarness&)>& use) {
            WindowHarness h(dir / "start", nullptr, &settings);
            use(h);
            h.window().close();
        };
        launch([&](WindowHarness& h) {
            // A folder given as on the command line is shown and kept absolute and normal.
            QVERIFY(h.window().GoToFolder("../start/./../kept/") &&
                    h.controls().source_dir->path() == dir / "kept");
            h.window().OpenDirectory(dir / "start");
            // A file dropped on the window opens its folder; a path typed into the path line
            // that is not there is named whole, and a click gives it back selected.
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir / "kept" / "a.atr"))});
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(&h.window(), &enter);
            QApplication::sendEvent(&h.window(), &drop);
            QLineEdit* line = h.controls().source_dir->path_line();
            line->setText("../nowhere");
            QTest::keyClick(line, Qt::Key_Return);
            const QString nowhere = QString::fromStdString(dir / "nowhere");
            QVERIFY(h.controls().source_dir->path() == dir / "kept" &&
                    line->toolTip().startsWith("Cannot open " + nowhere + ": "));
            QApplication::setActiveWindow(&h.window());
            QTest::mouseClick(line, Qt::LeftButton);
            QTRY_COMPARE(line->selectedText(), nowhere);
            h.controls().Combo_format->setCurrentIndex(3);
            h.Trigger("XEXmenu");
            h.controls().chk_fit->setChecked(true);
            // Closed maximised: the normal size is kept beside the maximised state.
            h.window().resize(h.window().size() + QSize(30, 20));
            normal = h.window().size();
            h.window().showMaximized();
        });
        // Started on a folder, as `korvane DIR` is: no other folder is listed first, and the
        // folder's files once for each tool shown (check, then the remembered converter).
        {
            ListedFiles files;
            ProgramState state;
            MainWindow started(state, files, &settings, nullptr, dir / "start");
            started.Form_Load();
            started.GoToFolder(dir / "start");
            QCOMPARE(files.listed, std::vector<std::filesystem::path>(2, dir / "start"));
        }
        // The next launch opens the last folder with the last tool, DOS format and fit mode
        // in the last size; once the folder is gone, the current directory.
        launch([&](WindowHarness& h) {
            QCOMPARE(h.controls().source_dir->path(), dir / "kept");
            QVERIFY(!h.controls().Cmd_start_conversion->isHidden());
            QVERIFY(h.controls().Combo_format->currentText() == "MyDOS" &&
                    h.controls().chk_fit->isChecked());
            QVERIFY(h.window().isMaximized() && h.window().normalGeometry().size() == normal);
        });
        std::filesystem::remove_all(dir / "kept");
        launch([&](WindowHarness& h) { QCOMPARE(h.controls().source_dir->path(), dir / "start"); });
    }

    // The default light palette and two dark schemes as users run them, switched while the
    // window is open, in each tool: idle, while a file is read (the file list disabled, that
    // file highlighted) and after a run with a failure's block selected; the menus, a run's
    // question, the help window and the About box. Every text of every widget in view, in each
    // colour group, against what it stands on (a transparent ground shows the parent's).
    void textsAreReadableInLightAndDarkSchemes() {
        const auto luminance = [](const QColor& color) {
            double sum = 0.05;
            for (const auto& [value, weight] : {std::pair{color.redF(), 0.2126},
                                                {color.greenF(), 0.7152},
                                                {color.blueF(), 0.0722}}) {
                sum += weight *
                       (value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4));
            }
            return sum;
        };
        const QPalette original = QApplication::palette();
        TempDir dir;
        CopySamples(dir.path(), {{"GAME.ATR", "a.atr"}, {"BROKEN_ID.ATR", "b.atr"}});
        WatchedFiles files;
        WindowHarness h(dir.path(), &files);
        h.window().SetPrompt(nullptr);
        h.Trigger("Onlinehelp");
        h.window().help_window()->Open(KORVANE_HELP_FILE);
        for (const char* scheme : {"", "qt6ct-darker", "adwaita-dark"}) {
            QApplication::setPalette(*scheme == 0 ? QApplication::style()->standardPalette()
                                                  : SchemePalette(scheme));
            double lowest = 21;
            const auto check = [&](QWidget* root) {
                for (const QWidget* widget : root->findChildren<QWidget*>() + QWidgetList{root}) {
                    const bool shown = widget->isVisible() || qobject_cast<const QMenu*>(widget);
                    for (const auto group :
                         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                        for (const auto& [text, role] :
                             {std::pair{QPalette::WindowText, QPalette::Window},
                              {QPalette::Text, QPalette::Base},
                              {QPalette::ButtonText, QPalette::Button},
                              {QPalette::HighlightedText, QPalette::Highlight},
                              {QPalette::PlaceholderText, QPalette::Base}}) {
                            const QWidget* under = widget;
                            QPalette::ColorRole ground = role;
                            while (under->palette().color(group, ground).alpha() == 0) {
                                under = under->parentWidget(), ground = QPalette::Window;
                            }
                            const double fore = luminance(widget->palette().color(group, text)),
                                         back = luminance(under->palette().color(group, ground));
                            const double ratio = std::max(fore, back) / std::min(fore, back);
                            // Only a text box shows a placeholder.
                            const bool drawn = shown && (text != QPalette::PlaceholderText ||
                                                         qobject_cast<const QLineEdit*>(widget));
                            lowest = drawn ? std::min(lowest, ratio) : lowest;
                            QVERIFY2(!drawn || ratio >= 4.5,
                                     qPrintable(QStringLiteral("%1 %2 %3 %4 %5")
                                                    .arg(scheme, widget->metaObject()->className())
                                                    .arg(group)
                                                    .arg(text)
                                                    .arg(ratio)));
                        }
                    }
                }
            };
            const MainControls& c = h.controls();
            for (const auto& [tool, start] : {std::pair{"ATRmenu", c.cmd_start_test},
                                              {"Contentsmenu", c.Cmd_start_contents},
                                              {"XEXmenu", nullptr},
                                              {"Generatemenu", nullptr}}) {
                h.Trigger(tool);
                check(&h.window());
                if (start != nullptr) {
                    int reading = 0;
                    files.on_open = [&](const std::filesystem::path&) {
                        reading += !c.source_file->isEnabled() &&
                                   c.source_file->selectionModel()->hasSelection();
                        check(&h.window());
                    };
                    start->click();
                    files.on_open = [](const std::filesystem::path&) {};
                    h.Trigger("NextFailure");
                    QVERIFY(reading > 0 && c.reportlst->SelectedLine() > 0);
                    check(&h.window());
                }
            }
            // The report's context menu, open.
            int menus = 0;
            QTimer::singleShot(0, &h.window(), [&] {
                menus += QApplication::activePopupWidget() != nullptr;
                check(QApplication::activePopupWidget());
                QApplication::activePopupWidget()->close();
            });
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
            QApplication::sendEvent(c.reportlst->viewport(), &click);
            QCOMPARE(menus, 1);
            // A repair run's question, closed.
            std::filesystem::remove_all(dir / "long");
            CopySamples(dir / "long", {{"TOO_LONG.ATR", "LONG.ATR"}});
            h.window().OpenDirectory(dir / "long");
            MessageBoxAnswerer answerer({QMessageBox::NoButton}, [&] {
                check(QApplication::activeModalWidget());
                return QString();
            });
            c.cmd_start_repair->click();
            QCOMPARE(answerer.seen.size(), 1);
            h.window().OpenDirectory(dir.path());
            check(h.window().help_window());
            // The help page's links, in the colour the page gives them, on its white.
            int links = 0;
            h.window().help_window()->browser()->reload();  // laid out in this scheme
            for (QTextBlock block = h.window().help_window()->browser()->document()->begin();
                 block.isValid(); block = block.next()) {
                for (auto part = block.begin(); !part.atEnd(); ++part) {
                    const QTextCharFormat format = part.fragment().charFormat();
                    const double ink = luminance(format.foreground().color());
                    links += format.isAnchor();
                    QVERIFY(!format.isAnchor() || luminance(Qt::white) / ink >= 4.5);
                }
            }
            QVERIFY(links > 3);
            h.Trigger("Aboutmenu");
            check(h.window().about_box());
            h.window().about_box()->close();
            qInfo("%s: lowest contrast %.2f", *scheme == 0 ? "light" : scheme, lowest);
        }
        QApplication::setPalette(original);
    }

    // The window shrinks to 640x400, which fits 1366x768 and 1920x1080 at twice the scale
    // beside a panel and the frame: the report and the file list give up room, and every
    // control is in view or reachable through the scroll bars. ctest runs it at scale 2 too.
    void smallWindowScrollsToEveryControl() {
        TempDir dir;
        for (int i = 10; i < 40; ++i) {
            std::filesystem::copy_file(
                kSamples / (i % 2 ? "GAME.ATR" : "TOO_LONG.ATR"),
                dir / std::string("f").append(std::to_string(i)).append(".atr"));
        }
        WindowHarness h(dir.path());
        const MainControls& c = h.controls();
        h.window().resize(640, 400);
        QCOMPARE(h.window().size(), QSize(640, 400));
        // After a run, the last file read is in view in the file list, as are the report's
        // last three lines.
        c.cmd_start_test->click();
        const std::int64_t lines = c.reportlst->LineCount();
        QVERIFY(RowInView(c.source_file, 29) && RowInView(c.reportlst, lines - 3));
        auto* area = h.window().findChild<QScrollArea*>();
        QWidget* client = area->widget();
        for (const char* tool : {"XEXmenu", "Generatemenu", "Contentsmenu", "ATRmenu"}) {
            h.Trigger(tool);
            for (const QWidget* control : client->findChildren<QWidget*>()) {
                const QRect place(control->mapTo(client, QPoint(0, 0)), control->size());
                QVERIFY2(!control->isVisibleTo(client) || client->rect().contains(place),
                         qPrintable(tool + control->objectName()));
                // No box or button covers a sibling shown beside it, nor a caption's text (edges
                // may touch).
                const auto* edit = qobject_cast<const QLineEdit*>(control);
                const bool input = qobject_cast<const QComboBox*>(control) ||
                                   qobject_cast<const QAbstractButton*>(control) ||
                                   (edit && !edit->isReadOnly());
                for (const auto* sibling :
                     control->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                    QRect covered = sibling->geometry();
                    if (const auto* caption = qobject_cast<const QLineEdit*>(sibling);
                        caption && caption->isReadOnly()) {
                        covered.setWidth(caption->fontMetrics().horizontalAdvance(caption->text()));
                    }
                    QVERIFY2(!input || sibling == control || !control->isVisibleTo(client) ||
                                 !sibling->isVisibleTo(client) ||
                                 !covered.intersects(control->geometry().adjusted(2, 2, -2, -2)),
                             qPrintable(tool + control->objectName() + sibling->objectName()));
                }
            }
            for (const auto& [bar, size, room] :
                 {std::tuple{area->horizontalScrollBar(), client->width(),
                             area->viewport()->width()},
                  {area->verticalScrollBar(), client->height(), area->viewport()->height()}}) {
                QVERIFY(size <= room || (bar->isVisible() && bar->maximum() == size - room));
            }
        }
    }

    // Report rows are as wide as the widest line in characters, not in the bytes of its
    // UTF-8; lines come back as they were appended.
    void reportRowsMeasureCharacters() {
        ReportModel model;
        model.SetCellSize(1.0, 0, 10);
        const std::string accented =
            "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.ATR";  // 9 characters
        model.Append("12345678");
        model.Append(accented);
        model.Flush();
        QCOMPARE(model.data(model.index(0), Qt::SizeHintRole).toSize().width(), 9);
        QCOMPARE(model.Line(1), QString::fromUtf8(accented));
    }

    // Last: the stop request stays for the rest of the process.
    void stopSignalEndsTheRunThenTheWindow() {
        TempDir dir;
        CopySamples(dir.path(),
                    {{"GAME.ATR", "a.atr"}, {"GAME.ATR", "b.atr"}, {"GAME.ATR", "d.atr"}});
        SlowFiles files;
        WindowHarness h(dir.path(), &files);
        CloseOnStopSignals(h.window());
        files.on_open = [](const std::filesystem::path& path) {
            path.filename() == "b.atr" ? std::raise(SIGTERM) : 0;
        };
        h.controls().cmd_start_test->click();
        const std::vector<std::string> report = h.ReportLines();
        QVERIFY(std::ranges::count(report, "Read  : b.atr") == 1 &&
                std::ranges::count(report, "Read  : d.atr") == 0);
        QVERIFY(!h.window().isVisible());
    }
};

QTEST_MAIN(WindowTest)
#include "posix_file_system.h"
#include "window_test.moc"
