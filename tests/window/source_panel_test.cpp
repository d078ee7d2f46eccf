// The source panel: drive, directory and file lists, the chain of change handlers, the
// count and the start buttons.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "directory_list.h"
#include "drive_list.h"
#include "file_list_view.h"
#include "report_list.h"
#include "report_text.h"
#include "window_fixtures.h"
#include "window_harness.h"

using namespace korvane;
using namespace korvane::testing;

namespace {

int RowOf(const DirectoryList* list, const std::filesystem::path& directory) {
    for (int row = 0; row < list->count(); ++row) {
        if (list->EntryPath(row) == directory) {
            return row;
        }
    }
    return -1;
}

// Opens a directory the way a user does: pick its entry and press Enter.
void Activate(DirectoryList* list, const std::filesystem::path& directory) {
    const int row = RowOf(list, directory);
    QVERIFY2(row >= 0, directory.c_str());
    list->setCurrentRow(row);
    QTest::keyClick(list, Qt::Key_Return);
}

// Whether the three start buttons of the file tools are all usable, all not, or mixed.
int StartButtonsEnabled(const MainControls& c) {
    return c.cmd_start_test->isEnabled() + c.cmd_start_repair->isEnabled() +
           c.Cmd_start_conversion->isEnabled();
}

}  // namespace

class SourcePanelTest : public QObject {
    Q_OBJECT

  private slots:
    void changingTheDirectoryRecountsAndClearsTheReport();
    void directoryListShowsAncestorsAndSubdirectories();
    void unreadableDirectoryKeepsThePreviousOne();
    void drivePickMovesToTheVolumeRoot();
    void mountTableKeepsRealVolumes();
    void startButtonsApplyTheDirectoryAndSetRepairMode();
};

void SourcePanelTest::changingTheDirectoryRecountsAndClearsTheReport() {
    TempDir dir;
    const std::filesystem::path three = dir / "three";
    const std::filesystem::path none = dir / "none";
    WriteImages(three, {{"a.atr", ImageKind::Good128},
                        {"b.atr", ImageKind::Good128},
                        {"c.ATR", ImageKind::TooShort}});
    std::filesystem::create_directories(none);
    WriteXex(none / "x.xex", 200);
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    QCOMPARE(c.source_count->text(), QStringLiteral("0"));
    QCOMPARE(StartButtonsEnabled(c), 0);

    Activate(c.source_dir, three);
    QCOMPARE(c.source_dir->path(), three);
    QCOMPARE(c.source_path->text(), QString::fromStdString(DisplayName(three)));
    QCOMPARE(h.window().SourcePath(), three);
    QCOMPARE(c.source_count->text(), QStringLiteral("3"));
    QCOMPARE(h.FileListEntries(), (QStringList{"a.atr", "b.atr", "c.ATR"}));
    QCOMPARE(StartButtonsEnabled(c), 3);

    // Up to the parent and down into the other directory: each change empties the
    // report, the buttons follow the count.
    c.cmd_start_test->click();
    QVERIFY(c.reportlst->LineCount() > 0);
    Activate(c.source_dir, dir.path());
    QCOMPARE(c.reportlst->LineCount(), 0);
    Activate(c.source_dir, none);
    QCOMPARE(c.source_count->text(), QStringLiteral("0"));
    QCOMPARE(StartButtonsEnabled(c), 0);
}

void SourcePanelTest::directoryListShowsAncestorsAndSubdirectories() {
    TempDir dir;
    for (const char* name : {"beta", "Alpha", ".hidden", "gamma.d"}) {
        std::filesystem::create_directories(dir / name);
    }
    WriteFile(dir / "file.atr", {});
    std::filesystem::create_directory_symlink(dir / "beta", dir / "link");
    WindowHarness h(dir.path());
    DirectoryList* list = h.controls().source_dir;

    // The ancestors from the root down, the current directory selected, then its
    // subdirectories.
    const int own = RowOf(list, dir.path());
    QCOMPARE(list->EntryPath(0), std::filesystem::path("/"));
    QCOMPARE(list->currentRow(), own);
    QCOMPARE(list->EntryPath(own - 1), dir.path().parent_path());
    QStringList rows;
    for (int row = own + 1; row < list->count(); ++row) {
        rows << list->item(row)->text().trimmed();
    }
    QCOMPARE(rows, (QStringList{"Alpha", "beta", "gamma.d", "link"}));

    Activate(list, dir / "link");
    QCOMPARE(list->path(), dir / "link");
    Activate(list, dir.path().parent_path());
    QCOMPARE(h.window().SourcePath(), dir.path().parent_path());
}

void SourcePanelTest::unreadableDirectoryKeepsThePreviousOne() {
    TempDir dir;
    std::filesystem::create_directories(dir / "gone");
    WriteImages(dir / "kept", {{"a.atr", ImageKind::Good128}});
    WriteImages(dir.path(), {{"top.atr", ImageKind::Good128}});
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    // Away and back, so that the start directory is the one applied.
    Activate(c.source_dir, dir.path().parent_path());
    Activate(c.source_dir, dir.path());
    std::filesystem::remove(dir / "gone");
    Activate(c.source_dir, dir / "gone");
    QCOMPARE(c.source_dir->path(), dir.path());
    QCOMPARE(h.window().SourcePath(), dir.path());
    QCOMPARE(h.FileListEntries(), QStringList{"top.atr"});
    QVERIFY(c.source_dir->isEnabled());

    Activate(c.source_dir, dir / "kept");
    QCOMPARE(h.FileListEntries(), QStringList{"a.atr"});
}

void SourcePanelTest::drivePickMovesToTheVolumeRoot() {
    TempDir dir;
    std::filesystem::create_directories(dir / "stick" / "games");
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    h.window().OpenDirectory(dir / "stick" / "games");
    h.window().SetVolumes({Volume{"/", {}, {}, {}},
                           Volume{dir / "stick", "/dev/sdz1", "vfat", "STICK"},
                           Volume{"/korvane-no-such-volume", "/dev/sdz2", "vfat", {}}});
    // The drive shown is the volume of the directory.
    QCOMPARE(c.source_drive->currentIndex(), 1);
    QCOMPARE(c.source_drive->currentText(),
             QString::fromStdString(DisplayName(dir / "stick")) + QStringLiteral("  [STICK]"));

    c.source_drive->setCurrentIndex(0);
    QCOMPARE(h.window().SourcePath(), std::filesystem::path("/"));
    c.source_drive->setCurrentIndex(1);
    QCOMPARE(c.source_dir->path(), dir / "stick");
    // A volume that cannot be read: the panel stays where it was.
    c.source_drive->setCurrentIndex(2);
    QCOMPARE(c.source_dir->path(), dir / "stick");
    QCOMPARE(c.source_drive->currentIndex(), 1);
}

void SourcePanelTest::mountTableKeepsRealVolumes() {
    const std::string table =
        "proc /proc proc rw,relatime 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/sda2 / ext4 rw 0 0\n"
        "/dev/sda1 /boot/efi vfat rw 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "/dev/sdb1 /media/user/MY\\040STICK vfat rw 0 0\n"
        "server:/export /mnt/archive nfs4 rw 0 0\n"
        "devpts /dev/pts devpts rw 0 0\n"
        "/dev/sdc1 /mnt/old ext4 rw 0 0\n"
        "tmpfs /mnt/old tmpfs rw 0 0\n";
    std::vector<std::string> roots;
    for (const Volume& volume : ParseMountTable(table)) {
        roots.push_back(volume.root.native());
    }
    QCOMPARE(roots,
             (std::vector<std::string>{"/", "/boot/efi", "/media/user/MY STICK", "/mnt/archive"}));
    // The root is there even when the table names it through an overlay, or not at all.
    QCOMPARE(ParseMountTable("overlay / overlay rw 0 0\n").at(0).root, std::filesystem::path("/"));
    QCOMPARE(ParseMountTable("").size(), std::size_t{1});

    // A path belongs to the deepest volume root above it, by whole path elements.
    const std::vector<Volume> volumes = {Volume{"/", {}, {}, {}}, Volume{"/media/usb", {}, {}, {}},
                                         Volume{"/media/usb/inner", {}, {}, {}}};
    for (const auto& [path, index] : {std::pair{"/home/user", 0},
                                      {"/media/usb", 1},
                                      {"/media/usb/games", 1},
                                      {"/media/usbstick", 0},
                                      {"/media/usb/inner/x", 2}}) {
        QCOMPARE(VolumeIndexOf(volumes, path), std::size_t(index));
    }
}

void SourcePanelTest::startButtonsApplyTheDirectoryAndSetRepairMode() {
    TempDir dir;
    WriteImages(dir.path(), {{"a.atr", ImageKind::Good128}});
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    // source_path stays empty until a directory is applied.
    QVERIFY(c.source_path->text().isEmpty());

    // A file that appears after the listing is found by the start button.
    WriteImages(dir.path(), {{"b.atr", ImageKind::Good128}});
    c.cmd_start_test->click();
    QCOMPARE(h.window().SourcePath(), dir.path());
    QCOMPARE(c.source_path->text(), QString::fromStdString(DisplayName(dir.path())));
    QCOMPARE(c.source_count->text(), QStringLiteral("2"));
    QCOMPARE(h.state.last_run_count, 2);

    for (const auto& [button, repair] : {std::pair{c.cmd_start_repair, true},
                                         {c.cmd_start_test, false},
                                         {c.Cmd_start_conversion, false}}) {
        h.state.repair_mode = !repair;
        button->click();
        QCOMPARE(h.state.repair_mode, repair);
    }
}

QTEST_MAIN(SourcePanelTest)
#include "source_panel_test.moc"
