// The window tests' helpers: directories of images built in code, a main window created
// in a directory of the test's own and shown on the offscreen platform with its questions
// answered ahead, korvane-cli's report to compare with, and message boxes answered as a
// user answers them.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <functional>

#include "file_list_view.h"
#include "main_window.h"
#include "program_location.h"
#include "report_list.h"
#include "report_text.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

namespace korvane::testing {

// The sample images of the build: good ones in each layout and one of each fault.
inline const std::filesystem::path kSamples = KORVANE_SAMPLES;
// Copies sample images into `directory` (created if missing), each under a name of its own.
void CopySamples(const std::filesystem::path& directory,
                 const std::vector<std::pair<const char*, const char*>>& sample_and_name);

// Whether a row of a list is in view from its top to its bottom.
bool RowInView(const QAbstractItemView* view, std::int64_t row);

// korvane-cli's standard output as lines, for a command and options separated by blanks
// and a directory.
std::vector<std::string> RunCli(const QString& command, const std::filesystem::path& directory);

class WindowHarness {
  public:
    // Creates the window with `start_directory` as the process's current directory.
    explicit WindowHarness(const std::filesystem::path& start_directory);
    ~WindowHarness();

    MainWindow& window() { return *window_; }
    const MainControls& controls() const { return window_->controls(); }
    // The report list's lines, brought up to date.
    std::vector<std::string> ReportLines() const;
    QStringList FileListEntries() const;
    // Chooses a menu entry by its object name, as a user does.
    void Trigger(const char* action) const;
    // Picks an entry of the file list with the mouse.
    void Pick(int row) const;

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
                       std::function<QString()> look);
    QStringList seen;

  private:
    std::vector<QMessageBox::StandardButton> answers_;
    std::function<QString()> look_;
    QTimer timer_;
};

}  // namespace korvane::testing
