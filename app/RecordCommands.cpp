// The sitting brought back: the replay of a journal's entries, for the
// start-up offer of a sitting left over (results/SittingLog).
#include "app/Form1.h"
#include "definitions/DefinitionCommands.h"
#include "results/ResultsFileWriter.h"
#include "results/SaveCommands.h"

bool TForm1::OfferLeftOverJournal() {
  return OfferLeftOverSitting(Prompt_, Log_, [this](const std::vector<TRecordEntry> &e) { RestoreEntries(e); });
}

void TForm1::RestoreEntries(const std::vector<TRecordEntry> &entries) {
  bool values = false;
  for (const TRecordEntry &e : entries) {
    const bool row = e.Image >= 0 && e.Image < ResultsTable.ImageCount;
    switch (e.Kind) {
      case TRecordEntry::Definitions:
        if (!DefinitionsLocked()) ReplaceDefinitions(DefinitionList, ResultsTable, e.Defs);
        break;
      case TRecordEntry::Images: ResultsTable.AppendImageRows(e.Files); break;
      case TRecordEntry::Continued:
        ResultsTable.AppendSavedRows(e.Rows);
        values = values || !e.Rows.empty();
        if (!e.Decimal.isNull()) DecimalSeparator_ = e.Decimal;
        SetSaveTarget(Choosers_.SaveDialog1, e.File, e.Separator == ',' ? rftCsv : rftTabbedText);
        break;
      case TRecordEntry::Scale:
        if (e.RecordOnly || !row) break;
        ResultsTable.SetImageCell(e.Image, TResultsTable::colDotsPerCm, e.ScaleValue.Text);
        Session_->TakeScale(e.ScaleValue.DotsPerCm, e.ScaleValue.KnownCm);
        values = true;
        break;
      case TRecordEntry::Figure:
        if (e.RecordOnly || !row) break;
        if (!e.DotsPerCmCell.isEmpty())
          ResultsTable.SetImageCell(e.Image, TResultsTable::colDotsPerCm, e.DotsPerCmCell);
        ResultsTable.SetImageCells(e.Image, e.FigureValue.FirstColumn, e.FigureValue.Cells);
        values = true;
        break;
      case TRecordEntry::Cells:
        if (row) ResultsTable.SetImageCells(e.Image, e.Column, e.Texts);
        break;
      case TRecordEntry::Path:
        if (row) ResultsTable.SetImageCell(e.Image, TResultsTable::colPath, e.Folder);
        break;
      case TRecordEntry::Saved: SetSaveTarget(Choosers_.SaveDialog1, e.File, e.FilterIndex); break;
    }
    Log_.Record.Apply(e);
  }
  // Values stand in the definitions' columns: they must no longer move.
  if (values) {
    RowsContinued_ = true;
    LockDefinitions();
  }
  // Nothing brought back has been saved since.
  ResultsTable.MarkChanged();
  PlanReadAhead();
}
