#include "report_list.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include <QAccessible>
#include <QEvent>
#include <QFontMetricsF>
#include <QHoverEvent>
#include <QPaintEvent>
#include <QPainter>
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

ReportList::ReportList(QWidget* parent) : QListView(parent) {
    setModel(&model_);
    setUniformItemSizes(true);
    // Several lines may be selected for copying; a click still selects one.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
    UpdateCellSize();
}

void ReportList::changeEvent(QEvent* event) {
    QListView::changeEvent(event);
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
    updateGeometries();
    viewport()->update();
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

// The rows' places. In the contents, row k's top is k row heights down and every row is
// as wide as the widest line; in the viewport a row reaches at least to the view's right
// edge, as a list's rows do.

QRect ReportList::RowInContents(int row) const {
    return {0, row * RowHeight(), model_.RowWidth(), RowHeight()};
}

std::pair<int, int> ReportList::RowsIn(int top, int bottom) const {
    const int rows = Rows();
    const int height = RowHeight();
    if (rows == 0 || bottom < 0 || bottom < top || top > rows * height) {
        return {0, -1};
    }
    const int first = top < 0 ? 0 : std::min(top / height, rows - 1);
    return {first, std::min(rows - 1, bottom / height)};
}

QRect ReportList::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != &model_ || index.row() >= Rows()) {
        return {};
    }
    QRect place = RowInContents(index.row());
    place.setWidth(std::max(place.width(), viewport()->width()));
    return place.translated(-horizontalOffset(), -verticalOffset());
}

QModelIndex ReportList::indexAt(const QPoint& point) const {
    const int y = point.y() + verticalOffset();
    const auto [first, last] = RowsIn(y, y);
    if (first > last) {
        return {};
    }
    const QModelIndex index = model_.index(last);
    return visualRect(index).contains(point) ? index : QModelIndex();
}

int ReportList::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int ReportList::verticalOffset() const {
    const int value = verticalScrollBar()->value();
    if (verticalScrollMode() != ScrollPerItem) {
        return value;
    }
    // Scrolled by whole rows: the scroll bar counts rows.
    return Rows() == 0 || value > Rows() ? 0 : value * RowHeight();
}

void ReportList::scrollContentsBy(int dx, int dy) {
    if (verticalScrollMode() == ScrollPerItem && Rows() > 0) {
        const int now = std::clamp(verticalScrollBar()->value(), 0, Rows() - 1);
        const int before = std::clamp(now + dy, 0, Rows() - 1);
        dy = (before - now) * RowHeight();
    }
    QAbstractItemView::scrollContentsBy(dx, dy);
}

void ReportList::updateGeometries() {
    const int rows = Rows();
    QScrollBar* across = horizontalScrollBar();
    QScrollBar* down = verticalScrollBar();
    if (geometry().isEmpty() || rows <= 0) {
        across->setRange(0, 0);
        down->setRange(0, 0);
    } else {
        const QSize contents(model_.RowWidth(), rows * RowHeight());
        const QSize inside = contentsRect().size();
        // Where both bars come and go as needed, a bar stays away when the contents fit
        // beside the other bar, so that the two never make each other appear in turn.
        const bool both_as_needed = verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
                                    horizontalScrollBarPolicy() == Qt::ScrollBarAsNeeded;
        const bool tall = contents.height() > inside.height();
        const bool wide = contents.width() > inside.width() - (tall ? down->width() : 0);
        across->setSingleStep(contents.width());
        across->setPageStep(viewport()->width());
        across->setRange(0, both_as_needed && !wide ? 0 : contents.width() - viewport()->width());
        if (verticalScrollMode() == ScrollPerItem) {
            // One step per row; at the end the last row is wholly in view.
            const int page = contents.height() <= viewport()->height()
                                 ? rows + 1
                                 : viewport()->height() / RowHeight();
            down->setSingleStep(1);
            down->setPageStep(page);
            down->setRange(0, std::max(0, rows - page));
        } else {
            const bool wide_alone = contents.width() > inside.width();
            const bool tall_beside =
                contents.height() > inside.height() - (wide_alone ? across->height() : 0);
            down->setSingleStep(RowHeight());
            down->setPageStep(viewport()->height());
            down->setRange(
                0, both_as_needed && !tall_beside ? 0 : contents.height() - viewport()->height());
        }
    }
    QAbstractItemView::updateGeometries();
    // The bars shown or hidden and the viewport sized to match at once, not at the next turn
    // of the event loop: a scroll right after new rows measures the view as it will be.
    setViewportMargins(viewportMargins());
}

void ReportList::doItemsLayout() {
    QAbstractItemView::doItemsLayout();
}

void ReportList::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    updateGeometries();
    const QRect added(visualRect(model_.index(start)).topLeft(),
                      visualRect(model_.index(end)).bottomRight());
    if (added.intersects(viewport()->rect())) {
        viewport()->update(added.intersected(viewport()->rect()));
    }
}

void ReportList::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (index.parent() != rootIndex() || index.column() != modelColumn()) {
        return;
    }
    const QRect place = visualRect(index);
    if (!place.isValid()) {
        return;
    }
    const QRect area = viewport()->rect();
    if (hint == EnsureVisible && area.contains(place)) {
        viewport()->update(place);
        return;
    }
    const bool above = hint == EnsureVisible && place.top() < area.top();
    const bool below = hint == EnsureVisible && place.bottom() > area.bottom();
    QScrollBar* down = verticalScrollBar();
    int value = down->value();
    if (verticalScrollMode() == ScrollPerItem) {
        if (above) {
            hint = PositionAtTop;
        } else if (below) {
            hint = PositionAtBottom;
        }
        // The rows that fit wholly into the view, counting up from this one.
        const int whole = area.height() / RowHeight();
        const int fit = whole <= 1 ? 1 : std::min(index.row() + 1, whole);
        if (hint == PositionAtTop) {
            value = index.row();
        } else if (hint == PositionAtBottom) {
            value = index.row() - fit + 1;
        } else if (hint == PositionAtCenter) {
            value = index.row() - fit / 2;
        }
    } else if (hint == PositionAtTop || above) {
        value += place.top();
    } else if (hint == PositionAtBottom || below) {
        value += std::min(place.top(), place.bottom() - area.height() + 1);
    } else if (hint == PositionAtCenter) {
        value += place.top() - (area.height() - place.height()) / 2;
    }
    down->setValue(value);
}

QModelIndex ReportList::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const QModelIndex current = currentIndex();
    const int rows = Rows();
    if (!current.isValid()) {
        return rows > 0 ? model_.index(0) : QModelIndex();
    }
    // A page is one row less than the rows that fit wholly into the view; a view lower than
    // a row pages by single rows.
    const int whole = viewport()->height() / RowHeight();
    const int page = viewport()->height() > RowHeight() ? whole - 1 : 1;
    int row = current.row();
    switch (action) {
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = rows - 1;
            break;
        case MovePageUp:
            row -= page;
            break;
        case MovePageDown:
            row += page;
            break;
        case MoveUp:
        case MovePrevious:
            --row;
            break;
        case MoveDown:
        case MoveNext:
            ++row;
            break;
        default:
            // One column of rows: nothing lies beside the current row.
            break;
    }
    return model_.index(std::clamp(row, 0, rows - 1));
}

void ReportList::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (selectionModel() == nullptr) {
        return;
    }
    const QRect area = rect.translated(horizontalOffset(), verticalOffset());
    QItemSelection selection;
    int first = 0;
    int last = -1;
    if (rect.width() == 1 && rect.height() == 1) {
        // A click: the row under the point.
        first = last = RowsIn(area.top(), area.bottom()).second;
    } else if (state() == DragSelectingState) {
        // A drag, up or down: every row the rectangle touches.
        const QRect band = area.normalized();
        std::tie(first, last) = RowsIn(band.top(), band.bottom());
    } else {
        // From the row at one corner to the row at the other, where both are rows; the
        // corner the selection started from may be the lower one.
        const int from = RowsIn(area.top(), area.top()).second;
        const int to = RowsIn(area.bottom(), area.bottom()).second;
        if (from >= 0 && to >= 0) {
            first = std::min(from, to);
            last = std::max(from, to);
        }
    }
    if (first >= 0 && first <= last) {
        selection.select(model_.index(first), model_.index(last));
    }
    selectionModel()->select(selection, command);
}

QRegion ReportList::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const QRect area = viewport()->rect();
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex()) {
            continue;
        }
        const QRect place(visualRect(model_.index(range.top())).topLeft(),
                          visualRect(model_.index(range.bottom())).bottomRight());
        if (area.intersects(place)) {
            region += place;
        }
    }
    return region;
}

bool ReportList::viewportEvent(QEvent* event) {
    // The row under the mouse, for styles that mark it.
    switch (event->type()) {
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
            hover_ = indexAt(static_cast<QHoverEvent*>(event)->position().toPoint());
            break;
        case QEvent::HoverLeave:
        case QEvent::Leave:
            hover_ = QPersistentModelIndex();
            break;
        default:
            break;
    }
    return QListView::viewportEvent(event);
}

void ReportList::paintEvent(QPaintEvent* event) {
    if (itemDelegate() == nullptr) {
        return;
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QPainter painter(viewport());
    const QRect area = event->rect().translated(horizontalOffset(), verticalOffset());
    const auto [first, last] = RowsIn(area.top(), area.bottom());
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QStyle::State state = option.state;
    const bool enabled = (state & QStyle::State_Enabled) != 0;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model_.index(row);
        option.rect = visualRect(index);
        option.state = state;
        if (selectionModel()->isSelected(index)) {
            option.state |= QStyle::State_Selected;
        }
        if (enabled) {
            option.palette.setCurrentColorGroup(QPalette::Normal);
        }
        if (focus && current == index) {
            option.state |= QStyle::State_HasFocus;
            if (this->state() == EditingState) {
                option.state |= QStyle::State_Editing;
            }
        }
        if (index == hover_) {
            option.state |= QStyle::State_MouseOver;
        } else {
            option.state &= ~QStyle::State_MouseOver;
        }
        if (alternatingRowColors()) {
            if (row % 2 == 1) {
                option.features |= QStyleOptionViewItem::Alternate;
            } else {
                option.features &= ~QStyleOptionViewItem::Alternate;
            }
            QStyleOptionViewItem row_option = option;
            row_option.state &= ~QStyle::State_Selected;
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &row_option, &painter, this);
        }
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void ReportList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
#if QT_CONFIG(accessibility)
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }
#endif
    QAbstractItemView::currentChanged(current, previous);
}

void ReportList::selectionChanged(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
#if QT_CONFIG(accessibility)
    if (QAccessible::isActive()) {
        for (const auto& [ranges, type] : {std::pair{&selected, QAccessible::SelectionAdd},
                                           {&deselected, QAccessible::SelectionRemove}}) {
            if (!ranges->isEmpty() && ranges->front().isValid()) {
                QAccessibleEvent event(this, type);
                event.setChild(ranges->front().top());
                QAccessible::updateAccessibility(&event);
            }
        }
    }
#endif
    QAbstractItemView::selectionChanged(selected, deselected);
}

}  // namespace korvane
