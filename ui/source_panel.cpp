// The source panel of the main window: drive, directory and file list with the chain of
// change handlers that keeps them in step, and the four start buttons.
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <system_error>

#include "check_run.h"
#include "directory_list.h"
#include "engine_context.h"
#include "file_list_view.h"
#include "main_window.h"
#include "program_location.h"
#include "report_list.h"
#include "report_text.h"

namespace korvane {

void MainWindow::ShowStartDirectory() {
    // The folder of the last launch where it is still there; else the current directory.
    const std::filesystem::path remembered = RememberedFolder();
    if (!remembered.is_absolute() || !controls_.source_dir->SetPath(remembered)) {
        std::error_code ec;
        const std::filesystem::path current = std::filesystem::current_path(ec);
        if (ec || !controls_.source_dir->SetPath(AbsoluteDirectory(current))) {
            // A current directory that cannot be read: start at the root instead.
            controls_.source_dir->SetPath("/");
        }
    }
    FillDriveList();
    // The file list looks at the same directory, listed once the load handler has set the
    // tool's pattern; source_path stays empty until the directory is first applied.
    controls_.source_file->PointAt(controls_.source_dir->path());
}

void MainWindow::FillDriveList() {
    SetVolumes(MountedVolumes());
}

void MainWindow::SetVolumes(std::vector<Volume> volumes) {
    volumes_ = std::move(volumes);
    const QSignalBlocker quiet(controls_.source_drive);
    controls_.source_drive->clear();
    for (const Volume& volume : volumes_) {
        controls_.source_drive->addItem(VolumeText(volume));
    }
    ShowDriveOf(controls_.source_dir->path());
}

void MainWindow::ShowDriveOf(const std::filesystem::path& directory) {
    // The drive shown follows the directory without counting as a pick.
    const QSignalBlocker quiet(controls_.source_drive);
    controls_.source_drive->setCurrentIndex(static_cast<int>(VolumeIndexOf(volumes_, directory)));
}

bool MainWindow::OpenDirectory(const std::filesystem::path& directory) {
    if (directory == controls_.source_dir->path()) {
        return true;
    }
    // Listing a folder of many thousand files takes a moment: the pointer says so.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool listed = controls_.source_dir->SetPath(directory);
    if (!listed) {
        QGuiApplication::restoreOverrideCursor();
        return false;
    }
    ShowDriveOf(directory);
    source_dir_Change();
    QGuiApplication::restoreOverrideCursor();
    return true;
}

void MainWindow::source_drive_Change() {
    const int chosen = controls_.source_drive->currentIndex();
    if (chosen < 0 || static_cast<std::size_t>(chosen) >= volumes_.size()) {
        return;
    }
    if (!OpenDirectory(volumes_[static_cast<std::size_t>(chosen)].root)) {
        // A drive that cannot be read leaves the panel on the previous directory.
        ShowDriveOf(controls_.source_dir->path());
    }
}

void MainWindow::source_dir_Change() {
    controls_.source_file->SetPath(controls_.source_dir->path());
    SetSourcePathText(controls_.source_dir->path());
}

void MainWindow::SetSourcePathText(const std::filesystem::path& path) {
    if (path == source_path_) {
        return;
    }
    source_path_ = path;
    controls_.source_path->setText(QString::fromStdString(DisplayName(path)));
    source_path_Change();
}

void MainWindow::source_path_Change() {
    SetSourceCount(QString::number(controls_.source_file->Count()));
    controls_.reportlst->Clear();
    statusBar()->clearMessage();
}

void MainWindow::SetSourceCount(const QString& caption) {
    if (caption == controls_.source_count->text()) {
        return;
    }
    controls_.source_count->setText(caption);
    source_count_Change();
}

void MainWindow::source_count_Change() {
    // Whoever changes the count has just listed the directory (a folder or tool change, the
    // end of a run): the caption follows that listing, without listing 100,000 names again.
    const QString count = QString::number(controls_.source_file->Count());
    if (count != controls_.source_count->text()) {
        controls_.source_count->setText(count);
    }
    FollowCount();
}

void MainWindow::FollowCount() {
    const bool any = controls_.source_file->Count() > 0;
    controls_.cmd_start_test->setEnabled(any);
    controls_.cmd_start_repair->setEnabled(any);
    controls_.Cmd_start_conversion->setEnabled(any);
    controls_.Cmd_start_contents->setEnabled(any);
}

namespace {

std::int64_t CheckEngine(EngineContext& context) {
    return RunAtrCheck(context).failed_file_operations;
}

}  // namespace

bool MainWindow::ApplySourceDirectory() {
    source_dir_Change();
    const FsStatus listing = controls_.source_file->listing();
    if (!listing.ok()) {
        // Gone, or a volume unplugged: no run over a directory that only looks empty.
        const std::filesystem::path directory = controls_.source_dir->path();
        ShowNearestAncestor(directory);
        controls_.reportlst->Clear();
        controls_.reportlst->Append("ERROR: Cannot read directory " + DisplayName(directory) +
                                    " (" + listing.reason() + ")");
        controls_.reportlst->Sync();
        return false;
    }
    // An unchanged path raises no change, yet the count must match the list as it is now.
    SetSourceCount(QString::number(controls_.source_file->Count()));
    return true;
}

void MainWindow::ShowNearestAncestor(const std::filesystem::path& directory) {
    std::filesystem::path ancestor = directory;
    do {
        ancestor = ancestor.parent_path();
    } while (!controls_.source_dir->SetPath(ancestor) && ancestor != ancestor.root_path());
    FillDriveList();
    source_dir_Change();
    SetSourceCount(QString::number(controls_.source_file->Count()));
    FollowCount();
}

void MainWindow::cmd_start_test_Click() {
    if (ApplySourceDirectory()) {
        state_.repair_mode = false;
        RunEngine(CheckEngine, controls_.cmd_start_test);
    }
}

void MainWindow::cmd_start_repair_Click() {
    if (ApplySourceDirectory()) {
        state_.repair_mode = true;
        RunEngine(CheckEngine, controls_.cmd_start_repair);
    }
}

}  // namespace korvane
