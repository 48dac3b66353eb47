#pragma once

#include <QString>

#include "common/Prompter.h"

class QComboBox;
class QFileDialog;
class QWidget;

// The real prompter: Qt message boxes, modal dialogs and file dialogs.
class TQtPrompter : public Prompter {
public:
  explicit TQtPrompter(QWidget *owner = nullptr) : Owner_(owner) {}
  void SetOwner(QWidget *owner) { Owner_ = owner; }

  void Beep() override;
  void ShowMessage(const QString &text, const QString &title) override;
  ModalResult Ask(const QString &text, const QString &title, bool withCancel) override;
  int RunModal(QDialog &dialog) override;
  bool RunFileDialog(FileDialogState &dialog) override;
  // Qt's own folder chooser; kinds of file offered go on a row of their
  // own below its others.
  bool ChooseFolder(const QString &title, QString &folder, const QStringList &kinds, int &kind) override;
  using Prompter::ChooseFolder;
  void ReportError(const QString &text) override;

  // Qt name filters for a "Description|patterns" filter: the patterns in the
  // description's parentheses are replaced by the real ones, space-separated.
  static QStringList QtNameFilters(const FileDialogState &dialog);

private:
  // Adds the row of the kinds of file to Qt's folder chooser: a box named
  // for screen readers, its label's key (Alt+T) in its tool-tip, `kind`
  // chosen.
  static QComboBox *AddKindRow(QFileDialog &dialog, const QStringList &kinds, int kind);
  // Gives the owner's window the keyboard back once the last modal window
  // has closed; some window managers leave it with none.
  void ReturnFocusToOwner() const;

  QWidget *Owner_;
  // The folder of the file last chosen in any file dialog; every dialog
  // opens there. Kept for this run only.
  QString LastFolder_;
};
