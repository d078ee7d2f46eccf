#include "window_harness.h"

#include <QAction>
#include <QProcess>
#include <QtTest>
#include <stdexcept>

#include "file_list_view.h"
#include "report_list.h"

namespace korvane::testing {

CurrentDirectory::CurrentDirectory(const std::filesystem::path& directory) {
    std::error_code ec;
    previous_ = std::filesystem::current_path(ec);
    if (ec) {
        // A test before may have left us in a directory that is gone.
        previous_ = std::filesystem::temp_directory_path();
    }
    std::filesystem::current_path(directory);
}

CurrentDirectory::~CurrentDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
}

WindowHarness::WindowHarness(const std::filesystem::path& start_directory)
    : current_(start_directory) {
    window_ = std::make_unique<MainWindow>(state, fs);
    window_->SetPrompt(&prompt);
    window_->Form_Load();
    window_->show();
}

WindowHarness::~WindowHarness() {
    window_.reset();
}

std::vector<std::string> WindowHarness::ReportLines() const {
    ReportList* report = controls().reportlst;
    report->Sync();
    std::vector<std::string> lines;
    const QAbstractItemModel* model = report->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        lines.push_back(model->index(row, 0).data().toString().toStdString());
    }
    return lines;
}

QStringList WindowHarness::FileListEntries() const {
    QStringList entries;
    const QAbstractItemModel* model = controls().source_file->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        entries << model->index(row, 0).data().toString();
    }
    return entries;
}

void WindowHarness::Trigger(const char* action) const {
    Find<QAction>(action)->trigger();
}

void WindowHarness::Pick(int row) const {
    FileListView* files = controls().source_file;
    const QRect place = files->visualRect(files->model()->index(row, 0));
    QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
}

std::vector<std::int64_t> CurrentRows(const QList<QList<QVariant>>& changes) {
    std::vector<std::int64_t> rows;
    for (const QList<QVariant>& change : changes) {
        rows.push_back(change.at(0).toModelIndex().row());
    }
    return rows;
}

QString Arg(const std::filesystem::path& path) {
    return QString::fromStdString(path.native());
}

std::vector<std::string> RunCli(const QStringList& arguments, int* exit_code) {
    QProcess cli;
    cli.setProcessChannelMode(QProcess::SeparateChannels);
    cli.start(QStringLiteral(KORVANE_CLI), arguments);
    if (!cli.waitForFinished(120000)) {
        throw std::runtime_error("korvane-cli did not finish");
    }
    if (exit_code != nullptr) {
        *exit_code = cli.exitCode();
    }
    std::vector<std::string> lines;
    for (const QByteArray& line : cli.readAllStandardOutput().split('\n')) {
        lines.push_back(line.toStdString());
    }
    if (lines.back().empty()) {
        lines.pop_back();  // after the last line's end
    }
    return lines;
}

void CopyDirectory(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::create_directories(to);
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
        if (entry.is_regular_file()) {
            std::filesystem::copy_file(entry.path(), to / entry.path().filename());
        }
    }
}

}  // namespace korvane::testing
