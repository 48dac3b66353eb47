#include <gtest/gtest.h>

#include <functional>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/Form1.h"
#include "images/ImageView.h"
#include "measuring/ConvDlg.h"
#include "measuring/OkRetryDlg.h"
#include "measuring/Overlay.h"
#include "results/ResultsFileWriter.h"
#include "tests/support/FormDriver.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
struct MeasuringSession {
  QTemporaryDir Dir;
  ScriptedPrompter Prompt;
  TForm1 Form{Prompt};

  // Two BMP images in one folder, opened and the run started on the first.
  void Start(int width = 400, int height = 300) {
    for (const char *name : {"leaf01.bmp", "leaf02.bmp"}) {
      QImage img(width, height, QImage::Format_RGB32);
      img.fill(Qt::darkGreen);
      ASSERT_TRUE(img.save(Dir.filePath(name), "BMP"));
    }
    Prompt.AnswerFiles({Dir.filePath("leaf01.bmp"), Dir.filePath("leaf02.bmp")});
    Form.btOpenImagesClick();
    Prompt.Answers.push_back(mrYes);
    Next(Form);
    ASSERT_EQ(Form.CurrentImage(), 0);
  }

  void Drag(QPoint from, QPoint to) {
    Form.PaintBox1MouseDown(Qt::LeftButton, from.x(), from.y());
    Form.PaintBox1MouseMove((from.x() + to.x()) / 2, (from.y() + to.y()) / 2);
    Form.PaintBox1MouseMove(to.x(), to.y());
    Form.PaintBox1MouseUp(Qt::LeftButton, to.x(), to.y());
  }

  // Accepts the scale dialog with `cm` typed into it; records what it showed.
  QStringList ScaleShown;
  void AcceptScale(const QString &cm = QString()) {
    Prompt.Dialogs.push_back([this, cm](QDialog &d) {
      auto &conv = dynamic_cast<TConvDlg &>(d);
      ScaleShown = {conv.lbLength->text(), conv.edCm->text(), conv.lbDpc->text()};
      // Typed as the person types: into whatever has the keys, over the
      // length offered.
      if (!cm.isEmpty()) QTest::keyClicks(conv.focusWidget(), cm);
      conv.btOK->click();
      return conv.result();
    });
  }
};
}  // namespace

TEST(MeasuringRun, ScaleThenLineAndTheSavedFile) {
  MeasuringSession run;
  AddDefinition(run.Form.DefinitionList, run.Form.ResultsTable, "Line1", mkLine, false, false, false, false);
  run.Start();
  EXPECT_EQ(run.Form.ResultsTable.Cell(2, 1), "leaf01.bmp");
  EXPECT_FALSE(run.Form.Menus().AddDef1->isEnabled());
  EXPECT_EQ(run.Form.Tools().btNext->text(), "Next");
  EXPECT_EQ(run.Form.Frame().StatusPanel0->text(), "400x300");

  run.Form.btMeasureClick();
  EXPECT_TRUE(run.Form.Session().ScaleArmed());
  EXPECT_EQ(run.Form.Pane().Overlay()->size(), QSize(400, 300));
  EXPECT_EQ(run.Form.Steps().pnScale->frameShadow(), QFrame::Sunken);

  run.AcceptScale();
  run.Drag({0, 0}, {253, 0});
  EXPECT_EQ(run.ScaleShown, (QStringList{"253", "10", "25.3"}));
  EXPECT_EQ(run.Form.ResultsTable.Cell(3, 1), "25.3");
  EXPECT_TRUE(run.Form.Session().MeasureArmed());
  EXPECT_EQ(run.Form.Steps().lbMeasureNo->text(), "1");
  EXPECT_EQ(run.Form.Steps().lbMeasureName->text(), "Line1");
  EXPECT_EQ(run.Form.Steps().lbMeasureType->text(), "Line");

  // Measure again, at 200 %: 756 overlay pixels are 378 dots, 37.8 dots/cm.
  run.Form.Tools().ComboBox1->setCurrentIndex(5);
  EXPECT_EQ(run.Form.Pane().View()->size(), QSize(800, 600));
  run.Form.btMeasureClick();
  run.AcceptScale("5");
  run.Drag({0, 0}, {0, 506});
  EXPECT_EQ(run.ScaleShown, (QStringList{"253", "10", "25.3"}));
  EXPECT_EQ(run.Form.Session().DotsPerCm(), 50.6);
  EXPECT_EQ(run.Form.Session().KnownLengthCm(), 5);
  run.Form.btMeasureClick();
  run.AcceptScale("10");
  run.Drag({10, 10}, {766, 10});
  EXPECT_EQ(run.ScaleShown, (QStringList{"378", "5", "75.6"}));
  EXPECT_EQ(run.Form.ResultsTable.Cell(3, 1), "37.8");

  // A line of 189 overlay pixels at 200 %: 94.5 dots, 2.5 cm. Retry first.
  run.Prompt.Press(mrRetry);
  run.Drag({20, 20}, {209, 20});
  EXPECT_EQ(run.Form.ResultsTable.Cell(4, 1), "");
  EXPECT_TRUE(run.Form.Pane().Overlay()->DisplayList().empty());
  run.Prompt.Press(mrOk);
  run.Drag({20, 20}, {209, 20});
  EXPECT_EQ(run.Form.ResultsTable.Cell(4, 1), "2.5");
  EXPECT_FALSE(run.Form.Session().MeasureArmed());
  EXPECT_TRUE(run.Form.Steps().lbMeasureNo->text().isEmpty());
  // The band, the yellow line drawn over it, and the name.
  const auto &ops = run.Form.Pane().Overlay()->DisplayList();
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[1].Color, QColor(255, 255, 0));
  EXPECT_EQ(ops[1].Mode, TOverlay::pmCopy);
  EXPECT_EQ(ops[2].Text, "Line1");
  EXPECT_EQ(ops[2].P1, QPoint(10, 8));

  const QByteArray expected = "No.\tPath\tFile Name\tDots/cm\tLine1\r\n1\t" +
                              run.Dir.path().toLocal8Bit() + "\tleaf01.bmp\t37.8\t2.5\r\n2\t" +
                              run.Dir.path().toLocal8Bit() + "\tleaf02.bmp\t\t\r\n";
  EXPECT_EQ(ResultsFileBytes(run.Form.ResultsTable, '\t'), expected);
}

TEST(MeasuringRun, AngleAndRectangle) {
  MeasuringSession run;
  AddDefinition(run.Form.DefinitionList, run.Form.ResultsTable, "A", mkAngle, false, false, false, false);
  AddDefinition(run.Form.DefinitionList, run.Form.ResultsTable, "", TMeasureKind(9), false, false, false, false);
  AddDefinition(run.Form.DefinitionList, run.Form.ResultsTable, "R", mkRectangle, true, false, false, true);
  run.Start();
  run.Form.btMeasureClick();
  run.AcceptScale();
  run.Drag({0, 0}, {100, 0});  // 10 dots/cm

  // Angle: vertex (100,100), first arm to (200,100), second to (100,0).
  run.Form.PaintBox1MouseDown(Qt::RightButton, 100, 100);
  run.Form.PaintBox1MouseMove(200, 100);
  run.Form.PaintBox1MouseUp(Qt::RightButton, 200, 100);
  EXPECT_TRUE(run.Form.Session().AngleSecondArm());
  run.Form.PaintBox1MouseMove(150, 50);
  run.Form.PaintBox1MouseDown(Qt::LeftButton, 5, 5);  // ignored
  run.Form.PaintBox1MouseMove(100, 0);
  run.Prompt.Press(mrOk);
  run.Form.PaintBox1MouseUp(Qt::LeftButton, 100, 0);
  EXPECT_EQ(run.Form.ResultsTable.Cell(4, 1), "90");
  // The definition of no known kind is skipped; the rectangle comes next.
  EXPECT_EQ(run.Form.Session().Step(), 2);
  EXPECT_EQ(run.Form.Steps().lbMeasureType->text(), "Rectangle");

  run.Prompt.Press(mrOk);
  run.Drag({130, 120}, {100, 100});
  EXPECT_EQ(run.Form.ResultsTable.Cell(6, 1), "2");   // height 20 dots
  EXPECT_EQ(run.Form.ResultsTable.Cell(7, 1), "6");   // area 30 x 20 dots
  EXPECT_FALSE(run.Form.Session().MeasureArmed());
}

TEST(MeasuringRun, ZeroArmAngleAndZeroScaleAreRefused) {
  MeasuringSession run;
  AddDefinition(run.Form.DefinitionList, run.Form.ResultsTable, "A", mkAngle, false, false, false, false);
  run.Start();
  run.Form.btMeasureClick();
  // A click without movement gives 0 dots: OK is refused, Retry re-arms.
  QStringList shown;
  run.Prompt.Dialogs.push_back([&](QDialog &d) {
    auto &conv = dynamic_cast<TConvDlg &>(d);
    conv.btOK->click();
    shown << conv.lbDpc->text();
    conv.edCm->clear();
    QTest::keyClicks(conv.edCm, "0");
    conv.btOK->click();
    return int(mrRetry);
  });
  run.Drag({5, 5}, {5, 5});
  EXPECT_EQ(shown, (QStringList{""}));
  ASSERT_EQ(run.Prompt.Messages.size(), 2u);
  EXPECT_EQ(run.Prompt.Messages[0].Text, "Scale line is too short!");
  EXPECT_EQ(run.Prompt.Messages[1].Text, "Input scale size!");
  EXPECT_EQ(run.Prompt.Messages[1].Title, "Scale Size Error");
  EXPECT_TRUE(run.Form.Session().ScaleArmed());
  EXPECT_EQ(run.Form.Session().KnownLengthCm(), 10);
  EXPECT_EQ(run.Form.ResultsTable.Cell(3, 1), "");

  run.AcceptScale();
  run.Drag({0, 0}, {100, 0});
  const int beeps = run.Prompt.Beeps;
  run.Form.PaintBox1MouseDown(Qt::LeftButton, 50, 50);
  run.Form.PaintBox1MouseUp(Qt::LeftButton, 50, 50);  // first arm of zero length
  run.Form.PaintBox1MouseUp(Qt::LeftButton, 80, 80);
  EXPECT_EQ(run.Prompt.Beeps, beeps + 1);
  EXPECT_TRUE(run.Form.Session().MeasureArmed());
  EXPECT_EQ(run.Form.Session().Step(), 0);
  EXPECT_EQ(run.Form.ResultsTable.Cell(4, 1), "");
}

TEST(MeasuringRun, WorkflowRefusals) {
  MeasuringSession run;
  Next(run.Form);
  EXPECT_EQ(run.Prompt.Messages.back(), (ScriptedPrompter::Shown{"Define measurements first!", "Definition Error"}));
  EXPECT_EQ(run.Form.Tools().btNext->text(), "Start");
  run.Form.btMeasureClick();
  Back(run.Form);
  EXPECT_EQ(run.Prompt.Beeps, 2);
  AddDefinition(run.Form.DefinitionList, run.Form.ResultsTable, "L", mkLine, false, false, false, false);
  run.Prompt.Answers.push_back(mrNo);
  Next(run.Form);
  EXPECT_FALSE(run.Form.RunStarted());
  run.Start();
  Next(run.Form);
  EXPECT_EQ(run.Form.CurrentImage(), 1);
  EXPECT_EQ(run.Form.ResultsTable.CurrentRow(), 2);
  Next(run.Form);
  EXPECT_EQ(run.Form.CurrentImage(), 1);
  Back(run.Form);
  Back(run.Form);
  EXPECT_EQ(run.Form.CurrentImage(), 0);
  EXPECT_EQ(run.Prompt.Beeps, 4);
}

TEST(OkRetryDlg, PlacementAtScreenEdges) {
  const QRect screen(0, 0, 1280, 1024);
  const QSize size(129, 25);
  EXPECT_EQ(PopupPosition({100, 100}, size, screen), QPoint(110, 110));
  EXPECT_EQ(PopupPosition({1270, 100}, size, screen), QPoint(1151, 110));
  EXPECT_EQ(PopupPosition({100, 1020}, size, screen), QPoint(110, 999));
  EXPECT_EQ(PopupPosition({-50, -50}, size, screen), QPoint(-40, -40));
  // Beside the live value: below it, or where that covers the pointer,
  // right of, above or left of it; moved onto the screen.
  const QRect label(120, 120, 80, 20);
  EXPECT_EQ(PopupBeside(label, {100, 100}, size, screen), QPoint(120, 144));
  EXPECT_EQ(PopupBeside(label.translated(1150, 0), {1250, 100}, size, screen), QPoint(1151, 144));
  EXPECT_EQ(PopupBeside(label, {130, 150}, size, screen), QPoint(204, 120));
  EXPECT_EQ(PopupBeside(QRect(1150, 1000, 80, 20), {1140, 990}, size, screen), QPoint(1150, 971));
  EXPECT_EQ(PopupBeside(QRect(), {100, 100}, size, screen), QPoint(110, 110));
  TOkRetryDlg d(nullptr);
  EXPECT_EQ(d.size(), QSize(129, 25));
  EXPECT_EQ(d.btRetry->geometry(), QRect(64, 0, 65, 25));
}

// After a file that could not be shown the previous picture stays on the
// screen, and the broken file's row is current: nothing measured on that
// picture may land in the row, whichever step is armed, until an image that
// is shown is current again.
TEST(MeasuringRun, NothingIsMeasuredIntoTheRowOfAPictureNotShown) {
  for (bool scaleArmed : {true, false}) {
    SCOPED_TRACE(scaleArmed ? "scale armed" : "line armed");
    MeasuringSession run;
    AddDefinition(run.Form.DefinitionList, run.Form.ResultsTable, "L", mkLine, false, false, false, false);
    run.Start();
    QFile broken(run.Dir.filePath("leaf02.bmp"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("not a bitmap");
    broken.close();
    run.Form.btMeasureClick();
    if (!scaleArmed) {
      run.AcceptScale();
      run.Drag({0, 0}, {100, 0});
    }
    Next(run.Form);  // the broken file: a beep, the first picture stays
    ASSERT_EQ(run.Form.CurrentImage(), 1);
    ASSERT_EQ(run.Prompt.Beeps, 1);
    const bool scale = run.Form.Session().ScaleArmed(), measure = run.Form.Session().MeasureArmed();

    run.Form.btMeasureClick();
    run.Drag({10, 10}, {110, 10});
    EXPECT_EQ(run.Prompt.Beeps, 3);  // Measure and the press
    EXPECT_EQ(run.Prompt.DialogsRun.size(), scaleArmed ? 0u : 1u);  // no dialog since the first image's
    EXPECT_EQ(run.Form.Session().ScaleArmed(), scale);
    EXPECT_EQ(run.Form.Session().MeasureArmed(), measure);
    for (int col = 3; col < run.Form.ResultsTable.ColumnCount(); ++col)
      EXPECT_EQ(run.Form.ResultsTable.Cell(col, 2), "") << col;

    Back(run.Form);  // shown again: measuring works
    run.Form.btMeasureClick();
    EXPECT_TRUE(run.Form.Session().ScaleArmed());
    run.AcceptScale();
    run.Drag({0, 0}, {100, 0});
    EXPECT_EQ(run.Prompt.Beeps, 3);
    EXPECT_EQ(run.Form.ResultsTable.Cell(3, 1), "10");
  }
}

// The buttons' handlers close the two windows with their modal results.
TEST(ScaleWindows, HandlersCloseWithTheirResults) {
  ScriptedPrompter prompt;
  const struct {
    std::function<int()> Press;
    int Result;
  } cases[] = {
      {[] { TOkRetryDlg d(nullptr); d.btOKClick(); return d.result(); }, mrOk},
      {[] { TOkRetryDlg d(nullptr); d.btRetryClick(); return d.result(); }, mrRetry},
      {[&] { TConvDlg d(nullptr, prompt); d.SetLengthDots(50); d.btOKClick(); return d.result(); }, mrOk},
      {[&] { TConvDlg d(nullptr, prompt); d.btRetryClick(); return d.result(); }, mrRetry},
      {[&] { TConvDlg d(nullptr, prompt); d.btCancelClick(); return d.result(); }, mrCancel},
  };
  for (const auto &c : cases) EXPECT_EQ(c.Press(), c.Result);
}

TEST(MeasuringRun, OverlayPixels) {
  MeasuringSession run;
  AddDefinition(run.Form.DefinitionList, run.Form.ResultsTable, "Box", mkRectangle, true, true, false, false);
  run.Start(200, 150);
  run.Form.btMeasureClick();
  run.AcceptScale();
  run.Drag({0, 0}, {100, 0});
  const QImage before = run.Form.Pane().widget()->grab().toImage();

  // A band drawn and taken back leaves the image exactly as it was.
  run.Form.PaintBox1MouseDown(Qt::LeftButton, 20, 20);
  run.Form.PaintBox1MouseMove(80, 60);
  const QImage banded = run.Form.Pane().widget()->grab().toImage();
  EXPECT_NE(banded.pixel(50, 20), before.pixel(50, 20));
  for (int i = 0; i < 1000; ++i) run.Form.PaintBox1MouseMove(30 + i % 90, 30 + i % 70);
  EXPECT_LE(run.Form.Pane().Overlay()->DisplayList().size(), 2u);
  run.Prompt.Press(mrRetry);
  run.Form.PaintBox1MouseUp(Qt::LeftButton, 80, 60);
  EXPECT_EQ(run.Form.Pane().widget()->grab().toImage(), before);

  run.Prompt.Press(mrOk);
  run.Drag({40, 40}, {120, 100});
  const QImage marked = run.Form.Pane().widget()->grab().toImage();
  if (qEnvironmentVariableIsSet("SCALIPER_SHOT")) marked.save(qEnvironmentVariable("SCALIPER_SHOT"));
  EXPECT_EQ(QColor(marked.pixel(80, 40)), QColor(255, 255, 0));
  EXPECT_EQ(QColor(marked.pixel(120, 70)), QColor(255, 255, 0));
  EXPECT_EQ(marked.pixel(80, 70), before.pixel(80, 70));  // outline only
  EXPECT_EQ(run.Form.ResultsTable.Cell(4, 1), "6");
  EXPECT_EQ(run.Form.ResultsTable.Cell(5, 1), "8");
}
