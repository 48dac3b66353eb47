// The rubber band: what one pointer move costs on a huge zoomed picture
// against a small one, and how long the overlay's display list grows.
#include <QApplication>
#include <array>
#include <QElapsedTimer>
#include <QComboBox>
#include <QFile>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include "app/Form1.h"
#include "bench/BenchSupport.h"
#include "tests/support/FormDriver.h"
#include "definitions/DefinitionList.h"
#include "measuring/DrawingAids.h"
#include "measuring/Overlay.h"
#include "tests/support/SampleImages.h"

using namespace bench;

namespace {
struct Measuring {
  OkPrompter Prompter;
  TForm1 Form{Prompter};

  // One image of the given size shown at `zoomIndex`, the window sized so
  // that the scroll box shows 1280 x 800, scrolled to the middle, and the
  // scale taken so that the first definition is armed.
  Measuring(const QString &path, int zoomIndex, TMeasureKind kind) {
    AddDefinition(Form.DefinitionList, Form.ResultsTable, QStringLiteral("F"), kind, true, true, true, true);
    Form.ResultsTable.AppendImageRows({path});
    Form.Tools().ComboBox1->setCurrentIndex(zoomIndex);
    Form.show();
    const QSize viewport = Form.Pane().viewport()->size();
    Form.resize(Form.size() + QSize(1280, 800) - viewport);
    QApplication::processEvents();
    Next(Form);
    Form.btMeasureClick();
    Form.Pane().horizontalScrollBar()->setValue(Form.Pane().horizontalScrollBar()->maximum() / 2);
    Form.Pane().verticalScrollBar()->setValue(Form.Pane().verticalScrollBar()->maximum() / 2);
    QApplication::processEvents();
    Drag(Origin() + QPoint(10, 10), Origin() + QPoint(110, 10), 2);
  }

  // The overlay point at the top-left of the visible part.
  QPoint Origin() {
    return QPoint(Form.Pane().horizontalScrollBar()->value(), Form.Pane().verticalScrollBar()->value());
  }

  void Send(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), Form.Pane().Overlay()->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(Form.Pane().Overlay(), &event);
  }
  // A press, `moves` moves along a circle-ish path (each followed by the
  // repaint it asks for), and a release.
  size_t Drag(QPoint from, QPoint to, int moves, bool release = true, bool repaint = true) {
    size_t longest = 0;
    Send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int i = 0; i < moves; ++i) {
      const QPoint wobble((i * 7) % 41 - 20, (i * 11) % 37 - 18);
      Send(QEvent::MouseMove, to + wobble, Qt::LeftButton);
      if (repaint) QApplication::processEvents();
      longest = std::max(longest, Form.Pane().Overlay()->DisplayList().size());
    }
    if (release) Send(QEvent::MouseButtonRelease, to, Qt::LeftButton);
    return longest;
  }
};

QString WriteJpeg(const QString &dir, const char *name, int w, int h) {
  const QString path = dir + QLatin1Char('/') + QLatin1String(name);
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(MakePhotoJpeg(w, h, 3));
  return path;
}

// One pointer move with its repaint, on a 6000 x 4000 picture at 400 % and on
// a 640 x 480 one at 100 %, taken in turns. The band lies inside the visible
// picture in both cases, so that both repaint the same outline.
void BandBench(const QString &dir) {
  Measuring huge(WriteJpeg(dir, "huge.jpg", 6000, 4000), 6, mkRectangle);
  Measuring small(WriteJpeg(dir, "small.jpg", 640, 480), 3, mkRectangle);
  constexpr int kMoves = 100;
  auto moves = [&](Measuring &m) {
    const QPoint o = m.Origin();
    m.Drag(o + QPoint(100, 80), o + QPoint(420, 300), kMoves, false);
  };
  const Paired times = Alternate(30, [&] { moves(huge); }, [&] { moves(small); });
  std::printf("band_move_us_huge_400: mean %.1f, worst %.1f; small_100: mean %.1f, worst %.1f\n",
              Mean(times.A) / 1e3 / kMoves, Max(times.A) / 1e3 / kMoves, Mean(times.B) / 1e3 / kMoves,
              Max(times.B) / 1e3 / kMoves);
  Print("band_move_ratio", times.MeanRatio());
  Print("band_move_max_ratio", times.MaxRatio());
}

void DisplayListBench(const QString &dir) {
  const QString path = WriteJpeg(dir, "list.jpg", 640, 480);
  size_t longest = 0;
  for (TMeasureKind kind : {mkLine, mkRectangle, mkAngle}) {
    Measuring m(path, 3, kind);
    // The scale drag, then the figure: an angle's second arm follows the
    // pointer after its first release, so it gets a second long drag.
    m.Form.btMeasureClick();
    longest = std::max(longest, m.Drag({20, 20}, {300, 200}, 10000, true, false));
    longest = std::max(longest, m.Drag({50, 50}, {400, 300}, 10000, kind != mkAngle, false));
    if (kind == mkAngle) longest = std::max(longest, m.Drag({400, 300}, {200, 400}, 10000, true, false));
  }
  Print("display_list_max", double(longest));
}

// One pointer move while a rectangle is drawn on a 24-megapixel picture at
// 100 %, with its repaint: with the live value and the loupe, against the
// same move in a window whose aids are not listening. Taken in turns, move
// by move, so that the worst single move is known too.
void DragStepBench(const QString &dir) {
  const QString path = WriteJpeg(dir, "aids.jpg", 6000, 4000);
  Measuring on(path, 3, mkRectangle), off(path, 3, mkRectangle);
  QObject::disconnect(off.Form.Pane().Overlay(), &TOverlay::MouseMove, &off.Form, nullptr);
  QObject::connect(off.Form.Pane().Overlay(), &TOverlay::MouseMove, &off.Form, &TForm1::PaintBox1MouseMove);
  std::vector<double> withAids, without;
  for (Measuring *m : {&on, &off}) m->Send(QEvent::MouseButtonPress, m->Origin() + QPoint(200, 150), Qt::LeftButton);
  for (int i = 0; i < 400; ++i) {
    const QPoint step(300 + (i * 37) % 400, 250 + (i * 23) % 300);
    const std::array<Measuring *, 2> order = i % 2 ? std::array<Measuring *, 2>{&on, &off}
                                                   : std::array<Measuring *, 2>{&off, &on};
    for (Measuring *m : order) {
      QElapsedTimer t;
      t.start();
      m->Send(QEvent::MouseMove, m->Origin() + step, Qt::LeftButton);
      QApplication::processEvents();
      (m == &on ? withAids : without).push_back(double(t.nsecsElapsed()));
    }
  }
  if (!on.Form.Pane().Loupe()->isVisible() || off.Form.Pane().Loupe()->isVisible()) std::printf("drag_step: aids not as intended\n");
  std::printf("drag_step_us: with aids mean %.0f, worst %.0f; without mean %.0f, worst %.0f\n", Mean(withAids) / 1e3,
              Max(withAids) / 1e3, Mean(without) / 1e3, Max(without) / 1e3);
  Print("drag_step_ratio", Mean(withAids) / Mean(without));
  Print("drag_step_worst_ms", Max(withAids) / 1e6);
}

// A Ctrl + wheel step from 100 % to 150 % on a 24-megapixel picture, with
// its repaint, against choosing the same item in the zoom box; each starts
// from 100 % and the middle of the picture.
void WheelZoomBench(const QString &dir) {
  Measuring m(WriteJpeg(dir, "wheel.jpg", 6000, 4000), 3, mkLine);
  QWidget *view = m.Form.Pane().viewport();
  const QPoint at = view->rect().center() + QPoint(37, -21);
  const Paired times = Alternate(
      20,
      [&] {
        QWheelEvent wheel(QPointF(at), QPointF(view->mapToGlobal(at)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
        QApplication::processEvents();
      },
      [&] {
        m.Form.Tools().ComboBox1->setCurrentIndex(4);
        QApplication::processEvents();
      },
      [&] {
        m.Form.Tools().ComboBox1->setCurrentIndex(3);
        m.Form.Pane().horizontalScrollBar()->setValue(m.Form.Pane().horizontalScrollBar()->maximum() / 2);
        m.Form.Pane().verticalScrollBar()->setValue(m.Form.Pane().verticalScrollBar()->maximum() / 2);
        QApplication::processEvents();
      });
  if (m.Form.Pane().Zoom() != 1.5) std::printf("wheel_zoom: the wheel did not zoom\n");
  std::printf("wheel_zoom_ms: wheel mean %.2f, worst %.2f; box mean %.2f, worst %.2f\n", Mean(times.A) / 1e6,
              Max(times.A) / 1e6, Mean(times.B) / 1e6, Max(times.B) / 1e6);
  Print("wheel_zoom_ratio", times.MeanRatio());
}

Section wheelZoom("wheelzoom", WheelZoomBench);
Section dragStep("dragstep", DragStepBench);
Section band("band", BandBench);
Section displayList("displaylist", DisplayListBench);
}  // namespace
