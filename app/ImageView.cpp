#include "app/ImageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <vector>

TImageView::TImageView(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageView::SetPicture(const QImage &image) {
  Picture_ = image;
  Reduced_ = QImage();
  update();
}

const QImage &TImageView::Reduced() {
  if (Reduced_.size() != size()) Reduced_ = AreaAveraged(Picture_, size());
  return Reduced_;
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
    Reduced_ = QImage();
    painter.drawImage(target.topLeft(), Picture_, target);
  } else if (width() <= picture.width() && height() <= picture.height()) {
    painter.drawImage(target.topLeft(), Reduced(), target);
  } else if (width() >= picture.width() && height() >= picture.height()) {
    Reduced_ = QImage();
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
  const int tileWidth = target.width() + 4;  // room for a run written four pixels long
  const int bandRows = qMin(target.height(), 48);
  if (Tile_.width() < tileWidth || Tile_.height() < bandRows || Tile_.format() != Picture_.format())
    Tile_ = QImage(qMax(Tile_.width(), tileWidth), qMax(Tile_.height(), bandRows), Picture_.format());
  if (Tile_.isNull()) return;
  // The exposed columns as runs of view pixels that show one image column.
  // Each run's length follows from stepping the mapping, with no division
  // per pixel.
  Runs_.clear();
  {
    qint64 column = (target.x() * w) / W;
    qint64 rest = (target.x() * w) % W;  // (x * w) mod W for the current x
    int length = 0;
    for (int x = 0; x < target.width(); ++x) {
      ++length;
      rest += w;
      if (rest >= W || x + 1 == target.width()) {
        Runs_.push_back({int(column), length});
        length = 0;
        column += rest / W;
        rest %= W;
      }
    }
  }
  bool shortRuns = true;
  for (const Run &run : Runs_) shortRuns = shortRuns && run.Length <= 4;
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
      const auto *src = reinterpret_cast<const quint32 *>(Picture_.constScanLine(int(sy)));
      if (shortRuns) {
        // Every run is at most four pixels: write four and step by the run's
        // length, so that the loop has no branch on the length. The tile has
        // room for the last run's overhang.
        for (const Run &run : Runs_) {
          const quint32 pixel = src[run.Column];
          dst[0] = dst[1] = dst[2] = dst[3] = pixel;
          dst += run.Length;
        }
      } else {
        for (const Run &run : Runs_) dst = std::fill_n(dst, run.Length, src[run.Column]);
      }
    }
    painter.drawImage(target.topLeft() + QPoint(0, top), Tile_, QRect(0, 0, target.width(), rows));
  }
}

namespace {
// One output column's share of the image columns: a first column with a
// partial weight, whole columns, and a last partial one, in units in which an
// image column is `outCount` wide and an output column `inCount` wide.
struct Span {
  int First, Last;          // image columns touched, inclusive
  qint64 FirstW, LastW;     // weights of the first and last (the rest weigh outCount)
};

std::vector<Span> Spans(int inCount, int outCount) {
  std::vector<Span> spans(static_cast<size_t>(outCount));
  for (int o = 0; o < outCount; ++o) {
    const qint64 begin = qint64(o) * inCount, end = qint64(o + 1) * inCount;  // in units
    Span s;
    s.First = int(begin / outCount);
    s.Last = int((end - 1) / outCount);
    if (s.First == s.Last) {
      s.FirstW = end - begin;
      s.LastW = 0;
    } else {
      s.FirstW = qint64(s.First + 1) * outCount - begin;
      s.LastW = end - qint64(s.Last) * outCount;
    }
    spans[size_t(o)] = s;
  }
  return spans;
}
}  // namespace

QImage AreaAveraged(const QImage &source, QSize size) {
  if (source.isNull() || size.isEmpty()) return QImage();
  const QImage::Format format = source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  const QImage image = source.format() == format ? source : source.convertToFormat(format);
  const int w = image.width(), h = image.height();
  const int W = qMin(size.width(), w), H = qMin(size.height(), h);
  QImage out(W, H, format);
  if (out.isNull()) return QImage();

  const std::vector<Span> columns = Spans(w, W);
  const std::vector<Span> rows = Spans(h, H);
  // Each image row is first reduced across (sums weighted in units of W per
  // column, w per output column), then the rows of one output row are summed
  // with their own weights (units of H per row, h per output row).
  std::vector<quint32> across(size_t(W) * 4);
  std::vector<quint64> sum(size_t(W) * 4);
  const quint64 total = quint64(w) * quint64(h);
  for (int o = 0; o < H; ++o) {
    const Span &r = rows[size_t(o)];
    std::fill(sum.begin(), sum.end(), 0);
    for (int sy = r.First; sy <= r.Last; ++sy) {
      const quint64 rowWeight = sy == r.First ? quint64(r.FirstW) : sy == r.Last ? quint64(r.LastW) : quint64(H);
      const auto *src = reinterpret_cast<const quint32 *>(image.constScanLine(sy));
      for (int ox = 0; ox < W; ++ox) {
        const Span &c = columns[size_t(ox)];
        quint32 a = 0, rr = 0, g = 0, b = 0;
        for (int sx = c.First; sx <= c.Last; ++sx) {
          const quint32 weight = sx == c.First ? quint32(c.FirstW) : sx == c.Last ? quint32(c.LastW) : quint32(W);
          const quint32 p = src[sx];
          a += (p >> 24) * weight;
          rr += ((p >> 16) & 0xff) * weight;
          g += ((p >> 8) & 0xff) * weight;
          b += (p & 0xff) * weight;
        }
        quint64 *s = &sum[size_t(ox) * 4];
        s[0] += a * rowWeight;
        s[1] += rr * rowWeight;
        s[2] += g * rowWeight;
        s[3] += b * rowWeight;
      }
    }
    auto *dst = reinterpret_cast<quint32 *>(out.scanLine(o));
    for (int ox = 0; ox < W; ++ox) {
      const quint64 *s = &sum[size_t(ox) * 4];
      auto channel = [&](int k) { return quint32((s[k] + total / 2) / total); };
      dst[ox] = (channel(0) << 24) | (channel(1) << 16) | (channel(2) << 8) | channel(3);
    }
  }
  return out;
}
