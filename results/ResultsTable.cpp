#include "results/ResultsTable.h"

TResultsTable::TResultsTable(PathRules rules) : Rules_(rules) {
  Rows_.assign(kInitialRows, QStringList(kFixedColumns, QString()));
  Rows_[0] = {QStringLiteral("No."), QStringLiteral("Path"), QStringLiteral("File Name"), QStringLiteral("Dots/cm")};
}

QString TResultsTable::Cell(int col, int row) const {
  if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount_) return QString();
  return Rows_[size_t(row)].at(col);
}

void TResultsTable::AppendImageRows(const QStringList &files) {
  std::vector<QStringList> rows;
  rows.reserve(size_t(files.size()));
  for (const QString &file : files) {
    const SplitName parts = SplitFileName(file, Rules_);
    rows.push_back({QString(), parts.Path, parts.FileName});
  }
  AppendRows(rows);
  DataChanged_ = true;
}

void TResultsTable::AppendSavedRows(const std::vector<QStringList> &rows) {
  if (!rows.empty()) AppendRows(rows);
}

void TResultsTable::AppendRows(const std::vector<QStringList> &rows) {
  const int c = ImageCount;
  const int oldRows = RowCount();
  const int newRows = c + int(rows.size()) + 1;
  if (Observer_) Observer_->BeforeRowCountChange(oldRows, newRows);
  // Before the first images the table has its initial empty rows; the image
  // rows take their place, so the row count can go down as well as up.
  Rows_.resize(size_t(newRows));
  for (int k = 0; k < int(rows.size()); ++k) {
    QStringList row = rows[size_t(k)];
    row.resize(ColCount_);
    // "No." is the image's number; the other cells are as given.
    row[colNo] = QString::number(c + k + 1);
    Rows_[size_t(c + k + 1)] = row;
  }
  ImageCount = newRows - 1;
  if (Observer_) {
    Observer_->AfterRowCountChange(oldRows, newRows);
    Observer_->CellsChanged(0, ColCount_ - 1, c + 1, newRows - 1);
  }
}

QString TResultsTable::ImageFilePath(int i) const {
  return JoinFileName(Cell(colPath, i + 1), Cell(colFileName, i + 1), Rules_);
}

void TResultsTable::InsertColumns(int at, int count) {
  if (count <= 0 || at < 0 || at > ColCount_) return;
  if (Observer_) Observer_->BeforeColumnCountChange(at, ColCount_, ColCount_ + count);
  for (QStringList &row : Rows_)
    for (int k = 0; k < count; ++k) row.insert(at, QString());
  ColCount_ += count;
  if (Observer_) Observer_->AfterColumnCountChange(at, ColCount_ - count, ColCount_);
}

void TResultsTable::RemoveColumns(int at, int count) {
  if (count <= 0 || at < 0 || at + count > ColCount_) return;
  if (Observer_) Observer_->BeforeColumnCountChange(at, ColCount_, ColCount_ - count);
  for (QStringList &row : Rows_) row.remove(at, count);
  ColCount_ -= count;
  if (Observer_) Observer_->AfterColumnCountChange(at, ColCount_ + count, ColCount_);
}

void TResultsTable::SetHeading(int col, const QString &text) {
  if (col < 0 || col >= ColCount_) return;
  Rows_[0][col] = text;
  if (Observer_) Observer_->CellsChanged(col, col, 0, 0);
}

void TResultsTable::SetImageCell(int i, int column, const QString &text) {
  const int row = i + 1;
  if (row < 1 || row >= RowCount() || column < 0 || column >= ColCount_) return;
  Rows_[size_t(row)][column] = text;
  DataChanged_ = true;
  if (Observer_) Observer_->CellsChanged(column, column, row, row);
}

void TResultsTable::SetImageCells(int i, int firstColumn, const QStringList &texts) {
  for (int k = 0; k < texts.size(); ++k) SetImageCell(i, firstColumn + k, texts.at(k));
  DataChanged_ = true;
}

void TResultsTable::ShowImageRow(int i) {
  CurrentRow_ = i + 1;
  TopRow_ = i <= 4 ? 1 : i - 3;
  if (Observer_) Observer_->ImageRowShown(CurrentRow_, TopRow_);
}
