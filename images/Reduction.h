#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <vector>

// Shrinking a picture for a zoom below 100 %: every pixel of the smaller copy
// is the average of the picture area it covers, weighted by how much of each
// picture pixel lies inside it, so that fine detail is filtered rather than
// aliased. Plain logic on 32-bit pixels, callable from any thread.

// A reduced copy of one picture at one size, made a tile at a time as parts
// of it are wanted: a zoom or picture change waits only for the part in
// sight. The worker that reads a picture ahead makes the part in sight, and
// the view goes on with the same copy for the rest.
class TReduction {
public:
  // Makes the tiles of the copy of `picture` at `size` that cover `area` and
  // are not made yet. A copy of another picture, size or format starts
  // again (in the same memory where it fits). False when `size` is no
  // smaller than the picture, or there is no memory for the copy.
  bool Cover(const QImage &picture, QSize size, const QRect &area);
  // The copy, of which the covered tiles are made.
  const QImage &Image() const { return Reduced_; }
  // Whether this is a copy of `picture` at `size`.
  bool Of(const QImage &picture, QSize size) const;
  void Clear();

private:
  static constexpr int kTileRows = 32, kTileColumns = 256;
  QImage Reduced_;
  qint64 Source_ = 0;       // the picture's cache key
  std::vector<bool> Made_;  // which tiles are made, row by row of tiles
};

// `image` reduced to `size` (no larger in either direction) by averaging.
QImage AreaAveraged(const QImage &image, QSize size);

// The part `area` of what AreaAveraged gives for `out`'s size, written into
// `out`. `image` and `out` must both be Format_RGB32 or both Format_ARGB32,
// and `out` no larger than `image`; otherwise nothing is written.
void AreaAverageInto(const QImage &image, QImage &out, const QRect &area);
