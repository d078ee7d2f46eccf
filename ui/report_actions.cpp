// What a user does with the report: copy lines, save it as text, and step from one
// failing block to the next.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <algorithm>
#include <utility>
#include <vector>

#include "directory_list.h"
#include "file_list_view.h"
#include "main_window.h"
#include "report_list.h"
#include "report_text.h"
#include "window_colours.h"

namespace korvane {

namespace {

// The first line of every file's block, and the verdict line that closes it.
const QLatin1String kBlockStart("Read");
const QLatin1String kVerdict("Result:");

// The blocks whose verdict is a fail, as their first line and their verdict line.
std::vector<std::pair<std::int64_t, std::int64_t>> FailingBlocks(const ReportList& report) {
    std::vector<std::pair<std::int64_t, std::int64_t>> blocks;
    std::int64_t start = 0;
    for (std::int64_t row = 0; row < report.LineCount(); ++row) {
        const QString line = report.Line(row);
        if (line.startsWith(kBlockStart)) {
            start = row;
        } else if (line.startsWith(kVerdict) && line.contains(QLatin1String(kFailWord))) {
            blocks.emplace_back(start, row);
        }
    }
    return blocks;
}

}  // namespace

void MainWindow::CreateReportActions() {
    ReportList* report = controls_.reportlst;
    auto add = [this, report](const char* name, const QString& caption,
                              const QKeySequence& shortcut, auto handler) {
        auto* action = new QAction(caption, report);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, handler);
        report->addAction(action);
        return action;
    };
    add("ReportCopy", QStringLiteral("&Copy"), QKeySequence::Copy, [report] {
        QGuiApplication::clipboard()->setText(report->SelectedText());
    })->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    // Ctrl+A is the check tool's menu shortcut, so "Select All" has none of its own.
    add("ReportSelectAll", QStringLiteral("Select &All"), QKeySequence(), [report] {
        report->Sync();
        report->selectAll();
    });
    add("ReportCopyAll", QStringLiteral("Copy A&ll"), QKeySequence(), [report] {
        report->Sync();
        QString text;
        for (std::int64_t row = 0; row < report->LineCount(); ++row) {
            text += report->Line(row) + QLatin1Char('\n');
        }
        QGuiApplication::clipboard()->setText(text);
    });
    report->addAction(findChild<QAction*>(QStringLiteral("SaveReportmenu")));
    add("NextFailure", QStringLiteral("&Next failure"), QKeySequence(Qt::Key_F3),
        [this] { JumpToFailure(true); });
    add("PreviousFailure", QStringLiteral("&Previous failure"),
        QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { JumpToFailure(false); });
    UseActionsAsContextMenu(report);
}

void MainWindow::JumpToFailure(bool forward) {
    ReportList* report = controls_.reportlst;
    const std::int64_t selected = report->SelectedLine();
    const std::int64_t from = selected >= 0 ? selected : forward ? -1 : report->LineCount();
    const auto blocks = FailingBlocks(*report);
    const std::pair<std::int64_t, std::int64_t>* target = nullptr;
    for (const auto& block : blocks) {
        if (forward && block.first > from) {
            target = &block;
            break;
        }
        if (!forward && block.first < from) {
            target = &block;
        }
    }
    // Past the last failing block (as after a run, with the summary selected) the search
    // starts again from the other end of the report.
    if (target == nullptr && !blocks.empty()) {
        target = forward ? &blocks.front() : &blocks.back();
    }
    if (target != nullptr) {
        // As a pick does: the verdict into view first, then the block's first line.
        report->SelectLine(target->second);
        report->SelectLine(target->first);
        // The file list follows to the failing file's entry, where the report's blocks are
        // still the list's files.
        const std::int64_t files = std::min(state_.last_run_count, controls_.source_file->Count());
        for (std::int64_t k = 0;
             !state_.repair_mode && controls_.Cmd_generation->isHidden() && k < files; ++k) {
            if (state_.FileReportLine(k + 1) == target->first) {
                applying_engine_selection_ = true;
                controls_.source_file->Select(k);
                applying_engine_selection_ = false;
                break;
            }
        }
    }
}

bool MainWindow::SaveReport(const QString& file, QString* error) const {
    const ReportList* report = controls_.reportlst;
    // Written under a temporary name and renamed into place when complete.
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        for (std::int64_t row = 0; row < report->LineCount(); ++row) {
            out.write(report->Line(row).toUtf8());
            out.write("\n", 1);
        }
        if (out.commit()) {
            return true;
        }
    }
    *error = out.errorString();
    return false;
}

void MainWindow::SaveReportAs() {
    const QString start =
        QString::fromStdString(DisplayName(controls_.source_dir->path() / "report.txt"));
    const QString file =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save Report"), start,
                                     QStringLiteral("Text files (*.txt);;All files (*)"));
    QString error;
    if (!file.isEmpty() && !SaveReport(file, &error)) {
        QMessageBox::warning(this, QStringLiteral("Save Report"),
                             QStringLiteral("Can not write %1 - %2").arg(file, error));
    }
}

}  // namespace korvane
