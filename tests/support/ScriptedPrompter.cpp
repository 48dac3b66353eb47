#include "tests/support/ScriptedPrompter.h"

#include <gtest/gtest.h>

void ScriptedPrompter::ShowMessage(const QString &text, const QString &title) {
  Messages.push_back({text, title});
}

ModalResult ScriptedPrompter::Ask(const QString &text, const QString &title, bool) {
  Questions.push_back({text, title});
  if (Answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text.toStdString();
    return mrCancel;
  }
  ModalResult r = Answers.front();
  Answers.pop_front();
  return r;
}

int ScriptedPrompter::RunModal(QDialog &dialog) {
  DialogsRun.push_back(dialog.windowTitle());
  if (Dialogs.empty()) {
    ADD_FAILURE() << "unexpected dialog: " << dialog.windowTitle().toStdString();
    return mrCancel;
  }
  auto answer = std::move(Dialogs.front());
  Dialogs.pop_front();
  return answer(dialog);
}

bool ScriptedPrompter::RunFileDialog(FileDialogState &dialog) {
  if (FileDialogs.empty()) {
    ADD_FAILURE() << "unexpected file dialog: " << dialog.Title.toStdString();
    return false;
  }
  auto answer = std::move(FileDialogs.front());
  FileDialogs.pop_front();
  return answer(dialog);
}

void ScriptedPrompter::AnswerFile(const QString &fileName, int filterIndex) {
  FileDialogs.push_back([=](FileDialogState &d) {
    d.FileName = fileName;
    d.Files = QStringList{fileName};
    if (filterIndex > 0) d.FilterIndex = filterIndex;
    return true;
  });
}

void ScriptedPrompter::AnswerFiles(const QStringList &files, bool lastClickedFirst) {
  FileDialogs.push_back([=](FileDialogState &d) {
    d.Files = files;
    d.LastClickedFirst = lastClickedFirst;
    d.FileName = files.value(0);
    return true;
  });
}

void ScriptedPrompter::CancelFile() {
  FileDialogs.push_back([](FileDialogState &) { return false; });
}

void ScriptedPrompter::Press(int modalResult) {
  Dialogs.push_back([=](QDialog &) { return modalResult; });
}

bool ScriptedPrompter::ChooseFolder(const QString &title, QString &folder, const QStringList &kinds, int &kind) {
  FolderTitles.push_back(title);
  if (!kinds.isEmpty()) {
    KindsOffered.emplace_back(kinds, kind);
    if (!Kinds.empty()) {
      kind = Kinds.front();
      Kinds.pop_front();
    }
  }
  if (Folders.empty()) return false;  // Cancel; a test reads FolderTitles
  const QString answer = Folders.front();
  Folders.pop_front();
  if (answer.isEmpty()) return false;
  folder = answer;
  return true;
}
