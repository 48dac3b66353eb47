// The keys of the main window, pressed with the keyboard focus on the controls
// that take keys of their own, as a user presses them.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QProxyStyle>
#include <functional>
#include <QScrollArea>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/Form1.h"
#include "definitions/DefinitionList.h"
#include "tests/support/SampleImages.h"
#include "tests/support/FormDriver.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
using Focus = QWidget *(*)(TForm1 &);
const std::pair<const char *, Focus> kFocusTargets[] = {
    {"results grid", [](TForm1 &f) -> QWidget * { return f.Grid(); }},
    {"scroll box", [](TForm1 &f) -> QWidget * { return &f.Pane(); }},
    {"zoom box", [](TForm1 &f) -> QWidget * { return f.Tools().ComboBox1; }},
    {"Measure button", [](TForm1 &f) -> QWidget * { return f.Tools().btMeasure; }},
};
}  // namespace

// A whole run by keys alone, with the focus put back on one control before
// each key (the commands move it): each key does what its button does, beeps
// included, and the control keeps none of them for itself.
TEST(Keyboard, EveryKeyRunsItsCommandWhereverTheFocusIs) {
  for (const auto &[where, focus] : kFocusTargets) {
    SCOPED_TRACE(where);
    QTemporaryDir dir;
    ScriptedPrompter prompt;
    TForm1 form(prompt);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    auto key = [&](QKeyCombination k) {
      QWidget *target = focus(form);
      target->setFocus();
      QTest::keyClick(target, k.key(), k.keyboardModifiers());
      Settle(form);
    };

    key(Qt::Key_PageDown);
    EXPECT_EQ(prompt.Messages, (std::vector<ScriptedPrompter::Shown>{{"Define measurements first!", "Definition Error"}}));
    AddDefinition(form.DefinitionList, form.ResultsTable, "Leaf", mkLine, false, false, false, false);

    QStringList files;
    for (const char *name : {"a.jpg", "b.jpg"}) {
      QFile f(dir.filePath(name));
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(MakeJpeg(JpegKind::Baseline, 64, 48, qRgb(90, 120, 60)));
      files << f.fileName();
    }
    prompt.AnswerFiles(files);
    key(Qt::CTRL | Qt::Key_O);
    EXPECT_EQ(form.ResultsTable.ImageCount, 2);

    key(Qt::CTRL | Qt::Key_M);  // not started: beeps
    key(Qt::Key_PageUp);        // nothing before the first image: beeps
    EXPECT_EQ(prompt.Beeps, 2);
    prompt.Answers.push_back(mrYes);
    key(Qt::Key_PageDown);
    EXPECT_TRUE(form.RunStarted());
    EXPECT_EQ(form.CurrentImage(), 0);
    key(Qt::Key_PageDown);
    EXPECT_EQ(form.CurrentImage(), 1);
    key(Qt::Key_PageDown);  // past the last image: beeps
    EXPECT_EQ(prompt.Beeps, 3);
    key(Qt::Key_PageUp);
    EXPECT_EQ(form.CurrentImage(), 0);
    key(Qt::CTRL | Qt::Key_M);
    EXPECT_TRUE(form.Session().ScaleArmed());
    EXPECT_EQ(prompt.Beeps, 3);
    EXPECT_EQ(form.Tools().ComboBox1->currentText(), "100%");

    const QString saved = dir.filePath("results.txt");
    prompt.AnswerFile(saved, 1);
    key(Qt::CTRL | Qt::Key_S);
    EXPECT_TRUE(QFile::exists(saved));
    prompt.CancelFile();
    key(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    EXPECT_TRUE(prompt.FileDialogs.empty());

    key(Qt::CTRL | Qt::Key_Q);  // saved: closes without a question
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(prompt.Answers.empty());
  }
}

// The menus show each key beside its item, and each tool-bar button's
// tool-tip names the key that does what the button does.
TEST(Keyboard, MenusAndToolTipsNameTheKeys) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  const std::pair<QAction *, const char *> items[] = {
      {form.Menus().OpenImages1, "Ctrl+O"}, {form.Menus().ContinueResults1, "Ctrl+Shift+O"}, {form.Menus().SaveData1, "Ctrl+S"}, {form.Menus().Saveas1, "Ctrl+Shift+S"},
      {form.Menus().Exit1, "Ctrl+Q"},       {form.Menus().Next1, "PgDown"},     {form.Menus().Measure1, "Ctrl+M"},
      {form.Menus().Back1, "PgUp"}};
  for (const auto &[item, keys] : items)
    EXPECT_EQ(item->shortcut().toString(QKeySequence::PortableText), keys) << item->text().toStdString();
  const std::pair<QToolButton *, const char *> tips[] = {
      {form.Tools().btOpenImages, "Open Images (Ctrl+O)"}, {form.Tools().btNext, "Start / Next (PgDown)"},
      {form.Tools().btMeasure, "Measure (Ctrl+M)"},        {form.Tools().btBack, "Back (PgUp)"},
      {form.Tools().bbSave, "Save Data (Ctrl+S)"}};
  for (const auto &[button, tip] : tips) EXPECT_EQ(button->toolTip(), tip);
}

// A row of the results grid goes to its image on a double-click or Enter,
// never on a single click, even on a desktop whose style activates items on
// a single click.
TEST(Keyboard, GridRowJumpsOnDoubleClickOrEnterOnly) {
  struct SingleClickActivates : QProxyStyle {
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returned) const override {
      if (hint == SH_ItemView_ActivateItemOnSingleClick) return 1;
      return QProxyStyle::styleHint(hint, option, widget, returned);
    }
  } style;
  QTemporaryDir dir;
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  form.Grid()->setStyle(&style);
  AddDefinition(form.DefinitionList, form.ResultsTable, "Leaf", mkLine, false, false, false, false);
  QStringList files;
  for (const char *name : {"a.jpg", "b.jpg", "c.jpg"}) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(MakeJpeg(JpegKind::Baseline, 64, 48, qRgb(90, 120, 60)));
    files << f.fileName();
  }
  form.ResultsTable.AppendImageRows(files);
  prompt.Answers.push_back(mrYes);
  Next(form);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  ASSERT_EQ(form.CurrentImage(), 0);

  QTableView *grid = form.Grid();
  const auto cell = [&](int image) { return grid->visualRect(grid->model()->index(image, 2)).center(); };
  const struct {
    const char *Gesture;
    int Row;
    std::function<void(int)> Do;
    int Expected;
  } cases[] = {
      {"single click", 2, [&](int row) { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell(row)); }, 0},
      {"double-click", 2, [&](int row) { QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell(row)); }, 2},
      {"Return", 1, [&](int row) {
         grid->setCurrentIndex(grid->model()->index(row, 2));
         QTest::keyClick(grid, Qt::Key_Return);
       }, 1},
      {"Enter", 0, [&](int row) {
         grid->setCurrentIndex(grid->model()->index(row, 2));
         QTest::keyClick(grid, Qt::Key_Enter, Qt::KeypadModifier);
       }, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Gesture);
    grid->setFocus();
    c.Do(c.Row);
    EXPECT_EQ(form.CurrentImage(), c.Expected);
  }
  EXPECT_EQ(prompt.Beeps, 0);
}
