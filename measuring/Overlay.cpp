#include "measuring/Overlay.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <iterator>

TOverlay::TOverlay(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
  setMouseTracking(true);  // the band follows the pointer with no button held
}

void TOverlay::Line(QPoint from, QPoint to) {
  // A line that ends where it starts covers no pixel (the end point is never
  // drawn), so it is not recorded.
  if (from == to) return;
  Append({opLine, from, to, QString(), Mode, PenColor, 0});
}

void TOverlay::Rectangle(QPoint corner1, QPoint corner2) {
  // A rectangle without width or height covers no pixel.
  if (corner1.x() == corner2.x() || corner1.y() == corner2.y()) return;
  Append({opRect, corner1, corner2, QString(), Mode, PenColor, 0});
}

void TOverlay::TextOut(QPoint topLeft, const QString &text, int pointSize) {
  Append({opText, topLeft, topLeft, text, pmCopy, palette().color(QPalette::WindowText), pointSize});
}

void TOverlay::Clear() {
  if (!List_.empty()) update();
  List_.clear();
}

void TOverlay::Append(const Op &op) {
  if (op.Mode == pmNotXor) {
    // Not-XOR operations commute with each other and each undoes itself, so
    // one that repeats any operation of the trailing run of not-XOR
    // operations takes that one away instead of being added.
    for (auto it = List_.rbegin(); it != List_.rend() && it->Mode == pmNotXor; ++it) {
      if (*it == op) {
        update(Damage(op));
        List_.erase(std::next(it).base());
        return;
      }
    }
  }
  List_.push_back(op);
  update(Damage(op));
}

QRegion TOverlay::Damage(const Op &op) const {
  const int m = 2;  // the pen's pixels and a margin for rounding
  switch (op.Kind) {
    case opText: {
      QFont f = font();
      f.setPointSize(op.PointSize);
      QFontMetrics fm(f);
      return QRegion(QRect(op.P1, fm.size(0, op.Text)).adjusted(-m, -m, m, m));
    }
    case opRect: {
      // Only the outline changes, never the inside: four thin strips.
      const QRect r = QRect(op.P1, op.P2).normalized();
      QRegion strips(r.left() - m, r.top() - m, r.width() + 2 * m, 2 * m + 1);
      strips += QRegion(r.left() - m, r.bottom() - m, r.width() + 2 * m, 2 * m + 1);
      strips += QRegion(r.left() - m, r.top() - m, 2 * m + 1, r.height() + 2 * m);
      strips += QRegion(r.right() - m, r.top() - m, 2 * m + 1, r.height() + 2 * m);
      return strips;
    }
    case opLine: {
      // A long slanted line is covered by the boxes of short pieces of it,
      // not by one box the size of its whole extent; only its part over the
      // overlay counts (a figure may reach far beyond it).
      const QPointF from = op.P1, d = QPointF(op.P2 - op.P1);
      double t0 = 0, t1 = 1;
      const QRectF area = QRectF(rect()).adjusted(-m, -m, m, m);
      const auto clip = [&](double p, double q) {  // keeps the part where p * t <= q
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) t0 = qMax(t0, t); else t1 = qMin(t1, t);
        return t0 <= t1;
      };
      if (!clip(-d.x(), from.x() - area.left()) || !clip(d.x(), area.right() - from.x()) ||
          !clip(-d.y(), from.y() - area.top()) || !clip(d.y(), area.bottom() - from.y()))
        return QRegion();
      const QPointF a = from + d * t0, b = from + d * t1;
      const int pieces = qMax(1, int(qMax(qAbs(b.x() - a.x()), qAbs(b.y() - a.y())) / 32));
      QRegion boxes;
      for (int k = 0; k < pieces; ++k) {
        const QPoint p = (a + (b - a) * k / pieces).toPoint(), q = (a + (b - a) * (k + 1) / pieces).toPoint();
        boxes += QRect(p, q).normalized().adjusted(-m, -m, m, m);
      }
      return boxes;
    }
  }
  return QRegion();
}

void TOverlay::Paint(QPainter &painter, const Op &op) const {
  painter.setCompositionMode(op.Mode == pmNotXor ? QPainter::RasterOp_NotSourceXorDestination
                                                 : QPainter::CompositionMode_SourceOver);
  // A band is one pixel wide, so that drawing it twice restores every pixel
  // exactly; a figure kept is two, so that it shows at every zoom.
  QPen pen(op.Color);
  pen.setWidth(op.Mode == pmNotXor ? 1 : 2);
  pen.setCosmetic(true);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  switch (op.Kind) {
    case opLine: painter.drawLine(op.P1, op.P2); break;
    case opRect: {
      // The outline runs through both corners.
      const QPoint topLeft(qMin(op.P1.x(), op.P2.x()), qMin(op.P1.y(), op.P2.y()));
      painter.drawRect(QRect(topLeft, QSize(qAbs(op.P1.x() - op.P2.x()), qAbs(op.P1.y() - op.P2.y()))));
      break;
    }
    case opText: {
      QFont f = font();
      f.setPointSize(op.PointSize);
      painter.setFont(f);
      QFontMetrics fm(f);
      painter.drawText(op.P1 + QPoint(0, fm.ascent()), op.Text);
      break;
    }
  }
}

void TOverlay::paintEvent(QPaintEvent *event) {
  QPainter painter(this);
  painter.setClipRegion(event->region());
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const Op &op : List_) Paint(painter, op);
}

void TOverlay::hideEvent(QHideEvent *event) {
  List_.clear();  // hiding the surface erases what was drawn on it
  QWidget::hideEvent(event);
}

void TOverlay::mousePressEvent(QMouseEvent *event) {
  const QPoint p = event->position().toPoint();
  emit MouseDown(event->button(), p.x(), p.y());
}

void TOverlay::mouseMoveEvent(QMouseEvent *event) {
  const QPoint p = event->position().toPoint();
  emit MouseMove(p.x(), p.y());
}

void TOverlay::mouseReleaseEvent(QMouseEvent *event) {
  const QPoint p = event->position().toPoint();
  emit MouseUp(event->button(), p.x(), p.y());
}

void TOverlay::contextMenuEvent(QContextMenuEvent *event) {
  if (TakesSecondaryButton && TakesSecondaryButton())
    event->accept();
  else
    event->ignore();  // goes on to the scroll box, which opens the pop-up menu
}
