#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "results/FileNameSplit.h"

// The results sheet and the image list in one: row 0 holds the headings, and
// each image has one row per object measured on it, its first object's row
// first and the others directly below it; columns 0..3 are "No.", "Path",
// "File Name" and "Dots/cm" (the same on all rows of an image), the
// measurement columns follow. Cells are text. Only the operations below
// change it; a view follows through the observer. The table knows columns,
// not what they measure: the definition operations decide where a
// measurement's columns go and call the column operations.
//
// As it is shown and saved, the table gets an "Object" column (1, 2, 3 …)
// after "File Name" once any image has a second object; the columns kept
// here do not move for it.
class TResultsTable {
public:
  // Told about every change so that a grid model can follow it. Each change
  // of shape comes as a Before/After pair around the change itself; rows
  // and columns are the table's own, not as shown.
  class Observer {
  public:
    virtual ~Observer() = default;
    // Rows at, at + 1, … inserted (count > 0) or removed (count < 0).
    virtual void BeforeRowsChange(int at, int count) = 0;
    virtual void AfterRowsChange(int at, int count) = 0;
    // Columns at, at + 1, … are inserted (newCount > oldCount) or removed.
    virtual void BeforeColumnCountChange(int at, int oldCount, int newCount) = 0;
    virtual void AfterColumnCountChange(int at, int oldCount, int newCount) = 0;
    // The "Object" column appears or goes.
    virtual void BeforeObjectColumnChange() = 0;
    virtual void AfterObjectColumnChange() = 0;
    virtual void CellsChanged(int firstCol, int lastCol, int firstRow, int lastRow) = 0;
    virtual void ImageRowShown(int row, int topRow) = 0;
  };

  static constexpr int kFixedColumns = 4;
  static constexpr int kInitialRows = 11;
  enum FixedColumn { colNo = 0, colPath = 1, colFileName = 2, colDotsPerCm = 3 };

  explicit TResultsTable(PathRules rules = NativePathRules());

  void SetObserver(Observer *observer) { Observer_ = observer; }

  // Number of images opened so far.
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

  // ---- Images and their objects --------------------------------------------
  // The row of image i's object k (from 1), and how many objects it has.
  int RowOf(int image, int object = 1) const;
  int ObjectCount(int image) const;
  // The image and object of a row; -1 and 0 for a row of no image.
  int ImageOfRow(int row) const;
  int ObjectOfRow(int row) const;
  // Whether any image has a second object (and the table an "Object" column
  // as shown and saved).
  bool HasObjects() const { return ExtraObjects_ > 0; }
  // A row for image i's next object, below its others, with its fixed
  // cells; returns the new object's number.
  int AddObject(int image);
  // Removes image i's object k (from 2: the first is the image's own row);
  // the objects after it are numbered one less.
  void RemoveObject(int image, int object);
  // All rows of image i, and replacing them all (at least one row; the
  // fixed cells stay the image's).
  std::vector<QStringList> ImageRows(int image) const;
  void SetImageRows(int image, const std::vector<QStringList> &rows);

  void AppendImageRows(const QStringList &files);
  // Rows as a results file holds them, one cell per column, each with its
  // object number (1 for an image's own row, which starts the image),
  // appended after the rows already there, the images numbered on from
  // them. They are what that file already holds, so they leave DataChanged
  // as it is.
  void AppendSavedRows(const std::vector<QStringList> &rows, const std::vector<int> &objects = {});
  QString ImageFilePath(int i) const;

  // Column operations: `count` empty columns inserted before column `at`
  // (at == ColumnCount() appends), or removed from `at` on, cells and
  // headings moving with their columns.
  void InsertColumns(int at, int count);
  void RemoveColumns(int at, int count);
  void SetHeading(int col, const QString &text);

  // A cell of image i: one of the fixed columns on every row of the image,
  // a value on its own (first object's) row.
  void SetImageCell(int i, int column, const QString &text);
  // The values of one measurement, into consecutive cells of a row of image
  // i (its object k's) from `firstColumn` on. A measurement that yields no
  // value still counts as a change.
  void SetImageCells(int i, int firstColumn, const QStringList &texts);
  void SetObjectCells(int i, int object, int firstColumn, const QStringList &texts);
  // Selects the row of image i's object (the image's own by default).
  void ShowImageRow(int i, int object = 1);
  // Everything in the table has been written to the results file.
  void MarkSaved() { DataChanged_ = false; }
  // The table holds what has not been saved (a sitting brought back).
  void MarkChanged() { DataChanged_ = true; }

  // The row shown as current by ShowImageRow (-1 before), and the top data
  // row it asked the grid to scroll to.
  int CurrentRow() const { return CurrentRow_; }
  int RequestedTopRow() const { return TopRow_; }

  // ---- The table as shown and saved ------------------------------------------
  // With the "Object" column after "File Name" once any image has a second
  // object; as kept otherwise.
  int ShownColumnCount() const { return ColCount_ + (HasObjects() ? 1 : 0); }
  QString ShownCell(int col, int row) const;
  // The shown column of a column kept here.
  int ShownColumn(int col) const { return HasObjects() && col >= colDotsPerCm ? col + 1 : col; }
  static constexpr int kShownObjectColumn = colDotsPerCm;

private:
  // Appends image rows with these cells; "No." is the image's number.
  void AppendRows(const std::vector<QStringList> &rows, const std::vector<int> &objects);
  void CountObjects(int change);
  void InsertRow(int at, const QStringList &cells, int image, int object);
  void RemoveRow(int at);

  PathRules Rules_;
  int ColCount_ = kFixedColumns;
  std::vector<QStringList> Rows_;
  std::vector<int> RowImage_;   // per row: its image, -1 for none
  std::vector<int> RowObject_;  // per row: its object number, 0 for none
  std::vector<int> FirstRow_;   // per image: the row of its own object
  int ExtraObjects_ = 0;        // rows of objects after an image's first
  int CurrentRow_ = -1;
  int TopRow_ = 1;
  Observer *Observer_ = nullptr;
  bool DataChanged_ = false;
};
