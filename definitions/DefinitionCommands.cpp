#include "definitions/DefinitionCommands.h"

#include "common/WholeFile.h"
#include "definitions/DefinitionFile.h"
#include "definitions/DeleteDefDlg.h"
#include "definitions/MDDlg.h"

void SaveDefinitionsCommand(Prompter &prompter, FileDialogState &dialog, const TDefinitionList &list) {
  if (list.IsEmpty()) {
    prompter.Beep();
    return;
  }
  if (!prompter.RunFileDialog(dialog)) return;
  SaveFileReported(prompter, dialog.FileName, DefinitionFileBytes(list), QStringLiteral("Cannot open "));
}

void LoadDefinitionsCommand(Prompter &prompter, FileDialogState &dialog, TDefinitionList &list,
                            TResultsTable &table, bool locked) {
  if (locked) {
    prompter.Beep();
    return;
  }
  if (!prompter.RunFileDialog(dialog)) return;
  const QString name = dialog.FileName;
  // A definition file is a few lines; anything far larger is not one.
  constexpr qint64 kLargestDefinitionFile = 16 * 1024 * 1024;
  QByteArray bytes;
  if (!ReadWholeFile(prompter, name, kLargestDefinitionFile, bytes)) return;
  const DefinitionFileContents contents = ReadDefinitionFile(bytes);
  if (!contents.Ok) {
    prompter.ShowMessage(QStringLiteral("Cannot read ") + name, QStringLiteral("File Error"));
    return;
  }
  for (const TMeasureType &def : contents.Definitions) AppendDefinition(list, table, def);
}

void AddDefinitionCommand(QWidget *owner, Prompter &prompter, TDefinitionList &list, TResultsTable &table,
                          bool locked) {
  if (locked) {
    prompter.Beep();
    return;
  }
  TMDDlg dialog(owner);
  dialog.SetMeasureNo(list.Count() + 1);
  if (prompter.RunModal(dialog) != mrOk) return;
  AddDefinition(list, table, dialog.MeasureName, dialog.MeasureKind, dialog.Height, dialog.Width, dialog.Perimeter,
                dialog.Area);
}

void DeleteDefinitionCommand(QWidget *owner, Prompter &prompter, TDefinitionList &list, TResultsTable &table,
                             bool locked) {
  if (locked || list.IsEmpty()) {
    prompter.Beep();
    return;
  }
  TDeleteDefDlg dialog(owner);
  for (int i = 0; i < list.Count(); ++i) dialog.AddName(list.At(i).Name);
  if (prompter.RunModal(dialog) != mrOk) return;
  const int i = dialog.SelectedIndex();
  if (i >= 0) DeleteDefinition(list, table, i);
}

std::vector<TRecordedDefinition> RecordedDefinitions(const TDefinitionList &list) {
  std::vector<TRecordedDefinition> out;
  for (int p = 0; p < list.Count(); ++p) {
    const TMeasureType &d = list.At(p);
    out.push_back({d.Name, int(d.Kind), d.Height, d.Width, d.Perimeter, d.Area});
  }
  return out;
}

void ReplaceDefinitions(TDefinitionList &list, TResultsTable &table, const std::vector<TRecordedDefinition> &defs) {
  while (!list.IsEmpty()) DeleteDefinition(list, table, list.Count() - 1);
  for (const TRecordedDefinition &d : defs)
    AddDefinition(list, table, d.Name, TMeasureKind(d.Kind), d.Height, d.Width, d.Perimeter, d.Area);
}

std::vector<TFigureColumns> TDefinitionListColumns::Layout() const {
  std::vector<TFigureColumns> layout;
  for (int p = 0; p < List_.Count(); ++p) {
    const TMeasureType &def = List_.At(p);
    layout.push_back({int(def.Kind), def.FirstCol, ColumnCount(def)});
  }
  return layout;
}

void TDefinitionListColumns::Take(const std::vector<TRecordedDefinition> &definitions) {
  for (const TRecordedDefinition &d : definitions)
    AddDefinition(List_, Table_, d.Name, TMeasureKind(d.Kind), d.Height, d.Width, d.Perimeter, d.Area);
}
