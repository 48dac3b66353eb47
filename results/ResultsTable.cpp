#include "results/ResultsTable.h"

TResultsTable::TResultsTable(PathRules rules) : Rules_(rules) {
  Rows_.assign(kInitialRows, QStringList(kFixedColumns, QString()));
  Rows_[0] = {QStringLiteral("No."), QStringLiteral("Path"), QStringLiteral("File Name"), QStringLiteral("Dots/cm")};
  RowImage_.assign(kInitialRows, -1);
  RowObject_.assign(kInitialRows, 0);
}

QString TResultsTable::Cell(int col, int row) const {
  if (row < 0 || row >= RowCount() || col < 0 || col >= ColCount_) return QString();
  return Rows_[size_t(row)].at(col);
}

int TResultsTable::RowOf(int image, int object) const {
  if (image < 0 || image >= ImageCount || object < 1 || object > ObjectCount(image)) return -1;
  return FirstRow_[size_t(image)] + object - 1;
}

int TResultsTable::ObjectCount(int image) const {
  if (image < 0 || image >= ImageCount) return 0;
  const int end = image + 1 < ImageCount ? FirstRow_[size_t(image) + 1] : RowCount();
  int n = 0;
  for (int r = FirstRow_[size_t(image)]; r < end && RowImage_[size_t(r)] == image; ++r) ++n;
  return n;
}

int TResultsTable::ImageOfRow(int row) const { return row >= 0 && row < RowCount() ? RowImage_[size_t(row)] : -1; }
int TResultsTable::ObjectOfRow(int row) const { return row >= 0 && row < RowCount() ? RowObject_[size_t(row)] : 0; }

void TResultsTable::CountObjects(int change) {
  const bool had = HasObjects();
  if (had != (ExtraObjects_ + change > 0) && Observer_) Observer_->BeforeObjectColumnChange();
  ExtraObjects_ += change;
  if (had != HasObjects() && Observer_) Observer_->AfterObjectColumnChange();
}

void TResultsTable::InsertRow(int at, const QStringList &cells, int image, int object) {
  if (Observer_) Observer_->BeforeRowsChange(at, 1);
  Rows_.insert(Rows_.begin() + at, cells);
  RowImage_.insert(RowImage_.begin() + at, image);
  RowObject_.insert(RowObject_.begin() + at, object);
  for (int i = image + 1; i < ImageCount; ++i) ++FirstRow_[size_t(i)];
  if (Observer_) Observer_->AfterRowsChange(at, 1);
}

void TResultsTable::RemoveRow(int at) {
  if (Observer_) Observer_->BeforeRowsChange(at, -1);
  const int image = RowImage_[size_t(at)];
  Rows_.erase(Rows_.begin() + at);
  RowImage_.erase(RowImage_.begin() + at);
  RowObject_.erase(RowObject_.begin() + at);
  for (int i = image + 1; i < ImageCount; ++i) --FirstRow_[size_t(i)];
  if (Observer_) Observer_->AfterRowsChange(at, -1);
}

int TResultsTable::AddObject(int image) {
  if (image < 0 || image >= ImageCount) return 0;
  const int object = ObjectCount(image) + 1;
  const int at = FirstRow_[size_t(image)] + object - 1;
  QStringList cells = Rows_[size_t(FirstRow_[size_t(image)])];
  for (int c = kFixedColumns; c < ColCount_; ++c) cells[c].clear();
  CountObjects(+1);
  InsertRow(at, cells, image, object);
  DataChanged_ = true;
  return object;
}

void TResultsTable::RemoveObject(int image, int object) {
  if (object < 2 || object > ObjectCount(image)) return;
  const int at = RowOf(image, object);
  RemoveRow(at);
  const int count = ObjectCount(image);
  for (int k = object; k <= count; ++k) RowObject_[size_t(RowOf(image, k))] = k;
  CountObjects(-1);
  if (Observer_ && object <= count) Observer_->CellsChanged(0, ColCount_ - 1, RowOf(image, object), RowOf(image, count));
  DataChanged_ = true;
}

std::vector<QStringList> TResultsTable::ImageRows(int image) const {
  std::vector<QStringList> rows;
  for (int k = 1; k <= ObjectCount(image); ++k) rows.push_back(Rows_[size_t(RowOf(image, k))]);
  return rows;
}

void TResultsTable::SetImageRows(int image, const std::vector<QStringList> &rows) {
  if (image < 0 || image >= ImageCount || rows.empty()) return;
  const QStringList fixed = Rows_[size_t(FirstRow_[size_t(image)])].mid(0, kFixedColumns);
  while (ObjectCount(image) > int(rows.size())) RemoveObject(image, ObjectCount(image));
  while (ObjectCount(image) < int(rows.size())) AddObject(image);
  for (int k = 0; k < int(rows.size()); ++k) {
    QStringList cells = rows[size_t(k)];
    cells.resize(ColCount_);
    for (int c = 0; c < kFixedColumns; ++c) cells[c] = fixed[c];
    Rows_[size_t(RowOf(image, k + 1))] = cells;
  }
  DataChanged_ = true;
  if (Observer_) Observer_->CellsChanged(0, ColCount_ - 1, RowOf(image, 1), RowOf(image, int(rows.size())));
}

void TResultsTable::AppendImageRows(const QStringList &files) {
  std::vector<QStringList> rows;
  rows.reserve(size_t(files.size()));
  for (const QString &file : files) {
    const SplitName parts = SplitFileName(file, Rules_);
    rows.push_back({QString(), parts.Path, parts.FileName});
  }
  AppendRows(rows, {});
  DataChanged_ = true;
}

void TResultsTable::AppendSavedRows(const std::vector<QStringList> &rows, const std::vector<int> &objects) {
  if (!rows.empty()) AppendRows(rows, objects);
}

void TResultsTable::AppendRows(const std::vector<QStringList> &rows, const std::vector<int> &objects) {
  // Before the first images the table has its initial empty rows; the image
  // rows take their place.
  if (ImageCount == 0 && RowCount() > 1) {
    const int empty = RowCount() - 1;
    if (Observer_) Observer_->BeforeRowsChange(1, -empty);
    Rows_.resize(1);
    RowImage_.resize(1);
    RowObject_.resize(1);
    if (Observer_) Observer_->AfterRowsChange(1, -empty);
  }
  // A row of a further object belongs to the image above it; the first row
  // of all is an image's own.
  const auto further = [&](size_t k) { return k < objects.size() && objects[k] > 1 && (k > 0 || !FirstRow_.empty()); };
  int extra = 0;
  for (size_t k = 0; k < rows.size(); ++k) extra += further(k) ? 1 : 0;
  if (extra > 0) CountObjects(extra);
  const int at = RowCount();
  if (Observer_) Observer_->BeforeRowsChange(at, int(rows.size()));
  for (size_t k = 0; k < rows.size(); ++k) {
    const int object = further(k) ? objects[k] : 1;
    if (object == 1) FirstRow_.push_back(RowCount());
    QStringList row = rows[k];
    row.resize(ColCount_);
    // "No." is the image's number; the other cells are as given.
    row[colNo] = QString::number(FirstRow_.size());
    Rows_.push_back(row);
    RowImage_.push_back(int(FirstRow_.size()) - 1);
    RowObject_.push_back(object);
  }
  ImageCount = int(FirstRow_.size());
  if (Observer_) {
    Observer_->AfterRowsChange(at, int(rows.size()));
    Observer_->CellsChanged(0, ColCount_ - 1, at, RowCount() - 1);
  }
}

QString TResultsTable::ImageFilePath(int i) const {
  const int row = RowOf(i);
  return JoinFileName(Cell(colPath, row), Cell(colFileName, row), Rules_);
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
  if (column >= kFixedColumns) return SetObjectCells(i, 1, column, {text});
  if (i < 0 || i >= ImageCount || column < 0) return;
  const int first = RowOf(i), last = RowOf(i, ObjectCount(i));
  for (int row = first; row <= last; ++row) Rows_[size_t(row)][column] = text;
  DataChanged_ = true;
  if (Observer_) Observer_->CellsChanged(column, column, first, last);
}

void TResultsTable::SetImageCells(int i, int firstColumn, const QStringList &texts) {
  SetObjectCells(i, 1, firstColumn, texts);
}

void TResultsTable::SetObjectCells(int i, int object, int firstColumn, const QStringList &texts) {
  DataChanged_ = true;
  const int row = RowOf(i, object);
  if (row < 0) return;
  for (int k = 0; k < texts.size(); ++k) {
    const int column = firstColumn + k;
    if (column < kFixedColumns) {
      SetImageCell(i, column, texts.at(k));
    } else if (column < ColCount_) {
      Rows_[size_t(row)][column] = texts.at(k);
      if (Observer_) Observer_->CellsChanged(column, column, row, row);
    }
  }
}

void TResultsTable::ShowImageRow(int i, int object) {
  const int row = RowOf(i, object);
  CurrentRow_ = row >= 0 ? row : RowOf(i);
  TopRow_ = CurrentRow_ <= 5 ? 1 : CurrentRow_ - 4;
  if (Observer_) Observer_->ImageRowShown(CurrentRow_, TopRow_);
}

QString TResultsTable::ShownCell(int col, int row) const {
  if (!HasObjects() || col < kShownObjectColumn) return Cell(col, row);
  if (col > kShownObjectColumn) return Cell(col - 1, row);
  if (row == 0) return QStringLiteral("Object");
  const int object = ObjectOfRow(row);
  return object > 0 ? QString::number(object) : QString();
}
