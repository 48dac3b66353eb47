#include "app/QtPrompter.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

void TQtPrompter::Beep() { QApplication::beep(); }

void TQtPrompter::ShowMessage(const QString &text, const QString &title) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, Owner_);
  box.exec();
}

ModalResult TQtPrompter::Ask(const QString &text, const QString &title, bool withCancel) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (withCancel) buttons |= QMessageBox::Cancel;
  QMessageBox box(QMessageBox::NoIcon, title, text, buttons, Owner_);
  switch (box.exec()) {
    case QMessageBox::Yes: return mrYes;
    case QMessageBox::No: return mrNo;
    default: return withCancel ? mrCancel : mrNo;
  }
}

int TQtPrompter::RunModal(QDialog &dialog) { return dialog.exec(); }

QStringList TQtPrompter::QtNameFilters(const FileDialogState &dialog) {
  QStringList out;
  const QStringList descriptions = dialog.Descriptions();
  const QStringList patterns = dialog.Patterns();
  static const QRegularExpression trailingParens(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  for (int i = 0; i < descriptions.size(); ++i) {
    QString description = descriptions.at(i);
    description.remove(trailingParens);
    QStringList globs = patterns.value(i).split(u';', Qt::SkipEmptyParts);
    for (QString &g : globs)
      if (g == QLatin1String("*.*")) g = QStringLiteral("*");
    out << description + QStringLiteral(" (") + globs.join(u' ') + u')';
  }
  return out;
}

bool TQtPrompter::RunFileDialog(FileDialogState &state) {
  QFileDialog dialog(Owner_, state.Title);
  dialog.setAcceptMode(state.Mode == FileDialogState::Save ? QFileDialog::AcceptSave
                                                           : QFileDialog::AcceptOpen);
  if (state.Mode == FileDialogState::Open)
    dialog.setFileMode(state.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !state.OverwritePrompt);
  dialog.setOption(QFileDialog::ReadOnly, false);
  const QStringList filters = QtNameFilters(state);
  dialog.setNameFilters(filters);
  if (state.FilterIndex >= 1 && state.FilterIndex <= filters.size())
    dialog.selectNameFilter(filters.at(state.FilterIndex - 1));
  // A name typed without an extension gets the one of the file type chosen,
  // so that a comma-separated file is not named .txt.
  dialog.setDefaultSuffix(state.ExtensionFor(state.FilterIndex));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &filter) {
    dialog.setDefaultSuffix(state.ExtensionFor(int(filters.indexOf(filter)) + 1));
  });
  if (!state.FileName.isEmpty()) {
    QFileInfo info(state.FileName);
    dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted) return false;
  state.Files = dialog.selectedFiles();
  state.FileName = state.Files.value(0);
  int index = int(filters.indexOf(dialog.selectedNameFilter()));
  if (index >= 0) state.FilterIndex = index + 1;
  return !state.Files.isEmpty();
}

void TQtPrompter::ReportError(const QString &text) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                  QMessageBox::Ok, Owner_);
  box.exec();
}
