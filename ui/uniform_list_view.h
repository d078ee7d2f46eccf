// A list view whose rows all have one size, placed by arithmetic: row k lies k row heights
// down, so a new model or a batch of new rows costs the same whether the list holds ten
// rows or a million. Scrolling, selection, keys and painting are those of a QListView
// with uniform item sizes, which lays out every row again after each change.
#pragma once

#include <QListView>
#include <QPersistentModelIndex>
#include <utility>

namespace korvane {

class UniformListView : public QListView {
    Q_OBJECT

  public:
    explicit UniformListView(QWidget* parent = nullptr);

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void doItemsLayout() override;

  protected:
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    void scrollContentsBy(int dx, int dy) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

  private:
    // Measures the rows anew where a change waits to be measured.
    void Settle() const;
    void MeasureRows();
    int Rows() const;
    QModelIndex Index(int row) const;
    int RowHeight() const { return std::max(1, row_size_.height()); }
    // A row's place in the contents.
    QRect RowInContents(int row) const;
    // The rows a band of the contents from `top` to `bottom` (inclusive) touches, or an
    // empty range (first > last).
    std::pair<int, int> RowsIn(int top, int bottom) const;

    QSize row_size_;
    QPersistentModelIndex hover_;
};

}  // namespace korvane
