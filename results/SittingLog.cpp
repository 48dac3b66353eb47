#include "results/SittingLog.h"

#include <QDateTime>

#include "common/Prompter.h"
#include "results/ResultsTable.h"

void TSittingLog::Remember(const std::vector<TRecordEntry> &entries) {
  QByteArray lines;
  const std::vector<TRecordedDefinition> defs = Definitions ? Definitions() : Record.Defs;
  if (defs != Record.Defs) {
    TRecordEntry d;
    d.Kind = TRecordEntry::Definitions;
    d.Defs = defs;
    Record.Apply(d);
    lines += JournalLine(d);
  }
  for (const TRecordEntry &e : entries) {
    Record.Apply(e);
    lines += JournalLine(e);
  }
  if (lines.isEmpty() || Journal.Append(JournalHeader(QDateTime::currentDateTime()), lines)) return;
  // The sitting goes on; the person learns once that it is not being kept.
  if (Failed_) return;
  Failed_ = true;
  Prompt_.ShowMessage(QStringLiteral("Cannot write ") + (Journal.Path().isEmpty() ? TJournal::Folder() : Journal.Path()),
                      QStringLiteral("File Error"));
}

bool RestoreIntoTable(TResultsTable &table, const TRecordEntry &e) {
  const bool row = e.Image >= 0 && e.Image < table.ImageCount;
  switch (e.Kind) {
    case TRecordEntry::Images: table.AppendImageRows(e.Files); return false;
    case TRecordEntry::Continued: table.AppendSavedRows(e.Rows, e.Objects); return !e.Rows.empty();
    case TRecordEntry::Scale:
      if (e.RecordOnly || !row) return false;
      table.SetImageCell(e.Image, TResultsTable::colDotsPerCm, e.ScaleValue.Text);
      return true;
    case TRecordEntry::Figure:
      if (e.RecordOnly || !row) return false;
      if (!e.DotsPerCmCell.isEmpty()) table.SetImageCell(e.Image, TResultsTable::colDotsPerCm, e.DotsPerCmCell);
      if (e.FigureValue.Object == table.ObjectCount(e.Image) + 1) table.AddObject(e.Image);
      table.SetObjectCells(e.Image, e.FigureValue.Object, e.FigureValue.FirstColumn, e.FigureValue.Cells);
      return true;
    case TRecordEntry::Cells:
      if (row) table.SetObjectCells(e.Image, e.Object, e.Column, e.Texts);
      return false;
    case TRecordEntry::State:
      if (row) table.SetImageRows(e.Image, e.Rows);
      return false;
    case TRecordEntry::Path:
      if (row) table.SetImageCell(e.Image, TResultsTable::colPath, e.Folder);
      return false;
    case TRecordEntry::Definitions:
    case TRecordEntry::Saved: return false;
  }
  return false;
}
