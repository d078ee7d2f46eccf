// The source panel: drive, directory and file lists, the chain of change handlers, the
// count and the start buttons.
#include <QAction>
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

// The rows of the directory list below the current directory's own entry.
QStringList SubdirectoryRows(const DirectoryList* list) {
    int depth = 0;
    for (const auto& part : list->path()) {
        (void)part;
        ++depth;
    }
    QStringList rows;
    for (int row = depth; row < list->count(); ++row) {
        rows << list->item(row)->text().trimmed();
    }
    return rows;
}

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

bool CheckButtonsEnabled(const MainControls& c) {
    return c.cmd_start_test->isEnabled() && c.cmd_start_repair->isEnabled() &&
           c.Cmd_start_conversion->isEnabled();
}

bool CheckButtonsDisabled(const MainControls& c) {
    return !c.cmd_start_test->isEnabled() && !c.cmd_start_repair->isEnabled() &&
           !c.Cmd_start_conversion->isEnabled();
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
    void volumeOfAPathIsTheDeepestRoot();
    void startButtonsApplyTheDirectoryAndSetRepairMode();
    void generationStaysUsableInAnEmptyDirectory();
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
    QVERIFY(CheckButtonsDisabled(c));

    Activate(c.source_dir, three);
    QCOMPARE(c.source_dir->path(), three);
    QCOMPARE(c.source_path->text(), QString::fromStdString(DisplayName(three)));
    QCOMPARE(h.window().SourcePath(), three);
    QCOMPARE(c.source_count->text(), QStringLiteral("3"));
    QVERIFY(CheckButtonsEnabled(c));

    c.cmd_start_test->click();
    QVERIFY(c.reportlst->LineCount() > 0);
    // Back up to the parent and down into the other directory: each change empties
    // the report, the buttons follow the count.
    Activate(c.source_dir, dir.path());
    QCOMPARE(c.reportlst->LineCount(), 0);
    Activate(c.source_dir, none);
    QCOMPARE(c.source_count->text(), QStringLiteral("0"));
    QVERIFY(CheckButtonsDisabled(c));
    QCOMPARE(c.reportlst->LineCount(), 0);

    Activate(c.source_dir, dir.path());
    Activate(c.source_dir, three);
    QVERIFY(CheckButtonsEnabled(c));
    QCOMPARE(h.FileListEntries(), (QStringList{"a.atr", "b.atr", "c.ATR"}));
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

    QCOMPARE(SubdirectoryRows(list), (QStringList{"Alpha", "beta", "gamma.d", "link"}));
    // The ancestors come first, from the root down, the current directory selected.
    QCOMPARE(list->EntryPath(0), std::filesystem::path("/"));
    const int own = RowOf(list, dir.path());
    QVERIFY(own > 0);
    QCOMPARE(list->currentRow(), own);
    QCOMPARE(list->EntryPath(own - 1), dir.path().parent_path());

    Activate(list, dir / "link");
    QCOMPARE(list->path(), dir / "link");
    Activate(list, dir.path().parent_path());
    QCOMPARE(list->path(), dir.path().parent_path());
    QCOMPARE(h.window().SourcePath(), dir.path().parent_path());
}

void SourcePanelTest::unreadableDirectoryKeepsThePreviousOne() {
    TempDir dir;
    std::filesystem::create_directories(dir / "gone");
    std::filesystem::create_directories(dir / "kept");
    WriteImages(dir / "kept", {{"a.atr", ImageKind::Good128}});
    WriteImages(dir.path(), {{"top.atr", ImageKind::Good128}});
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    Activate(c.source_dir, dir.path().parent_path());
    Activate(c.source_dir, dir.path());
    QCOMPARE(c.source_count->text(), QStringLiteral("1"));

    std::filesystem::remove(dir / "gone");
    Activate(c.source_dir, dir / "gone");
    QCOMPARE(c.source_dir->path(), dir.path());
    QCOMPARE(h.window().SourcePath(), dir.path());
    QCOMPARE(c.source_count->text(), QStringLiteral("1"));
    QVERIFY(c.source_dir->isEnabled());

    Activate(c.source_dir, dir / "kept");
    QCOMPARE(c.source_dir->path(), dir / "kept");
    QCOMPARE(h.FileListEntries(), QStringList{"a.atr"});
}

void SourcePanelTest::drivePickMovesToTheVolumeRoot() {
    TempDir dir;
    std::filesystem::create_directories(dir / "stick" / "games");
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    Activate(c.source_dir, dir / "stick");
    Activate(c.source_dir, dir / "stick" / "games");
    h.window().SetVolumes({Volume{"/", {}, {}, {}},
                           Volume{dir / "stick", "/dev/sdz1", "vfat", "STICK"},
                           Volume{"/korvane-no-such-volume", "/dev/sdz2", "vfat", {}}});
    // The drive shown is the volume of the directory.
    QCOMPARE(c.source_drive->currentIndex(), 1);
    QCOMPARE(c.source_drive->currentText(),
             QString::fromStdString(DisplayName(dir / "stick")) + QStringLiteral("  [STICK]"));

    c.source_drive->setCurrentIndex(0);
    QCOMPARE(c.source_dir->path(), std::filesystem::path("/"));
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
        "sysfs /sys sysfs rw 0 0\n"
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
    // The root is there even when the table names it through an overlay.
    const std::vector<Volume> container = ParseMountTable("overlay / overlay rw 0 0\n");
    QCOMPARE(container.size(), std::size_t{1});
    QCOMPARE(container[0].root, std::filesystem::path("/"));
    QCOMPARE(ParseMountTable("").size(), std::size_t{1});
}

void SourcePanelTest::volumeOfAPathIsTheDeepestRoot() {
    const std::vector<Volume> volumes = {Volume{"/", {}, {}, {}}, Volume{"/media/usb", {}, {}, {}},
                                         Volume{"/media/usb/inner", {}, {}, {}}};
    QCOMPARE(VolumeIndexOf(volumes, "/home/user"), std::size_t{0});
    QCOMPARE(VolumeIndexOf(volumes, "/media/usb"), std::size_t{1});
    QCOMPARE(VolumeIndexOf(volumes, "/media/usb/games"), std::size_t{1});
    QCOMPARE(VolumeIndexOf(volumes, "/media/usbstick"), std::size_t{0});
    QCOMPARE(VolumeIndexOf(volumes, "/media/usb/inner/x"), std::size_t{2});
}

void SourcePanelTest::startButtonsApplyTheDirectoryAndSetRepairMode() {
    TempDir dir;
    WriteImages(dir.path(), {{"a.atr", ImageKind::Good128}});
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    QVERIFY(c.source_path->text().isEmpty());

    // A file that appears after the listing is found by the start button.
    WriteImages(dir.path(), {{"b.atr", ImageKind::Good128}});
    c.cmd_start_test->click();
    QCOMPARE(h.window().SourcePath(), dir.path());
    QCOMPARE(c.source_path->text(), QString::fromStdString(DisplayName(dir.path())));
    QCOMPARE(c.source_count->text(), QStringLiteral("2"));
    QCOMPARE(h.state.last_run_count, 2);
    QVERIFY(!h.state.repair_mode);

    c.cmd_start_repair->click();
    QVERIFY(h.state.repair_mode);
    c.cmd_start_test->click();
    QVERIFY(!h.state.repair_mode);
    h.state.repair_mode = true;
    c.Cmd_start_conversion->click();
    QVERIFY(!h.state.repair_mode);
}

void SourcePanelTest::generationStaysUsableInAnEmptyDirectory() {
    TempDir dir;
    WindowHarness h(dir.path());
    const MainControls& c = h.controls();
    h.Find<QAction>("Generatemenu")->trigger();
    QCOMPARE(c.source_count->text(), QStringLiteral("0"));
    QVERIFY(CheckButtonsDisabled(c));
    QVERIFY(c.Cmd_generation->isEnabled());
    QVERIFY(c.Cmd_generation->isVisible());
}

QTEST_MAIN(SourcePanelTest)
#include "source_panel_test.moc"
