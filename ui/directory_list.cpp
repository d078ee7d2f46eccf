#include "directory_list.h"

#include <QApplication>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <system_error>

#include "file_list.h"
#include "report_text.h"

namespace korvane {

namespace {

// Each level of the tree is indented by this many pixels, folder icon and all.
constexpr int kIndentPixels = 10;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIconPixels = 16;

class IndentingDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented = option;
        indented.rect.adjust(Indent(index), 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(index), 0);
    }

  private:
    static int Indent(const QModelIndex& index) {
        return index.data(kLevelRole).toInt() * kIndentPixels;
    }
};

QListWidgetItem* Entry(const QIcon& icon, const std::filesystem::path& name, int level) {
    auto* item = new QListWidgetItem(icon, QString::fromStdString(DisplayName(name)));
    item->setData(kLevelRole, level);
    return item;
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
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentingDelegate(this));
    // Open and closed folders alike, at the size of a line of text.
    setIconSize(QSize(kIconPixels, kIconPixels));
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
        addItem(Entry(open_icon, part, level));
        ++level;
    }
    QListWidgetItem* current = item(count() - 1);
    for (const std::filesystem::path& name : names) {
        entries_.push_back(directory / name);
        addItem(Entry(closed_icon, name, level));
    }
    setCurrentItem(current);
    scrollToItem(current, QAbstractItemView::PositionAtTop);
    return true;
}

std::filesystem::path DirectoryList::EntryPath(int row) const {
    return entries_.at(static_cast<std::size_t>(row));
}

}  // namespace korvane
