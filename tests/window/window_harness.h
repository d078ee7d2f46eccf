// The window tests' helpers: directories of images built in code, a main window created
// in a directory of the test's own and shown on the offscreen platform with its questions
// answered ahead, korvane-cli's report to compare with, and message boxes answered as a
// user answers them.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <thread>

#include "file_list_view.h"
#include "main_window.h"
#include "posix_file_system.h"
#include "program_location.h"
#include "report_list.h"
#include "report_text.h"
#include "scratch.h"
#include "scripted_prompt.h"

namespace korvane::testing {

// The sample images of the build: good ones in each layout and one of each fault.
inline const std::filesystem::path kSamples = KORVANE_SAMPLES;
// Copies sample images into `directory` (created if missing), each under a name of its own.
inline void CopySamples(const std::filesystem::path& directory,
                        const std::vector<std::pair<const char*, const char*>>& sample_and_name) {
    std::filesystem::create_directories(directory);
    for (const auto& [sample, name] : sample_and_name) {
        std::filesystem::copy_file(kSamples / sample, directory / name);
    }
}

// A colour scheme as qt6ct keeps it in its files: the colours of the active, disabled and
// inactive groups, each in the order of the roles of QPalette::ColorRole. `name` is one of
// the files of colour-schemes/, which say where their colours come from.
inline QPalette SchemePalette(const char* name) {
    QSettings file(QStringLiteral(KORVANE_COLOUR_SCHEMES "/%1.conf").arg(name),
                   QSettings::IniFormat);
    QPalette palette;
    for (const auto& [group, key] : {std::pair{QPalette::Active, "active_colors"},
                                     {QPalette::Disabled, "disabled_colors"},
                                     {QPalette::Inactive, "inactive_colors"}}) {
        const QStringList colours = file.value(QStringLiteral("ColorScheme/") + key).toStringList();
        for (qsizetype role = 0; role < colours.size(); ++role) {
            palette.setColor(group, QPalette::ColorRole(role), QColor(colours[role].trimmed()));
        }
        if (colours.size() < 21) {  // a scheme not found reads as the light default
            throw std::runtime_error(file.fileName().toStdString());
        }
    }
    return palette;
}

// Whether a row of a list is in view from its top to its bottom.
inline bool RowInView(const QAbstractItemView* view, std::int64_t row) {
    const QRect place = view->visualRect(view->model()->index(int(row), 0));
    return place.top() >= 0 && place.bottom() < view->viewport()->height();
}

// korvane-cli's standard output as lines, for a command and options and a directory.
inline std::vector<std::string> CliReport(const std::string& line, const std::string& dir) {
    return SplitLines(RunCli(line + " D", dir).out);
}

// The real file system, calling `on_open` as each image is opened, each open taking
// `delay` longer, and the file named `unreadable` refused as unreadable.
class WatchedFiles : public PosixFileSystem {
  public:
    std::function<void(const std::filesystem::path&)> on_open = [](const auto&) {};
    std::chrono::milliseconds delay{0};
    std::string unreadable;
    OpenResult OpenRead(const std::filesystem::path& path) override {
        on_open(path);
        std::this_thread::sleep_for(delay);
        return path.filename() == unreadable
                   ? OpenResult{Counted(FsStatus::Fail("Input/output error")), nullptr}
                   : PosixFileSystem::OpenRead(path);
    }
    OpenResult OpenToCheck(const std::filesystem::path& path) override { return OpenRead(path); }
    OpenResult OpenToCheckIn(const std::filesystem::path& directory,
                             const std::filesystem::path& name) override {
        return OpenRead(directory / name);
    }
};

class WindowHarness {
  public:
    // Creates the window with `start_directory` as the process's current directory, on
    // `files` (the real file system when null), keeping its choices in `settings` if given.
    explicit WindowHarness(const std::filesystem::path& start_directory,
                           FileSystem* files = nullptr, QSettings* settings = nullptr) {
        std::error_code ec;
        previous_directory_ = std::filesystem::current_path(ec);  // empty when it is gone
        std::filesystem::current_path(start_directory);
        window_ = std::make_unique<MainWindow>(state, files != nullptr ? *files : fs, settings);
        window_->SetPrompt(&prompt);
        window_->Form_Load();
        window_->show();
    }
    ~WindowHarness() {
        std::error_code ec;
        std::filesystem::current_path(previous_directory_, ec);
    }

    MainWindow& window() { return *window_; }
    const MainControls& controls() const { return window_->controls(); }
    // The report list's lines, brought up to date.
    std::vector<std::string> ReportLines() const {
        controls().reportlst->Sync();
        std::vector<std::string> lines;
        for (std::int64_t row = 0; row < controls().reportlst->LineCount(); ++row) {
            lines.push_back(controls().reportlst->Line(row).toStdString());
        }
        return lines;
    }
    QStringList FileListEntries() const {
        QStringList entries;
        for (int row = 0; row < controls().source_file->model()->rowCount(); ++row) {
            entries << controls().source_file->model()->index(row, 0).data().toString();
        }
        return entries;
    }
    // Chooses a menu entry by its object name, as a user does.
    void Trigger(const char* action) const {
        window_->findChild<QAction*>(QString::fromLatin1(action))->trigger();
    }
    // Picks an entry of the file list with the mouse.
    void Pick(int row) const {
        FileListView* files = controls().source_file;
        const QRect place = files->visualRect(files->model()->index(row, 0));
        QTest::mouseClick(files->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
    }

    ProgramState state;
    PosixFileSystem fs;
    ScriptedPrompt prompt;

  private:
    std::filesystem::path previous_directory_;
    std::unique_ptr<MainWindow> window_;
};

// Answers each message box that comes up, one answer per box: Yes and OK by Enter, which
// the first button takes; NoButton by the close box; others by their button. Keeps the
// title and text of each, with what `look` said meanwhile.
class MessageBoxAnswerer : public QObject {
  public:
    MessageBoxAnswerer(std::vector<QMessageBox::StandardButton> answers,
                       std::function<QString()> look) {
        connect(&timer_, &QTimer::timeout, this, [this, answers, look] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible() || seen.size() >= qsizetype(answers.size())) {
                return;
            }
            seen << box->windowTitle() + ": " + box->text() + look();
            const QMessageBox::StandardButton answer = answers[std::size_t(seen.size() - 1)];
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
    QStringList seen;

  private:
    QTimer timer_;
};

}  // namespace korvane::testing
