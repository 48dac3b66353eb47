#include "results/ResultsTable.h"

#include "definitions/DefinitionList.h"
#include "definitions/MeasureType.h"

TResultsTable::TResultsTable(PathRules rules) : Rules_(rules) {
  Rows_.assign(kInitialRows, std::vector<QString>(kFixedColumns));
  Stamps_.assign(kInitialRows, 0);
  for (int r = 0; r < kInitialRows; ++r) Touch(r);
  Rows_[0][colNo] = QStringLiteral("No.");
  Rows_[0][colPath] = QStringLiteral("Path");
  Rows_[0][colFileName] = QStringLiteral("File Name");
  Rows_[0][colDotsPerCm] = QStringLiteral("Dots/cm");
}

QString TResultsTable::Cell(int col, int row) const {
  if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount_) return QString();
  return Rows_[row][col];
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
  Rows_.resize(newRows);
  Stamps_.resize(newRows);
  for (int k = 0; k < int(rows.size()); ++k) {
    std::vector<QString> &row = Rows_[c + k + 1];
    row.assign(ColCount_, QString());
    for (int col = 0; col < ColCount_ && col < rows[k].size(); ++col) row[col] = rows[k].at(col);
    row[colNo] = QString::number(c + k + 1);
    Touch(c + k + 1);
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

void TResultsTable::SetColumnCount(int count) {
  if (count == ColCount_) return;
  const int old = ColCount_;
  if (Observer_) Observer_->BeforeColumnCountChange(old, count);
  for (std::vector<QString> &row : Rows_) row.resize(count);
  for (int r = 0; r < RowCount(); ++r) Touch(r);
  ColCount_ = count;
  if (Observer_) Observer_->AfterColumnCountChange(old, count);
}

void TResultsTable::SetHeading(int col, const QString &text) {
  if (col < 0 || col >= ColCount_) return;
  Rows_[0][col] = text;
  Touch(0);
  if (Observer_) Observer_->CellsChanged(col, col, 0, 0);
}

void TResultsTable::AppendDefinitionColumns(TMeasureType &def) {
  def.FirstCol = ColCount_;
  SetColumnCount(ColCount_ + ::ColumnCount(def));
  WriteDefinitionHeadings(def);
}

void TResultsTable::WriteDefinitionHeadings(const TMeasureType &def) {
  if (QuantityCount(def) == 0) {
    SetHeading(def.FirstCol, def.Name);
    return;
  }
  int col = def.FirstCol;
  for (const QuantityFlag &q : kQuantityFlags)
    if (def.*q.Flag) SetHeading(col++, def.Name + QLatin1String(q.Suffix));
}

void TResultsTable::RemoveDefinitionColumns(TDefinitionList &list, int position) {
  const int w = ::ColumnCount(list.At(position));
  for (int p = position + 1; p < list.Count(); ++p) {
    TMeasureType &later = list.At(p);
    later.FirstCol -= w;
    WriteDefinitionHeadings(later);
  }
  SetColumnCount(ColCount_ - w);
}

void TResultsTable::SetImageCell(int i, int column, const QString &text) {
  const int row = i + 1;
  if (row < 1 || row >= RowCount() || column < 0 || column >= ColCount_) return;
  Rows_[row][column] = text;
  Touch(row);
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
