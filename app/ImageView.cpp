#include "app/ImageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

TImageView::TImageView(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageView::SetPicture(const QImage &image) {
  Picture_ = image;
  ReducedStale_ = true;  // its memory is kept for the next reduction
  update();
}

const QImage &TImageView::Reduced() {
  if (ReducedStale_ || Reduced_.size() != size()) {
    Reduced_ = AreaAveraged(Picture_, size(), std::move(Reduced_));
    ReducedStale_ = false;
  }
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
  bool shortRuns = true;
  for (int length : Runs_) shortRuns = shortRuns && length <= 4;
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
      if (shortRuns) {
        // Every run is at most four pixels: write four and step by the run's
        // length, so that the loop has no branch on the length. The tile has
        // room for the last run's overhang.
        for (int length : Runs_) {
          const quint32 pixel = *src++;
          dst[0] = dst[1] = dst[2] = dst[3] = pixel;
          dst += length;
        }
      } else {
        for (int length : Runs_) dst = std::fill_n(dst, length, *src++);
      }
    }
    painter.drawImage(target.topLeft() + QPoint(0, top), Tile_, QRect(0, 0, target.width(), rows));
  }
}

namespace {
// Channels are summed two at a time in the 16-bit halves of a 32-bit word:
// red and blue (mask 0x00ff00ff), then alpha and green after a shift by 8.
constexpr quint32 kLanes = 0x00ff00ffu;

// Runs work(first, end) over the output rows [0, rows) in a few contiguous
// pieces on the processor's cores; every piece writes only its own rows.
void ForRowPieces(int rows, qint64 pixels, const std::function<void(int, int)> &work) {
  const int cores = int(qBound(1u, std::thread::hardware_concurrency(), 8u));
  const int pieces = pixels < (qint64(1) << 20) ? 1 : qMin(cores, rows);
  if (pieces <= 1) {
    work(0, rows);
    return;
  }
  std::vector<std::thread> helpers;
  for (int k = 1; k < pieces; ++k)
    helpers.emplace_back(work, int(qint64(rows) * k / pieces), int(qint64(rows) * (k + 1) / pieces));
  work(0, int(rows / pieces));
  for (std::thread &t : helpers) t.join();
}

// Halving or quartering: every output pixel is the plain mean of a K x K
// block (K a power of two); image pixels beyond the last whole block, fewer
// than K, are left out.
template <int K>
QImage BoxReduced(const QImage &image, int W, int H, QImage out) {
  if (out.isNull()) return QImage();
  constexpr int kShift = K == 2 ? 2 : 4;  // log2(K * K)
  constexpr quint32 kHalf = (quint32(1) << (kShift - 1)) * 0x00010001u;
  // Row addresses are taken once: QImage's non-const accessors are not for
  // use from several threads at once.
  uchar *const outBits = out.bits();
  const qsizetype outStride = out.bytesPerLine();
  ForRowPieces(H, qint64(image.width()) * image.height(), [&](int first, int end) {
  for (int o = first; o < end; ++o) {
    const quint32 *src[K];
    for (int dy = 0; dy < K; ++dy) src[dy] = reinterpret_cast<const quint32 *>(image.constScanLine(o * K + dy));
    auto *dst = reinterpret_cast<quint32 *>(outBits + o * outStride);
    for (int x = 0; x < W; ++x) {
      quint32 rb = kHalf, ag = kHalf;
      for (int dy = 0; dy < K; ++dy) {
        const quint32 *p = src[dy] + x * K;
        for (int dx = 0; dx < K; ++dx) {
          rb += p[dx] & kLanes;
          ag += (p[dx] >> 8) & kLanes;
        }
      }
      dst[x] = ((rb >> kShift) & kLanes) | (((ag >> kShift) & kLanes) << 8);
    }
  }
  });
  return out;
}

// Which image pixels an output pixel covers along one axis, and how much of
// each (in 256ths of the output pixel, summing to 256).
struct Taps {
  int First = 0;
  std::vector<quint16> Weights;
};

std::vector<Taps> AxisTaps(int inCount, int outCount) {
  std::vector<Taps> taps(static_cast<size_t>(outCount));
  for (int o = 0; o < outCount; ++o) {
    // In units where an image pixel is outCount wide and an output pixel
    // inCount wide, the output pixel covers [begin, end).
    const qint64 begin = qint64(o) * inCount, end = qint64(o + 1) * inCount;
    Taps &t = taps[size_t(o)];
    t.First = int(begin / outCount);
    const int last = int((end - 1) / outCount);
    int given = 0, largest = 0;
    for (int i = t.First; i <= last; ++i) {
      const qint64 overlap = qMin(end, qint64(i + 1) * outCount) - qMax(begin, qint64(i) * outCount);
      const int weight = int((overlap * 256 + inCount / 2) / inCount);
      t.Weights.push_back(quint16(weight));
      given += weight;
      if (weight > t.Weights[size_t(largest)]) largest = int(t.Weights.size()) - 1;
    }
    t.Weights[size_t(largest)] = quint16(t.Weights[size_t(largest)] + 256 - given);  // the rounding's remainder
  }
  return taps;
}
}  // namespace

QImage AreaAveraged(const QImage &source, QSize size, QImage recycled) {
  if (source.isNull() || size.isEmpty()) return QImage();
  const QImage::Format format = source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  const QImage image = source.format() == format ? source : source.convertToFormat(format);
  const int w = image.width(), h = image.height();
  const int W = qMin(size.width(), w), H = qMin(size.height(), h);
  // A buffer of the right kind is written over rather than allocated again:
  // fresh memory costs a page fault per 4 KiB on first touch.
  QImage out = recycled.size() == QSize(W, H) && recycled.format() == format && recycled.isDetached()
                   ? std::move(recycled)
                   : QImage(W, H, format);
  if (w / 2 == W && h / 2 == H) return BoxReduced<2>(image, W, H, std::move(out));
  if (w / 4 == W && h / 4 == H) return BoxReduced<4>(image, W, H, std::move(out));

  if (out.isNull()) return QImage();
  const std::vector<Taps> columns = AxisTaps(w, W);
  const std::vector<Taps> rows = AxisTaps(h, H);

  // Each image row is reduced across once (kept while the next output row
  // still needs it), then the rows of an output row are summed down.
  uchar *const outBits = out.bits();
  const qsizetype outStride = out.bytesPerLine();
  ForRowPieces(H, qint64(w) * h, [&](int first, int end) {
  std::vector<quint32> acrossRb(static_cast<size_t>(W)), acrossAg(static_cast<size_t>(W)), sum(static_cast<size_t>(W) * 4);
  auto reduceAcross = [&](int sy) {
    const auto *src = reinterpret_cast<const quint32 *>(image.constScanLine(sy));
    for (int x = 0; x < W; ++x) {
      const Taps &t = columns[size_t(x)];
      const quint32 *p = src + t.First;
      quint32 rb = 0, ag = 0;
      for (size_t i = 0; i < t.Weights.size(); ++i) {
        rb += (p[i] & kLanes) * t.Weights[i];
        ag += ((p[i] >> 8) & kLanes) * t.Weights[i];
      }
      acrossRb[size_t(x)] = rb;
      acrossAg[size_t(x)] = ag;
    }
  };
  std::vector<quint32> keptRb(acrossRb.size()), keptAg(acrossAg.size());
  int kept = -1;
  for (int o = first; o < end; ++o) {
    const Taps &t = rows[size_t(o)];
    std::fill(sum.begin(), sum.end(), 0);
    for (size_t i = 0; i < t.Weights.size(); ++i) {
      const int sy = t.First + int(i);
      if (sy == kept) {
        acrossRb.swap(keptRb);
        acrossAg.swap(keptAg);
      } else {
        reduceAcross(sy);
      }
      const quint32 wy = t.Weights[i];
      for (int x = 0; x < W; ++x) {
        quint32 *s = &sum[size_t(x) * 4];
        const quint32 rb = acrossRb[size_t(x)], ag = acrossAg[size_t(x)];
        s[0] += (ag >> 16) * wy;
        s[1] += (rb >> 16) * wy;
        s[2] += (ag & 0xffff) * wy;
        s[3] += (rb & 0xffff) * wy;
      }
      if (i + 1 == t.Weights.size()) {  // the last row may start the next output row
        keptRb.swap(acrossRb);
        keptAg.swap(acrossAg);
        kept = sy;
      }
    }
    auto *dst = reinterpret_cast<quint32 *>(outBits + o * outStride);
    for (int x = 0; x < W; ++x) {
      const quint32 *s = &sum[size_t(x) * 4];
      auto channel = [&](int k) { return (s[k] + 32768) >> 16; };
      dst[x] = (channel(0) << 24) | (channel(1) << 16) | (channel(2) << 8) | channel(3);
    }
  }
  });
  return out;
}
