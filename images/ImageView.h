#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

// The image view: shows the current image stretched to the view's size. It
// paints only the exposed part, and never builds an enlarged copy of the
// picture (a large photograph at 400 % would take gigabytes):
// - at the picture's own size, straight from the picture;
// - enlarged, every image pixel a crisp block, expanded into a tile no larger
//   than the exposed part;
// - reduced, from a copy of the picture reduced to the view's size by
//   averaging the area each view pixel covers, so that fine detail is
//   filtered rather than aliased. The copy is made a tile at a time, as the
//   tiles are first painted: a new zoom or picture waits only for the part
//   in sight. Only that one reduced copy is kept, and only while the
//   view is smaller than the picture.
// Part of a reduced copy made before the picture is shown: the copy at the
// view's size, of which the tiles inside `Made` are made.
struct TReducedPart {
  QImage Reduced;
  QRect Made;
};

class TImageView : public QWidget {
  Q_OBJECT
public:
  explicit TImageView(QWidget *parent = nullptr);
  // Shows `image`; `prepared`, when made for this picture at the view's
  // present size, saves making those tiles again.
  void SetPicture(const QImage &image, const TReducedPart &prepared = {});
  const QImage &Picture() const { return Picture_; }
  // Makes the tiles of the reduced copy of `image`, shown at `viewSize`,
  // that cover `visible`; nothing when the view is not smaller. Any thread.
  static TReducedPart ReducePart(const QImage &image, QSize viewSize, const QRect &visible);

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  void PaintPart(QPainter &painter, const QRect &target);
  void PaintEnlarged(QPainter &painter, const QRect &target);
  // Makes the tiles of the reduced copy that `target` touches and that are
  // not made yet; false when there is no memory for the copy.
  bool Reduce(const QRect &target);

  static constexpr int kTileRows = 32, kTileColumns = 256;
  QImage Picture_;
  QImage Reduced_;  // Picture_ averaged down to the view's size, when smaller
  std::vector<bool> ReducedTiles_;  // which tiles are made, row by row of tiles
  QImage Tile_;     // reused between paints of enlarged pictures
  // For each image column from the first exposed one, how many view columns
  // show it: enlarged, every image column shows, one after the other.
  std::vector<int> Runs_;
};

// `image` reduced to `size` (no larger in either direction) by averaging,
// for every output pixel, the image area it covers, weighted by how much of
// each image pixel lies inside it.
QImage AreaAveraged(const QImage &image, QSize size);

// The part `area` of what AreaAveraged gives for `out`'s size, written into
// `out`. `image` and `out` must both be Format_RGB32 or both Format_ARGB32,
// and `out` no larger than `image`; otherwise nothing is written.
void AreaAverageInto(const QImage &image, QImage &out, const QRect &area);
