// The disk-contents tool's parts of the main window: its start button, and "Extract
// Files..." on an image of the file list.
#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "contents_run.h"
#include "directory_list.h"
#include "engine_context.h"
#include "file_list_view.h"
#include "main_window.h"
#include "report_text.h"
#include "window_colours.h"

namespace korvane {

namespace {

std::int64_t ContentsEngine(EngineContext& context) {
    return RunDiskContents(context).failed_file_operations;
}

// What "Extract Files..." hands its engine run: the image and the folder.
struct ExtractRequest {
    std::filesystem::path image;
    std::filesystem::path folder;
};
ExtractRequest g_extract_request;

std::int64_t ExtractEngine(EngineContext& context) {
    context.report.Clear();
    const ExtractTotals totals = ExtractImageFiles(
        g_extract_request.image, {}, g_extract_request.folder, context.report, context.fs);
    context.report.SelectLast();
    context.report.BlockComplete();
    return totals.failed_file_operations;
}

}  // namespace

void MainWindow::Cmd_start_contents_Click() {
    if (ApplySourceDirectory()) {
        state_.repair_mode = false;
        RunEngine(ContentsEngine, controls_.Cmd_start_contents);
    }
}

void MainWindow::ExtractSelectedImage() {
    const std::int64_t index = controls_.source_file->SelectedIndex();
    if (engine_busy_ || index < 0 || controls_.source_file->pattern() != "*.atr") {
        QMessageBox::information(this, QStringLiteral("Extract Files"),
                                 QStringLiteral("Select an ATR image in the file list first."));
        return;
    }
    const std::filesystem::path image =
        JoinPath(controls_.source_file->path(), controls_.source_file->Entry(index));
    const std::filesystem::path folder =
        ChooseExtractFolder ? ChooseExtractFolder() : std::filesystem::path();
    if (!folder.empty()) {
        ExtractFiles(image, folder);
    }
}

void MainWindow::ExtractFiles(const std::filesystem::path& image,
                              const std::filesystem::path& folder) {
    g_extract_request = {image, folder};
    QWidget* focus = focusWidget() != nullptr ? focusWidget() : controls_.source_file;
    RunEngine(ExtractEngine, focus);
    // The report no longer holds the blocks of the last run's files.
    state_.last_run_count = 0;
}

void MainWindow::CreateExtractAction() {
    ChooseExtractFolder = [this] {
        const QString folder = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Extract Files To"),
            QString::fromStdString(DisplayName(controls_.source_dir->path())));
        return folder.isEmpty() ? std::filesystem::path()
                                : std::filesystem::path(folder.toLocal8Bit().toStdString());
    };
    QAction* extract = findChild<QAction*>(QStringLiteral("ExtractFilesmenu"));
    controls_.source_file->addAction(extract);
    UseActionsAsContextMenu(controls_.source_file);
}

}  // namespace korvane
