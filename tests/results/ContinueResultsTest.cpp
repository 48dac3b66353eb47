// Going on with a batch in a later sitting: a saved results file read back,
// refused when it does not fit, and the rows of the table as a way to jump.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "app/Form1.h"
#include "measuring/ConvDlg.h"
#include "results/ResultsFileWriter.h"
#include "tests/support/SampleImages.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestFiles.h"

namespace {
// One sitting at the program: a main window with a scripted person in front.
struct Sitting {
  ScriptedPrompter Prompt;
  std::unique_ptr<TForm1> Form = std::make_unique<TForm1>(Prompt);

  void Drag(QPoint from, QPoint to) {
    Form->PaintBox1MouseDown(Qt::LeftButton, from.x(), from.y());
    Form->PaintBox1MouseMove(to.x(), to.y());
    Form->PaintBox1MouseUp(Qt::LeftButton, to.x(), to.y());
  }

  // Measure on the image shown: a scale of `dots` over 10 cm, a line and a
  // rectangle that differ from image to image.
  void MeasureShownImage(int dots) {
    Form->btMeasure->click();
    Prompt.Dialogs.push_back([](QDialog &d) {
      dynamic_cast<TConvDlg &>(d).btOK->click();
      return d.result();
    });
    Drag({1, 1}, {1 + dots, 1});
    Prompt.Press(mrOk);
    Drag({10, 10}, {10 + dots / 3, 40});
    Prompt.Press(mrOk);
    Drag({20, 20}, {60, 20 + dots / 4});
    ASSERT_FALSE(Form->MeasureArmed);
  }

  void Start() {
    Prompt.Answers.push_back(mrYes);
    Form->btNext->click();
  }
};

// Three JPEG images in `dir`, each opened on its own.
void OpenThreeImages(Sitting &s, const QTemporaryDir &dir) {
  for (int i = 1; i <= 3; ++i) {
    const QString path = dir.filePath(QStringLiteral("leaf%1.jpg").arg(i));
    if (!QFile::exists(path)) WriteBytes(path, MakeJpeg(JpegKind::Baseline, 160, 120, qRgb(40, 100, 50)));
    s.Prompt.AnswerFiles({path});
    s.Form->btOpenImages->click();
  }
}
}  // namespace

// Two images measured and saved, the program closed, then in a new sitting
// the definitions loaded, the file continued and the third image measured:
// the file is what one long sitting writes.
TEST(ContinueResults, LaterSittingWritesWhatOneLongSittingWrites) {
  struct Case {
    const char *Name;
    int SaveFilter, ContinueFilter;
  };
  for (const Case &c : {Case{"run.txt", 1, 1}, Case{"run.csv", 2, 3}}) {
    SCOPED_TRACE(c.Name);
    QTemporaryDir dir;
    const QString results = dir.filePath(c.Name), definitions = dir.filePath("set.dfn");
    {
      Sitting first;
      AddDefinition(first.Form->DefinitionList, first.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
      AddDefinition(first.Form->DefinitionList, first.Form->ResultsTable, "Leaf", mkRectangle, true, true, false,
                    true);
      first.Prompt.AnswerFile(definitions);
      first.Form->SaveDef1Click();
      OpenThreeImages(first, dir);
      first.Start();
      first.MeasureShownImage(120);
      first.Form->btNext->click();
      first.MeasureShownImage(150);
      first.Prompt.AnswerFile(results, c.SaveFilter);
      ASSERT_TRUE(first.Form->Saveas1Click());
    }
    Sitting later;
    later.Prompt.AnswerFile(definitions);
    later.Form->LoadDef1Click();
    later.Prompt.AnswerFile(results, c.ContinueFilter);
    later.Form->ContinueResults1->trigger();
    ASSERT_TRUE(later.Prompt.Messages.empty()) << later.Prompt.Messages[0].Text.toStdString();
    EXPECT_EQ(later.Form->ResultsTable.ImageCount, 3);
    EXPECT_FALSE(later.Form->ResultsTable.DataChanged());
    EXPECT_EQ(ResultsFileBytes(later.Form->ResultsTable, c.SaveFilter == 2 ? ',' : '\t'), ReadAll(results));
    later.Start();
    EXPECT_FALSE(later.Form->ContinueResults1->isEnabled());
    later.Form->StringGrid1DblClick(2);  // the first row without values
    EXPECT_EQ(later.Form->CurrentImage, 2);
    later.MeasureShownImage(90);
    ASSERT_TRUE(later.Form->bbSaveClick());  // no dialog: the continued file's name and layout

    Sitting whole;
    AddDefinition(whole.Form->DefinitionList, whole.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
    AddDefinition(whole.Form->DefinitionList, whole.Form->ResultsTable, "Leaf", mkRectangle, true, true, false, true);
    OpenThreeImages(whole, dir);
    whole.Start();
    for (int dots : {120, 150, 90}) {
      whole.MeasureShownImage(dots);
      whole.Form->btNext->click();
    }
    EXPECT_EQ(ReadAll(results), ResultsFileBytes(whole.Form->ResultsTable, c.SaveFilter == 2 ? ',' : '\t'));
  }
}

// A file that does not fit the definitions, or is damaged, is refused with
// the line that is wrong, and nothing changes.
TEST(ContinueResults, MismatchingAndDamagedFilesChangeNothing) {
  const QByteArray heading = "No.\tPath\tFile Name\tDots/cm\tStem\r\n";
  struct Case {
    QByteArray Bytes;
    int Filter;
    const char *Message;  // after "Line "
  };
  const Case cases[] = {
      {"No.\tPath\tFile Name\tDots/cm\tStem_H\r\n", 1,
       "1 of %1 has the heading \"Stem_H\" in column 5 where the current definitions give \"Stem\"."},
      {"No.\tPath\tFile Name\tDots/cm\r\n", 1, "1 of %1 has 4 headings where the current definitions give 5."},
      {"No.,Path,File Name,Dots/cm,Stem\r\n", 1, "1 of %1 has 1 headings where the current definitions give 5."},
      {heading + "1\t/p\ta.jpg\t25\t2\r\n2\t/p\tb.jpg\t25\r\n", 1, "3 of %1 has 4 fields where there are 5 headings."},
      {heading + "1\t/p\ta.jpg\t25\t2\t\r\n", 3, "2 of %1 has 6 fields where there are 5 headings."},
      {heading + "1\t/p\ta.jpg\t\t\r\n3\t/p\tb.jpg\t\t\r\n", 1, "3 of %1 has \"3\" under \"No.\" where 2 belongs."},
      {heading + "1\t/p\t\xff.jpg\t\t\r\n", 1, "2 of %1 holds bytes that are not text."},
      {"No.,Path,File Name,Dots/cm,Stem\r\n1,\"/p,q\r\n", 2, "2 of %1 has a quoted field that is not closed."},
      {"No.,Path,File Name,Dots/cm,Stem\r\n1,\"/p\"q,a.jpg,,\r\n", 3,
       "2 of %1 has a quoted field that goes on after its closing quote."},
      {"", 1, "1 of %1 is empty."},
  };
  QTemporaryDir dir;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Message);
    Sitting s;
    AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
    s.Form->ResultsTable.AppendImageRows({"/q/first.jpg"});
    s.Form->ResultsTable.MarkSaved();
    const QByteArray before = ResultsFileBytes(s.Form->ResultsTable, '\t');
    const QString path = dir.filePath("r.txt");
    WriteBytes(path, c.Bytes);
    s.Prompt.AnswerFile(path, c.Filter);
    s.Form->ContinueResults1Click();
    EXPECT_EQ(s.Prompt.Messages, (std::vector<ScriptedPrompter::Shown>{
                                     {QStringLiteral("Line ") + QString::fromLatin1(c.Message).arg(path),
                                      "File Error"}}));
    EXPECT_EQ(ResultsFileBytes(s.Form->ResultsTable, '\t'), before);
    EXPECT_FALSE(s.Form->ResultsTable.DataChanged());
    EXPECT_TRUE(s.Form->SaveDialog1.FileName.isEmpty());
  }
}

// After Start a double-click on a row, or Enter on the current row, goes to
// that image as Next and Back do; before Start, or on a row without an
// image, it only beeps.
TEST(ContinueResults, ChoosingARowGoesToItsImage) {
  QTemporaryDir dir;
  Sitting s;
  AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
  OpenThreeImages(s, dir);
  s.Form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(s.Form.get()));
  QTableView *grid = s.Form->StringGrid1;
  auto rowCentre = [&](int row) { return grid->visualRect(grid->model()->index(row, 1)).center(); };
  // A double-click is a click followed by a second press that Qt reports as one.
  auto doubleClick = [&](int row) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowCentre(row));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, rowCentre(row));
  };
  doubleClick(1);
  EXPECT_EQ(s.Prompt.Beeps, 1);
  EXPECT_EQ(s.Form->CurrentImage, -1);

  s.Start();
  s.Form->btMeasure->click();  // the scale step stays armed across the jump
  doubleClick(2);
  EXPECT_EQ(s.Form->CurrentImage, 2);
  EXPECT_EQ(s.Form->ResultsTable.CurrentRow(), 3);
  EXPECT_EQ(s.Form->StatusPanel1->text(), dir.filePath("leaf3.jpg"));
  EXPECT_TRUE(s.Form->ScaleArmed);
  grid->setFocus();
  grid->setCurrentIndex(grid->model()->index(1, 1));
  QTest::keyClick(grid, Qt::Key_Return);
  EXPECT_EQ(s.Form->CurrentImage, 1);
  grid->setCurrentIndex(grid->model()->index(0, 1));
  s.Form->StringGrid1DblClick(3);  // past the last image
  EXPECT_EQ(s.Prompt.Beeps, 2);
  EXPECT_EQ(s.Form->CurrentImage, 1);
}
