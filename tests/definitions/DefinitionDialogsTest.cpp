#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/Form1.h"
#include "definitions/DeleteDefDlg.h"
#include "definitions/MDDlg.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
void Choose(TMDDlg &d, int item) {
  d.cbType->setCurrentIndex(item);
  emit d.cbType->activated(item);
}
}  // namespace

TEST(MDDlg, TypicalUseWithTwoDefinitions) {
  TMDDlg d(nullptr);
  d.SetMeasureNo(3);
  EXPECT_EQ(d.lbMeasureNo->text(), "3");
  EXPECT_EQ(d.edName->text(), "Line3");
  EXPECT_EQ(d.cbType->currentText(), "Straight Line");
  EXPECT_FALSE(d.gbOptions->isEnabled());

  Choose(d, 2);
  EXPECT_EQ(d.MeasureName, "Rect3");
  EXPECT_TRUE(d.gbOptions->isEnabled());
  EXPECT_TRUE(d.Height && d.Width && d.cbHeight->isChecked() && d.cbWidth->isChecked());
  d.cbArea->setChecked(true);
  EXPECT_TRUE(d.Area);

  Choose(d, 1);
  EXPECT_EQ(d.MeasureName, "Angl3");
  EXPECT_FALSE(d.gbOptions->isEnabled());
  EXPECT_FALSE(d.Height || d.Width || d.Perimeter || d.Area);

  Choose(d, 2);  // back to a rectangle: Height and Width again, Area stays clear
  EXPECT_TRUE(d.Height && d.Width);
  EXPECT_FALSE(d.Perimeter || d.Area);

  QTest::keyClicks(d.edName, "X");
  EXPECT_TRUE(d.NameEdited);
  EXPECT_EQ(d.MeasureName, "Rect3X");
  Choose(d, 0);
  EXPECT_EQ(d.MeasureName, "Rect3X");
  EXPECT_EQ(d.MeasureKind, mkLine);
}

TEST(MDDlg, TypedKindIsMinusOneAndOkRules) {
  TMDDlg d(nullptr);
  d.SetMeasureNo(1);
  Choose(d, 2);
  d.cbType->lineEdit()->selectAll();
  QTest::keyClicks(d.cbType->lineEdit(), "Circle");
  EXPECT_EQ(int(d.MeasureKind), -1);
  EXPECT_EQ(d.MeasureName, "M1");
  EXPECT_EQ(d.cbType->currentText(), "Circle");
  EXPECT_FALSE(d.gbOptions->isEnabled());
  EXPECT_FALSE(d.Height || d.Width);
  d.btOK->click();
  EXPECT_EQ(d.result(), mrOk);
  EXPECT_EQ(int(d.MeasureKind), -1);

  TMDDlg r(nullptr);
  r.SetMeasureNo(1);
  Choose(r, 2);
  r.cbHeight->setChecked(false);
  r.cbWidth->setChecked(false);
  r.edName->clear();
  EXPECT_TRUE(r.NameEdited);
  EXPECT_TRUE(r.MeasureName.isEmpty());
  r.btOK->click();
  EXPECT_TRUE(r.Height && r.Width);  // a rectangle with nothing ticked
  EXPECT_TRUE(r.MeasureName.isEmpty());
}

// Enter answers OK, as the OK button does (a rectangle with nothing ticked
// gets Height and Width), from the name box, the type box and the options;
// on the Cancel button it cancels. Escape cancels from anywhere.
TEST(MDDlg, EnterIsOkAndEscapeIsCancel) {
  using Control = QWidget *(*)(TMDDlg &);
  const struct {
    const char *Where;
    Control Focus;
    Qt::Key Key;
    int Result;
  } cases[] = {
      {"name box", [](TMDDlg &d) -> QWidget * { return d.edName; }, Qt::Key_Return, mrOk},
      {"type box", [](TMDDlg &d) -> QWidget * { return d.cbType; }, Qt::Key_Enter, mrOk},
      {"Area", [](TMDDlg &d) -> QWidget * { return d.cbArea; }, Qt::Key_Return, mrOk},
      {"Cancel", [](TMDDlg &d) -> QWidget * { return d.btCancel; }, Qt::Key_Return, mrCancel},
      {"name box", [](TMDDlg &d) -> QWidget * { return d.edName; }, Qt::Key_Escape, mrCancel},
      {"type box", [](TMDDlg &d) -> QWidget * { return d.cbType; }, Qt::Key_Escape, mrCancel},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.Where) + (c.Key == Qt::Key_Escape ? " Escape" : " Enter"));
    TMDDlg d(nullptr);
    d.SetMeasureNo(2);
    Choose(d, 2);
    d.cbHeight->setChecked(false);
    d.cbWidth->setChecked(false);
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    QWidget *target = c.Focus(d);
    target->setFocus();
    QTest::keyClick(target, c.Key, c.Key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    EXPECT_EQ(d.result(), c.Result);
    EXPECT_FALSE(d.isVisible());
    if (c.Result == mrOk) {
      EXPECT_EQ(d.MeasureName, "Rect2");
      EXPECT_EQ(d.MeasureKind, mkRectangle);
      EXPECT_TRUE(d.Height && d.Width);
      EXPECT_FALSE(d.Perimeter || d.Area);
    }
  }
}

// An entry is chosen from the list, or by typing its name in full on the
// keyboard; of two entries with one name, the one chosen in the list counts.
TEST(DeleteDefDlg, SelectedIndex) {
  TDeleteDefDlg d(nullptr);
  d.AddName("A");
  d.AddName("Same");
  d.AddName("Same");
  d.AddName("Samer");
  EXPECT_EQ(d.SelectedIndex(), -1);
  d.cbName->setCurrentIndex(2);
  EXPECT_EQ(d.SelectedIndex(), 2);
  const struct {
    const char *Typed;
    int Index;
  } cases[] = {{"typed", -1}, {"Sam", -1}, {"same", -1}, {"Same", 1}, {"Samer", 3}, {"A", 0}};
  d.show();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Typed);
    d.cbName->setCurrentIndex(-1);
    d.cbName->setFocus();
    QTest::keyClicks(d.cbName, QString::fromLatin1(c.Typed));
    EXPECT_EQ(d.SelectedIndex(), c.Index);
  }
}

TEST(DefinitionCommands, AddAndDeleteThroughTheWindow) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  form.Menus().DeleteDef1->trigger();
  EXPECT_EQ(prompt.Beeps, 1);
  EXPECT_TRUE(prompt.DialogsRun.empty());

  int offered = 0;
  prompt.Dialogs.push_back([&](QDialog &dlg) {
    auto &d = dynamic_cast<TMDDlg &>(dlg);
    offered = d.MeasureNo;
    Choose(d, 2);
    d.cbArea->setChecked(true);
    d.btOK->click();
    return d.result();
  });
  form.Menus().AddDef1->trigger();
  EXPECT_EQ(offered, 1);
  ASSERT_EQ(form.DefinitionList.Count(), 1);
  EXPECT_EQ(form.ResultsTable.Cell(6, 0), "Rect1_A");
  prompt.Press(mrCancel);  // Cancel adds nothing
  form.Menus().AddDef1->trigger();
  prompt.Dialogs.push_back([&](QDialog &dlg) {
    auto &d = dynamic_cast<TMDDlg &>(dlg);
    offered = d.MeasureNo;
    return int(mrOk);
  });
  form.Menus().AddDef1->trigger();
  EXPECT_EQ(offered, 2);
  EXPECT_EQ(form.DefinitionList.At(1).Name, "Line2");
  EXPECT_EQ(form.ResultsTable.ColumnCount(), 8);

  QStringList listed;
  prompt.Dialogs.push_back([&](QDialog &dlg) {
    auto &d = dynamic_cast<TDeleteDefDlg &>(dlg);
    for (int i = 0; i < d.cbName->count(); ++i) listed << d.cbName->itemText(i);
    d.cbName->setCurrentIndex(0);
    d.btOK->click();
    return d.result();
  });
  form.Menus().DeleteDef1->trigger();
  EXPECT_EQ(listed, (QStringList{"Rect1", "Line2"}));
  ASSERT_EQ(form.DefinitionList.Count(), 1);
  EXPECT_EQ(form.ResultsTable.Cell(4, 0), "Line2");
  EXPECT_EQ(form.ResultsTable.ColumnCount(), 5);
  prompt.Press(mrOk);  // OK with no entry chosen deletes nothing
  form.Menus().DeleteDef1->trigger();
  EXPECT_EQ(form.DefinitionList.Count(), 1);
  EXPECT_FALSE(form.ResultsTable.DataChanged());
}
