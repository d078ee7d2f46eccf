// The directory list `source_dir`: the current directory's ancestors from the root down,
// then its sub-directories. Activating an entry asks for that entry's directory.
#pragma once

#include <QListWidget>
#include <filesystem>
#include <vector>

namespace korvane {

class DirectoryList final : public QListWidget {
    Q_OBJECT

  public:
    explicit DirectoryList(QWidget* parent = nullptr);

    // Shows `directory` (absolute). False, with nothing changed, when it cannot be read.
    bool SetPath(const std::filesystem::path& directory);
    const std::filesystem::path& path() const { return path_; }
    // The directory an entry stands for.
    std::filesystem::path EntryPath(int row) const;

  private:
    std::filesystem::path path_;
    std::vector<std::filesystem::path> entries_;
};

// The sub-directories of `directory` (links to directories count), hidden names left
// out, sorted like the file list. False when the directory cannot be read.
bool ListSubdirectories(const std::filesystem::path& directory,
                        std::vector<std::filesystem::path>& names);

}  // namespace korvane
