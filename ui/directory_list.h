// The directory list `source_dir`: the current directory's ancestors from the root down,
// then its sub-directories. Activating an entry asks for that entry's directory.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <filesystem>
#include <system_error>
#include <vector>

namespace korvane {

class DirectoryList final : public QListWidget {
    Q_OBJECT

  public:
    explicit DirectoryList(QWidget* parent = nullptr);

    // Shows `directory` (absolute). False when it cannot be read: the list stays on its
    // directory, and the line above the entries says why.
    bool SetPath(const std::filesystem::path& directory);
    const std::filesystem::path& path() const { return path_; }
    // The directory an entry stands for.
    std::filesystem::path EntryPath(int row) const;
    // The line above the entries: the full path, elided in the middle where it is long
    // (whole in its tooltip), or why a directory could not be opened. A user may type or
    // paste a path into it; Enter asks for that directory.
    QLineEdit* path_line() const { return path_line_; }

  signals:
    void pathEntered(const std::filesystem::path& directory);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowPathLine();
    void ShowCurrent();

    std::filesystem::path path_;
    std::vector<std::filesystem::path> entries_;
    int current_row_ = -1;
    QLineEdit* path_line_;
    QString status_;
    // The directory that could not be opened, while status_ says so.
    std::filesystem::path failed_;
};

// The sub-directories of `directory` (links to directories count), hidden names left
// out, sorted like the file list. An error when the directory cannot be read.
std::error_code ListSubdirectories(const std::filesystem::path& directory,
                                   std::vector<std::filesystem::path>& names);

}  // namespace korvane
