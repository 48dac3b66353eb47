#include "common/WholeFile.h"
#include "app/Form1.h"
#include "definitions/DefinitionFile.h"
#include "definitions/DeleteDefDlg.h"
#include "definitions/MDDlg.h"

void TForm1::SaveDef1Click() {
  if (DefinitionList.IsEmpty()) {
    Prompt_.Beep();
    return;
  }
  if (!Prompt_.RunFileDialog(SaveDialog2)) return;
  SaveFileReported(Prompt_, SaveDialog2.FileName, DefinitionFileBytes(DefinitionList), QStringLiteral("Cannot open "));
}

void TForm1::LockDefinitions() {
  AddDef1->setEnabled(false);
  DeleteDef1->setEnabled(false);
  LoadDef1->setEnabled(false);
}

void TForm1::LoadDef1Click() {
  if (DefinitionsLocked()) {
    Prompt_.Beep();
    return;
  }
  if (!Prompt_.RunFileDialog(OpenDialog2)) return;
  const QString name = OpenDialog2.FileName;
  // A definition file is a few lines; anything far larger is not one.
  constexpr qint64 kLargestDefinitionFile = 16 * 1024 * 1024;
  QByteArray bytes;
  if (!ReadWholeFile(Prompt_, name, kLargestDefinitionFile, bytes)) return;
  const DefinitionFileContents contents = ReadDefinitionFile(bytes);
  if (!contents.Ok) {
    Prompt_.ShowMessage(QStringLiteral("Cannot read ") + name, QStringLiteral("File Error"));
    return;
  }
  for (const TMeasureType &def : contents.Definitions) AppendDefinition(DefinitionList, ResultsTable, def);
}

void TForm1::AddDef1Click() {
  if (DefinitionsLocked()) {
    Prompt_.Beep();
    return;
  }
  TMDDlg dialog(this);
  dialog.SetMeasureNo(DefinitionList.Count() + 1);
  if (Prompt_.RunModal(dialog) != mrOk) return;
  AddDefinition(DefinitionList, ResultsTable, dialog.MeasureName, dialog.MeasureKind, dialog.Height,
                dialog.Width, dialog.Perimeter, dialog.Area);
}

void TForm1::DeleteDef1Click() {
  if (DefinitionsLocked() || DefinitionList.IsEmpty()) {
    Prompt_.Beep();
    return;
  }
  TDeleteDefDlg dialog(this);
  for (int i = 0; i < DefinitionList.Count(); ++i) dialog.AddName(DefinitionList.At(i).Name);
  if (Prompt_.RunModal(dialog) != mrOk) return;
  const int i = dialog.SelectedIndex();
  if (i >= 0) DeleteDefinition(DefinitionList, ResultsTable, i);
}
