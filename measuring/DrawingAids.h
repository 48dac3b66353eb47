#pragma once

#include <QImage>
#include <QLabel>
#include <QLineF>
#include <QPointF>
#include <QRect>
#include <QWidget>
#include <vector>

// Aids shown beside the pointer while a figure is drawn. Both are widgets of
// their own over the image view, never pixels of the overlay, and both let
// every pointer event through to what lies beneath.

// The value the figure being drawn would give on OK, as the results table
// will hold it, with its unit. Accessibility tools read the value as the
// label's name (a change of value is a change of name) and what it is as
// its description.
class TValueLabel : public QLabel {
  Q_OBJECT
public:
  explicit TValueLabel(QWidget *parent);
  void ShowValue(const QString &text);
};

// The picture around the pointer, enlarged four times over the view's zoom
// with whole pixels (nearest neighbour), a cross on the picture pixel under
// the pointer and the figure being drawn.
class TLoupe : public QWidget {
  Q_OBJECT
public:
  static constexpr int kSide = 160;
  static constexpr double kMagnification = 4.0;

  explicit TLoupe(QWidget *parent);
  // `centre` and the figure's lines in picture coordinates (pixel (x, y)
  // spans x to x + 1); `zoom` the view's.
  void ShowAround(const QImage &picture, QPointF centre, double zoom, const std::vector<QLineF> &figure);

  // Where the picture point `p` lands in the loupe.
  QPointF ToLoupe(QPointF p) const;

protected:
  void paintEvent(QPaintEvent *event) override;
  // A hidden loupe holds no picture: the one it showed may then be freed, or
  // lend its memory to the next picture read.
  void hideEvent(QHideEvent *event) override;

private:
  QImage Picture_;
  QPoint Pixel_;      // the picture pixel under the pointer
  double Scale_ = 4;  // loupe pixels per picture pixel
  std::vector<QLineF> Figure_;
};

// Where an aid of `size` goes beside `pointer` inside `area` so that it
// covers neither the pointer, nor `start` (the figure's first point), nor
// `avoid` (another aid), nor any of the figure's `lines`: below right of the
// pointer where that is free, else in the first free of the other three
// corners around it.
QPoint AidPosition(QPoint pointer, QPoint start, QSize size, const QRect &area, const QRect &avoid = QRect(),
                   const std::vector<QLineF> &lines = {});

// Whether an aid at `place` is still right beside `pointer`: clear of the
// pointer, `start`, `avoid` and `lines`, inside `area`, and no farther
// from the pointer than an aid placed afresh would be.
bool AidStillBeside(const QRect &place, QPoint pointer, QPoint start, const QRect &area, const QRect &avoid,
                    const std::vector<QLineF> &lines);
