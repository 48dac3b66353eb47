#pragma once

#include <QAbstractTableModel>

#include "results/ResultsTable.h"

class QTableView;

// Shows the results table, as it is shown and saved (with its "Object"
// column once an image has a second object), in a QTableView without
// copying it. The table's row 0 becomes the horizontal header and its column
// 0 the vertical header, so both stay in view while the grid scrolls; the
// corner shows "No.".
class TResultsGridModel : public QAbstractTableModel, public TResultsTable::Observer {
  Q_OBJECT

public:
  explicit TResultsGridModel(TResultsTable &table, QObject *parent = nullptr);
  ~TResultsGridModel() override;

  // Sets up the view: widths, heights, selection, the corner text; and keeps
  // the selection and scroll position in line with ShowImageRow.
  void AttachView(QTableView *view);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;

  // Column widths of the table's columns 0..3; later columns are 100 wide.
  static int TableColumnWidth(int col);
  static constexpr int kRowHeight = 20;
  static constexpr int kObjectColumnWidth = 50;

  void BeforeRowsChange(int at, int count) override;
  void AfterRowsChange(int at, int count) override;
  void BeforeObjectColumnChange() override;
  void AfterObjectColumnChange() override;
  void BeforeColumnCountChange(int at, int oldCount, int newCount) override;
  void AfterColumnCountChange(int at, int oldCount, int newCount) override;
  void CellsChanged(int firstCol, int lastCol, int firstRow, int lastRow) override;
  void ImageRowShown(int row, int topRow) override;

private:
  void ApplyColumnWidths(int fromTableCol);

  TResultsTable &Table_;
  QTableView *View_ = nullptr;
};
