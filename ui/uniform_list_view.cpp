#include "uniform_list_view.h"

#include <QAccessible>
#include <QHoverEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <tuple>

namespace korvane {

UniformListView::UniformListView(QWidget* parent) : QListView(parent) {
    setUniformItemSizes(true);
}

int UniformListView::Rows() const {
    return model() == nullptr ? 0 : model()->rowCount(rootIndex());
}

void UniformListView::Settle() const {
    // A new model, font or size of the rows is measured before any place is worked out.
    const_cast<UniformListView*>(this)->executeDelayedItemsLayout();
}

QModelIndex UniformListView::Index(int row) const {
    return model()->index(row, modelColumn(), rootIndex());
}

void UniformListView::MeasureRows() {
    // As a list view with uniform item sizes measures: the item delegate's size of the
    // last row stands for every row.
    const int rows = Rows();
    if (rows == 0) {
        row_size_ = QSize();
        return;
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex sample = Index(rows - 1);
    const QAbstractItemDelegate* delegate = itemDelegateForIndex(sample);
    row_size_ = delegate == nullptr ? QSize() : delegate->sizeHint(option, sample);
}

// The rows' places. In the contents, row k's top is k row heights down and every row is
// as wide as the widest line; in the viewport a row reaches at least to the view's right
// edge, as a list's rows do.

QRect UniformListView::RowInContents(int row) const {
    return {0, row * RowHeight(), row_size_.width(), RowHeight()};
}

std::pair<int, int> UniformListView::RowsIn(int top, int bottom) const {
    const int rows = Rows();
    const int height = RowHeight();
    if (rows == 0 || bottom < 0 || bottom < top || top > rows * height) {
        return {0, -1};
    }
    const int first = top < 0 ? 0 : std::min(top / height, rows - 1);
    return {first, std::min(rows - 1, bottom / height)};
}

QRect UniformListView::visualRect(const QModelIndex& index) const {
    Settle();
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex() ||
        index.column() != modelColumn() || index.row() >= Rows()) {
        return {};
    }
    QRect place = RowInContents(index.row());
    place.setWidth(std::max(place.width(), viewport()->width()));
    return place.translated(-horizontalOffset(), -verticalOffset());
}

QModelIndex UniformListView::indexAt(const QPoint& point) const {
    Settle();
    const int y = point.y() + verticalOffset();
    const auto [first, last] = RowsIn(y, y);
    if (first > last) {
        return {};
    }
    const QModelIndex index = Index(last);
    return visualRect(index).contains(point) ? index : QModelIndex();
}

int UniformListView::horizontalOffset() const {
    return horizontalScrollBar()->value();
}

int UniformListView::verticalOffset() const {
    const int value = verticalScrollBar()->value();
    if (verticalScrollMode() != ScrollPerItem) {
        return value;
    }
    // Scrolled by whole rows: the scroll bar counts rows.
    return Rows() == 0 || value > Rows() ? 0 : value * RowHeight();
}

void UniformListView::scrollContentsBy(int dx, int dy) {
    if (verticalScrollMode() == ScrollPerItem && Rows() > 0) {
        const int now = std::clamp(verticalScrollBar()->value(), 0, Rows() - 1);
        const int before = std::clamp(now + dy, 0, Rows() - 1);
        dy = (before - now) * RowHeight();
    }
    QAbstractItemView::scrollContentsBy(dx, dy);
}

void UniformListView::updateGeometries() {
    const int rows = Rows();
    QScrollBar* across = horizontalScrollBar();
    QScrollBar* down = verticalScrollBar();
    if (geometry().isEmpty() || rows <= 0) {
        across->setRange(0, 0);
        down->setRange(0, 0);
    } else {
        const QSize contents(row_size_.width(), rows * RowHeight());
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

void UniformListView::doItemsLayout() {
    MeasureRows();
    QAbstractItemView::doItemsLayout();
}

void UniformListView::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex()) {
        return;
    }
    MeasureRows();
    updateGeometries();
    const QRect added(visualRect(Index(start)).topLeft(), visualRect(Index(end)).bottomRight());
    if (added.intersects(viewport()->rect())) {
        viewport()->update(added.intersected(viewport()->rect()));
    }
}

void UniformListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    Settle();
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

QModelIndex UniformListView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    Settle();
    const QModelIndex current = currentIndex();
    const int rows = Rows();
    if (!current.isValid()) {
        return rows > 0 ? Index(0) : QModelIndex();
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
    return Index(std::clamp(row, 0, rows - 1));
}

void UniformListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (selectionModel() == nullptr) {
        return;
    }
    Settle();
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
        selection.select(Index(first), Index(last));
    }
    selectionModel()->select(selection, command);
}

QRegion UniformListView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const QRect area = viewport()->rect();
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex()) {
            continue;
        }
        const QRect place(visualRect(Index(range.top())).topLeft(),
                          visualRect(Index(range.bottom())).bottomRight());
        if (area.intersects(place)) {
            region += place;
        }
    }
    return region;
}

bool UniformListView::viewportEvent(QEvent* event) {
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

void UniformListView::paintEvent(QPaintEvent* event) {
    if (itemDelegate() == nullptr) {
        return;
    }
    Settle();
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
        const QModelIndex index = Index(row);
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

void UniformListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
#if QT_CONFIG(accessibility)
    if (QAccessible::isActive() && current.isValid() && hasFocus()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }
#endif
    QAbstractItemView::currentChanged(current, previous);
}

void UniformListView::selectionChanged(const QItemSelection& selected,
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
