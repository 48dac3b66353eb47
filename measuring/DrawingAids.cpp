#include "measuring/DrawingAids.h"

#include <QAccessible>
#include <QPainter>
#include <QPen>
#include <cmath>

TValueLabel::TValueLabel(QWidget *parent) : QLabel(parent) {
  setObjectName(QStringLiteral("LiveValue"));
  setAccessibleDescription(QStringLiteral("Value of the figure being drawn"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAutoFillBackground(true);
  setFrameShape(QFrame::Box);
  setMargin(2);
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  hide();
}

void TValueLabel::ShowValue(const QString &text) {
  if (text != this->text()) {
    setText(text);
    // A screen reader reads the name: it is the value itself, and its
    // change is announced as a change of name.
    setAccessibleName(text);
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    resize(sizeHint());
  }
  if (isHidden()) show();
  raise();
}

TLoupe::TLoupe(QWidget *parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Loupe"));
  setAccessibleName(QStringLiteral("Loupe"));
  setAccessibleDescription(QStringLiteral("The picture around the pointer, enlarged four times"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(kSide, kSide);
  hide();
}

void TLoupe::ShowAround(const QImage &picture, QPointF centre, double zoom, const std::vector<QLineF> &figure) {
  Picture_ = picture;
  Pixel_ = QPoint(int(std::floor(centre.x())), int(std::floor(centre.y())));
  Scale_ = kMagnification * zoom;
  Figure_ = figure;
  if (isHidden()) show();
  raise();
  update();
}

void TLoupe::hideEvent(QHideEvent *event) {
  Picture_ = QImage();
  QWidget::hideEvent(event);
}

QPointF TLoupe::ToLoupe(QPointF p) const {
  // The centre of the pixel under the pointer is the loupe's centre.
  return QPointF(kSide / 2.0, kSide / 2.0) + (p - QPointF(Pixel_) - QPointF(0.5, 0.5)) * Scale_;
}

void TLoupe::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Dark));
  if (!Picture_.isNull()) {
    // Only the picture pixels that fall inside the loupe are drawn, each as
    // a block of whole loupe pixels.
    const double half = kSide / 2.0 / Scale_ + 1;
    const QRect source = QRect(QPoint(int(std::floor(Pixel_.x() - half)), int(std::floor(Pixel_.y() - half))),
                               QPoint(int(std::ceil(Pixel_.x() + half)), int(std::ceil(Pixel_.y() + half))))
                             .intersected(Picture_.rect());
    if (!source.isEmpty()) {
      const QRectF target(ToLoupe(source.topLeft()), QSizeF(source.width(), source.height()) * Scale_);
      painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
      painter.drawImage(target, Picture_, source);
    }
  }
  // The cross marks the pixel under the pointer: two lines through its
  // centre, with a gap the size of the pixel so that the pixel stays visible.
  // The figure is drawn over it, so that the line being drawn stays whole.
  const double c = kSide / 2.0, gap = std::max(2.0, Scale_ / 2 + 1);
  for (const QColor &colour : {QColor(0, 0, 0), QColor(255, 255, 255)}) {
    QPen pen(colour);
    pen.setCosmetic(true);
    painter.setPen(pen);
    const double d = colour == Qt::black ? 1 : 0;
    painter.drawLine(QPointF(0, c + d), QPointF(c - gap, c + d));
    painter.drawLine(QPointF(c + gap, c + d), QPointF(kSide, c + d));
    painter.drawLine(QPointF(c + d, 0), QPointF(c + d, c - gap));
    painter.drawLine(QPointF(c + d, c + gap), QPointF(c + d, kSide));
  }
  QPen figurePen(QColor(255, 0, 0));
  figurePen.setCosmetic(true);
  painter.setPen(figurePen);
  for (const QLineF &line : Figure_) painter.drawLine(ToLoupe(line.p1()), ToLoupe(line.p2()));
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

namespace {
constexpr int kGap = 20;  // between the pointer and an aid's nearest corner

// Whether the segment crosses the rectangle (either end inside, or an edge
// crossed).
bool Crosses(const QRectF &r, const QLineF &line) {
  if (r.contains(line.p1()) || r.contains(line.p2())) return true;
  const QLineF edges[] = {{r.topLeft(), r.topRight()},
                          {r.topRight(), r.bottomRight()},
                          {r.bottomRight(), r.bottomLeft()},
                          {r.bottomLeft(), r.topLeft()}};
  for (const QLineF &edge : edges)
    if (line.intersects(edge, nullptr) == QLineF::BoundedIntersection) return true;
  return false;
}

bool Clear(const QRect &r, QPoint pointer, QPoint start, const QRect &avoid, const std::vector<QLineF> &lines) {
  if (r.contains(pointer) || r.contains(start) || (avoid.isValid() && r.intersects(avoid))) return false;
  for (const QLineF &line : lines)
    if (Crosses(QRectF(r), line)) return false;
  return true;
}
}  // namespace

QPoint AidPosition(QPoint pointer, QPoint start, QSize size, const QRect &area, const QRect &avoid,
                   const std::vector<QLineF> &lines) {
  const QPoint corners[] = {
      pointer + QPoint(kGap, kGap),
      pointer + QPoint(-kGap - size.width(), kGap),
      pointer + QPoint(kGap, -kGap - size.height()),
      pointer + QPoint(-kGap - size.width(), -kGap - size.height()),
  };
  // First a corner that lies wholly in the area and off the figure, then one
  // that lies in the area, then one that only clears the pointer and the
  // start point.
  for (const QPoint &at : corners)
    if (area.contains(QRect(at, size)) && Clear(QRect(at, size), pointer, start, avoid, lines)) return at;
  for (const QPoint &at : corners)
    if (area.contains(QRect(at, size)) && Clear(QRect(at, size), pointer, start, avoid, {})) return at;
  for (const QPoint &at : corners)
    if (Clear(QRect(at, size), pointer, start, avoid, {})) return at;
  return corners[0];
}

bool AidStillBeside(const QRect &place, QPoint pointer, QPoint start, const QRect &area, const QRect &avoid,
                    const std::vector<QLineF> &lines) {
  // The distance from the pointer to the nearest point of the place, along
  // each axis: a fresh place lies kGap away on both.
  const int dx = qMax(0, qMax(place.left() - pointer.x(), pointer.x() - place.right()));
  const int dy = qMax(0, qMax(place.top() - pointer.y(), pointer.y() - place.bottom()));
  return area.contains(place) && dx <= 2 * kGap && dy <= 2 * kGap && Clear(place, pointer, start, avoid, lines);
}
