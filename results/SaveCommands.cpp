#include <QFile>
#include <QFileInfo>

#include "common/WholeFile.h"
#include "app/Form1.h"
#include "results/ResultsFileWriter.h"

bool TForm1::bbSaveClick() {
  if (SaveDialog1.FileName.isEmpty()) return Saveas1Click();
  const char separator = SaveDialog1.FilterIndex == rftCsv ? ',' : '\t';
  if (!WriteResultsFile(SaveDialog1.FileName, separator)) return false;
  ResultsTable.MarkSaved();
  TRecordEntry saved;
  saved.Kind = TRecordEntry::Saved;
  saved.File = SaveDialog1.FileName;
  saved.FilterIndex = SaveDialog1.FilterIndex;
  Remember({saved});
  return true;
}

void TForm1::SetSaveTarget(const QString &fileName, int filterIndex) {
  SaveDialog1.FileName = fileName;
  SaveDialog1.Files = QStringList{fileName};
  SaveDialog1.FilterIndex = filterIndex;
}

bool TForm1::Saveas1Click() {
  FileDialogState chosen = SaveDialog1;
  if (!Prompt_.RunFileDialog(chosen)) return false;
  SaveDialog1 = chosen;
  return bbSaveClick();
}

// Writes the results file and the figures file beside it. Each replaces its
// old file only when all of it is on the disk; when the figures file fails
// after the results file was replaced, the old results file is put back, so
// that the two always belong together.
bool TForm1::WriteResultsFile(const QString &fileName, char separator) {
  // The old results file, whole, to be put back if the figures file fails.
  // One that is there but cannot be read whole is never put back from what
  // was read of it, nor is the new one removed in its place: that would lose
  // both.
  enum { None, Whole, Unreadable } old = None;
  QByteArray oldResults;
  if (QFileInfo::exists(fileName)) {
    QFile file;
    old = Unreadable;
    if (OpenRegularFile(fileName, file)) {
      oldResults = file.readAll();
      if (file.error() == QFileDevice::NoError && oldResults.size() == file.size()) old = Whole;
    }
  }
  if (!SaveFileReported(Prompt_, fileName, ResultsFileBytes(ResultsTable, separator), QStringLiteral("Cannot Open")))
    return false;
  QStringList names;
  for (int i = 0; i < ResultsTable.ImageCount; ++i) names << ResultsTable.Cell(TResultsTable::colFileName, i + 1);
  const QString figures = FiguresFileName(fileName);
  if (SaveFileReported(Prompt_, figures, FiguresFileBytes(Record, names), QStringLiteral("Cannot Open")))
    return true;
  if (old == Whole)
    SaveFile(fileName, oldResults);
  else if (old == None)
    QFile::remove(fileName);
  return false;
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
