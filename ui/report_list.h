// The report list `reportlst`: text lines in a fixed-pitch font. Lines appended during a
// run are kept back and shown in batches; Sync() brings the view up to date. Every row is
// as high as a line and as wide as the widest, so a batch of lines costs the same whether
// the report holds ten lines or a million.
#pragma once

#include <QAbstractListModel>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "uniform_list_view.h"

namespace korvane {

class ReportModel final : public QAbstractListModel {
    Q_OBJECT

  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Takes a line without telling the view yet.
    void Append(const std::string& line);
    // Tells the view about every line taken since the last flush.
    void Flush();
    void Clear();
    std::int64_t LineCount() const { return static_cast<std::int64_t>(ends_.size()); }
    QString Line(std::int64_t index) const;
    // The size of one character cell and the margins of a row, from the view's font. Every
    // row then measures as wide as the widest line, so the view can scroll sideways without
    // measuring each line.
    void SetCellSize(qreal advance, int margins, int height);
    int RowHeight() const { return height_; }
    int RowWidth() const;

  private:
    // The lines as the engines write them (UTF-8), one after the other; a line ends where
    // the next begins. They are made text only for the rows the view shows.
    std::string text_;
    std::vector<std::size_t> ends_;
    int shown_ = 0;
    qsizetype widest_ = 0;
    qreal advance_ = 8;
    int margins_ = 8;
    int height_ = 16;
};

class ReportList final : public UniformListView {
    Q_OBJECT

  public:
    explicit ReportList(QWidget* parent = nullptr);

    void Append(const std::string& line) { model_.Append(line); }
    void Clear();
    std::int64_t LineCount() const { return model_.LineCount(); }
    QString Line(std::int64_t index) const { return model_.Line(index); }
    // Makes the line that is last now the selected one, once the view is brought up to date.
    void SelectLast();
    // Selects a line by its 0-based number and scrolls it into view, no more than needed.
    void SelectLine(std::int64_t line);
    // The selected line (the current one where several are), or -1.
    std::int64_t SelectedLine() const;
    // The selected lines in report order, each ended by a newline.
    QString SelectedText() const;
    // The height that shows `rows` whole rows in the list's font, with a row of scroll bar.
    int HeightForRows(int rows) const;
    // Shows the lines kept back and applies a selection made meanwhile.
    void Sync();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void UpdateCellSize();

    ReportModel model_;
    std::int64_t pending_selection_ = -1;
};

}  // namespace korvane
