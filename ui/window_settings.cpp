// Getting to a folder quickly: the last folder, tool and window size kept between
// launches, a folder chosen in a dialog, given on the command line or dropped on the
// window.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QPushButton>
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
const QString kSizeKey = QStringLiteral("size");

enum class Tool { Check = 0, Converter = 1, Generator = 2, Contents = 3 };

// A path the desktop handed over as text, as the bytes of the file system.
std::filesystem::path LocalPath(const QString& text) {
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

}  // namespace

std::filesystem::path MainWindow::RememberedFolder() const {
    if (settings_ == nullptr) {
        return {};
    }
    return std::filesystem::path(settings_->value(kFolderKey).toByteArray().toStdString());
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
    settings_->setValue(kSizeKey, size());
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
    const QSize remembered = settings_->value(kSizeKey).toSize();
    if (remembered.isValid()) {
        resize(remembered.expandedTo(minimumSizeHint()));
    }
}

bool MainWindow::GoToFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    // A folder that cannot be opened is named, with the reason, in the path line.
    return !ec && OpenDirectory(AbsoluteDirectory(absolute));
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
