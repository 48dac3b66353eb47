#include "images/ImageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

TImageView::TImageView(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageView::SetPicture(const QImage &image, TReduction prepared) {
  // The reduction works on 32-bit pixels; pictures from the loaders already
  // have them and are shared, not copied.
  const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  Picture_ = image.isNull() || image.format() == format ? image : image.convertToFormat(format);
  // The copy made for this picture beforehand is gone on with; any other is
  // made again as it is painted, in the memory of the one before.
  if (prepared.Of(Picture_, size())) Reduced_ = std::move(prepared);
  update();
}

void TImageView::paintEvent(QPaintEvent *event) {
  if (Picture_.isNull() || width() <= 0 || height() <= 0) return;
  QPainter painter(this);
  // Each exposed rectangle on its own: a moving band exposes thin strips,
  // and painting their bounding box would paint the whole area inside.
  for (const QRect &exposed : event->region()) {
    const QRect target = exposed & rect();
    if (!target.isEmpty()) PaintPart(painter, target);
  }
}

void TImageView::PaintPart(QPainter &painter, const QRect &target) {
  const QSize picture = Picture_.size();
  if (size() == picture) {
    Reduced_.Clear();
    painter.drawImage(target.topLeft(), Picture_, target);
  } else if (width() <= picture.width() && height() <= picture.height()) {
    if (Reduced_.Cover(Picture_, size(), target)) painter.drawImage(target.topLeft(), Reduced_.Image(), target);
  } else if (width() >= picture.width() && height() >= picture.height()) {
    Reduced_.Clear();
    PaintEnlarged(painter, target);
  } else {
    // Stretched one way and squeezed the other: not a zoom the program sets.
    painter.drawImage(QRectF(target), Picture_,
                      QRectF(target.x() * double(picture.width()) / width(),
                             target.y() * double(picture.height()) / height(),
                             target.width() * double(picture.width()) / width(),
                             target.height() * double(picture.height()) / height()));
  }
}

// View pixel (x, y) shows image pixel (x * w / W, y * h / H), rounded down:
// the pixel the overlay's coordinates name at that point.
void TImageView::PaintEnlarged(QPainter &painter, const QRect &target) {
  const qint64 w = Picture_.width(), h = Picture_.height(), W = width(), H = height();
  // The tile is filled and drawn a band of rows at a time, small enough to
  // stay in the processor's cache between being written and being drawn.
  const int bandRows = qMin(target.height(), 48);
  if (Tile_.width() < target.width() || Tile_.height() < bandRows || Tile_.format() != Picture_.format())
    Tile_ = QImage(qMax(Tile_.width(), target.width()), qMax(Tile_.height(), bandRows), Picture_.format());
  if (Tile_.isNull()) return;
  // The exposed columns as runs of view pixels that show one image column.
  // Each run's length follows from stepping the mapping, with no division
  // per pixel.
  Runs_.clear();
  const int firstColumn = int((target.x() * w) / W);
  {
    qint64 rest = (target.x() * w) % W;  // (x * w) mod W for the current x
    int length = 0;
    for (int x = 0; x < target.width(); ++x) {
      ++length;
      rest += w;
      if (rest >= W || x + 1 == target.width()) {
        Runs_.push_back(length);
        length = 0;
        rest %= W;
      }
    }
  }
  const size_t rowBytes = size_t(target.width()) * 4;
  int previous = -1;
  qint64 sy = (target.y() * h) / H, restY = (target.y() * h) % H;
  for (int top = 0; top < target.height(); top += bandRows) {
    const int rows = qMin(bandRows, target.height() - top);
    for (int y = 0; y < rows; ++y, restY += h, sy += restY >= H ? 1 : 0, restY -= restY >= H ? H : 0) {
      auto *dst = reinterpret_cast<quint32 *>(Tile_.scanLine(y));
      if (sy == previous) {
        // The same image row as the view row above, which may be the last
        // row of the band drawn before.
        std::memcpy(dst, Tile_.constScanLine(y > 0 ? y - 1 : bandRows - 1), rowBytes);
        continue;
      }
      previous = int(sy);
      const auto *src = reinterpret_cast<const quint32 *>(Picture_.constScanLine(int(sy))) + firstColumn;
      for (int length : Runs_) dst = std::fill_n(dst, length, *src++);
    }
    painter.drawImage(target.topLeft() + QPoint(0, top), Tile_, QRect(0, 0, target.width(), rows));
  }
}
