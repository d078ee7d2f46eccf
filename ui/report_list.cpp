#include "report_list.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace korvane {

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return Line(index.row());
    }
    if (role == Qt::SizeHintRole) {
        return QSize(RowWidth(), height_);
    }
    return {};
}

QString ReportModel::Line(std::int64_t index) const {
    const auto k = static_cast<std::size_t>(index);
    const std::size_t begin = k == 0 ? 0 : ends_[k - 1];
    return QString::fromUtf8(text_.data() + begin, static_cast<qsizetype>(ends_[k] - begin));
}

int ReportModel::RowWidth() const {
    return static_cast<int>(std::ceil(static_cast<qreal>(widest_) * advance_)) + margins_;
}

void ReportModel::Append(const std::string& line) {
    text_ += line;
    ends_.push_back(text_.size());
    // The width in characters as the view counts them; a name may bring other than ASCII.
    // A line counts no more characters than it has bytes, so only a line with more bytes
    // than the widest has characters can be wider.
    if (static_cast<qsizetype>(line.size()) > widest_) {
        const bool ascii = std::all_of(line.begin(), line.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        widest_ = std::max(widest_, ascii ? static_cast<qsizetype>(line.size())
                                          : QString::fromStdString(line).size());
    }
}

void ReportModel::SetCellSize(qreal advance, int margins, int height) {
    advance_ = advance;
    margins_ = margins;
    height_ = height;
    if (shown_ > 0) {
        emit dataChanged(index(0), index(shown_ - 1), {Qt::SizeHintRole});
    }
}

void ReportModel::Flush() {
    const int total = static_cast<int>(ends_.size());
    if (total == shown_) {
        return;
    }
    beginInsertRows(QModelIndex(), shown_, total - 1);
    shown_ = total;
    endInsertRows();
}

void ReportModel::Clear() {
    beginResetModel();
    text_.clear();
    ends_.clear();
    shown_ = 0;
    widest_ = 0;
    endResetModel();
}

ReportList::ReportList(QWidget* parent) : UniformListView(parent) {
    setModel(&model_);
    // Several lines may be selected for copying; a click still selects one.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
    UpdateCellSize();
}

void ReportList::changeEvent(QEvent* event) {
    UniformListView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        UpdateCellSize();
    }
}

void ReportList::UpdateCellSize() {
    // The margins of a row the way the item delegate measures one; the row's height is the
    // font's line spacing, and a line's width its characters' exact advance.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("0");
    const QSize row = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
    const QFontMetricsF metrics(font());
    const qreal advance = metrics.horizontalAdvance(QLatin1Char('0'));
    model_.SetCellSize(advance, row.width() - static_cast<int>(std::ceil(advance)),
                       static_cast<int>(std::ceil(metrics.lineSpacing())));
    doItemsLayout();
}

void ReportList::Clear() {
    pending_selection_ = -1;
    model_.Clear();
}

void ReportList::SelectLast() {
    pending_selection_ = model_.LineCount() - 1;
}

void ReportList::SelectLine(std::int64_t line) {
    Sync();
    if (line < 0 || line >= model_.LineCount()) {
        return;
    }
    const QModelIndex index = model_.index(static_cast<int>(line));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index, QAbstractItemView::EnsureVisible);
}

std::int64_t ReportList::SelectedLine() const {
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid() && selectionModel()->isSelected(current)) {
        return current.row();
    }
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.front().row();
}

QString ReportList::SelectedText() const {
    QModelIndexList rows = selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end());
    QString text;
    for (const QModelIndex& row : rows) {
        text += model_.Line(row.row()) + QLatin1Char('\n');
    }
    return text;
}

int ReportList::HeightForRows(int rows) const {
    return rows * model_.RowHeight() + 2 * frameWidth() +
           horizontalScrollBar()->sizeHint().height();
}

void ReportList::Sync() {
    model_.Flush();
    const std::int64_t selection = pending_selection_;
    pending_selection_ = -1;
    if (selection >= 0) {
        SelectLine(selection);
    }
}

}  // namespace korvane
