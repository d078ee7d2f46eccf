#include "file_list_view.h"

#include <QSignalBlocker>
#include <algorithm>
#include <chrono>

#include "file_list.h"
#include "report_text.h"

namespace korvane {

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    // A long name is elided in the middle, so its tooltip holds it whole.
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid()) {
        return {};
    }
    return QString::fromStdString(DisplayName(entries_[static_cast<std::size_t>(index.row())]));
}

void FileListModel::SetEntries(std::vector<std::filesystem::path> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

FileListView::FileListView(FileSystem& fs, QWidget* parent) : UniformListView(parent), fs_(fs) {
    setModel(&model_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
}

void FileListView::SetPath(const std::filesystem::path& directory) {
    path_ = directory;
    Refresh();
}

void FileListView::SetPattern(const std::string& pattern) {
    pattern_ = pattern;
    Refresh();
}

void FileListView::Refresh() {
    // The selected file, or the one about to be selected, stays selected by its name when
    // the same directory is listed anew (as after a run); a selection not shown yet refers
    // to the old listing.
    const std::int64_t selected = pending_selection_ ? *pending_selection_ : SelectedIndex();
    std::filesystem::path kept;
    if (path_ == listed_path_ && selected >= 0 && selected < Count()) {
        kept = Entry(selected);
    }
    pending_selection_.reset();
    // Taken before the listing: a change while it runs shows in the next stamp.
    const std::int64_t now_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::system_clock::now().time_since_epoch())
                                    .count();
    listed_stamp_ = fs_.Stamp(path_);
    std::vector<std::filesystem::path> files;
    listing_ = ListSourceFiles(fs_, path_, pattern_, files);
    if (!listing_.ok()) {
        files.clear();
    }
    // A volume with a coarse clock (2 s on FAT) gives a change made in the same tick as the
    // one before the listing the same time: the stamp tells only of a directory last
    // changed at least one tick before it was listed. Times of 0 are times not known.
    constexpr std::int64_t kCoarsestTick = 2'000'000'000;
    if (!listing_.ok() || !listed_stamp_ || listed_stamp_->modified_ns == 0 ||
        now_ns - std::max(listed_stamp_->modified_ns, listed_stamp_->changed_ns) < kCoarsestTick) {
        listed_stamp_.reset();
    }
    listed_path_ = path_;
    listed_pattern_ = pattern_;
    model_.SetEntries(std::move(files));
    if (!kept.empty()) {
        const auto& entries = model_.entries();
        const auto found = std::find(entries.begin(), entries.end(), kept);
        if (found != entries.end()) {
            // No pick of the user's: the report does not jump to the file's block.
            const QSignalBlocker quiet(selectionModel());
            Select(found - entries.begin());
        }
    }
}

void FileListView::RefreshIfChanged() {
    // The entries are names and their types only; every name made, removed or renamed in
    // the directory changes its times of change.
    if (listed_stamp_ && path_ == listed_path_ && pattern_ == listed_pattern_ &&
        fs_.Stamp(path_) == listed_stamp_) {
        // A file selected during the run is shown as a listing anew would show it.
        const QSignalBlocker quiet(selectionModel());
        ApplyPendingSelection();
        return;
    }
    Refresh();
}

std::int64_t FileListView::SelectedIndex() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

bool FileListView::ApplyPendingSelection() {
    if (!pending_selection_) {
        return false;
    }
    const std::int64_t index = *pending_selection_;
    pending_selection_.reset();
    Select(index);
    return true;
}

void FileListView::Select(std::int64_t index) {
    if (index < 0 || index >= Count()) {
        selectionModel()->clearCurrentIndex();
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex row = model_.index(static_cast<int>(index));
    selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
    scrollTo(row, QAbstractItemView::EnsureVisible);
}

}  // namespace korvane
