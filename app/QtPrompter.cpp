#include "app/QtPrompter.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>

#include "app/ProgramInfo.h"

namespace {
// The window a message box belongs to: the modal dialog the person is working
// in when a command has one open, else the main window. A box that belongs
// to a window kept above all others is kept above as well; otherwise it would
// open hidden behind that window and take the keystrokes meant for it.
QWidget *BoxOwner(QWidget *mainWindow) {
  if (QWidget *modal = QApplication::activeModalWidget()) return modal;
  return mainWindow;
}

void KeepAboveOwner(QMessageBox &box) {
  const QWidget *owner = box.parentWidget();
  if (owner && owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
}
}  // namespace

void TQtPrompter::Beep() { QApplication::beep(); }

void TQtPrompter::ShowMessage(const QString &text, const QString &title) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, BoxOwner(Owner_));
  KeepAboveOwner(box);
  box.exec();
  ReturnFocusToOwner();
}

ModalResult TQtPrompter::Ask(const QString &text, const QString &title, bool withCancel) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (withCancel) buttons |= QMessageBox::Cancel;
  QMessageBox box(QMessageBox::NoIcon, title, text, buttons, BoxOwner(Owner_));
  KeepAboveOwner(box);
  const int answer = box.exec();
  ReturnFocusToOwner();
  switch (answer) {
    case QMessageBox::Yes: return mrYes;
    case QMessageBox::No: return mrNo;
    default: return withCancel ? mrCancel : mrNo;
  }
}

int TQtPrompter::RunModal(QDialog &dialog) {
  const int result = dialog.exec();
  ReturnFocusToOwner();
  return result;
}

void TQtPrompter::ReturnFocusToOwner() const {
  if (!Owner_ || QApplication::activeModalWidget()) return;
  QWidget *window = Owner_->window();
  if (!window->isVisible() || window->isActiveWindow()) return;
  window->activateWindow();
}

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
  // The folder last used in any file dialog comes first; the dialog's own
  // last file is chosen again when it lies there.
  const QFileInfo last(state.FileName);
  const QString folder = LastFolder_.isEmpty() && !state.FileName.isEmpty() ? last.absolutePath() : LastFolder_;
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  if (!state.FileName.isEmpty() && last.absolutePath() == folder) dialog.selectFile(last.fileName());
  dialog.setSizeGripEnabled(true);
  const int answer = dialog.exec();
  ReturnFocusToOwner();
  if (answer != QDialog::Accepted) return false;
  state.Files = dialog.selectedFiles();
  if (!state.Files.isEmpty()) LastFolder_ = QFileInfo(state.Files.first()).absolutePath();
#ifdef Q_OS_WIN
  // Unless told otherwise Qt shows the shell's own dialog on Windows, which
  // puts the focused (last clicked) file first. Qt's own dialog, and those of
  // the Linux and macOS desktops, list the files in order.
  state.LastClickedFirst = !dialog.testOption(QFileDialog::DontUseNativeDialog);
#else
  state.LastClickedFirst = false;
#endif
  state.FileName = state.Files.value(0);
  int index = int(filters.indexOf(dialog.selectedNameFilter()));
  if (index >= 0) state.FilterIndex = index + 1;
  return !state.Files.isEmpty();
}

bool TQtPrompter::ChooseFolder(const QString &title, QString &folder, const QStringList &kinds, int &kind) {
  QFileDialog dialog(Owner_, title);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  QComboBox *kindBox = nullptr;
  if (!kinds.isEmpty()) {
    // Only Qt's own dialog has room for a row of the program's.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    kindBox = AddKindRow(dialog, kinds, kind);
  }
  const QString start = !folder.isEmpty() ? folder : LastFolder_;
  if (!start.isEmpty()) dialog.setDirectory(start);
  dialog.setSizeGripEnabled(true);
  const int answer = dialog.exec();
  ReturnFocusToOwner();
  if (answer != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  folder = dialog.selectedFiles().first();
  LastFolder_ = folder;
  if (kindBox) kind = kindBox->currentIndex();
  return true;
}

QComboBox *TQtPrompter::AddKindRow(QFileDialog &dialog, const QStringList &kinds, int kind) {
  auto *box = new QComboBox(&dialog);
  box->setObjectName(QStringLiteral("kindBox"));
  box->addItems(kinds);
  box->setCurrentIndex(qBound(0, kind, int(kinds.size()) - 1));
  box->setAccessibleName(QStringLiteral("File type"));
  box->setToolTip(QStringLiteral("The kind of file written (Alt+T)"));
  auto *label = new QLabel(QStringLiteral("File &type:"), &dialog);
  label->setBuddy(box);
  // Below the dialog's rows, label and box in its columns; its own "Files
  // of type" row, which for a folder only says that folders are listed,
  // gives way to it.
  if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    grid->addWidget(box, row, 1);
    for (const char *name : {"fileTypeLabel", "fileTypeCombo"})
      if (auto *own = dialog.findChild<QWidget *>(QLatin1String(name))) own->hide();
  } else if (dialog.layout()) {
    dialog.layout()->addWidget(label);
    dialog.layout()->addWidget(box);
  }
  return box;
}

void TQtPrompter::ReportError(const QString &text) {
  QMessageBox box(QMessageBox::Critical, QString::fromLatin1(ProgramInfo::Title), text,
                  QMessageBox::Ok, BoxOwner(Owner_));
  KeepAboveOwner(box);
  box.exec();
  ReturnFocusToOwner();
}
