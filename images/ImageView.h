#pragma once

#include <QImage>
#include <QWidget>
#include <vector>

#include "images/Reduction.h"

// The image view: shows the current image stretched to the view's size. It
// paints only the exposed part, and never builds an enlarged copy of the
// picture (a large photograph at 400 % would take gigabytes):
// - at the picture's own size, straight from the picture;
// - enlarged, every image pixel a crisp block, expanded into a tile no larger
//   than the exposed part;
// - reduced, from the picture's reduced copy at the view's size, of which
//   the tiles are made as they are first painted. Only that one copy is
//   kept, and only while the view is smaller than the picture.
class TImageView : public QWidget {
  Q_OBJECT
public:
  explicit TImageView(QWidget *parent = nullptr);
  // Shows `image`; `prepared`, when it is the reduced copy of this picture at
  // the view's present size, is gone on with rather than made again.
  void SetPicture(const QImage &image, TReduction prepared = {});
  const QImage &Picture() const { return Picture_; }

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  void PaintPart(QPainter &painter, const QRect &target);
  void PaintEnlarged(QPainter &painter, const QRect &target);

  QImage Picture_;
  TReduction Reduced_;  // Picture_ averaged down to the view's size, when smaller
  QImage Tile_;         // reused between paints of enlarged pictures
  // For each image column from the first exposed one, how many view columns
  // show it: enlarged, every image column shows, one after the other.
  std::vector<int> Runs_;
};
