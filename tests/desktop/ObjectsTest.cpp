// Many objects on one photograph, measured in the real program with real
// keys and pointer movements: forty objects of two lines each, some taken
// back and done again, one deleted, saved; killed and brought back; and
// the saved file continued in a later sitting.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <X11/keysym.h>

#include <csignal>

#include "app/Form1.h"
#include "measuring/ValueText.h"
#include "results/Journal.h"
#include "results/Record.h"
#include "results/ResultsFileWriter.h"
#include "tests/desktop/RealProgram.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestFiles.h"

namespace {
constexpr int kObjects = 40;
const QRgb kMarker = qRgb(255, 0, 255);

// Object k (from 1) of the photograph: a line of 20 + k pixels across and
// one of 10 + k pixels down, in a cell of a grid of eight columns.
QPoint CellOf(int k) { return QPoint(10 + 88 * ((k - 1) % 8), 40 + 70 * ((k - 1) / 8)); }
std::pair<QPoint, QPoint> Across(int k) { return {CellOf(k), CellOf(k) + QPoint(20 + k, 0)}; }
std::pair<QPoint, QPoint> Down(int k) { return {CellOf(k) + QPoint(0, 10), CellOf(k) + QPoint(0, 20 + k)}; }

// The photograph: a marker pixel at (1, 1) to find it on the screen by, a
// 200-pixel ruler at the top (10 cm: 20 dots/cm), and the objects' lines.
QImage Photograph() {
  QImage picture(720, 400, QImage::Format_RGB32);
  picture.fill(qRgb(200, 200, 200));
  picture.setPixel(1, 1, kMarker);
  QPainter p(&picture);
  p.setPen(Qt::black);
  p.drawLine(10, 10, 210, 10);
  for (int k = 1; k <= kObjects; ++k) {
    p.drawLine(Across(k).first, Across(k).second);
    p.drawLine(Down(k).first, Down(k).second);
  }
  return picture;
}

// The file a save writes when object `deleted` is gone and the others are
// numbered on without it.
QByteArray Expected(const QString &folder, int deleted) {
  QByteArray out = "No.\tPath\tFile Name\tObject\tDots/cm\tL\tW\r\n";
  int object = 0;
  for (int k = 1; k <= kObjects; ++k) {
    if (k == deleted) continue;
    out += QStringLiteral("1\t%1\tphoto.bmp\t%2\t20\t%3\t%4\r\n")
               .arg(folder)
               .arg(++object)
               .arg(FormatValue((20 + k) / 20.0, u'.'), FormatValue((10 + k) / 20.0, u'.'))
               .toLocal8Bit();
  }
  return out;
}
}  // namespace

TEST(Objects, FortyObjectsUndoRedoDeleteKillAndContinue) {
  QTemporaryDir dir;
  const QString dataHome = dir.filePath("data"), results = dir.filePath("objects.txt"), photo = dir.filePath("photo.bmp");
  ASSERT_TRUE(Photograph().save(photo, "BMP"));
  qputenv("XDG_DATA_HOME", dataHome.toLocal8Bit());
  // Two line definitions, the photograph opened and the results file named,
  // as the program's own journal brings them in.
  std::vector<TRecordEntry> before(3);
  before[0].Kind = TRecordEntry::Definitions;
  before[0].Defs = {{"L", 0, false, false, false, false}, {"W", 0, false, false, false, false}};
  before[1].Kind = TRecordEntry::Images;
  before[1].Files = QStringList{photo};
  before[2].Kind = TRecordEntry::Saved;
  before[2].File = results;
  before[2].FilterIndex = 1;
  QByteArray journal = JournalHeader(QDateTime::currentDateTime());
  for (const TRecordEntry &e : before) journal += JournalLine(e);
  ASSERT_TRUE(QDir().mkpath(TJournal::Folder()));
  WriteBytes(TJournal::Folder() + "/sitting-20260101-000000-000-1.journal", journal);
  const QByteArray expected = Expected(dir.path(), 7);

  AsUser([] {}, [&](XDesktop &d) {
    {
      Scaliper first(dataHome);
      const XWindow main = MainWindow(d);
      ASSERT_NE(main, 0u);
      AnswerWithEnter(d, main, QStringLiteral("Confirm"));  // bring the sitting back: Yes
      Keys(d, main, 0, XK_Next);                             // Start
      AnswerWithEnter(d, main, QStringLiteral("Confirm"));
      QPoint origin;
      ASSERT_TRUE(XDesktop::WaitUntil([&] { return !(origin = FindColour(d, main, kMarker)).isNull(); }, 20));
      origin -= QPoint(1, 1);
      Keys(d, main, XDesktop::Control, XK_m);
      Drag(d, origin + QPoint(10, 10), origin + QPoint(210, 10));
      AnswerWithEnter(d, main, QStringLiteral("ConvDlg"));  // 10 cm
      for (int k = 1; k <= kObjects; ++k) {
        if (k > 1) Keys(d, main, 0, XK_Insert);  // Next Object
        for (const auto &[a, b] : {Across(k), Down(k)}) {
          Drag(d, origin + a, origin + b);
          AnswerWithEnter(d, main, QString());
          if (HasFatalFailure()) return;
        }
      }
      // The last object's two lines taken back (its row goes), and done
      // again, once with each key for it.
      Keys(d, main, XDesktop::Control, XK_z);
      Keys(d, main, XDesktop::Control, XK_z);
      Keys(d, main, XDesktop::Control, XK_y);
      Keys(d, main, XDesktop::Control | XDesktop::Shift, XK_z);
      // Object 7 deleted from the table: its row chosen with the keys, Delete,
      // and Yes to the question.
      const QRect client = d.ClientRect(main);
      d.Click(client.bottomLeft() + QPoint(300, -80));
      Keys(d, main, XDesktop::Control, XK_Home);
      for (int i = 0; i < 6; ++i) d.Key(XK_Down);
      d.Key(XK_Delete);
      AnswerWithEnter(d, main, QStringLiteral("Confirm"));
      Keys(d, main, XDesktop::Control, XK_s);
      ASSERT_TRUE(XDesktop::WaitUntil(
          [&] { return ReadAll(results) == expected && QFile::exists(FiguresFileName(results)); }, 20))
          << ReadAll(results).toStdString();
      ASSERT_TRUE(first.Kill(SIGKILL));
    }
    ASSERT_TRUE(QFile::remove(results) && QFile::remove(FiguresFileName(results)));
    Scaliper again(dataHome);
    const XWindow main = MainWindow(d);
    ASSERT_NE(main, 0u);
    AnswerWithEnter(d, main, QStringLiteral("Confirm"));  // Yes: the sitting comes back
    Keys(d, main, XDesktop::Control, XK_s);
    EXPECT_TRUE(XDesktop::WaitUntil([&] { return ReadAll(results) == expected && QFile::exists(FiguresFileName(results)); }, 20))
        << ReadAll(results).toStdString();
    Keys(d, main, XDesktop::Control, XK_q);
    ASSERT_TRUE(again.WaitForExit());
  });
  // A later sitting continues the file: with no definitions, those of its
  // figures file are taken, and every object's rows and figures come back.
  ScriptedPrompter prompt;
  TForm1 later(prompt);
  prompt.Answers.push_back(mrYes);
  prompt.AnswerFile(results);
  later.ContinueResults1Click();
  EXPECT_TRUE(prompt.Messages.empty());
  EXPECT_EQ(ResultsFileBytes(later.ResultsTable, '\t'), expected);
  const TRecordedImage *record = later.Log().Record.Image(0);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->Figures.size(), size_t(2 * (kObjects - 1)));
  EXPECT_EQ(record->Objects(), kObjects - 1);
  EXPECT_TRUE(record->Scale.has_value());
}
