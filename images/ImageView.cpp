#include "images/ImageView.h"
#include "images/Tricks.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

TImageView::TImageView(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImageView::SetPicture(const QImage &image, const TReducedPart &prepared) {
  // The reduction works on 32-bit pixels; pictures from the loaders already
  // have them and are shared, not copied.
  const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  Picture_ = image.isNull() || image.format() == format ? image : image.convertToFormat(format);
  ReducedTiles_.clear();  // made again for this picture, in the same memory
  if (!prepared.Reduced.isNull() && prepared.Reduced.size() == size() &&
      prepared.Reduced.format() == Picture_.format()) {
    Reduced_ = prepared.Reduced;
    const int across = (width() + kTileColumns - 1) / kTileColumns;
    ReducedTiles_.assign(size_t(across) * size_t((height() + kTileRows - 1) / kTileRows), false);
    const QRect made = prepared.Made & rect();
    if (!made.isEmpty())
      for (int band = made.top() / kTileRows; band <= made.bottom() / kTileRows; ++band)
        for (int tile = made.left() / kTileColumns; tile <= made.right() / kTileColumns; ++tile)
          ReducedTiles_[size_t(band) * size_t(across) + size_t(tile)] = true;
  }
  update();
}

TReducedPart TImageView::ReducePart(const QImage &image, QSize viewSize, const QRect &visible) {
  const QRect view(QPoint(0, 0), viewSize);
  if (image.isNull() || viewSize.isEmpty() || viewSize.width() > image.width() ||
      viewSize.height() > image.height() || viewSize == image.size())
    return {};
  const QRect part = visible & view;
  if (part.isEmpty()) return {};
  // Whole tiles, as the view makes them.
  const int left = part.left() / kTileColumns * kTileColumns, top = part.top() / kTileRows * kTileRows;
  const int right = (part.right() / kTileColumns + 1) * kTileColumns;
  const int bottom = (part.bottom() / kTileRows + 1) * kTileRows;
  TReducedPart out;
  out.Made = QRect(left, top, right - left, bottom - top) & view;
  out.Reduced = QImage(viewSize, image.format());
  if (out.Reduced.isNull()) return {};
  AreaAverageInto(image, out.Reduced, out.Made);
  return out;
}

bool TImageView::Reduce(const QRect &target) {
  if (Reduced_.size() != size() || Reduced_.format() != Picture_.format()) {
    // Fresh memory: only the pages of the tiles that get made are touched.
    Reduced_ = QImage(size(), Picture_.format());
    ReducedTiles_.clear();
    if (Reduced_.isNull()) return false;
  }
  const int across = (width() + kTileColumns - 1) / kTileColumns;
  if (ReducedTiles_.empty()) ReducedTiles_.assign(size_t(across) * size_t((height() + kTileRows - 1) / kTileRows), false);
  // Band by band, the columns from the first tile not yet made to the last
  // one; bands one after another that lack the same columns are made in one
  // go, which spreads over the processor's cores.
  QRect pending;
  for (int band = target.top() / kTileRows; band <= target.bottom() / kTileRows; ++band) {
    int first = -1, last = -1;
    for (int tile = target.left() / kTileColumns; tile <= target.right() / kTileColumns; ++tile) {
      if (ReducedTiles_[size_t(band) * size_t(across) + size_t(tile)]) continue;
      ReducedTiles_[size_t(band) * size_t(across) + size_t(tile)] = true;
      if (first < 0) first = tile;
      last = tile;
    }
    const QRect columns = first < 0 ? QRect() : QRect(first * kTileColumns, 0, (last - first + 1) * kTileColumns, 1);
    const QRect area = QRect(columns.left(), band * kTileRows, columns.width(), kTileRows) & rect();
    if (!pending.isEmpty() && (area.isEmpty() || area.left() != pending.left() || area.right() != pending.right())) {
      AreaAverageInto(Picture_, Reduced_, pending);
      pending = QRect();
    }
    if (!area.isEmpty()) pending = pending.isEmpty() ? area : pending | area;
  }
  if (!pending.isEmpty()) AreaAverageInto(Picture_, Reduced_, pending);
  return true;
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
    if (Reduce(target)) painter.drawImage(target.topLeft(), Reduced_, target);
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
  bool shortRuns = Tricks::BranchFreeRuns;
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

// Runs work(a, b) over the output rows [first, end): in one contiguous piece
// per processor when there is enough work (each row reading `pixelsPerRow`
// image pixels), the calling thread taking the last piece; else here. Every
// piece writes only its own rows.
void ForRowPieces(int first, int end, qint64 pixelsPerRow, const std::function<void(int, int)> &work) {
  const int rows = end - first;
  const int pieces = !Tricks::ThreadedReduction || rows * pixelsPerRow < (qint64(1) << 20)
                         ? 1
                         : qBound(1, int(std::thread::hardware_concurrency()), rows);
  std::vector<std::thread> helpers;
  for (int k = 0; k + 1 < pieces; ++k) {
    const int a = first + int(qint64(rows) * k / pieces), b = first + int(qint64(rows) * (k + 1) / pieces);
    helpers.emplace_back([&work, a, b] { work(a, b); });
  }
  work(first + int(qint64(rows) * (pieces - 1) / pieces), end);
  for (std::thread &helper : helpers) helper.join();
}

// Halving or quartering: every output pixel of rows [first, end) and
// columns [left, right) is the plain mean of a K x K block (K 2 or 4); image
// pixels beyond the last whole block, fewer than K, are left out. With SSE2
// (every x86-64 processor) a block's rows are widened to 16-bit lanes and
// added four channels at a time; elsewhere two channels at a time in the
// halves of a 32-bit word.
template <int K>
void BoxRows(const QImage &image, uchar *outBits, qsizetype outStride, int left, int right, int first, int end) {
  constexpr int kShift = K == 2 ? 2 : 4;  // log2(K * K)
  for (int o = first; o < end; ++o) {
    const uchar *src[K];
    for (int dy = 0; dy < K; ++dy) src[dy] = image.constScanLine(o * K + dy);
    auto *dst = reinterpret_cast<quint32 *>(outBits + o * outStride);
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(short(1 << (kShift - 1)));
    for (int x = left; x < right; ++x) {
      __m128i sum = zero;  // the block's channels, two pixels' worth side by side
      for (int dy = 0; dy < K; ++dy) {
        const auto *p = reinterpret_cast<const __m128i *>(src[dy] + qsizetype(x) * K * 4);
        const __m128i row = K == 4 ? _mm_loadu_si128(p) : _mm_loadl_epi64(p);
        sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(row, zero));
        if (K == 4) sum = _mm_add_epi16(sum, _mm_unpackhi_epi8(row, zero));
      }
      sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
      sum = _mm_srli_epi16(_mm_add_epi16(sum, half), kShift);
      dst[x] = quint32(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
    }
#else
    constexpr quint32 kHalf = (quint32(1) << (kShift - 1)) * 0x00010001u;
    for (int x = left; x < right; ++x) {
      quint32 rb = kHalf, ag = kHalf;
      for (int dy = 0; dy < K; ++dy) {
        const quint32 *p = reinterpret_cast<const quint32 *>(src[dy]) + qsizetype(x) * K;
        for (int dx = 0; dx < K; ++dx) {
          rb += p[dx] & kLanes;
          ag += (p[dx] >> 8) & kLanes;
        }
      }
      dst[x] = ((rb >> kShift) & kLanes) | (((ag >> kShift) & kLanes) << 8);
    }
#endif
  }
}

// Which image pixels each output pixel covers along one axis, and how much of
// each, in 256ths of the output pixel (summing to 256). Every output pixel
// gets the same number of taps, at least `minCount` where the image allows,
// those it does not cover weighing 0, so that the loops over them have one
// length.
struct AxisTaps {
  int Count = 1;
  std::vector<int> First;        // the first image pixel of each output pixel
  std::vector<quint32> Weights;  // Count weights for each output pixel
};

AxisTaps TapsFor(int inCount, int outCount, int minCount) {
  AxisTaps taps;
  // In units where an image pixel is outCount wide and an output pixel
  // inCount wide, output pixel o covers [o * inCount, (o + 1) * inCount).
  auto firstOf = [&](int o) { return int(qint64(o) * inCount / outCount); };
  auto lastOf = [&](int o) { return int((qint64(o + 1) * inCount - 1) / outCount); };
  taps.Count = qMin(minCount, inCount);
  for (int o = 0; o < outCount; ++o) taps.Count = qMax(taps.Count, lastOf(o) - firstOf(o) + 1);
  taps.First.resize(size_t(outCount));
  taps.Weights.assign(size_t(outCount) * size_t(taps.Count), 0);
  for (int o = 0; o < outCount; ++o) {
    const qint64 begin = qint64(o) * inCount, end = qint64(o + 1) * inCount;
    // The taps start early enough that all of them lie inside the image.
    const int first = qMin(firstOf(o), inCount - taps.Count);
    taps.First[size_t(o)] = first;
    quint32 *weights = &taps.Weights[size_t(o) * size_t(taps.Count)];
    int given = 0, largest = firstOf(o) - first;
    for (int i = firstOf(o); i <= lastOf(o); ++i) {
      const qint64 overlap = qMin(end, qint64(i + 1) * outCount) - qMax(begin, qint64(i) * outCount);
      const int k = i - first;
      weights[k] = quint32((overlap * 256 + inCount / 2) / inCount);
      given += int(weights[k]);
      if (weights[k] > weights[largest]) largest = k;
    }
    weights[largest] += quint32(256 - given);  // the rounding's remainder
  }
  return taps;
}

// `count` pixels, `step` pixels apart, weighted in 256ths and rounded back to
// 8 bits a channel. A channel's sum stays below 2^16 because the weights add
// up to 256.
inline quint32 Weighted(const quint32 *p, qsizetype step, const quint32 *weights, int count) {
  quint32 rb = 0x00800080u, ag = 0x00800080u;
  for (int i = 0; i < count; ++i, p += step) {
    rb += (*p & kLanes) * weights[i];
    ag += ((*p >> 8) & kLanes) * weights[i];
  }
  return ((rb >> 8) & kLanes) | (ag & ~kLanes);
}

// Output rows [first, end), columns [left, right): each output row's image
// rows are weighted down into one row (as wide as those columns need),
// which is then weighted across. Rounding to 8 bits between the two steps
// costs at most one level a channel. `kTaps`, when not 0, is both axes' tap
// count, known here so that the loops over the taps unroll.
template <int kTaps>
void ReduceRows(const QImage &image, const AxisTaps &rows, const AxisTaps &columns, uchar *outBits,
                qsizetype outStride, int left, int right, int first, int end) {
  const int down = kTaps ? kTaps : rows.Count, across = kTaps ? kTaps : columns.Count;
  const int from = columns.First[size_t(left)], to = columns.First[size_t(right - 1)] + across;
  const qsizetype stride = image.bytesPerLine() / 4;
  const auto *bits = reinterpret_cast<const quint32 *>(image.constBits());
  std::vector<quint32> line(static_cast<size_t>(to - from));
  for (int o = first; o < end; ++o) {
    const quint32 *top = bits + rows.First[size_t(o)] * stride + from;
    const quint32 *weights = &rows.Weights[size_t(o) * size_t(down)];
    for (int x = 0; x < to - from; ++x) line[size_t(x)] = Weighted(top + x, stride, weights, down);
    auto *dst = reinterpret_cast<quint32 *>(outBits + o * outStride);
    for (int x = left; x < right; ++x)
      dst[x] = Weighted(&line[size_t(columns.First[size_t(x)] - from)], 1,
                        &columns.Weights[size_t(x) * size_t(across)], across);
  }
}
}  // namespace

void AreaAverageInto(const QImage &image, QImage &out, const QRect &area) {
  const int w = image.width(), h = image.height(), W = out.width(), H = out.height();
  const QRect part = area & out.rect();
  if (part.isEmpty() || W > w || H > h || image.format() != out.format()) return;
  const int left = part.left(), right = part.right() + 1, first = part.top(), end = part.bottom() + 1;
  // Row addresses are taken once: QImage's non-const accessors are not for
  // use from several threads at once.
  uchar *const outBits = out.bits();
  const qsizetype outStride = out.bytesPerLine();
  if (Tricks::Sse2Halving && w / 2 == W && h / 2 == H) {
    ForRowPieces(first, end, 4 * qint64(right - left),
                 [&](int a, int b) { BoxRows<2>(image, outBits, outStride, left, right, a, b); });
    return;
  }
  if (Tricks::Sse2Halving && w / 4 == W && h / 4 == H) {
    ForRowPieces(first, end, 16 * qint64(right - left),
                 [&](int a, int b) { BoxRows<4>(image, outBits, outStride, left, right, a, b); });
    return;
  }
  // Zooms between a half and the whole picture need two or three taps an
  // axis; both axes then get the same count, padded with zero weights, so
  // that one unrolled loop serves them.
  AxisTaps rows = TapsFor(h, H, 1), columns = TapsFor(w, W, 1);
  const int taps = qMax(rows.Count, columns.Count);
  if (taps <= 3 && rows.Count != columns.Count && qMin(w, h) >= taps) {
    rows = TapsFor(h, H, taps);
    columns = TapsFor(w, W, taps);
  }
  const qint64 perRow = qint64(right - left) * w / W * rows.Count;
  ForRowPieces(first, end, perRow, [&](int a, int b) {
    if (Tricks::UnrolledTaps && rows.Count == 2 && columns.Count == 2)
      ReduceRows<2>(image, rows, columns, outBits, outStride, left, right, a, b);
    else if (Tricks::UnrolledTaps && rows.Count == 3 && columns.Count == 3)
      ReduceRows<3>(image, rows, columns, outBits, outStride, left, right, a, b);
    else
      ReduceRows<0>(image, rows, columns, outBits, outStride, left, right, a, b);
  });
}

QImage AreaAveraged(const QImage &source, QSize size) {
  if (source.isNull() || size.isEmpty()) return QImage();
  const QImage::Format format = source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  const QImage image = source.format() == format ? source : source.convertToFormat(format);
  const QSize reduced(qMin(size.width(), image.width()), qMin(size.height(), image.height()));
  QImage out(reduced, format);
  if (out.isNull()) return QImage();
  AreaAverageInto(image, out, out.rect());
  return out;
}

namespace Tricks {
bool Sse2Halving = true, UnrolledTaps = true, BranchFreeRuns = true, ThreadedReduction = true, JpegInPieces = true;
}
