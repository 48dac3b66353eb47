#include "common/WholeFile.h"
#include "app/Form1.h"
#include "results/ResultsFileWriter.h"

bool TForm1::bbSaveClick() {
  if (SaveDialog1.FileName.isEmpty()) return Saveas1Click();
  const char separator = SaveDialog1.FilterIndex == rftCsv ? ',' : '\t';
  if (!WriteResultsFile(SaveDialog1.FileName, separator)) return false;
  ResultsTable.MarkSaved();
  return true;
}

bool TForm1::Saveas1Click() {
  FileDialogState chosen = SaveDialog1;
  if (!Prompt_.RunFileDialog(chosen)) return false;
  SaveDialog1 = chosen;
  return bbSaveClick();
}

bool TForm1::WriteResultsFile(const QString &fileName, char separator) {
  return SaveFileReported(Prompt_, fileName, ResultsFileBytes(ResultsTable, separator), QStringLiteral("Cannot Open"));
}

// Before the window closes with unsaved results, ask whether to save them. The
// window closes after Yes only when the save succeeded, so that a cancelled
// dialog or a failed write never throws the results away.
void TForm1::FormCloseQuery(bool &CanClose) {
  CanClose = true;
  if (!ResultsTable.DataChanged()) return;
  switch (Prompt_.Ask(QStringLiteral("File has changed, save?"), QStringLiteral("Confirm"), true)) {
    case mrYes: CanClose = bbSaveClick(); break;
    case mrNo: break;
    default: CanClose = false; break;
  }
}
