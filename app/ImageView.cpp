#include "app/ImageView.h"

#include <QPaintEvent>
#include <QPainter>

TImageView::TImageView(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageView::SetPicture(const QImage &image) {
  Picture_ = image;
  update();
}

void TImageView::paintEvent(QPaintEvent *event) {
  if (Picture_.isNull() || width() <= 0 || height() <= 0) return;
  QPainter painter(this);
  const double sx = double(Picture_.width()) / width();
  const double sy = double(Picture_.height()) / height();
  // Enlarged pictures show crisp pixel blocks; reduced ones are filtered.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, sx > 1.0 || sy > 1.0);
  const QRect target = event->rect();
  const QRectF source(target.x() * sx, target.y() * sy, target.width() * sx, target.height() * sy);
  painter.drawImage(QRectF(target), Picture_, source);
}
