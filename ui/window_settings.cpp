// Getting to a folder quickly: the last folder, tool, window size, DOS format and fit
// mode kept between launches, a folder chosen in a dialog, given on the command line or
// dropped on the window.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QUrl>
#include <system_error>

#include "directory_list.h"
#include "main_window.h"
#include "program_location.h"
#include "report_text.h"

namespace korvane {

namespace {

const QString kFolderKey = QStringLiteral("folder");
const QString kToolKey = QStringLiteral("tool");
const QString kGeometryKey = QStringLiteral("geometry");
const QString kFormatKey = QStringLiteral("format");
const QString kFitKey = QStringLiteral("fit");

enum class Tool { Check = 0, Converter = 1, Generator = 2, Contents = 3 };

// A folder named by a user or remembered, made absolute and lexically normal: "." and
// "name/.." go, links stay as they are.
std::filesystem::path NormalFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::path normal = std::filesystem::absolute(folder, ec).lexically_normal();
    if (normal.has_relative_path() && normal.filename().empty()) {
        normal = normal.parent_path();
    }
    return normal;
}

// A path the desktop handed over as text, as the bytes of the file system.
std::filesystem::path LocalPath(const QString& text) {
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

}  // namespace

std::filesystem::path MainWindow::RememberedFolder() const {
    if (!start_folder_.empty()) {
        return NormalFolder(start_folder_);
    }
    if (settings_ == nullptr) {
        return {};
    }
    const std::filesystem::path folder(settings_->value(kFolderKey).toByteArray().toStdString());
    return folder.is_absolute() ? NormalFolder(folder) : folder;
}

void MainWindow::RememberChoices() const {
    if (settings_ == nullptr) {
        return;
    }
    // The folder as its bytes: a name need not be valid UTF-8.
    settings_->setValue(kFolderKey, QByteArray::fromStdString(controls_.source_dir->path()));
    const Tool tool = !controls_.Cmd_generation->isHidden()         ? Tool::Generator
                      : !controls_.Cmd_start_conversion->isHidden() ? Tool::Converter
                      : !controls_.Cmd_start_contents->isHidden()   ? Tool::Contents
                                                                    : Tool::Check;
    settings_->setValue(kToolKey, static_cast<int>(tool));
    // The normal place and size, and whether the window is maximised, as Qt keeps them.
    settings_->setValue(kGeometryKey, saveGeometry());
    settings_->setValue(kFormatKey, controls_.Combo_format->currentText());
    settings_->setValue(kFitKey, controls_.chk_fit->isChecked());
    settings_->sync();
}

void MainWindow::RestoreChoices() {
    if (settings_ == nullptr) {
        return;
    }
    switch (static_cast<Tool>(settings_->value(kToolKey, 0).toInt())) {
        case Tool::Converter:
            XEXmenu_Click();
            break;
        case Tool::Generator:
            Generatemenu_Click();
            break;
        case Tool::Contents:
            Contentsmenu_Click();
            break;
        case Tool::Check:
            break;
    }
    if (!restoreGeometry(settings_->value(kGeometryKey).toByteArray())) {
        // The first launch: no larger than the screen's free area, with room for the
        // window's frame (on 1920x1080 at twice the scale the layout is taller than that).
        const QSize room = screen()->availableGeometry().size() - QSize(16, 48);
        resize(size().boundedTo(room).expandedTo(minimumSize()));
    }
    // A DOS name no longer in the list leaves the start-up choice.
    const int format = controls_.Combo_format->findText(settings_->value(kFormatKey).toString());
    if (format >= 0) {
        controls_.Combo_format->setCurrentIndex(format);
    }
    controls_.chk_fit->setChecked(settings_->value(kFitKey, false).toBool());
}

bool MainWindow::GoToFolder(const std::filesystem::path& folder) {
    // A file stands for the folder that holds it; a folder that cannot be opened is named,
    // with the reason, in the path line.
    const std::filesystem::path normal = NormalFolder(folder);
    std::error_code ec;
    const bool file =
        std::filesystem::exists(normal, ec) && !std::filesystem::is_directory(normal, ec);
    return OpenDirectory(file ? normal.parent_path() : normal);
}

void MainWindow::ChooseFolder() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Open Folder"),
        QString::fromStdString(DisplayName(controls_.source_dir->path())));
    if (!folder.isEmpty()) {
        GoToFolder(LocalPath(folder));
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.front().isLocalFile()) {
        GoToFolder(LocalPath(urls.front().toLocalFile()));
        event->acceptProposedAction();
    }
}

}  // namespace korvane
