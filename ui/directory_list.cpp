#include "directory_list.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <system_error>

#include "file_list.h"
#include "report_text.h"

namespace korvane {

namespace {

// Each level of the tree is indented by this many blanks.
constexpr int kIndentPerLevel = 2;

QString EntryText(const std::filesystem::path& name, int level) {
    return QString(level * kIndentPerLevel, QLatin1Char(' ')) +
           QString::fromStdString(DisplayName(name));
}

}  // namespace

bool ListSubdirectories(const std::filesystem::path& directory,
                        std::vector<std::filesystem::path>& names) {
    names.clear();
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec) {
        return false;
    }
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        const std::filesystem::path name = it->path().filename();
        if (name.native().empty() || name.native()[0] == '.') {
            continue;
        }
        std::error_code kind_ec;
        if (it->is_directory(kind_ec)) {
            names.push_back(name);
        }
    }
    if (ec) {
        return false;
    }
    std::sort(names.begin(), names.end(), SourceNameLess);
    return true;
}

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

bool DirectoryList::SetPath(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> names;
    if (!ListSubdirectories(directory, names)) {
        return false;
    }
    path_ = directory;
    entries_.clear();
    clear();

    const QIcon open_icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed_icon = style()->standardIcon(QStyle::SP_DirIcon);
    int level = 0;
    std::filesystem::path ancestor;
    for (const std::filesystem::path& part : directory) {
        if (part.empty()) {
            continue;
        }
        ancestor /= part;
        entries_.push_back(ancestor);
        addItem(new QListWidgetItem(open_icon, EntryText(part, level)));
        ++level;
    }
    QListWidgetItem* current = item(count() - 1);
    for (const std::filesystem::path& name : names) {
        entries_.push_back(directory / name);
        addItem(new QListWidgetItem(closed_icon, EntryText(name, level)));
    }
    setCurrentItem(current);
    scrollToItem(current, QAbstractItemView::PositionAtTop);
    return true;
}

std::filesystem::path DirectoryList::EntryPath(int row) const {
    return entries_.at(static_cast<std::size_t>(row));
}

}  // namespace korvane
