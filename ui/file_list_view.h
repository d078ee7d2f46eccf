// The file list `source_file`: the files of one directory that match the tool's pattern,
// listed exactly as the command-line tool lists them. Entries stay paths, so names that
// are not valid UTF-8 reach the engines unchanged.
#pragma once

#include <QAbstractListModel>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "file_system.h"
#include "uniform_list_view.h"

namespace korvane {

class FileListModel final : public QAbstractListModel {
    Q_OBJECT

  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void SetEntries(std::vector<std::filesystem::path> entries);
    const std::vector<std::filesystem::path>& entries() const { return entries_; }

  private:
    // The names are made text only for the rows the view shows.
    std::vector<std::filesystem::path> entries_;
};

class FileListView final : public UniformListView {
    Q_OBJECT

  public:
    FileListView(FileSystem& fs, QWidget* parent = nullptr);

    // Points the list at a directory and lists it.
    void SetPath(const std::filesystem::path& directory);
    // Points the list at a directory, to be listed by the next Refresh or SetPattern.
    void PointAt(const std::filesystem::path& directory) { path_ = directory; }
    const std::filesystem::path& path() const { return path_; }
    // Sets the pattern ("*.atr", "*.xex") and lists the directory anew with it.
    void SetPattern(const std::string& pattern);
    const std::string& pattern() const { return pattern_; }
    // Lists the directory anew; a directory that cannot be read lists nothing.
    void Refresh();
    // As Refresh, but keeps the entries where the directory is provably the same as when
    // it was last listed (as after a run that wrote nothing into it).
    void RefreshIfChanged();
    // How the last listing went: failed when the directory could not be read.
    const FsStatus& listing() const { return listing_; }

    std::int64_t Count() const { return static_cast<std::int64_t>(model_.entries().size()); }
    const std::filesystem::path& Entry(std::int64_t index) const {
        return model_.entries()[static_cast<std::size_t>(index)];
    }
    // The selected entry, or -1.
    std::int64_t SelectedIndex() const;
    void Select(std::int64_t index);
    // Selects an entry once the view is next brought up to date (during an engine run,
    // where selecting each file as it is reached would cost more than checking it).
    void SelectLater(std::int64_t index) { pending_selection_ = index; }
    // Applies a selection made with SelectLater; true if there was one.
    bool ApplyPendingSelection();

  private:
    FileSystem& fs_;
    FileListModel model_;
    std::filesystem::path path_;
    // The directory the entries were listed from.
    std::filesystem::path listed_path_;
    std::string pattern_ = "*.atr";
    std::string listed_pattern_;
    // The directory's identity and times of change when it was listed, kept only where a
    // later change must show in them; none when it must be listed anew in any case.
    std::optional<FileStamp> listed_stamp_;
    std::optional<std::int64_t> pending_selection_;
    FsStatus listing_ = FsStatus::Ok();
};

}  // namespace korvane
