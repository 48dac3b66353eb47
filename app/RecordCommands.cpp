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
    if (e.Kind == TRecordEntry::Definitions && !DefinitionsLocked())
      ReplaceDefinitions(DefinitionList, ResultsTable, e.Defs);
    if (e.Kind == TRecordEntry::Continued) {
      if (!e.Decimal.isNull()) DecimalSeparator_ = e.Decimal;
      SetSaveTarget(Choosers_.SaveDialog1, e.File, e.Separator == ',' ? rftCsv : rftTabbedText);
    }
    if (e.Kind == TRecordEntry::Saved) SetSaveTarget(Choosers_.SaveDialog1, e.File, e.FilterIndex);
    if (e.Kind == TRecordEntry::Scale && !e.RecordOnly) Session_->TakeScale(e.ScaleValue.DotsPerCm, e.ScaleValue.KnownCm);
    values = RestoreIntoTable(ResultsTable, e) || values;
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
