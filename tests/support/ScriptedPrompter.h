#pragma once

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "common/Prompter.h"
#include "tests/support/QtPrinters.h"

// A prompter that answers from a script and records everything it was asked,
// so a test can drive the real main window with no one at the screen.
class ScriptedPrompter : public Prompter {
public:
  struct Shown {
    QString Text;
    QString Title;
    bool operator==(const Shown &o) const { return Text == o.Text && Title == o.Title; }
  };

  int Beeps = 0;
  std::vector<Shown> Messages;   // ShowMessage
  std::vector<Shown> Questions;  // Ask
  std::vector<QString> Errors;   // ReportError
  std::vector<QString> DialogsRun;  // window titles of modal dialogs

  // Answers, taken in order. A call with no answer left fails the test.
  std::deque<ModalResult> Answers;
  std::deque<std::function<int(QDialog &)>> Dialogs;
  std::deque<std::function<bool(FileDialogState &)>> FileDialogs;
  // Folder choosers: the answers (empty, or none left: Cancel), and each
  // title asked. Where kinds of file are offered: each list offered with the
  // kind chosen at first, and the kinds to choose (none left: the one
  // offered).
  std::deque<QString> Folders;
  std::vector<QString> FolderTitles;
  std::vector<std::pair<QStringList, int>> KindsOffered;
  std::deque<int> Kinds;

  void Beep() override { ++Beeps; }
  void ShowMessage(const QString &text, const QString &title) override;
  ModalResult Ask(const QString &text, const QString &title, bool withCancel) override;
  int RunModal(QDialog &dialog) override;
  bool RunFileDialog(FileDialogState &dialog) override;
  bool ChooseFolder(const QString &title, QString &folder, const QStringList &kinds, int &kind) override;
  using Prompter::ChooseFolder;
  void ReportError(const QString &text) override { Errors.push_back(text); }

  // Convenience scripts.
  void AnswerFile(const QString &fileName, int filterIndex = 0);
  // Files as a dialog lists them; `lastClickedFirst` for one that puts the
  // file clicked last first.
  void AnswerFiles(const QStringList &files, bool lastClickedFirst = false);
  void CancelFile();
  void Press(int modalResult);
};
