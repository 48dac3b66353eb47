#include "results/SaveCommands.h"

#include <QFile>
#include <QFileInfo>

#include "common/WholeFile.h"
#include "results/ResultsFileWriter.h"
#include "results/ResultsTable.h"
#include "results/SittingLog.h"

namespace {
// Writes the results file and the figures file beside it. Each replaces its
// old file only when all of it is on the disk; when the figures file fails
// after the results file was replaced, the old results file is put back, so
// that the two always belong together.
bool WriteResultsFile(Prompter &prompter, const QString &fileName, char separator, const TResultsTable &table,
                      const TRecord &record) {
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
  if (!SaveFileReported(prompter, fileName, ResultsFileBytes(table, separator), QStringLiteral("Cannot Open")))
    return false;
  QStringList names;
  for (int i = 0; i < table.ImageCount; ++i) names << table.Cell(TResultsTable::colFileName, i + 1);
  const QString figures = FiguresFileName(fileName);
  if (SaveFileReported(prompter, figures, FiguresFileBytes(record, names), QStringLiteral("Cannot Open")))
    return true;
  if (old == Whole)
    SaveFile(fileName, oldResults);
  else if (old == None)
    QFile::remove(fileName);
  return false;
}
}  // namespace

bool SaveResults(Prompter &prompter, FileDialogState &saveDialog, TResultsTable &table, TSittingLog &log) {
  if (saveDialog.FileName.isEmpty()) return SaveResultsAs(prompter, saveDialog, table, log);
  const char separator = saveDialog.FilterIndex == rftCsv ? ',' : '\t';
  if (!WriteResultsFile(prompter, saveDialog.FileName, separator, table, log.Record)) return false;
  table.MarkSaved();
  TRecordEntry saved;
  saved.Kind = TRecordEntry::Saved;
  saved.File = saveDialog.FileName;
  saved.FilterIndex = saveDialog.FilterIndex;
  log.Remember({saved});
  return true;
}

bool SaveResultsAs(Prompter &prompter, FileDialogState &saveDialog, TResultsTable &table, TSittingLog &log) {
  FileDialogState chosen = saveDialog;
  if (!prompter.RunFileDialog(chosen)) return false;
  saveDialog = chosen;
  return SaveResults(prompter, saveDialog, table, log);
}

void SetSaveTarget(FileDialogState &saveDialog, const QString &fileName, int filterIndex) {
  saveDialog.FileName = fileName;
  saveDialog.Files = QStringList{fileName};
  saveDialog.FilterIndex = filterIndex;
}

bool MayClose(Prompter &prompter, const TResultsTable &table, const std::function<bool()> &save) {
  if (!table.DataChanged()) return true;
  switch (prompter.Ask(QStringLiteral("File has changed, save?"), QStringLiteral("Confirm"), true)) {
    case mrYes: return save();
    case mrNo: return true;
    default: return false;
  }
}
