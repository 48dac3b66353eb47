// Going on with a batch in a later sitting: a saved results file read back,
// refused when it does not fit, and the rows of the table as a way to jump.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <memory>
#include <optional>

#include "app/ExportCommands.h"
#include "app/Form1.h"
#include "images/ImageLoader.h"
#include "images/JpegWriter.h"
#include "definitions/DeleteDefDlg.h"
#include "measuring/ConvDlg.h"
#include "measuring/Overlay.h"
#include "results/Journal.h"
#include "results/Record.h"
#include "results/ResultsFileWriter.h"
#include "tests/support/SampleImages.h"
#include "tests/support/FormDriver.h"
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
    Form->btMeasureClick();
    Prompt.Dialogs.push_back([](QDialog &d) {
      dynamic_cast<TConvDlg &>(d).btOK->click();
      return d.result();
    });
    Drag({1, 1}, {1 + dots, 1});
    Prompt.Press(mrOk);
    Drag({10, 10}, {10 + dots / 3, 40});
    Prompt.Press(mrOk);
    Drag({20, 20}, {60, 20 + dots / 4});
    ASSERT_FALSE(Form->Session().MeasureArmed());
  }

  void Start() {
    Prompt.Answers.push_back(mrYes);
    Next(*Form);
  }
};

// Three JPEG images in `dir`, each opened on its own.
void OpenThreeImages(Sitting &s, const QTemporaryDir &dir) {
  for (int i = 1; i <= 3; ++i) {
    const QString path = dir.filePath(QStringLiteral("leaf%1.jpg").arg(i));
    if (!QFile::exists(path)) WriteBytes(path, MakeJpeg(JpegKind::Baseline, 160, 120, qRgb(40, 100, 50)));
    s.Prompt.AnswerFiles({path});
    s.Form->btOpenImagesClick();
  }
}
}  // namespace

namespace {
QImage ViewPixels(Sitting &s) { return s.Form->Pane().widget()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The pixels of a picture that are in the figures' yellow.
std::vector<QPoint> YellowPixels(const QImage &image) {
  std::vector<QPoint> out;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == qRgb(255, 255, 0)) out.emplace_back(x, y);
  return out;
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
      Next(*first.Form);
      first.MeasureShownImage(150);
      first.Prompt.AnswerFile(results, c.SaveFilter);
      ASSERT_TRUE(first.Form->Saveas1Click());
    }
    Sitting later;
    later.Prompt.AnswerFile(definitions);
    later.Form->LoadDef1Click();
    later.Prompt.AnswerFile(results, c.ContinueFilter);
    later.Form->Menus().ContinueResults1->trigger();
    ASSERT_TRUE(later.Prompt.Messages.empty()) << later.Prompt.Messages[0].Text.toStdString();
    EXPECT_EQ(later.Form->ResultsTable.ImageCount, 3);
    EXPECT_FALSE(later.Form->ResultsTable.DataChanged());
    EXPECT_EQ(ResultsFileBytes(later.Form->ResultsTable, c.SaveFilter == 2 ? ',' : '\t'), ReadAll(results));
    later.Start();
    EXPECT_FALSE(later.Form->Menus().ContinueResults1->isEnabled());
    JumpTo(*later.Form, 2);  // the first row without values
    EXPECT_EQ(later.Form->CurrentImage(), 2);
    later.MeasureShownImage(90);
    ASSERT_TRUE(later.Form->bbSaveClick());  // no dialog: the continued file's name and layout

    Sitting whole;
    AddDefinition(whole.Form->DefinitionList, whole.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
    AddDefinition(whole.Form->DefinitionList, whole.Form->ResultsTable, "Leaf", mkRectangle, true, true, false, true);
    OpenThreeImages(whole, dir);
    whole.Start();
    for (int dots : {120, 150, 90}) {
      whole.MeasureShownImage(dots);
      Next(*whole.Form);
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
    const char *Message;  // after "Line "
  };
  const Case cases[] = {
      {"No.\tPath\tFile Name\tDots/cm\tStem_H\r\n",
       "1 of %1 has the heading \"Stem_H\" in column 5 where the current definitions give \"Stem\"."},
      {"No.\tPath\tFile Name\tDots/cm\r\n", "1 of %1 has 4 headings where the current definitions give 5."},
      {"No.,Path,File Name,Dots/cm\tStem\r\n", "1 of %1 has 2 headings where the current definitions give 5."},
      {heading + "1\t/p\ta.jpg\t25\t2\r\n2\t/p\tb.jpg\t25\r\n", "3 of %1 has 4 fields where there are 5 headings."},
      {heading + "1\t/p\ta.jpg\t25\t2\t\r\n", "2 of %1 has 6 fields where there are 5 headings."},
      {heading + "1\t/p\ta.jpg\t\t\r\n3\t/p\tb.jpg\t\t\r\n", "3 of %1 has \"3\" under \"No.\" where 2 belongs."},
      {heading + "1\t/p\ta.jpg\t\t\r\n\t\t\t\t\r\n\r\n2\t/p\tb.jpg\t\t\r\n",
       "5 of %1 holds a row after the empty line 3, which ends the images."},
      {heading + "1\t/p\t\xff.jpg\t\t\r\n", "2 of %1 holds bytes that are not text."},
      {"No.,Path,File Name,Dots/cm,Stem\r\n1,\"/p,q\r\n", "2 of %1 has a quoted field that is not closed."},
      {"No.,Path,File Name,Dots/cm,Stem\r\n1,\"/p\"q,a.jpg,,\r\n",
       "2 of %1 has a quoted field that goes on after its closing quote."},
      {"", "1 of %1 is empty."},
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
    s.Prompt.AnswerFile(path);
    s.Form->ContinueResults1Click();
    EXPECT_EQ(s.Prompt.Messages, (std::vector<ScriptedPrompter::Shown>{
                                     {QStringLiteral("Line ") + QString::fromLatin1(c.Message).arg(path),
                                      "File Error"}}));
    EXPECT_EQ(ResultsFileBytes(s.Form->ResultsTable, '\t'), before);
    EXPECT_FALSE(s.Form->ResultsTable.DataChanged());
    EXPECT_TRUE(s.Form->Choosers().SaveDialog1.FileName.isEmpty());
    EXPECT_TRUE(s.Form->Menus().AddDef1->isEnabled());
  }
}

// Files this program saves, or a spreadsheet writes, are taken whatever file
// type the chooser shows: the layout is the one of the heading line, empty
// lines after the rows are no images, and Save goes on in that layout.
TEST(ContinueResults, LayoutComesFromTheFileAndEmptyLinesEndTheRows) {
  const QByteArray tabs = "No.\tPath\tFile Name\tDots/cm\tStem\r\n";
  const QByteArray commas = "No.,Path,File Name,Dots/cm,Stem\r\n";
  QByteArray unfilled = tabs;
  for (int i = 0; i < 10; ++i) unfilled += "\t\t\t\t\r\n";
  struct Case {
    const char *Name;
    QByteArray Bytes;
    const char *Chooser;  // the file type shown in the chooser
    int Images, SaveType;
  };
  const Case cases[] = {
      {"saved-before-images.txt", unfilled, "Results", 0, rftTabbedText},
      {"blank-last-line.txt", tabs + "1\t/p\ta.jpg\t25\t2\r\n\r\n", "Results", 1, rftTabbedText},
      {"spreadsheet.csv", commas + "1,/p,a.jpg,25,2\r\n,,,,\r\n,,\n\n", "Results", 1, rftCsv},
      {"tabs.csv", tabs + "1\t/p\ta.jpg\t25\t2\r\n", "CSV", 1, rftTabbedText},
      {"commas.txt", commas + "1,/p,a.jpg,25,2\r\n", "Tabbed", 1, rftCsv},
      {"commas-any.txt", commas + "1,/p,a.jpg,25,2\r\n", "All", 1, rftCsv},
  };
  QTemporaryDir dir;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    Sitting s;
    // The chooser opens on a type that lists results files of both layouts.
    const FileDialogState &chooser = s.Form->Choosers().OpenDialog3;
    const QStringList shown = chooser.Patterns().value(chooser.FilterIndex - 1).split(u';');
    EXPECT_TRUE(QDir::match(shown, "run.txt") && QDir::match(shown, "run.csv")) << shown.join(u' ').toStdString();
    AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
    const QString path = dir.filePath(c.Name);
    WriteBytes(path, c.Bytes);
    int type = 0;
    while (type < chooser.Descriptions().size() && !chooser.Descriptions().at(type).startsWith(c.Chooser)) ++type;
    ASSERT_LT(type, chooser.Descriptions().size());
    s.Prompt.AnswerFile(path, type + 1);
    s.Form->ContinueResults1Click();
    if (!s.Prompt.Messages.empty()) {
      ADD_FAILURE() << s.Prompt.Messages[0].Text.toStdString();
      continue;
    }
    EXPECT_EQ(s.Form->ResultsTable.ImageCount, c.Images);
    if (c.Images) EXPECT_EQ(s.Form->ResultsTable.Cell(4, 1), "2");
    EXPECT_EQ(s.Form->Choosers().SaveDialog1.FileName, path);
    EXPECT_EQ(s.Form->Choosers().SaveDialog1.FilterIndex, c.SaveType);
  }
}

// Once rows with values have come back, as once the run has started, the
// definitions' columns are fixed: their commands are disabled, and run all
// the same they beep and change nothing (no definition moves away from the
// values under it).
TEST(ContinueResults, ContinuedRowsLockTheDefinitions) {
  QTemporaryDir dir;
  const QString results = dir.filePath("run.txt"), definitions = dir.filePath("set.dfn");
  WriteBytes(results, "No.\tPath\tFile Name\tDots/cm\tLine1\tLine2\r\n1\t/p\ta.jpg\t\t1.1\t2.2\r\n");
  WriteBytes(definitions, "1\r\nRect\t2\t1\t1\t0\t0\r\n");
  for (const bool continued : {true, false}) {
    SCOPED_TRACE(continued ? "continued" : "started");
    Sitting s;
    AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Line1", mkLine, false, false, false, false);
    AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Line2", mkLine, false, false, false, false);
    if (continued) {
      s.Prompt.AnswerFile(results);
      s.Form->ContinueResults1Click();
      ASSERT_EQ(s.Form->ResultsTable.ImageCount, 1);
    } else {
      OpenThreeImages(s, dir);
      s.Start();
    }
    for (QAction *item : {s.Form->Menus().AddDef1, s.Form->Menus().DeleteDef1, s.Form->Menus().LoadDef1}) EXPECT_FALSE(item->isEnabled());
    const QByteArray before = ResultsFileBytes(s.Form->ResultsTable, '\t');
    const int beeps = s.Prompt.Beeps;
    // Whatever a dialog would be asked, it must not be shown.
    s.Prompt.Dialogs.push_back([](QDialog &d) {
      if (auto *del = dynamic_cast<TDeleteDefDlg *>(&d)) del->cbName->setCurrentIndex(0);
      return int(mrOk);
    });
    s.Prompt.AnswerFile(definitions);
    s.Form->DeleteDef1Click();
    s.Form->AddDef1Click();
    s.Form->LoadDef1Click();
    EXPECT_EQ(s.Prompt.Beeps - beeps, 3);
    EXPECT_TRUE(s.Prompt.DialogsRun.empty());
    EXPECT_EQ(s.Prompt.FileDialogs.size(), 1u);
    EXPECT_EQ(s.Form->DefinitionList.Count(), 2);
    EXPECT_EQ(ResultsFileBytes(s.Form->ResultsTable, '\t'), before);
  }
}

// Values measured after Continue Results are written with the decimal
// separator the file's numbers already use, so one column never holds both;
// the user's own is used when no number in the file has a fraction.
TEST(ContinueResults, NewValuesUseTheFilesDecimalSeparator) {
  struct Case {
    const char *DotsPerCm;  // of the first image, as the file holds it
    QChar User, Written;
  };
  // A file written under an English locale continued under a German one,
  // the other way round, and a file with no fraction under a German locale.
  const Case cases[] = {{"9.9947", u',', u'.'}, {"\"12,0157\"", u'.', u','}, {"12", u',', u','}};
  QTemporaryDir dir;
  for (const char *name : {"leaf1.jpg", "leaf2.jpg"})
    WriteBytes(dir.filePath(name), MakeJpeg(JpegKind::Baseline, 160, 120, qRgb(40, 100, 50)));
  for (const Case &c : cases) {
    SCOPED_TRACE(c.DotsPerCm);
    const QString path = dir.filePath("run.csv");
    QByteArray file = "No.,Path,File Name,Dots/cm,Stem,Leaf_H,Leaf_W,Leaf_A\r\n";
    for (int i = 1; i <= 2; ++i)
      file += QStringLiteral("%1,%2,leaf%1.jpg,%3,,,,\r\n")
                  .arg(i)
                  .arg(dir.path(), QString::fromLatin1(i == 1 ? c.DotsPerCm : ""))
                  .toLocal8Bit();
    WriteBytes(path, file);
    Sitting s;
    s.Form->SetDecimalSeparator(c.User);  // the user's regional setting
    AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
    AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Leaf", mkRectangle, true, true, false, true);
    s.Prompt.AnswerFile(path);
    s.Form->ContinueResults1Click();
    ASSERT_TRUE(s.Prompt.Messages.empty()) << s.Prompt.Messages[0].Text.toStdString();
    s.Start();
    JumpTo(*s.Form, 1);
    s.MeasureShownImage(125);  // 12.5 dots/cm; a line of 41 by 30 dots, a rectangle of 40 by 31
    const QStringList expected{"12_5", "4_0643", "2_48", "3_2", "7_936"};  // Dots/cm to Leaf_A
    for (int col = 3; col < 8; ++col)
      EXPECT_EQ(s.Form->ResultsTable.Cell(col, 2), QString(expected.at(col - 3)).replace(u'_', c.Written));
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
  QTableView *grid = s.Form->Grid();
  auto rowCentre = [&](int row) { return grid->visualRect(grid->model()->index(row, 1)).center(); };
  // A double-click is a click followed by a second press that Qt reports as one.
  auto doubleClick = [&](int row) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rowCentre(row));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, rowCentre(row));
    Settle(*s.Form);
  };
  doubleClick(1);
  EXPECT_EQ(s.Prompt.Beeps, 1);
  EXPECT_EQ(s.Form->CurrentImage(), -1);

  s.Start();
  s.Form->btMeasureClick();  // the scale step stays armed across the jump
  doubleClick(2);
  EXPECT_EQ(s.Form->CurrentImage(), 2);
  EXPECT_EQ(s.Form->ResultsTable.CurrentRow(), 3);
  EXPECT_EQ(s.Form->Frame().StatusPanel1->text(), dir.filePath("leaf3.jpg"));
  EXPECT_TRUE(s.Form->Session().ScaleArmed());
  grid->setFocus();
  grid->setCurrentIndex(grid->model()->index(1, 1));
  QTest::keyClick(grid, Qt::Key_Return);
  Settle(*s.Form);
  EXPECT_EQ(s.Form->CurrentImage(), 1);
  grid->setCurrentIndex(grid->model()->index(0, 1));
  JumpTo(*s.Form, 3);  // past the last image
  EXPECT_EQ(s.Prompt.Beeps, 2);
  EXPECT_EQ(s.Form->CurrentImage(), 1);
}

namespace {
// The user's data folder of one test, where the journals go.
struct DataHome {
  QTemporaryDir Dir;
  DataHome() { qputenv("XDG_DATA_HOME", Dir.path().toLocal8Bit()); }
  QStringList Journals() const {
    return QDir(TJournal::Folder()).entryList({"*.journal"}, QDir::Files, QDir::Name);
  }
};

void DefineStemAndLeaf(Sitting &s) {
  AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
  AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Leaf", mkRectangle, true, true, false, true);
}

QStringList FileNames(const TResultsTable &table) {
  QStringList out;
  for (int i = 0; i < table.ImageCount; ++i) out << table.Cell(TResultsTable::colFileName, i + 1);
  return out;
}
}  // namespace

// A sitting that stops without ending (the program killed between two OKs)
// leaves its journal; the next start offers it, and Yes brings back the
// definitions, rows, values, figures and save name exactly, unsaved. A
// journal whose last entry was cut short comes back without that entry; No
// keeps the journal aside; one that is no journal is reported and kept.
TEST(Recovery, SittingThatDidNotEndComesBackAsItWas) {
  DataHome home;
  QTemporaryDir dir;
  const QString results = dir.filePath("run.txt");
  QByteArray beforeLastOk, atKill, figuresAtKill, journal;
  {
    Sitting first;
    DefineStemAndLeaf(first);
    OpenThreeImages(first, dir);
    first.Start();
    first.MeasureShownImage(120);
    first.Prompt.AnswerFile(results);
    ASSERT_TRUE(first.Form->Saveas1Click());
    Next(*first.Form);
    first.MeasureShownImage(150);
    Next(*first.Form);
    first.Form->btMeasureClick();
    first.Prompt.Dialogs.push_back([](QDialog &d) {
      dynamic_cast<TConvDlg &>(d).btOK->click();
      return d.result();
    });
    first.Drag({1, 1}, {91, 1});
    beforeLastOk = ResultsFileBytes(first.Form->ResultsTable, '\t');
    first.Prompt.Press(mrOk);
    first.Drag({10, 10}, {40, 40});
    atKill = ResultsFileBytes(first.Form->ResultsTable, '\t');
    figuresAtKill = FiguresFileBytes(first.Form->Log().Record, FileNames(first.Form->ResultsTable));
    journal = ReadAll(first.Form->Log().Journal.Path());
    ASSERT_EQ(home.Journals().size(), 1);
  }  // gone without closing, as when killed
  ASSERT_NE(beforeLastOk, atKill);

  struct Case {
    const char *Name;
    QByteArray Journal;
    ModalResult Answer;
    QByteArray Expected;  // the table brought back; empty: nothing
    const char *Counts;   // as the question names them
  };
  const Case cases[] = {
      {"whole", journal, mrYes, atKill, "3 images and 12 values"},
      {"cut in the last entry", journal.left(journal.size() - 20), mrYes, beforeLastOk, "3 images and 11 values"},
      {"answered No", journal, mrNo, "", "3 images and 12 values"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    QDir(TJournal::Folder()).removeRecursively();
    QDir().mkpath(TJournal::Folder());
    WriteBytes(TJournal::Folder() + "/sitting-20260101-000000-000-1.journal", c.Journal);
    Sitting later;
    later.Prompt.Answers.push_back(c.Answer);
    EXPECT_EQ(later.Form->OfferLeftOverJournal(), c.Answer == mrYes);
    ASSERT_EQ(later.Prompt.Questions.size(), 1u);
    EXPECT_EQ(later.Prompt.Questions[0].Title, "Confirm");
    EXPECT_TRUE(later.Prompt.Questions[0].Text.contains(c.Counts)) << later.Prompt.Questions[0].Text.toStdString();
    EXPECT_TRUE(later.Prompt.Messages.empty());
    if (c.Answer == mrNo) {
      EXPECT_EQ(later.Form->ResultsTable.ImageCount, 0);
      EXPECT_EQ(home.Journals(), QStringList{"kept-sitting-20260101-000000-000-1.journal"});
      EXPECT_TRUE(TJournal::LeftOver().isEmpty());
      continue;
    }
    EXPECT_EQ(ResultsFileBytes(later.Form->ResultsTable, '\t'), c.Expected);
    EXPECT_TRUE(later.Form->ResultsTable.DataChanged());
    EXPECT_FALSE(later.Form->Menus().AddDef1->isEnabled());
    EXPECT_EQ(later.Form->Choosers().SaveDialog1.FileName, results);
    if (c.Expected == atKill) {
      EXPECT_EQ(FiguresFileBytes(later.Form->Log().Record, FileNames(later.Form->ResultsTable)), figuresAtKill);
      // Start shows the first image with its figures at once.
      later.Start();
      EXPECT_FALSE(YellowPixels(ViewPixels(later)).empty());
    }
    // The entries now live in this sitting's journal, which a normal end removes.
    ASSERT_EQ(home.Journals().size(), 1);
    EXPECT_TRUE(TJournal::LeftOver().isEmpty());
    later.Prompt.Answers.push_back(mrYes);
    later.Form->close();
    EXPECT_EQ(ReadAll(results), c.Expected);
    EXPECT_TRUE(home.Journals().isEmpty());
  }

  QDir(TJournal::Folder()).removeRecursively();
  QDir().mkpath(TJournal::Folder());
  WriteBytes(TJournal::Folder() + "/sitting-20260101-000000-000-2.journal", "\x89PNG\r\n");
  Sitting damaged;
  EXPECT_FALSE(damaged.Form->OfferLeftOverJournal());
  ASSERT_EQ(damaged.Prompt.Messages.size(), 1u);
  EXPECT_EQ(damaged.Prompt.Messages[0].Title, "File Error");
  EXPECT_EQ(home.Journals(), QStringList{"kept-sitting-20260101-000000-000-2.journal"});
}


// Saved, closed, continued in a later sitting and shown again with Back:
// each image shows its own figures at the same pixels as after OK (and its
// scale line), an image measured on nothing shows none, and Measure clears
// them. A damaged figures file is reported; the rows come all the same.
TEST(ContinueResults, FiguresComeBackOnTheirOwnImages) {
  DataHome home;
  QTemporaryDir dir;
  const QString results = dir.filePath("run.txt");
  std::vector<QPoint> afterOk;
  {
    Sitting first;
    DefineStemAndLeaf(first);
    OpenThreeImages(first, dir);
    first.Start();
    first.MeasureShownImage(120);
    afterOk = YellowPixels(ViewPixels(first));
    Next(*first.Form);
    first.MeasureShownImage(150);
    first.Prompt.AnswerFile(results);
    ASSERT_TRUE(first.Form->Saveas1Click());
    first.Form->close();
  }
  ASSERT_FALSE(afterOk.empty());
  for (const bool damaged : {false, true}) {
    SCOPED_TRACE(damaged ? "damaged figures file" : "figures file");
    if (damaged) WriteBytes(FiguresFileName(results), ReadAll(FiguresFileName(results)).replace("\"p\"", "\"q\""));
    Sitting later;
    DefineStemAndLeaf(later);
    later.Prompt.AnswerFile(results);
    later.Form->ContinueResults1Click();
    EXPECT_EQ(later.Form->ResultsTable.ImageCount, 3);
    later.Start();
    Next(*later.Form);
    Next(*later.Form);
    EXPECT_TRUE(YellowPixels(ViewPixels(later)).empty());  // the third image has no figures
    Back(*later.Form);
    Back(*later.Form);
    ASSERT_EQ(later.Form->CurrentImage(), 0);
    if (damaged) {
      ASSERT_EQ(later.Prompt.Messages.size(), 1u);
      EXPECT_EQ(later.Prompt.Messages[0].Title, "File Error");
      EXPECT_TRUE(later.Prompt.Messages[0].Text.contains(FiguresFileName(results)));
      EXPECT_TRUE(YellowPixels(ViewPixels(later)).empty());
      continue;
    }
    EXPECT_TRUE(later.Prompt.Messages.empty());
    const QImage back = ViewPixels(later);
    EXPECT_EQ(YellowPixels(back), afterOk);
    EXPECT_EQ(back.pixel(60, 1), qRgb(255, 0, 0));  // on the scale line
    later.Form->btMeasureClick();
    EXPECT_TRUE(YellowPixels(ViewPixels(later)).empty());
  }
}

// A batch whose folder was moved after the save: Continue Results asks once
// for the folder the images are in now, the rows' Path follows, and every
// image shows again. Cancel keeps the rows as they were.
TEST(ContinueResults, MovedBatchIsFoundInItsNewFolder) {
  DataHome home;
  QTemporaryDir dir;
  const QString before = dir.filePath("photos"), after = dir.filePath("moved/photos"), results = dir.filePath("run.txt");
  ASSERT_TRUE(QDir().mkpath(before) && QDir().mkpath(dir.filePath("moved")));
  {
    Sitting first;
    DefineStemAndLeaf(first);
    QTemporaryDir unused;
    for (int i = 1; i <= 3; ++i) {
      const QString path = before + QStringLiteral("/leaf%1.jpg").arg(i);
      WriteBytes(path, MakeJpeg(JpegKind::Baseline, 160, 120, qRgb(40, 100, 50)));
      first.Prompt.AnswerFiles({path});
      first.Form->btOpenImagesClick();
    }
    first.Prompt.AnswerFile(results);
    ASSERT_TRUE(first.Form->Saveas1Click());
  }
  ASSERT_TRUE(QDir().rename(before, after));
  for (const bool cancel : {true, false}) {
    SCOPED_TRACE(cancel ? "cancelled" : "pointed to the new folder");
    Sitting later;
    DefineStemAndLeaf(later);
    later.Prompt.Folders.push_back(cancel ? QString() : after);
    later.Prompt.AnswerFile(results);
    later.Form->ContinueResults1Click();
    EXPECT_EQ(later.Prompt.FolderTitles, (std::vector<QString>{"Where are the images of " + before + " now?"}));
    EXPECT_EQ(later.Form->ResultsTable.DataChanged(), !cancel);
    later.Start();
    for (int i = 0; i < 3; ++i) {
      if (i) Next(*later.Form);
      EXPECT_EQ(later.Form->ResultsTable.Cell(TResultsTable::colPath, i + 1), cancel ? before : after);
      EXPECT_EQ(later.Form->CurrentImageShown(), !cancel);
    }
    EXPECT_EQ(later.Prompt.Beeps, cancel ? 3 : 0);
  }
}

// Annotated pictures: one PNG at full resolution for each image with a scale
// or a figure, the figures in yellow with a dark outline, the legend in the
// corner and kept as the picture's text, the picture untouched elsewhere.
// An existing file is replaced only after Yes; a picture that cannot be read
// is reported and the others still go.
TEST(ExportAnnotatedImages, FiguresAndLegendOnTheUntouchedPicture) {
  DataHome home;
  QTemporaryDir dir, out;
  Sitting s;
  DefineStemAndLeaf(s);
  OpenThreeImages(s, dir);
  s.Start();
  s.MeasureShownImage(120);
  Next(*s.Form);
  s.MeasureShownImage(150);
  s.Prompt.Folders.push_back(out.path());
  s.Prompt.Kinds.push_back(int(ExportKind::Png));
  s.Form->ExportAnnotated1Click();
  EXPECT_TRUE(s.Prompt.Messages.empty());
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), (QStringList{"leaf1_annotated.png", "leaf2_annotated.png"}));

  const QImage read(out.filePath("leaf1_annotated.png"));
  EXPECT_EQ(read.text("Description"), QStringLiteral("leaf1.jpg  \u2014  12 dots/cm"));
  // Each label names its values; a rectangle's by their letters.
  EXPECT_EQ(read.text("Comment"), QStringLiteral("Stem: 4.1667 cm\nLeaf: H 2.5 cm  W 3.3333 cm  A 8.3333 cm\u00b2"));
  const QImage exported = read.convertToFormat(QImage::Format_RGB32);
  QImage picture;
  ASSERT_TRUE(LoadImageFile(dir.filePath("leaf1.jpg"), ImageKind::Jpeg, picture));
  ASSERT_EQ(exported.size(), picture.size());
  // The rectangle from (20, 20) to (60, 50) and the line from (10, 10) to (50, 40).
  for (QPoint p : {QPoint(40, 20), QPoint(20, 35), QPoint(60, 45), QPoint(30, 25)})
    EXPECT_EQ(exported.pixel(p), qRgb(255, 255, 0)) << p.x() << "," << p.y();
  EXPECT_EQ(exported.pixel(40, 21), qRgb(0, 0, 0));  // the outline
  EXPECT_EQ(exported.pixel(1, 1), qRgb(0, 0, 0));    // the legend's band
  int changed = 0;
  for (int y = 60; y < picture.height(); ++y)
    for (int x = 70; x < picture.width(); ++x) changed += exported.pixel(x, y) != picture.pixel(x, y);
  EXPECT_EQ(changed, 0);

  WriteBytes(out.filePath("leaf1_annotated.png"), "kept");
  ASSERT_TRUE(QFile::remove(dir.filePath("leaf2.jpg")));
  s.Prompt.Folders.push_back(out.path());
  s.Prompt.Kinds.push_back(int(ExportKind::Png));
  s.Prompt.Answers = {mrNo, mrYes};
  s.Form->ExportAnnotated1Click();
  EXPECT_EQ(s.Prompt.Questions.size(), 3u);  // Start, then one for each file
  EXPECT_EQ(ReadAll(out.filePath("leaf1_annotated.png")), "kept");
  EXPECT_EQ(s.Prompt.Messages, (std::vector<ScriptedPrompter::Shown>{
                                   {"Cannot read " + dir.filePath("leaf2.jpg"), "File Error"}}));
}

// A figures file is taken only where its rows still hold what its figures
// wrote (the results file edited in a spreadsheet, replaced, or the figures
// file another batch's of the same names): a figure whose cells differ, one
// written into other columns than its definition's, or a scale line of
// another Dots/cm is left out, and a message names the file and how many;
// the rest come back, drawn on their image. A sitting that continued such a
// file comes back with the rows' cells as the results file had them.
TEST(ContinueResults, FiguresThatDisagreeWithTheirRowsAreLeftOut) {
  DataHome home;
  QTemporaryDir dir;
  const QString results = dir.filePath("run.txt");
  const QString picture = dir.filePath("a.jpg");
  WriteBytes(picture, MakeJpeg(JpegKind::Baseline, 160, 120, qRgb(40, 100, 50)));
  const QByteArray bytes = "No.\tPath\tFile Name\tDots/cm\tStem\tLeaf_H\tLeaf_W\tLeaf_A\r\n"
                           "1\t" + dir.path().toLocal8Bit() + "\ta.jpg\t12\t2.5\t1\t2\t3\r\n";
  WriteBytes(results, bytes);
  TRecord figures;
  std::vector<TRecordEntry> entries(5);
  entries[0].Kind = TRecordEntry::Images;
  entries[0].Files = QStringList{picture};
  entries[1].Kind = TRecordEntry::Scale;
  entries[1].ScaleValue = {{1, 1}, {121, 1}, 10, 11, "11"};  // the row says 12
  entries[2].Kind = TRecordEntry::Figure;
  entries[2].FigureValue = {1, "Stem", 0, {{1, 1}, {30, 1}}, 4, {"9.9"}, {"cm"}};  // the row says 2.5
  entries[3].Kind = TRecordEntry::Figure;  // the row's values, in Stem's column
  entries[3].FigureValue = {2, "Leaf", 2, {{20, 20}, {44, 32}}, 4, {"1", "2", "3"}, {"cm", "cm", "cm\u00b2"}};
  entries[4] = entries[3];  // as the row says, where Leaf's columns are
  entries[4].FigureValue.FirstColumn = 5;
  for (size_t k = 1; k < entries.size(); ++k) entries[k].Image = 0;
  for (const TRecordEntry &e : entries) figures.Apply(e);
  figures.Images[0].Figures.insert(figures.Images[0].Figures.begin(), entries[3].FigureValue);
  WriteBytes(FiguresFileName(results), FiguresFileBytes(figures, {"a.jpg"}));
  {
    Sitting first;
    DefineStemAndLeaf(first);
    first.Prompt.AnswerFile(results);
    first.Form->ContinueResults1Click();
    EXPECT_EQ(first.Prompt.Messages,
              (std::vector<ScriptedPrompter::Shown>{
                  {"3 of the 4 figures in " + FiguresFileName(results) +
                       " were left out: the values they wrote are not the values of their rows in " + results + ".",
                   "File Error"}}));
    ASSERT_EQ(first.Form->Log().Record.Image(0)->Figures.size(), 1u);
    EXPECT_EQ(first.Form->Log().Record.Image(0)->Figures[0].FirstColumn, 5);
    EXPECT_FALSE(first.Form->Log().Record.Image(0)->Scale);
    first.Start();
    const std::vector<QPoint> yellow = YellowPixels(ViewPixels(first));
    EXPECT_NE(std::find(yellow.begin(), yellow.end(), QPoint(20, 20)), yellow.end());
  }
  Sitting later;
  later.Prompt.Answers.push_back(mrYes);
  ASSERT_TRUE(later.Form->OfferLeftOverJournal());
  EXPECT_EQ(ResultsFileBytes(later.Form->ResultsTable, '\t'), bytes);
  EXPECT_EQ(later.Form->Log().Record.ValueCount(), 3);
}

// Continue Results with no definitions at all: the definitions the figures
// file names are offered. Yes takes them, as Load Definitions would, and
// the rows come; No, or a file they do not fit, changes nothing.
TEST(ContinueResults, DefinitionsComeFromTheFiguresFileWhenNoneAreDefined) {
  DataHome home;
  QTemporaryDir dir;
  const QString results = dir.filePath("run.txt");
  {
    Sitting first;
    DefineStemAndLeaf(first);
    OpenThreeImages(first, dir);
    first.Start();
    first.MeasureShownImage(120);
    first.Prompt.AnswerFile(results);
    ASSERT_TRUE(first.Form->Saveas1Click());
    first.Form->close();
  }
  const QByteArray saved = ReadAll(results);
  for (ModalResult answer : {mrNo, mrYes}) {
    Sitting later;
    later.Prompt.Answers.push_back(answer);
    later.Prompt.AnswerFile(results);
    later.Form->ContinueResults1Click();
    ASSERT_EQ(later.Prompt.Questions.size(), 1u);
    EXPECT_EQ(later.Prompt.Questions[0].Text,
              "No measurements are defined. Take the 2 definitions that " + FiguresFileName(results) + " names?");
    if (answer == mrNo) {
      EXPECT_EQ(later.Form->ResultsTable.ImageCount, 0);
      EXPECT_EQ(later.Form->DefinitionList.Count(), 0);
      ASSERT_EQ(later.Prompt.Messages.size(), 1u);
      EXPECT_TRUE(later.Prompt.Messages[0].Text.startsWith("Line 1 of " + results));
      continue;
    }
    EXPECT_TRUE(later.Prompt.Messages.empty());
    EXPECT_EQ(later.Form->DefinitionList.Count(), 2);
    EXPECT_EQ(ResultsFileBytes(later.Form->ResultsTable, '\t'), saved);
    EXPECT_EQ(later.Form->Log().Record.ValueCount(), 5);
  }
  // A results file that the named definitions do not fit: they go again.
  WriteBytes(results, QByteArray(saved).replace("Leaf_A", "Leaf_P"));
  Sitting other;
  other.Prompt.Answers.push_back(mrYes);
  other.Prompt.AnswerFile(results);
  other.Form->ContinueResults1Click();
  EXPECT_EQ(other.Form->DefinitionList.Count(), 0);
  EXPECT_EQ(other.Form->ResultsTable.ColumnCount(), 4);
  EXPECT_EQ(other.Form->ResultsTable.ImageCount, 0);
  ASSERT_EQ(other.Prompt.Messages.size(), 1u);
  EXPECT_TRUE(other.Prompt.Messages[0].Text.contains("Leaf_P"));
}

// Points of a figures file far outside the picture, as a damaged or hostile
// file may hold, are drawn at 400 % on the side they lie on.
TEST(ContinueResults, FarPointsAreDrawnWhereTheyLie) {
  DataHome home;
  QTemporaryDir dir;
  const QString results = dir.filePath("run.txt");
  const QString picture = dir.filePath("a.jpg");
  WriteBytes(picture, MakeJpeg(JpegKind::Baseline, 160, 120, qRgb(40, 100, 50)));
  WriteBytes(results, "No.\tPath\tFile Name\tDots/cm\tStem\tLeaf_H\tLeaf_W\tLeaf_A\r\n"
                      "1\t" + dir.path().toLocal8Bit() + "\ta.jpg\t12\t2.5\t\t\t\r\n");
  TRecord figures;
  TRecordEntry e;
  e.Kind = TRecordEntry::Images;
  e.Files = QStringList{picture};
  figures.Apply(e);
  e.Kind = TRecordEntry::Figure;
  e.Image = 0;
  e.FigureValue = {1, "Stem", 0, {{1, 1}, {9.9e8, -9.9e8}}, 4, {"2.5"}, {"cm"}};
  figures.Apply(e);
  WriteBytes(FiguresFileName(results), FiguresFileBytes(figures, {"a.jpg"}));
  Sitting s;
  DefineStemAndLeaf(s);
  s.Form->Tools().ComboBox1->setCurrentIndex(6);  // 400 %
  s.Prompt.AnswerFile(results);
  s.Form->ContinueResults1Click();
  s.Start();
  const auto &ops = s.Form->Pane().Overlay()->DisplayList();
  ASSERT_FALSE(ops.empty());
  EXPECT_GT(ops[0].P2.x(), 1 << 20);
  EXPECT_LT(ops[0].P2.y(), -(1 << 20));
}

namespace {
void DefineStemTipAndLeaf(Sitting &s) {
  AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Stem", mkLine, false, false, false, false);
  AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Tip", mkAngle, false, false, false, false);
  AddDefinition(s.Form->DefinitionList, s.Form->ResultsTable, "Leaf", mkRectangle, true, true, false, true);
}

// A calibration on the shown image over `dots` and 10 cm, answered `answer`
// when it asks about values it cannot compute again.
void Calibrate(Sitting &s, int dots, std::optional<ModalResult> answer = std::nullopt) {
  s.Form->btMeasureClick();
  s.Prompt.Dialogs.push_back([](QDialog &d) {
    dynamic_cast<TConvDlg &>(d).btOK->click();
    return d.result();
  });
  if (answer) s.Prompt.Answers.push_back(*answer);
  s.Drag({1, 1}, {1 + dots, 1});
}

QStringList RowCells(Sitting &s, int image) {
  QStringList cells;
  for (int c = TResultsTable::colDotsPerCm; c < s.Form->ResultsTable.ColumnCount(); ++c)
    cells << s.Form->ResultsTable.Cell(c, image + 1);
  return cells;
}
}  // namespace

// A new scale accepted on an image that has values: each value whose figure
// is recorded is computed again from its points (angles stay), in the
// table, the record, the figures file and the journal; a definition
// measured again afterwards uses it too. Values without a recorded figure
// are named in a question: No keeps the old scale and every value, Yes
// clears them.
TEST(Rescale, NewScaleComputesTheRowsValuesAgain) {
  DataHome home;
  QTemporaryDir dir;
  const QString results = dir.filePath("run.txt");
  QByteArray saved;
  {
    Sitting s;
    DefineStemTipAndLeaf(s);
    OpenThreeImages(s, dir);
    s.Start();
    Calibrate(s, 120);  // 12 dots/cm
    s.Prompt.Press(mrOk);
    s.Drag({10, 10}, {70, 10});  // 60 dots
    s.Drag({100, 100}, {160, 100});
    s.Form->PaintBox1MouseMove(100, 40);
    s.Prompt.Press(mrOk);
    s.Form->PaintBox1MouseUp(Qt::LeftButton, 100, 40);
    s.Prompt.Press(mrOk);
    s.Drag({20, 20}, {56, 44});  // 36 x 24 dots
    ASSERT_EQ(RowCells(s, 0), (QStringList{"12", "5", "90", "2", "3", "6"}));
    Next(*s.Form);
    Back(*s.Form);
    Calibrate(s, 150);  // 15 dots/cm
    EXPECT_TRUE(s.Prompt.Questions.size() == 1u);  // Start's only
    EXPECT_EQ(RowCells(s, 0), (QStringList{"15", "4", "90", "1.6", "2.4", "3.84"}));
    s.Prompt.Press(mrOk);
    s.Drag({10, 10}, {55, 10});  // Stem again: 45 dots
    Next(*s.Form);
    s.Prompt.AnswerFile(results);
    ASSERT_TRUE(s.Form->Saveas1Click());
    saved = ReadAll(results);
    EXPECT_TRUE(saved.contains("\tleaf1.jpg\t15\t3\t90\t1.6\t2.4\t3.84\r\n")) << saved.toStdString();
    // The record says what the row says.
    const TRecordedImage &image = *s.Form->Log().Record.Image(0);
    EXPECT_EQ(image.Scale->Text, "15");
    QStringList recorded;
    for (const TRecordedFigure &f : image.Figures) recorded << f.Cells;
    EXPECT_EQ(recorded, RowCells(s, 0).mid(1));
  }
  {
    // The journal brings back the same.
    Sitting later;
    later.Prompt.Answers.push_back(mrYes);
    ASSERT_TRUE(later.Form->OfferLeftOverJournal());
    EXPECT_EQ(ResultsFileBytes(later.Form->ResultsTable, '\t'), saved);
    later.Prompt.Answers.push_back(mrNo);
    later.Form->close();
  }

  // Continued without its figures file, no value of the row has a figure.
  QFile::remove(FiguresFileName(results));
  Sitting c;
  DefineStemTipAndLeaf(c);
  c.Prompt.AnswerFile(results);
  c.Form->ContinueResults1Click();
  c.Start();
  const QStringList before = RowCells(c, 0);
  Calibrate(c, 90, mrNo);
  ASSERT_EQ(c.Prompt.Questions.size(), 2u);
  EXPECT_EQ(c.Prompt.Questions[1].Title, "Confirm");
  EXPECT_TRUE(c.Prompt.Questions[1].Text.contains("Stem, Leaf")) << c.Prompt.Questions[1].Text.toStdString();
  EXPECT_TRUE(c.Prompt.Questions[1].Text.contains("15 dots/cm"));
  EXPECT_EQ(RowCells(c, 0), before);
  EXPECT_TRUE(c.Form->Session().ScaleArmed());
  EXPECT_FALSE(c.Form->Session().MeasureArmed());
  // A value measured now still uses the row's own scale.
  Calibrate(c, 90, mrYes);  // 9 dots/cm
  EXPECT_EQ(RowCells(c, 0), (QStringList{"9", "", "90", "", "", ""}));
  c.Prompt.Press(mrOk);
  c.Drag({10, 10}, {55, 10});
  EXPECT_EQ(c.Form->ResultsTable.Cell(4, 1), "5");
}

// Names an export makes never meet a picture the same export wrote: two
// rows of one name get the row's number, and where even that name was
// written (a row whose own name ends so), a further count.
TEST(ExportAnnotatedImages, EveryPictureGetsANameOfItsOwn) {
  DataHome home;
  QTemporaryDir dir, out;
  ASSERT_TRUE(QDir(dir.path()).mkpath("a") && QDir(dir.path()).mkpath("b"));
  Sitting s;
  DefineStemAndLeaf(s);
  for (const char *name : {"x_3.jpg", "a/x.jpg", "b/x.jpg"}) {
    WriteBytes(dir.filePath(name), MakeJpeg(JpegKind::Baseline, 160, 120, qRgb(40, 100, 50)));
    s.Prompt.AnswerFiles({dir.filePath(name)});
    s.Form->btOpenImagesClick();
  }
  s.Start();
  for (int i = 0; i < 3; ++i) {
    if (i) Next(*s.Form);
    s.MeasureShownImage(120);
  }
  s.Prompt.Folders.push_back(out.path());
  s.Form->ExportAnnotated1Click();
  EXPECT_EQ(s.Prompt.Questions.size(), 1u);  // Start's only
  EXPECT_TRUE(s.Prompt.Messages.empty());
  // Photographs are offered as JPEG at first.
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files),
            (QStringList{"x_3_2_annotated.jpg", "x_3_annotated.jpg", "x_annotated.jpg"}));
}

// The folder step offers JPEG and PNG: JPEG at first when every picture to
// export is a JPEG, PNG when any is not. Both kinds carry the same
// annotation and texts: the JPEG is the PNG's picture at quality 92, and
// its comment segments give Qt's reader the PNG's Description and Comment
// texts.
TEST(ExportAnnotatedImages, JpegAndPngCarryTheSameAnnotation) {
  DataHome home;
  QTemporaryDir dir, jpegOut, pngOut, mixedOut;
  Sitting s;
  DefineStemAndLeaf(s);
  OpenThreeImages(s, dir);
  s.Start();
  s.MeasureShownImage(120);
  s.Prompt.Folders = {jpegOut.path(), pngOut.path()};
  s.Form->ExportAnnotated1Click();
  s.Prompt.Kinds.push_back(int(ExportKind::Png));
  s.Form->ExportAnnotated1Click();
  EXPECT_TRUE(s.Prompt.Messages.empty());
  ASSERT_EQ(s.Prompt.KindsOffered.size(), 2u);
  EXPECT_EQ(s.Prompt.KindsOffered[0], std::make_pair(QStringList{"JPEG (quality 92)", "PNG (lossless)"}, 0));
  EXPECT_EQ(QDir(jpegOut.path()).entryList(QDir::Files), QStringList{"leaf1_annotated.jpg"});
  EXPECT_EQ(QDir(pngOut.path()).entryList(QDir::Files), QStringList{"leaf1_annotated.png"});

  QImageReader reader(jpegOut.filePath("leaf1_annotated.jpg"), "jpeg");
  const QImage jpeg = reader.read();
  const QImage png(pngOut.filePath("leaf1_annotated.png"));
  ASSERT_FALSE(jpeg.isNull());
  for (const char *key : {"Description", "Comment"}) {
    EXPECT_FALSE(png.text(key).isEmpty()) << key;
    EXPECT_EQ(jpeg.text(key), png.text(key)) << key;
  }
  QImage exported, expected;
  ASSERT_TRUE(LoadImageFile(jpegOut.filePath("leaf1_annotated.jpg"), ImageKind::Jpeg, exported));
  ASSERT_TRUE(LoadJpeg(JpegBytes(png.convertToFormat(QImage::Format_RGB32), kExportJpegQuality), expected));
  EXPECT_EQ(exported, expected);

  // A picture that is no JPEG among those exported: PNG at first.
  const QString scan = dir.filePath("scan.png");
  QImage plain(160, 120, QImage::Format_RGB32);
  plain.fill(qRgb(200, 200, 190));
  ASSERT_TRUE(plain.save(scan));
  s.Prompt.AnswerFiles({scan});
  s.Form->btOpenImagesClick();
  for (int i = 0; i < 3; ++i) Next(*s.Form);
  ASSERT_EQ(s.Form->Frame().StatusPanel1->text(), scan);
  s.MeasureShownImage(90);
  s.Prompt.Folders = {mixedOut.path()};
  s.Form->ExportAnnotated1Click();
  EXPECT_EQ(s.Prompt.KindsOffered.back().second, int(ExportKind::Png));
  EXPECT_EQ(QDir(mixedOut.path()).entryList(QDir::Files), (QStringList{"leaf1_annotated.png", "scan_annotated.png"}));
}
