#include "images/Reduction.h"

#include <vector>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {
// Channels are summed two at a time in the 16-bit halves of a 32-bit word:
// red and blue (mask 0x00ff00ff), then alpha and green after a shift by 8.
constexpr quint32 kLanes = 0x00ff00ffu;

#if defined(__SSE2__) || defined(_M_X64)
// Halving or quartering: every output pixel of rows [first, end) and
// columns [left, right) is the plain mean of a K x K block (K 2 or 4); image
// pixels beyond the last whole block, fewer than K, are left out. A block's
// rows are widened to 16-bit lanes and added four channels at a time. (At
// these two zooms this is four to five times as fast as the weighted path,
// which takes the first paint at 25 % of a large photograph from about 5 to
// over 20 ms.)
template <int K>
void BoxRows(const QImage &image, uchar *outBits, qsizetype outStride, int left, int right, int first, int end) {
  constexpr int kShift = K == 2 ? 2 : 4;  // log2(K * K)
  const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi16(short(1 << (kShift - 1)));
  for (int o = first; o < end; ++o) {
    const uchar *src[K];
    for (int dy = 0; dy < K; ++dy) src[dy] = image.constScanLine(o * K + dy);
    auto *dst = reinterpret_cast<quint32 *>(outBits + o * outStride);
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
  }
}
#endif

// Which image pixels each output pixel covers along one axis, and how much of
// each, in 256ths of the output pixel (summing to 256). Every output pixel
// gets the same number of taps, those it does not cover weighing 0, so that
// the loops over them have one length.
struct AxisTaps {
  int Count = 1;
  std::vector<int> First;        // the first image pixel of each output pixel
  std::vector<quint32> Weights;  // Count weights for each output pixel
};

AxisTaps TapsFor(int inCount, int outCount) {
  AxisTaps taps;
  // In units where an image pixel is outCount wide and an output pixel
  // inCount wide, output pixel o covers [o * inCount, (o + 1) * inCount).
  auto firstOf = [&](int o) { return int(qint64(o) * inCount / outCount); };
  auto lastOf = [&](int o) { return int((qint64(o + 1) * inCount - 1) / outCount); };
  taps.Count = 1;
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
// costs at most one level a channel.
void ReduceRows(const QImage &image, const AxisTaps &rows, const AxisTaps &columns, uchar *outBits,
                qsizetype outStride, int left, int right, int first, int end) {
  const int down = rows.Count, across = columns.Count;
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
  uchar *const outBits = out.bits();
  const qsizetype outStride = out.bytesPerLine();
#if defined(__SSE2__) || defined(_M_X64)
  if (w / 2 == W && h / 2 == H) return BoxRows<2>(image, outBits, outStride, left, right, first, end);
  if (w / 4 == W && h / 4 == H) return BoxRows<4>(image, outBits, outStride, left, right, first, end);
#endif
  ReduceRows(image, TapsFor(h, H), TapsFor(w, W), outBits, outStride, left, right, first, end);
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

bool TReduction::Of(const QImage &picture, QSize size) const {
  return !Reduced_.isNull() && Reduced_.size() == size && Reduced_.format() == picture.format() &&
         Source_ == picture.cacheKey();
}

void TReduction::Clear() {
  Reduced_ = QImage();
  Made_.clear();
  Source_ = 0;
}

bool TReduction::Cover(const QImage &picture, QSize size, const QRect &area) {
  if (picture.isNull() || size.isEmpty() || size.width() > picture.width() || size.height() > picture.height() ||
      size == picture.size())
    return false;
  if (!Of(picture, size)) {
    // Another picture of the same size and format is made in the same
    // memory; anything else gets fresh memory, of which only the pages of
    // the tiles made are touched.
    if (Reduced_.size() != size || Reduced_.format() != picture.format() || !Reduced_.isDetached())
      Reduced_ = QImage(size, picture.format());
    Made_.clear();
    Source_ = picture.cacheKey();
    if (Reduced_.isNull()) return false;
  }
  const int across = (size.width() + kTileColumns - 1) / kTileColumns;
  if (Made_.empty()) Made_.assign(size_t(across) * size_t((size.height() + kTileRows - 1) / kTileRows), false);
  const QRect part = area & QRect(QPoint(0, 0), size);
  if (part.isEmpty()) return true;
  // Band by band, the columns from the first tile not yet made to the last
  // one; bands one after another that lack the same columns are made in one
  // go.
  QRect pending;
  for (int band = part.top() / kTileRows; band <= part.bottom() / kTileRows; ++band) {
    int first = -1, last = -1;
    for (int tile = part.left() / kTileColumns; tile <= part.right() / kTileColumns; ++tile) {
      if (Made_[size_t(band) * size_t(across) + size_t(tile)]) continue;
      Made_[size_t(band) * size_t(across) + size_t(tile)] = true;
      if (first < 0) first = tile;
      last = tile;
    }
    const QRect columns = first < 0 ? QRect() : QRect(first * kTileColumns, 0, (last - first + 1) * kTileColumns, 1);
    const QRect rows = QRect(columns.left(), band * kTileRows, columns.width(), kTileRows) & QRect(QPoint(0, 0), size);
    if (!pending.isEmpty() && (rows.isEmpty() || rows.left() != pending.left() || rows.right() != pending.right())) {
      AreaAverageInto(picture, Reduced_, pending);
      pending = QRect();
    }
    if (!rows.isEmpty()) pending = pending.isEmpty() ? rows : pending | rows;
  }
  if (!pending.isEmpty()) AreaAverageInto(picture, Reduced_, pending);
  return true;
}
