// Whole measuring runs driven the way a user drives them: real mouse events on
// the overlay of a shown main window, with the dialogs answered by script.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWindow>
#include <QToolButton>
#include <functional>
#include <string>

#include "app/Form1.h"
#include "images/ImageView.h"
#include "measuring/ConvDlg.h"
#include "measuring/DrawingAids.h"
#include "measuring/OkRetryDlg.h"
#include "measuring/Overlay.h"
#include "results/ResultsFileWriter.h"
#include "tests/support/SampleImages.h"
#include "tests/support/FormDriver.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
struct MouseSession {
  QTemporaryDir Dir;
  ScriptedPrompter Prompt;
  TForm1 Form{Prompt};

  // JPEG images of `width` x `height` in one folder, opened, the window shown
  // and the run started on the first image.
  void Start(int images = 2, int width = 320, int height = 240) {
    QStringList files;
    for (int i = 1; i <= images; ++i) {
      const QString path = Dir.filePath(QStringLiteral("leaf%1.jpg").arg(i, 2, 10, QChar(u'0')));
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(MakeJpeg(JpegKind::Baseline, width, height, qRgb(30, 90, 40)));
      files << path;
    }
    Prompt.AnswerFiles(files);
    Form.btOpenImagesClick();
    // Its full height, also where the screen is smaller (400 by 400 pixels
    // offscreen at a scale factor of 2): the pointer moves over the image
    // area that this shows.
    Form.resize(Form.width(), 640);
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    // Run again with QT_SCALE_FACTOR set, every pixel is that many on the screen.
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
      ASSERT_EQ(Form.devicePixelRatio(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
    Prompt.Answers.push_back(mrYes);
    Next(Form);
    ASSERT_EQ(Form.CurrentImage(), 0);
  }

  TOverlay *Overlay() { return Form.Pane().Overlay(); }

  // QTest takes a null point for the widget's centre, so tests avoid (0, 0).
  void Press(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(Overlay(), b, {}, p); }
  void Move(QPoint p) { QTest::mouseMove(Overlay(), p); }
  void Release(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(Overlay(), b, {}, p); }
  void Drag(QPoint from, QPoint to, Qt::MouseButton b = Qt::LeftButton) {
    Press(from, b);
    Move((from + to) / 2);
    Move(to);
    Release(to, b);
  }

  // Answers the next scale dialog: types `cm` unless empty, then presses
  // `button`; records what the dialog showed when it opened and when it closed.
  QStringList Opened, Closed;
  void AnswerScale(const QString &cm = QString(), int button = mrOk) {
    Prompt.Dialogs.push_back([this, cm, button](QDialog &d) {
      auto &conv = dynamic_cast<TConvDlg &>(d);
      Opened = {conv.lbLength->text(), conv.edCm->text(), conv.lbDpc->text()};
      if (!cm.isEmpty()) {
        conv.edCm->selectAll();
        QTest::keyClicks(conv.edCm, cm);
      }
      Closed = {conv.lbLength->text(), conv.edCm->text(), conv.lbDpc->text()};
      if (button == mrOk) conv.btOK->click();
      if (button == mrRetry) conv.btRetry->click();
      if (button == mrCancel) conv.btCancel->click();
      return conv.result();
    });
  }

  // Calibrates to 10 dots per cm at the current zoom: a 100-dot drag, 10 cm.
  void Calibrate() {
    Form.btMeasureClick();
    AnswerScale();
    Drag({5, 5}, {5 + int(100 * Form.Pane().Zoom()), 5});
  }

  QString Cell(int col, int image = 0) { return Form.ResultsTable.Cell(col, image + 1); }
};

void Define(TForm1 &form, const QString &name, TMeasureKind kind, bool h = false, bool w = false, bool p = false,
            bool a = false) {
  AddDefinition(form.DefinitionList, form.ResultsTable, name, kind, h, w, p, a);
}
}  // namespace

// The scale: a 253.9-pixel drag is 253 dots; 10 cm gives 25.3 dots/cm and
// typing 5 gives 50.6; the next calibration offers 5. Cancel writes nothing
// and leaves the scale step armed; Retry arms it again.
TEST(MouseRun, ScaleCalibration) {
  MouseSession run;
  Define(run.Form, "L", mkLine);
  run.Start();
  run.Form.btMeasureClick();
  EXPECT_TRUE(run.Form.Session().ScaleArmed());

  run.AnswerScale("", mrCancel);
  run.Drag({10, 10}, {250, 93});  // sqrt(240^2 + 83^2) = 253.95
  EXPECT_EQ(run.Opened, (QStringList{"253", "10", "25.3"}));
  EXPECT_TRUE(run.Form.Session().ScaleArmed());
  EXPECT_FALSE(run.Form.Session().MeasureArmed());
  EXPECT_EQ(run.Cell(3), "");

  run.AnswerScale("", mrRetry);
  run.Drag({10, 10}, {250, 93});
  EXPECT_TRUE(run.Form.Session().ScaleArmed());
  EXPECT_TRUE(run.Overlay()->DisplayList().empty());

  run.AnswerScale("5");
  run.Drag({10, 10}, {250, 93});
  EXPECT_EQ(run.Closed, (QStringList{"253", "5", "50.6"}));
  EXPECT_EQ(run.Cell(3), "50.6");
  EXPECT_TRUE(run.Form.Session().MeasureArmed());
  EXPECT_FALSE(run.Form.Session().ScaleArmed());
  EXPECT_EQ(run.Form.Steps().lbMeasureName->text(), "L");

  Next(run.Form);
  run.Form.btMeasureClick();
  run.AnswerScale();
  run.Drag({3, 3}, {3, 103});
  EXPECT_EQ(run.Opened, (QStringList{"100", "5", "20"}));
  EXPECT_EQ(run.Cell(3, 1), "20");
}

// A line, an angle and a rectangle, each taken with its own buttons and
// points: the right button, a release outside the overlay, the ignored press
// of the angle's second arm, Retry and a click without movement.
TEST(MouseRun, EveryFigure) {
  MouseSession run;
  Define(run.Form, "L", mkLine);
  Define(run.Form, "A", mkAngle);
  Define(run.Form, "R", mkRectangle, true, false, false, true);
  Define(run.Form, "Dot", mkLine);
  run.Start();
  run.Calibrate();
  ASSERT_TRUE(run.Form.Session().MeasureArmed());

  // The line with the right button, released left of and above the overlay.
  run.Prompt.Press(mrRetry);
  run.Drag({60, 50}, {-20, 50}, Qt::RightButton);
  EXPECT_EQ(run.Cell(4), "");
  EXPECT_EQ(run.Form.Session().Step(), 0);
  EXPECT_TRUE(run.Overlay()->DisplayList().empty());
  run.Prompt.Press(mrOk);
  run.Drag({60, 50}, {-20, -10}, Qt::RightButton);  // 80 x 60 dots: 100 dots
  EXPECT_EQ(run.Cell(4), "10");
  EXPECT_EQ(run.Form.Steps().lbMeasureName->text(), "A");
  EXPECT_EQ(run.Form.Steps().lbMeasureType->text(), "Angle");

  // The angle: vertex (100,100), first arm to (200,100); no button is held
  // while the second arm follows the pointer, a press on the way is ignored,
  // and the release at (100,150) ends it.
  run.Press({100, 100});
  run.Move({150, 100});
  run.Release({200, 100});
  EXPECT_TRUE(run.Form.Session().Drawing());
  run.Move({180, 130});
  run.Move({120, 150});
  EXPECT_EQ(run.Form.Session().Last(), QPoint(120, 150));
  run.Prompt.Press(mrOk);
  run.Press({5, 5});
  EXPECT_EQ(run.Form.Session().Start(), QPoint(100, 100));
  run.Release({100, 150});
  EXPECT_EQ(run.Cell(5), "90");

  // The rectangle from its bottom-right corner: 30 x 20 dots, 3 x 2 cm.
  run.Prompt.Press(mrOk);
  run.Drag({140, 120}, {110, 100});
  EXPECT_EQ(run.Cell(6), "2");
  EXPECT_EQ(run.Cell(7), "6");

  // A click without movement is a line of no length: the pop-up still asks,
  // and OK writes an empty value and ends the steps.
  run.Prompt.Press(mrOk);
  run.Press({30, 30});
  run.Release({30, 30});
  EXPECT_TRUE(run.Prompt.Dialogs.empty() && run.Prompt.Answers.empty());
  EXPECT_EQ(run.Cell(8), "");
  EXPECT_FALSE(run.Form.Session().MeasureArmed());
  EXPECT_TRUE(run.Form.Steps().lbMeasureNo->text().isEmpty());

  // With no step armed, drags draw nothing and write nothing.
  const size_t marks = run.Overlay()->DisplayList().size();
  run.Drag({10, 10}, {90, 90});
  EXPECT_EQ(run.Overlay()->DisplayList().size(), marks);
  EXPECT_EQ(run.Cell(4), "10");
}

// Lengths are in image pixels whatever the zoom: at 200 % a 100-pixel drag is
// 50 dots, at 50 % it is 200.
TEST(MouseRun, ZoomDividesDistances) {
  MouseSession run;
  Define(run.Form, "L", mkLine);
  run.Start(2, 400, 300);
  for (auto [index, expected] : {std::pair{5, "5"}, std::pair{1, "20"}}) {
    run.Form.Tools().ComboBox1->setCurrentIndex(index);
    run.Calibrate();
    run.Prompt.Press(mrOk);
    run.Drag({20, 20}, {120, 20});
    EXPECT_EQ(run.Cell(4), expected) << index;
  }
  EXPECT_EQ(run.Form.Pane().View()->size(), QSize(200, 150));
}

// Next during the steps keeps the armed step and the scale; Measure during
// the steps with a new scale starts again at the first definition.
TEST(MouseRun, NextAndMeasureDuringTheSteps) {
  MouseSession run;
  Define(run.Form, "L1", mkLine);
  Define(run.Form, "L2", mkLine);
  run.Start();
  run.Calibrate();
  run.Prompt.Press(mrOk);
  run.Drag({10, 10}, {60, 10});
  EXPECT_EQ(run.Cell(4), "5");
  EXPECT_EQ(run.Form.Session().Step(), 1);

  Next(run.Form);
  EXPECT_EQ(run.Form.CurrentImage(), 1);
  EXPECT_TRUE(run.Form.Session().MeasureArmed());
  EXPECT_EQ(run.Form.Session().Step(), 1);
  run.Prompt.Press(mrOk);
  run.Drag({10, 10}, {30, 10});
  EXPECT_EQ(run.Cell(5, 1), "2");  // the first image's 10 dots/cm
  EXPECT_EQ(run.Cell(3, 1), "10");  // written beside it, so the row says so

  Back(run.Form);
  run.Form.btMeasureClick();
  run.AnswerScale();
  run.Drag({3, 3}, {203, 3});  // 20 dots/cm
  EXPECT_EQ(run.Form.Session().Step(), 0);
  EXPECT_EQ(run.Cell(4), "2.5");  // its 50 dots under the new scale
  run.Prompt.Press(mrOk);
  run.Drag({10, 10}, {50, 10});
  EXPECT_EQ(run.Cell(4), "2");
}

// Every value in a row is computed with the scale its Dots/cm cell shows:
// going back to an image brings its own scale into force, and a value on an
// image not calibrated yet writes the scale in force beside it.
TEST(MouseRun, EachRowUsesTheScaleItShows) {
  MouseSession run;
  Define(run.Form, "W", mkLine);
  Define(run.Form, "V", mkLine);
  run.Start(3);
  run.Form.btMeasureClick();
  run.AnswerScale("2");  // 210 dots over 2 cm: 105 dots/cm
  run.Drag({5, 5}, {215, 5});
  run.Prompt.Press(mrOk);
  run.Drag({10, 10}, {220, 10});

  JumpTo(run.Form, 2);  // not calibrated: V with the 105 in force
  run.Prompt.Press(mrOk);
  run.Drag({10, 10}, {115, 10});
  EXPECT_EQ(run.Cell(3, 2) + " " + run.Cell(5, 2), "105 1");

  JumpTo(run.Form, 1);
  run.Form.btMeasureClick();
  run.AnswerScale("2");  // 220 dots: 110 dots/cm
  run.Drag({5, 5}, {225, 5});
  run.Prompt.Press(mrOk);
  run.Drag({10, 10}, {230, 10});
  ASSERT_EQ(run.Cell(3, 1), "110");

  Back(run.Form);  // image 1, calibrated at 105; V is due
  run.Prompt.Press(mrOk);
  run.Drag({10, 20}, {220, 20});
  EXPECT_EQ(run.Cell(3, 0) + " " + run.Cell(4, 0) + " " + run.Cell(5, 0), "105 2 2");
}

// Moving to another image ends a figure or scale line begun on the one
// before: the band goes, and the release on the new picture completes
// nothing (no dialog, no value), while the armed step stays as it was. The
// new image's own angle is then taken from a fresh press.
TEST(MouseRun, MovingToAnotherImageEndsAnUnfinishedFigure) {
  enum Begun { ScaleLine, Line, AngleSecondArm };
  const std::pair<const char *, std::function<void(TForm1 &)>> moves[] = {
      {"Next", [](TForm1 &f) { f.Tools().btNext->click(); }},
      {"Back", [](TForm1 &f) { f.Tools().btBack->click(); }},
      {"Page Down", [](TForm1 &f) { QTest::keyClick(&f, Qt::Key_PageDown); }},
      {"Page Up", [](TForm1 &f) { QTest::keyClick(&f, Qt::Key_PageUp); }},
      {"row jump", [](TForm1 &f) { f.StringGrid1DblClick(2); }},
  };
  for (Begun begun : {ScaleLine, Line, AngleSecondArm}) {
    for (const auto &[name, move] : moves) {
      SCOPED_TRACE(std::string(name) + " after " + std::to_string(int(begun)));
      MouseSession run;
      Define(run.Form, "F", begun == Line ? mkLine : mkAngle);
      run.Start(3);
      Next(run.Form);  // image 2 of 3, so that Back has somewhere to go
      run.Form.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&run.Form));
      run.Calibrate();
      run.Prompt.Press(mrOk);
      if (begun == ScaleLine) {
        run.Form.btMeasureClick();
        run.Press({10, 10});
        run.Move({200, 10});
      } else if (begun == Line) {
        run.Press({10, 10});
        run.Move({60, 10});
      } else {
        run.Drag({100, 100}, {150, 100});
        run.Move({100, 40});
      }
      const int before = run.Form.CurrentImage();
      move(run.Form);
      ASSERT_NE(run.Form.CurrentImage(), before);
      EXPECT_FALSE(run.Form.Session().Drawing() || run.Form.Session().Drawing() || run.Form.Session().AngleSecondArm());
      EXPECT_TRUE(run.Overlay()->DisplayList().empty());
      run.Release({100, 40});  // the button let go on the new picture
      EXPECT_EQ(run.Form.Session().ScaleArmed(), begun == ScaleLine);
      EXPECT_TRUE(run.Form.Session().MeasureArmed());
      EXPECT_EQ(run.Form.Session().Step(), 0);
      EXPECT_EQ(run.Cell(4, run.Form.CurrentImage()), "");
      if (begun == AngleSecondArm) {
        run.Drag({100, 100}, {150, 100});
        run.Move({100, 50});
        run.Prompt.Press(mrOk);
        run.Release({100, 50});
        EXPECT_EQ(run.Cell(4, run.Form.CurrentImage()), "90");
      }
      EXPECT_TRUE(run.Prompt.Answers.empty());
    }
  }
}

// While a figure is drawn a label beside the pointer shows the value OK
// would write, in the table's text and with its unit, and the loupe shows
// the picture around the pointer; neither covers the pointer or the figure's
// start, and both go when the figure ends. At every zoom the label's last
// text is exactly what OK writes.
TEST(MouseRun, LiveValueShownAtReleaseIsTheValueWritten) {
  struct Figure {
    TMeasureKind Kind;
    QPoint From, To, Arm2;
  };
  const Figure figures[] = {
      {mkLine, {30, 40}, {137, 101}, {}},
      {mkRectangle, {30, 40}, {151, 97}, {}},
      {mkAngle, {90, 90}, {180, 75}, {60, 30}},
  };
  for (int zoomIndex : {0, 3, 6}) {
    for (const Figure &f : figures) {
      SCOPED_TRACE(QString("zoom item %1, kind %2").arg(zoomIndex).arg(int(f.Kind)).toStdString());
      MouseSession run;
      Define(run.Form, "F", f.Kind, true, true, true, true);
      run.Start(1, 400, 300);
      run.Form.Tools().ComboBox1->setCurrentIndex(zoomIndex);
      // The figure is drawn where the person looks: at the view's origin.
      run.Form.Pane().horizontalScrollBar()->setValue(0);
      run.Form.Pane().verticalScrollBar()->setValue(0);
      run.Calibrate();
      QString shown;
      bool covers = true;
      const QPoint release = f.Kind == mkAngle ? f.Arm2 : f.To;
      run.Prompt.Dialogs.push_back([&](QDialog &popup) {
        QWidget *view = run.Form.Pane().viewport();
        const QPoint pointer = run.Overlay()->mapTo(view, release);
        const QPoint start = run.Overlay()->mapTo(view, f.From);
        // The pop-up leaves the value in sight and the pointer free.
        const QRect labelOnScreen(run.Form.Pane().LiveValue()->mapToGlobal(QPoint(0, 0)), run.Form.Pane().LiveValue()->size());
        EXPECT_FALSE(popup.geometry().intersects(labelOnScreen));
        EXPECT_FALSE(popup.geometry().contains(view->mapToGlobal(pointer)));
        EXPECT_LE((popup.geometry().center() - view->mapToGlobal(pointer)).manhattanLength(), 300);
        // The loupe lies right beside the pointer and off the figure's lines.
        const QRect loupe = run.Form.Pane().Loupe()->geometry();
        EXPECT_LE(qMax(loupe.left() - pointer.x(), pointer.x() - loupe.right()), 40);
        EXPECT_LE(qMax(loupe.top() - pointer.y(), pointer.y() - loupe.bottom()), 40);
        std::vector<QLineF> figure{{QPointF(start), QPointF(pointer)}};
        if (f.Kind == mkAngle) figure.push_back({QPointF(start), QPointF(run.Overlay()->mapTo(view, f.To))});
        if (f.Kind == mkRectangle)
          figure = {{QPointF(start), QPointF(pointer.x(), start.y())}, {QPointF(start), QPointF(start.x(), pointer.y())},
                    {QPointF(pointer), QPointF(pointer.x(), start.y())}, {QPointF(pointer), QPointF(start.x(), pointer.y())}};
        for (const QLineF &line : figure) {
          const QRectF r(loupe);
          QPointF unused;
          bool crosses = r.contains(line.p1()) || r.contains(line.p2());
          for (const QLineF &edge : {QLineF(r.topLeft(), r.topRight()), QLineF(r.topRight(), r.bottomRight()),
                                     QLineF(r.bottomRight(), r.bottomLeft()), QLineF(r.bottomLeft(), r.topLeft())})
            crosses = crosses || line.intersects(edge, &unused) == QLineF::BoundedIntersection;
          EXPECT_FALSE(crosses);
        }
        // What a screen reader reads of the label: its name.
        QAccessibleInterface *label = QAccessible::queryAccessibleInterface(run.Form.Pane().LiveValue());
        shown = run.Form.Pane().LiveValue()->isVisible() && label ? label->text(QAccessible::Name) : QString();
        EXPECT_EQ(label ? label->text(QAccessible::Description) : QString(), "Value of the figure being drawn");
        covers = !run.Form.Pane().Loupe()->isVisible();
        for (const QWidget *aid : {static_cast<QWidget *>(run.Form.Pane().LiveValue()), static_cast<QWidget *>(run.Form.Pane().Loupe())})
          covers = covers || aid->geometry().contains(pointer) || aid->geometry().contains(start);
        return mrOk;
      });
      if (f.Kind == mkAngle) {
        run.Drag(f.From, f.To);
        run.Move(f.Arm2);
        run.Release(f.Arm2);
      } else {
        run.Drag(f.From, f.To);
      }
      QString written;
      if (f.Kind == mkLine) written = run.Cell(4) + " cm";
      if (f.Kind == mkAngle) written = run.Cell(4) + "\u00b0";
      if (f.Kind == mkRectangle)
        written = "H " + run.Cell(4) + " cm  W " + run.Cell(5) + " cm  P " + run.Cell(6) + " cm  A " + run.Cell(7) +
                  " cm\u00b2";
      EXPECT_FALSE(run.Cell(4).isEmpty());
      EXPECT_EQ(shown, written);
      EXPECT_FALSE(covers);
      EXPECT_FALSE(run.Form.Pane().LiveValue()->isVisible() || run.Form.Pane().Loupe()->isVisible());
    }
  }
}

// Ctrl+L turns the loupe off and on for the sitting; the label stays, and
// the values are the same either way.
TEST(MouseRun, LoupeTurnsOffAndOnWithCtrlL) {
  MouseSession run;
  Define(run.Form, "L", mkLine);
  run.Start(1);
  run.Form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&run.Form));
  for (bool on : {false, true}) {
    QTest::keyClick(&run.Form, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(run.Form.Pane().LoupeOn(), on);
    EXPECT_EQ(run.Form.Menus().Loupe1->isChecked(), on);
    run.Calibrate();
    run.Press({20, 20});
    run.Move({70, 20});
    EXPECT_EQ(run.Form.Pane().Loupe()->isVisible(), on);
    EXPECT_TRUE(run.Form.Pane().LiveValue()->isVisible());
    run.Prompt.Press(mrOk);
    run.Release({70, 20});
    EXPECT_EQ(run.Cell(4), "5");
  }
}

namespace {
// Turns the wheel over the picture by `steps` notches with Ctrl held, at
// `at` in the view.
void CtrlWheel(TForm1 &form, QPoint at, int steps) {
  QWidget *view = form.Pane().viewport();
  QWheelEvent wheel(QPointF(at), QPointF(view->mapToGlobal(at)), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &wheel);
}
QPoint Scroll(TForm1 &form) {
  return {form.Pane().horizontalScrollBar()->value(), form.Pane().verticalScrollBar()->value()};
}
}  // namespace

// The zoom follows where the user looks: an item chosen in the box keeps the
// picture point at the centre of the view, Ctrl + wheel keeps the one under
// the pointer, Ctrl+0 fits the whole picture (at a zoom no item names, shown
// as a percentage) and Ctrl+1 goes back to 100 %. While a figure is drawn a
// zoom change beeps and changes nothing.
TEST(MouseRun, ZoomAboutWhereTheUserLooks) {
  MouseSession run;
  Define(run.Form, "L", mkLine);
  run.Start(1, 4000, 3000);
  run.Form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&run.Form));
  QWidget *view = run.Form.Pane().viewport();
  run.Form.Pane().horizontalScrollBar()->setValue(900);
  run.Form.Pane().verticalScrollBar()->setValue(700);
  auto pictureAt = [&](QPoint inView) { return (QPointF(Scroll(run.Form) + inView)) / run.Form.Pane().Zoom(); };

  const QPointF centre = pictureAt(view->rect().center());
  run.Form.Tools().ComboBox1->setCurrentIndex(5);  // 200 %
  EXPECT_EQ(run.Form.Pane().Zoom(), 2.0);
  EXPECT_LE((pictureAt(view->rect().center()) - centre).manhattanLength(), 1.0);

  const QPoint pointer(60, 50);
  const QPointF under = pictureAt(pointer);
  CtrlWheel(run.Form, pointer, 1);
  EXPECT_EQ(run.Form.Pane().Zoom(), 4.0);
  EXPECT_EQ(run.Form.Tools().ComboBox1->currentText(), "400%");
  EXPECT_LE((pictureAt(pointer) - under).manhattanLength(), 0.5);
  CtrlWheel(run.Form, pointer, -2);
  EXPECT_EQ(run.Form.Pane().Zoom(), 1.5);
  EXPECT_LE((pictureAt(pointer) - under).manhattanLength(), 1.0);

  QTest::keyClick(&run.Form, Qt::Key_0, Qt::ControlModifier);
  EXPECT_LT(run.Form.Pane().Zoom(), 0.25);
  EXPECT_TRUE(run.Form.Pane().maximumViewportSize().expandedTo(run.Form.Pane().View()->size()) ==
              run.Form.Pane().maximumViewportSize());
  EXPECT_EQ(run.Form.Tools().ComboBox1->currentText(), QString::number(run.Form.Pane().Zoom() * 100, 'f', 1) + "%");
  // Lengths are divided by the zoom in force, whatever it is.
  run.Calibrate();
  run.Prompt.Press(mrOk);
  run.Drag({20, 20}, {20 + int(50 * run.Form.Pane().Zoom()), 20});
  EXPECT_NEAR(run.Cell(4).toDouble(), 5.0, 0.1);

  const int beeps = run.Prompt.Beeps;
  const double zoom = run.Form.Pane().Zoom();
  run.Form.btMeasureClick();
  run.Press({10, 10});
  run.Form.Tools().ComboBox1->setCurrentIndex(6);
  CtrlWheel(run.Form, pointer, 1);
  QTest::keyClick(&run.Form, Qt::Key_1, Qt::ControlModifier);
  EXPECT_EQ(run.Prompt.Beeps, beeps + 3);
  EXPECT_EQ(run.Form.Pane().Zoom(), zoom);
  EXPECT_EQ(run.Form.Tools().ComboBox1->currentText(), QString::number(zoom * 100, 'f', 1) + "%");
  run.AnswerScale("", mrCancel);
  run.Release({10, 10});
  QTest::keyClick(&run.Form, Qt::Key_1, Qt::ControlModifier);
  EXPECT_EQ(run.Form.Pane().Zoom(), 1.0);
  EXPECT_EQ(run.Form.Tools().ComboBox1->currentText(), "100%");
}

// A picture of another size than the one before is shown from its top-left
// corner; one of the same size keeps the view where it was.
TEST(MouseRun, SameSizeKeepsTheViewAnotherStartsTopLeft) {
  MouseSession run;
  Define(run.Form, "L", mkLine);
  QStringList files;
  const QSize sizes[] = {{3000, 2000}, {3000, 2000}, {400, 300}, {3000, 2000}};
  for (int i = 0; i < 4; ++i) {
    const QString path = run.Dir.filePath(QString("p%1.jpg").arg(i));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(MakeJpeg(JpegKind::Baseline, sizes[i].width(), sizes[i].height(), qRgb(30, 90, 40)));
    files << path;
  }
  run.Prompt.AnswerFiles(files);
  run.Form.btOpenImagesClick();
  run.Form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&run.Form));
  run.Prompt.Answers.push_back(mrYes);
  Next(run.Form);
  run.Form.Pane().horizontalScrollBar()->setValue(1200);
  run.Form.Pane().verticalScrollBar()->setValue(800);
  Next(run.Form);
  EXPECT_EQ(Scroll(run.Form), QPoint(1200, 800));
  Next(run.Form);
  EXPECT_EQ(Scroll(run.Form), QPoint(0, 0));
  Next(run.Form);
  EXPECT_EQ(Scroll(run.Form), QPoint(0, 0));
}

// The results file of a run through the window: two JPEG images, Line1, a
// scale of 37.8 dots/cm and a line of 2.5 cm on the first, saved with Save.
TEST(MouseRun, MeasuredAndSaved) {
  MouseSession run;
  Define(run.Form, "Line1", mkLine);
  run.Start(2, 480, 360);
  run.Form.Tools().ComboBox1->setCurrentIndex(5);  // 200 %
  run.Form.btMeasureClick();
  run.AnswerScale();
  run.Drag({5, 5}, {5, 761});  // 756 overlay pixels: 378 dots over 10 cm
  run.Prompt.Press(mrOk);
  run.Drag({20, 40}, {209, 40});  // 189 overlay pixels: 94.5 dots
  const QString saved = run.Dir.filePath("results.txt");
  run.Prompt.AnswerFile(saved, 1);
  run.Form.bbSaveClick();
  QFile f(saved);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray dir = run.Dir.path().toLocal8Bit();
  EXPECT_EQ(f.readAll(), "No.\tPath\tFile Name\tDots/cm\tLine1\r\n1\t" + dir + "\tleaf01.jpg\t37.8\t2.5\r\n2\t" +
                             dir + "\tleaf02.jpg\t\t\r\n");
  EXPECT_FALSE(run.Form.ResultsTable.DataChanged());
}

// What is on the screen after a long drag, repainted piece by piece as the
// band moved, is exactly what a full repaint of the window shows: no piece of
// an old band is left behind and none of the new one is missing. Two bands at
// once (the scale armed again during a measurement) keep the list short too.
TEST(MouseRun, MovingBandsRepaintExactly) {
  MouseSession run;
  Define(run.Form, "R", mkRectangle, true);
  run.Start(2, 320, 240);
  run.Calibrate();
  QScreen *screen = QGuiApplication::primaryScreen();
  auto onScreen = [&] {
    QApplication::processEvents();
    return screen->grabWindow(run.Form.winId()).toImage().convertToFormat(QImage::Format_RGB32);
  };
  auto fullRepaint = [&] { return run.Form.grab().toImage().convertToFormat(QImage::Format_RGB32); };

  run.Press({40, 30});
  for (int i = 0; i < 60; ++i) {
    run.Move(QPoint(60 + (i * 37) % 200, 50 + (i * 23) % 150));
    QApplication::processEvents();
  }
  ASSERT_EQ(run.Overlay()->DisplayList().size(), 1u);
  const QImage screenNow = onScreen();
  ASSERT_FALSE(screenNow.isNull());
  EXPECT_TRUE(screenNow == fullRepaint());

  run.Form.btMeasureClick();  // the scale armed while the rectangle step is
  run.Press({30, 30});
  size_t longest = 0;
  for (int i = 0; i < 500; ++i) {
    run.Move(QPoint(50 + i % 90, 60 + i % 70));
    longest = std::max(longest, run.Overlay()->DisplayList().size());
  }
  EXPECT_LE(longest, 8u);
  EXPECT_TRUE(onScreen() == fullRepaint());
}

// Measure pressed while a figure is unfinished ends it as moving to another
// image does: nothing of it stays armed, the zoom may change at once, no
// "dots" label follows a pointer with no button held, the release that
// follows completes nothing, and the next figures show their live values.
TEST(MouseRun, MeasureEndsAnUnfinishedFigure) {
  enum Begun { ScaleLine, Line, AngleFirstArmHeld, AngleSecondArm };
  for (Begun begun : {ScaleLine, Line, AngleFirstArmHeld, AngleSecondArm}) {
    SCOPED_TRACE(int(begun));
    MouseSession run;
    Define(run.Form, "F", begun == Line ? mkLine : mkAngle);
    Define(run.Form, "G", mkLine);
    run.Start(1);
    run.Form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&run.Form));
    run.Calibrate();
    if (begun == ScaleLine) {
      run.Form.btMeasureClick();
      run.Press({10, 10});
      run.Move({200, 10});
    } else if (begun == Line || begun == AngleFirstArmHeld) {
      run.Press({100, 100});
      run.Move({150, 100});
    } else {
      run.Drag({100, 100}, {150, 100});
      run.Move({100, 40});
    }
    QTest::keyClick(&run.Form, Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(run.Form.Session().ScaleArmed());
    EXPECT_FALSE(run.Form.Session().Drawing() || run.Form.Session().Drawing() || run.Form.Session().AngleSecondArm());
    run.Release({150, 100});  // the button let go after Measure
    EXPECT_TRUE(run.Prompt.Dialogs.empty() && run.Prompt.Answers.empty());
    const int beeps = run.Prompt.Beeps;
    run.Form.Tools().ComboBox1->setCurrentIndex(5);  // 200 %
    EXPECT_EQ(run.Prompt.Beeps, beeps);
    EXPECT_EQ(run.Form.Pane().Zoom(), 2.0);
    // The pointer's moves with no button held go where it is: the view's
    // top-left part is brought into sight.
    run.Form.Pane().horizontalScrollBar()->setValue(0);
    run.Form.Pane().verticalScrollBar()->setValue(0);
    run.Move({130, 90});
    EXPECT_FALSE(run.Form.Pane().LiveValue()->isVisible());
    // The scale again at 200 %, 50 dots over 5 cm, then each figure with
    // its live value.
    run.AnswerScale("5");
    run.Drag({5, 5}, {105, 5});
    ASSERT_TRUE(run.Form.Session().MeasureArmed());
    if (begun != Line) {
      run.Drag({60, 120}, {140, 120});
      run.Move({60, 40});
      EXPECT_TRUE(run.Form.Pane().LiveValue()->isVisible());
      EXPECT_TRUE(run.Form.Pane().LiveValue()->text().endsWith(u'\u00b0'));
      run.Prompt.Press(mrOk);
      run.Release({60, 40});
      EXPECT_EQ(run.Cell(4), "90");
    }
    run.Press({20, 20});
    run.Move({120, 20});
    EXPECT_TRUE(run.Form.Pane().LiveValue()->isVisible());
    EXPECT_EQ(run.Form.Pane().LiveValue()->text(), "5 cm");
    run.Prompt.Press(mrOk);
    run.Release({120, 20});
    EXPECT_EQ(run.Cell(begun == Line ? 4 : 5), "5");
  }
}

// The overlay covers the picture at every zoom: right after a scale at
// 100 %, a zoom to 200 % and presses where only the larger view reaches,
// through the window as the pointer gives them, measure the line that is
// due and then the angle, each as itself. Fit (Ctrl+0) after zooming in
// shows the whole picture from its origin.
TEST(MouseRun, WholeViewTakesPressesAfterAZoomAndFitShowsItAll) {
  MouseSession run;
  Define(run.Form, "L", mkLine);
  Define(run.Form, "A", mkAngle);
  run.Start(1, 120, 90);
  run.Form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&run.Form));
  run.Calibrate();  // 10 dots/cm
  run.Form.Tools().ComboBox1->setCurrentIndex(5);  // 200 %
  EXPECT_EQ(run.Overlay()->size(), run.Form.Pane().View()->size());
  QWindow *window = run.Form.windowHandle();
  auto inWindow = [&](QPoint p) { return run.Overlay()->mapTo(&run.Form, p); };
  const auto drag = [&](QPoint from, QPoint to) {
    QTest::mousePress(window, Qt::LeftButton, {}, inWindow(from));
    QTest::mouseMove(window, inWindow((from + to) / 2));
    QTest::mouseMove(window, inWindow(to));
    QTest::mouseRelease(window, Qt::LeftButton, {}, inWindow(to));
  };
  // Beyond the 120 x 90 the overlay had at 100 %, inside the view.
  ASSERT_TRUE(run.Form.Pane().viewport()->rect().contains(
      run.Overlay()->mapTo(run.Form.Pane().viewport(), QPoint(230, 150))));
  run.Prompt.Press(mrOk);
  drag({140, 120}, {230, 120});  // 45 dots
  EXPECT_EQ(run.Cell(4), "4.5");
  run.Prompt.Press(mrOk);
  drag({150, 150}, {230, 150});
  QTest::mouseMove(window, inWindow({150, 100}));
  QTest::mouseClick(window, Qt::LeftButton, {}, inWindow({150, 100}));
  EXPECT_EQ(run.Cell(5), "90");
  EXPECT_TRUE(run.Prompt.Answers.empty());

  run.Form.Tools().ComboBox1->setCurrentIndex(6);  // 400 %: 480 x 360
  run.Form.Pane().horizontalScrollBar()->setValue(run.Form.Pane().horizontalScrollBar()->maximum());
  run.Form.Pane().verticalScrollBar()->setValue(run.Form.Pane().verticalScrollBar()->maximum());
  QTest::keyClick(&run.Form, Qt::Key_0, Qt::ControlModifier);
  EXPECT_EQ(Scroll(run.Form), QPoint(0, 0));
  EXPECT_EQ(run.Form.Pane().horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(run.Form.Pane().verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(run.Overlay()->size(), run.Form.Pane().View()->size());
  // The figures confirmed are drawn again at the fitted zoom.
  EXPECT_FALSE(run.Overlay()->DisplayList().empty());
}

// A hidden loupe holds no picture, so that the picture it showed can be
// freed or lend its memory to the next one read.
TEST(Loupe, HoldsNoPictureOnceHidden) {
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(Qt::darkGreen);
  QWidget layer;
  TLoupe loupe(&layer);
  layer.show();
  loupe.ShowAround(picture, {10, 10}, 1.0, {});
  EXPECT_FALSE(picture.isDetached());
  layer.hide();  // as when the aids' layer goes at the end of a figure
  EXPECT_TRUE(picture.isDetached());
}
