#include "window_harness.h"

#include "run_command.h"

namespace korvane::testing {

void CopySamples(const std::filesystem::path& directory,
                 const std::vector<std::pair<const char*, const char*>>& sample_and_name) {
    std::filesystem::create_directories(directory);
    for (const auto& [sample, name] : sample_and_name) {
        std::filesystem::copy_file(kSamples / sample, directory / name);
    }
}

bool RowInView(const QAbstractItemView* view, std::int64_t row) {
    const QRect place = view->visualRect(view->model()->index(int(row), 0));
    return place.top() >= 0 && place.bottom() < view->viewport()->height();
}

std::vector<std::string> RunCli(const QString& command, const std::filesystem::path& directory) {
    std::vector<std::string> arguments;
    for (const QString& argument : command.split(' ')) {
        arguments.push_back(argument.toStdString());
    }
    arguments.push_back(directory.native());
    return SplitLines(RunCommand(KORVANE_CLI, arguments).out);
}

WindowHarness::WindowHarness(const std::filesystem::path& start_directory) {
    std::error_code ec;
    previous_directory_ = std::filesystem::current_path(ec);  // empty when it is gone
    std::filesystem::current_path(start_directory);
    window_ = std::make_unique<MainWindow>(state, fs);
    window_->SetPrompt(&prompt);
    window_->Form_Load();
    window_->show();
}

WindowHarness::~WindowHarness() {
    std::error_code ec;
    std::filesystem::current_path(previous_directory_, ec);
}

std::vector<std::string> WindowHarness::ReportLines() const {
    ReportList* report = controls().reportlst;
    report->Sync();
    std::vector<std::string> lines;
    for (std::int64_t row = 0; row < report->LineCount(); ++row) {
        lines.push_back(report->Line(row).toStdString());
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
    window_->findChild<QAction*>(QString::fromLatin1(action))->trigger();
}

void WindowHarness::Pick(int row) const {
    FileListView* files = controls().source_file;
    const QRect place = files->visualRect(files->model()->index(row, 0));
    QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<QMessageBox::StandardButton> answers,
                                       std::function<QString()> look)
    : answers_(std::move(answers)), look_(std::move(look)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || seen.size() >= qsizetype(answers_.size())) {
            return;
        }
        seen << box->windowTitle() + ": " + box->text() + look_();
        const QMessageBox::StandardButton answer = answers_[std::size_t(seen.size() - 1)];
        if (answer == QMessageBox::NoButton) {
            box->close();
        } else if (answer == QMessageBox::Yes || answer == QMessageBox::Ok) {
            QTest::keyClick(box, Qt::Key_Return);  // the default button, the first one
        } else {
            box->button(answer)->click();
        }
    });
    timer_.start(5);
}

}  // namespace korvane::testing
