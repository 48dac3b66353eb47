#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "results/FileNameSplit.h"

// The results sheet and the image list in one: row 0 holds the headings, row
// i + 1 belongs to image i; columns 0..3 are "No.", "Path", "File Name" and
// "Dots/cm", the measurement columns follow. Cells are text. Only the
// operations below change it; a view follows through the observer. The table
// knows columns, not what they measure: the definition operations decide
// where a measurement's columns go and call the column operations.
class TResultsTable {
public:
  // Told about every change so that a grid model can follow it. Each change
  // of shape comes as a Before/After pair around the change itself.
  class Observer {
  public:
    virtual ~Observer() = default;
    virtual void BeforeRowCountChange(int oldCount, int newCount) = 0;
    virtual void AfterRowCountChange(int oldCount, int newCount) = 0;
    // Columns at, at + 1, … are inserted (newCount > oldCount) or removed.
    virtual void BeforeColumnCountChange(int at, int oldCount, int newCount) = 0;
    virtual void AfterColumnCountChange(int at, int oldCount, int newCount) = 0;
    virtual void CellsChanged(int firstCol, int lastCol, int firstRow, int lastRow) = 0;
    virtual void ImageRowShown(int row, int topRow) = 0;
  };

  static constexpr int kFixedColumns = 4;
  static constexpr int kInitialRows = 11;
  enum FixedColumn { colNo = 0, colPath = 1, colFileName = 2, colDotsPerCm = 3 };

  explicit TResultsTable(PathRules rules = NativePathRules());

  void SetObserver(Observer *observer) { Observer_ = observer; }

  // Number of images opened so far; image i has row i + 1.
  int ImageCount = 0;
  // The table holds rows or values not yet saved: set by every change of its
  // image rows or values, cleared by MarkSaved.
  bool DataChanged() const { return DataChanged_; }

  int RowCount() const { return int(Rows_.size()); }
  int ColumnCount() const { return ColCount_; }
  // The text of cell (col, row); empty outside the table.
  QString Cell(int col, int row) const;
  // Row `row`'s cells, ColumnCount() of them.
  const QStringList &Row(int row) const { return Rows_[size_t(row)]; }

  void AppendImageRows(const QStringList &files);
  // Image rows as a results file holds them, one cell per column, appended
  // after the rows already there and numbered on from them. They are what
  // that file already holds, so they leave DataChanged as it is.
  void AppendSavedRows(const std::vector<QStringList> &rows);
  QString ImageFilePath(int i) const;

  // Column operations: `count` empty columns inserted before column `at`
  // (at == ColumnCount() appends), or removed from `at` on, cells and
  // headings moving with their columns.
  void InsertColumns(int at, int count);
  void RemoveColumns(int at, int count);
  void SetHeading(int col, const QString &text);

  void SetImageCell(int i, int column, const QString &text);
  // The values of one measurement, into consecutive cells of image i's row
  // from `firstColumn` on. A measurement that yields no value still counts as
  // a change.
  void SetImageCells(int i, int firstColumn, const QStringList &texts);
  void ShowImageRow(int i);
  // Everything in the table has been written to the results file.
  void MarkSaved() { DataChanged_ = false; }
  // The table holds what has not been saved (a sitting brought back).
  void MarkChanged() { DataChanged_ = true; }

  // The row shown as current by ShowImageRow (-1 before), and the top data
  // row it asked the grid to scroll to.
  int CurrentRow() const { return CurrentRow_; }
  int RequestedTopRow() const { return TopRow_; }

private:
  // Appends image rows with these cells; "No." is the image's number.
  void AppendRows(const std::vector<QStringList> &rows);

  PathRules Rules_;
  int ColCount_ = kFixedColumns;
  std::vector<QStringList> Rows_;
  int CurrentRow_ = -1;
  int TopRow_ = 1;
  Observer *Observer_ = nullptr;
  bool DataChanged_ = false;
};
