#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
// Answers the real file dialog as a user would: picks file type `filter`
// (from 1) in its type box, types `name` and presses Enter.
void AnswerRealDialog(int filter, const QString &name) {
  QTimer::singleShot(0, [=] {
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto *types = dialog->findChild<QComboBox *>("fileTypeCombo");
    auto *edit = dialog->findChild<QLineEdit *>("fileNameEdit");
    ASSERT_TRUE(types && edit);
    types->setFocus();
    QTest::keyClick(types, Qt::Key_Home);
    for (int i = 1; i < filter; ++i) QTest::keyClick(types, Qt::Key_Down);
    edit->setFocus();
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
  });
}
}  // namespace

// A name typed without an extension gets the one of the file type chosen in
// the dialog; a name typed with one keeps it.
TEST(QtPrompter, FileTypeChosenGivesTheExtension) {
  struct Case {
    bool Results;  // the results file's dialog, else the definition file's
    int Filter;
    const char *Typed, *Saved;
  };
  const Case cases[] = {
      {true, 2, "run", "run.csv"},   {true, 1, "run", "run.txt"},       {true, 3, "run", "run.txt"},
      {true, 2, "run.txt", "run.txt"}, {true, 1, "run.csv", "run.csv"}, {false, 1, "set", "set.dfn"},
  };
  ScriptedPrompter scripted;
  TForm1 form(scripted);
  TQtPrompter prompter(&form);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Typed);
    QTemporaryDir dir;
    FileDialogState state = c.Results ? form.Choosers().SaveDialog1 : form.Choosers().SaveDialog2;
    AnswerRealDialog(c.Filter, dir.filePath(c.Typed));
    ASSERT_TRUE(prompter.RunFileDialog(state));
    EXPECT_EQ(state.FileName, dir.filePath(c.Saved));
    EXPECT_EQ(state.FilterIndex, c.Filter);
  }
}

// Every file dialog opens in the folder of the file last chosen in any of
// them during this run; a dialog whose own last file lies in that folder
// chooses it again, one whose file lies elsewhere chooses nothing.
TEST(QtPrompter, FileDialogsOpenInTheFolderLastUsed) {
  QTemporaryDir first, second;
  ScriptedPrompter scripted;
  TForm1 form(scripted);
  TQtPrompter prompter(&form);
  FileDialogState results = form.Choosers().SaveDialog1, definitions = form.Choosers().SaveDialog2;
  definitions.FileName = second.filePath("set.dfn");
  const struct {
    FileDialogState *Dialog;
    QString Folder, Preselected;  // what the dialog opens with
    QString Chosen;               // typed and saved; none cancels
  } steps[] = {
      {&results, QString(), QString(), first.filePath("run.txt")},
      {&definitions, first.path(), QString(), QString()},
      {&results, first.path(), "run.txt", second.filePath("other.txt")},
      {&definitions, second.path(), "set.dfn", QString()},
      {&form.Choosers().OpenDialog1, second.path(), QString(), QString()},
  };
  for (const auto &step : steps) {
    SCOPED_TRACE(step.Dialog->Title.toStdString() + " to " + step.Chosen.toStdString());
    QString folder, preselected;
    QTimer::singleShot(0, [&] {
      auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      auto *edit = dialog->findChild<QLineEdit *>("fileNameEdit");
      ASSERT_NE(edit, nullptr);
      folder = dialog->directory().absolutePath();
      preselected = edit->text();
      if (step.Chosen.isEmpty()) return dialog->reject();
      edit->setText(step.Chosen);
      QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(prompter.RunFileDialog(*step.Dialog), !step.Chosen.isEmpty());
    if (!step.Folder.isEmpty()) EXPECT_EQ(folder, QDir(step.Folder).absolutePath());
    EXPECT_EQ(preselected, step.Preselected);
  }
}

// The folder chooser offers kinds of file on a row of its own, the kind
// given chosen at first: its label's key (Alt+T, named in the box's
// tool-tip) takes the keyboard to the box, whose name a screen reader
// reads, and the kind chosen there comes back with the folder. Without
// kinds there is no such row, and the kind is left alone.
TEST(QtPrompter, FolderChooserOffersTheKindsOfFile) {
  QTemporaryDir dir;
  ScriptedPrompter scripted;
  TForm1 form(scripted);
  TQtPrompter prompter(&form);
  for (bool offered : {true, false}) {
    SCOPED_TRACE(offered);
    int kind = offered ? 0 : 7;
    bool keyReachesBox = false;
    QComboBox *box = nullptr;
    QString tip, name;
    QTimer::singleShot(0, [&] {
      auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      box = dialog->findChild<QComboBox *>("kindBox");
      if (box) {
        tip = box->toolTip();
        name = box->accessibleName();
        EXPECT_EQ(box->currentIndex(), 0);
        EXPECT_TRUE(box->isVisibleTo(dialog));
        dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(dialog, Qt::Key_T, Qt::AltModifier);
        keyReachesBox = QApplication::focusWidget() == box;
        QTest::keyClick(box, Qt::Key_Down);
      }
      auto *edit = dialog->findChild<QLineEdit *>("fileNameEdit");
      ASSERT_NE(edit, nullptr);
      edit->setText(dir.path());
      QTest::keyClick(edit, Qt::Key_Return);
    });
    QString folder;
    const QStringList kinds = offered ? QStringList{"JPEG (quality 92)", "PNG (lossless)"} : QStringList();
    ASSERT_TRUE(prompter.ChooseFolder("Export Annotated Images", folder, kinds, kind));
    EXPECT_EQ(QDir(folder), QDir(dir.path()));
    EXPECT_EQ(box != nullptr, offered);
    if (!offered) {
      EXPECT_EQ(kind, 7);
      continue;
    }
    EXPECT_EQ(kind, 1);
    EXPECT_TRUE(keyReachesBox);
    EXPECT_TRUE(tip.contains("Alt+T")) << tip.toStdString();
    EXPECT_FALSE(name.isEmpty());
  }
}
