#include "results/ResultsGridModel.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QTableView>

namespace {
// Paints the grid's corner button as a header section showing the table's
// top-left heading ("No."), which Qt's corner button cannot do by itself.
class CornerPainter : public QObject {
public:
  CornerPainter(QAbstractButton *corner, const TResultsTable &table)
      : QObject(corner), Corner_(corner), Table_(table) {}

  bool eventFilter(QObject *watched, QEvent *event) override {
    if (watched != Corner_ || event->type() != QEvent::Paint) return false;
    QPainter painter(Corner_);
    QStyleOptionHeader option;
    option.initFrom(Corner_);
    // The corner button is disabled (it selects nothing), but its heading is
    // drawn like the others, not greyed out.
    option.state |= QStyle::State_Enabled;
    option.palette.setCurrentColorGroup(Corner_->isActiveWindow() ? QPalette::Active : QPalette::Inactive);
    option.rect = Corner_->rect();
    option.text = Table_.Cell(0, 0);
    option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    option.position = QStyleOptionHeader::OnlyOneSection;
    option.orientation = Qt::Horizontal;
    Corner_->style()->drawControl(QStyle::CE_Header, &option, &painter, Corner_);
    return true;
  }

private:
  QAbstractButton *Corner_;
  const TResultsTable &Table_;
};
}  // namespace

TResultsGridModel::TResultsGridModel(TResultsTable &table, QObject *parent)
    : QAbstractTableModel(parent), Table_(table) {
  Table_.SetObserver(this);
}

TResultsGridModel::~TResultsGridModel() { Table_.SetObserver(nullptr); }

int TResultsGridModel::TableColumnWidth(int col) {
  static const int widths[] = {100, 204, 173, 100};
  return col >= 0 && col < 4 ? widths[col] : 100;
}

void TResultsGridModel::AttachView(QTableView *view) {
  View_ = view;
  view->setModel(this);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionMode(QAbstractItemView::ContiguousSelection);
  view->setSelectionBehavior(QAbstractItemView::SelectItems);
  view->setShowGrid(true);
  view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view->setWordWrap(false);

  QHeaderView *top = view->horizontalHeader();
  top->setSectionResizeMode(QHeaderView::Fixed);
  top->setDefaultSectionSize(TableColumnWidth(4));
  top->setMinimumSectionSize(1);
  top->setFixedHeight(kRowHeight);
  top->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  top->setHighlightSections(false);
  top->setSectionsClickable(false);

  QHeaderView *left = view->verticalHeader();
  left->setSectionResizeMode(QHeaderView::Fixed);
  left->setMinimumSectionSize(1);
  left->setDefaultSectionSize(kRowHeight);
  left->setFixedWidth(TableColumnWidth(0));
  left->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  left->setHighlightSections(false);
  left->setSectionsClickable(false);

  view->setCornerButtonEnabled(false);
  if (auto *corner = view->findChild<QAbstractButton *>())
    corner->installEventFilter(new CornerPainter(corner, Table_));
  ApplyColumnWidths(1);
}

void TResultsGridModel::ApplyColumnWidths(int fromTableCol) {
  if (!View_) return;
  for (int col = qMax(1, fromTableCol); col < Table_.ColumnCount(); ++col)
    View_->horizontalHeader()->resizeSection(Table_.ShownColumn(col) - 1, TableColumnWidth(col));
  if (Table_.HasObjects())
    View_->horizontalHeader()->resizeSection(TResultsTable::kShownObjectColumn - 1, kObjectColumnWidth);
}

int TResultsGridModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : Table_.RowCount() - 1;
}

int TResultsGridModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : Table_.ShownColumnCount() - 1;
}

QVariant TResultsGridModel::data(const QModelIndex &index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return QVariant();
  return Table_.ShownCell(index.column() + 1, index.row() + 1);
}

QVariant TResultsGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  if (orientation == Qt::Horizontal) return Table_.ShownCell(section + 1, 0);
  return Table_.Cell(0, section + 1);
}

Qt::ItemFlags TResultsGridModel::flags(const QModelIndex &index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

// Table row r is grid row r - 1: row 0 is the horizontal header.
void TResultsGridModel::BeforeRowsChange(int at, int count) {
  if (count > 0)
    beginInsertRows(QModelIndex(), at - 1, at + count - 2);
  else if (count < 0)
    beginRemoveRows(QModelIndex(), at - 1, at - count - 2);
}

void TResultsGridModel::AfterRowsChange(int, int count) {
  if (count > 0)
    endInsertRows();
  else if (count < 0)
    endRemoveRows();
}

void TResultsGridModel::BeforeObjectColumnChange() {
  if (Table_.HasObjects())
    beginRemoveColumns(QModelIndex(), TResultsTable::kShownObjectColumn - 1, TResultsTable::kShownObjectColumn - 1);
  else
    beginInsertColumns(QModelIndex(), TResultsTable::kShownObjectColumn - 1, TResultsTable::kShownObjectColumn - 1);
}

void TResultsGridModel::AfterObjectColumnChange() {
  if (Table_.HasObjects()) {
    endInsertColumns();
  } else {
    endRemoveColumns();
  }
  ApplyColumnWidths(1);
}

// Table column c is grid column (as shown) - 1: column 0 is the vertical
// header.
void TResultsGridModel::BeforeColumnCountChange(int at, int oldCount, int newCount) {
  const int shown = Table_.ShownColumn(at);
  if (newCount > oldCount)
    beginInsertColumns(QModelIndex(), shown - 1, shown + newCount - oldCount - 2);
  else if (newCount < oldCount)
    beginRemoveColumns(QModelIndex(), shown - 1, shown + oldCount - newCount - 2);
}

void TResultsGridModel::AfterColumnCountChange(int at, int oldCount, int newCount) {
  if (newCount > oldCount) {
    endInsertColumns();
    ApplyColumnWidths(at);
  } else if (newCount < oldCount) {
    endRemoveColumns();
  }
}

void TResultsGridModel::CellsChanged(int firstCol, int lastCol, int firstRow, int lastRow) {
  if (firstRow == 0) {
    if (firstCol == 0) {
      if (View_)
        if (auto *corner = View_->findChild<QAbstractButton *>()) corner->update();
    }
    if (lastCol >= 1)
      emit headerDataChanged(Qt::Horizontal, qMax(0, Table_.ShownColumn(firstCol) - 1), Table_.ShownColumn(lastCol) - 1);
    firstRow = 1;
    if (lastRow < 1) return;
  }
  if (firstCol == 0) {
    emit headerDataChanged(Qt::Vertical, firstRow - 1, lastRow - 1);
    firstCol = 1;
  }
  if (lastCol >= firstCol)
    emit dataChanged(index(firstRow - 1, Table_.ShownColumn(firstCol) - 1),
                     index(lastRow - 1, Table_.ShownColumn(lastCol) - 1));
}

void TResultsGridModel::ImageRowShown(int row, int topRow) {
  if (!View_ || row < 1 || row >= Table_.RowCount()) return;
  QItemSelection selection(index(row - 1, TResultsTable::colPath - 1),
                           index(row - 1, Table_.ShownColumnCount() > Table_.ColumnCount()
                                              ? TResultsTable::kShownObjectColumn - 1
                                              : TResultsTable::colFileName - 1));
  View_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  View_->selectionModel()->setCurrentIndex(index(row - 1, TResultsTable::colPath - 1),
                                           QItemSelectionModel::NoUpdate);
  View_->verticalScrollBar()->setValue(topRow - 1);
  // However few rows the grid shows, the current one is in sight.
  View_->scrollTo(index(row - 1, TResultsTable::colPath - 1), QAbstractItemView::EnsureVisible);
}
