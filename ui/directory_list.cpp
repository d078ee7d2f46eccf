#include "directory_list.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
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
    // No wider than the list: a long name is elided in the middle, whole in its tooltip.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize hint = QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(index), 0);
        const auto* view = static_cast<const QAbstractItemView*>(parent());
        return {std::min(hint.width(), view->viewport()->width()), hint.height()};
    }

  private:
    static int Indent(const QModelIndex& index) {
        return index.data(kLevelRole).toInt() * kIndentPixels;
    }
};

QListWidgetItem* Entry(const QIcon& icon, const std::filesystem::path& name, int level) {
    auto* item = new QListWidgetItem(icon, QString::fromStdString(DisplayName(name)));
    item->setData(kLevelRole, level);
    item->setToolTip(item->text());
    return item;
}

}  // namespace

std::error_code ListSubdirectories(const std::filesystem::path& directory,
                                   std::vector<std::filesystem::path>& names) {
    names.clear();
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    if (ec) {
        return ec;
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
    if (!ec) {
        std::sort(names.begin(), names.end(), SourceNameLess);
    }
    return ec;
}

DirectoryList::DirectoryList(QWidget* parent)
    : QListWidget(parent), path_line_(new QLineEdit(this)) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentingDelegate(this));
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Open and closed folders alike, at the size of a line of text.
    setIconSize(QSize(kIconPixels, kIconPixels));
    path_line_->setObjectName(QStringLiteral("source_dir_path"));
    path_line_->setFrame(false);
    path_line_->setTextMargins(2, 0, 2, 0);
    path_line_->installEventFilter(this);
    connect(path_line_, &QLineEdit::returnPressed, this, [this] {
        const std::filesystem::path typed(QFile::encodeName(path_line_->text()).toStdString());
        setFocus(Qt::OtherFocusReason);
        // A relative path is taken from the directory shown.
        emit pathEntered(typed.is_absolute() ? typed : path_ / typed);
    });
    setViewportMargins(0, fontMetrics().height() + 3, 0, 0);
}

void DirectoryList::resizeEvent(QResizeEvent* event) {
    QListWidget::resizeEvent(event);
    const QRect inside = contentsRect();
    path_line_->setGeometry(inside.left(), inside.top(), inside.width(),
                            viewport()->geometry().top() - inside.top());
    ShowPathLine();
    ShowCurrent();
}

bool DirectoryList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == path_line_ && event->type() == QEvent::FocusIn) {
        // Editing starts from the whole path, selected, so that typing replaces it: after a
        // path that could not be opened, that path, to be corrected. Selected again once a
        // click that gave the focus has placed the cursor.
        path_line_->setText(
            QString::fromStdString(DisplayName(status_.isEmpty() ? path_ : failed_)));
        path_line_->selectAll();
        QTimer::singleShot(0, path_line_, &QLineEdit::selectAll);
    } else if (watched == path_line_ && event->type() == QEvent::FocusOut) {
        ShowPathLine();
    } else if (watched == path_line_ && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    return QListWidget::eventFilter(watched, event);
}

void DirectoryList::ShowPathLine() {
    if (path_line_->hasFocus()) {
        return;
    }
    const QString full = QString::fromStdString(DisplayName(path_));
    const QString line = status_.isEmpty() ? full : status_;
    path_line_->setText(path_line_->fontMetrics().elidedText(
        line, Qt::ElideMiddle, path_line_->contentsRect().width() - 8));
    path_line_->setCursorPosition(0);
    path_line_->setToolTip(status_.isEmpty() ? full : status_ + QStringLiteral("\n") + full);
}

bool DirectoryList::SetPath(const std::filesystem::path& directory) {
    std::vector<std::filesystem::path> names;
    if (const std::error_code ec = ListSubdirectories(directory, names)) {
        // The highlight goes back to the directory shown; the line above says why.
        failed_ = directory;
        status_ = QStringLiteral("Cannot open %1: %2")
                      .arg(QString::fromStdString(DisplayName(directory)),
                           QString::fromStdString(ec.message()));
        setCurrentRow(current_row_);
        ShowPathLine();
        return false;
    }
    status_.clear();
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
    current_row_ = row(current);
    setCurrentItem(current);
    ShowCurrent();
    ShowPathLine();
    return true;
}

void DirectoryList::ShowCurrent() {
    // The directory with its parent above it, and as many of its subdirectories as fit.
    if (current_row_ >= 0) {
        executeDelayedItemsLayout();
        scrollToItem(item(std::max(current_row_ - 1, 0)), QAbstractItemView::PositionAtTop);
    }
}

std::filesystem::path DirectoryList::EntryPath(int row) const {
    return entries_.at(static_cast<std::size_t>(row));
}

}  // namespace korvane
