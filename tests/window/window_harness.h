// A main window for a test: created in a directory of the test's own, loaded, shown on
// the offscreen platform, with its questions answered ahead by a scripted prompt.
#pragma once

#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "file_system.h"
#include "main_window.h"
#include "program_state.h"
#include "scripted_prompt.h"
#include "temp_dir.h"

namespace korvane::testing {

// Makes a directory the process's current one for a scope, and goes back after.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::filesystem::path& directory);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  private:
    std::filesystem::path previous_;
};

class WindowHarness {
  public:
    // Creates the window with `start_directory` as the process's current directory.
    explicit WindowHarness(const std::filesystem::path& start_directory);
    ~WindowHarness();

    MainWindow& window() { return *window_; }
    const MainControls& controls() const { return window_->controls(); }
    template <typename Widget>
    Widget* Find(const char* name) const {
        return window_->findChild<Widget*>(QString::fromLatin1(name));
    }
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
    CurrentDirectory current_;
    std::unique_ptr<MainWindow> window_;
};

// Runs korvane-cli with `arguments` and returns its standard output as lines.
std::vector<std::string> RunCli(const QStringList& arguments, int* exit_code = nullptr);

// The rows that a spy on a selection model's currentChanged saw become current.
std::vector<std::int64_t> CurrentRows(const QList<QList<QVariant>>& changes);

// A directory as a command-line argument.
QString Arg(const std::filesystem::path& path);

// Copies the plain files of a directory into a new one.
void CopyDirectory(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace korvane::testing
