#include "results/ResultsTable.h"

#include "definitions/DefinitionList.h"
#include "definitions/MeasureType.h"

QString TResultsTable::Row::Cell(int c) const {
  const int begin = c > 0 ? Ends[size_t(c - 1)] + 1 : 0;
  return Text.mid(begin, Ends[size_t(c)] - begin);
}

void TResultsTable::Row::SetCell(int c, const QString &text) {
  const int begin = c > 0 ? Ends[size_t(c - 1)] + 1 : 0;
  const int old = Ends[size_t(c)] - begin;
  Text.replace(begin, old, text);
  const int shift = int(text.size()) - old;
  for (size_t k = size_t(c); k < Ends.size(); ++k) Ends[k] += shift;
}

void TResultsTable::Row::Resize(int count) {
  if (count < int(Ends.size())) Text.truncate(count > 0 ? Ends[size_t(count - 1)] + 1 : 0);
  while (int(Ends.size()) < count) {
    Ends.push_back(int(Text.size()));
    Text += QChar(0);
  }
}

void TResultsTable::Row::AppendCell(const QString &text) {
  Text += text;
  Ends.push_back(int(Text.size()));
  Text += QChar(0);
}

TResultsTable::TResultsTable(PathRules rules) : Rules_(rules) {
  Rows_.resize(kInitialRows);
  for (int r = 0; r < kInitialRows; ++r) {
    Rows_[size_t(r)].Resize(kFixedColumns);
    Touch(r);
  }
  Row &headings = Rows_[0];
  headings.SetCell(colNo, QStringLiteral("No."));
  headings.SetCell(colPath, QStringLiteral("Path"));
  headings.SetCell(colFileName, QStringLiteral("File Name"));
  headings.SetCell(colDotsPerCm, QStringLiteral("Dots/cm"));
}

QString TResultsTable::Cell(int col, int row) const {
  if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount_) return QString();
  return Rows_[size_t(row)].Cell(col);
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
    Row &row = Rows_[size_t(c + k + 1)];
    row.Text.clear();
    row.Ends.clear();
    for (int col = 0; col < ColCount_; ++col) {
      // "No." is the image's number; the other cells are as given.
      if (col == colNo)
        row.AppendCell(QString::number(c + k + 1));
      else
        row.AppendCell(col < rows[size_t(k)].size() ? rows[size_t(k)].at(col) : QString());
    }
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
  for (int r = 0; r < RowCount(); ++r) {
    Rows_[size_t(r)].Resize(count);
    Touch(r);
  }
  ColCount_ = count;
  if (Observer_) Observer_->AfterColumnCountChange(old, count);
}

void TResultsTable::SetHeading(int col, const QString &text) {
  if (col < 0 || col >= ColCount_) return;
  Rows_[0].SetCell(col, text);
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
  Rows_[size_t(row)].SetCell(column, text);
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
