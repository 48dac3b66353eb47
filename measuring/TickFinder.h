#pragma once
// Finding the evenly spaced ticks of a ruler, a counting grid or the like
// along a scale line, so that the scale can be taken from the tick period,
// known to a small fraction of a pixel, rather than from the line's two
// hand-placed ends. Plain logic on a picture: no widgets, no shared state,
// callable from any thread.
#include <QImage>
#include <QPointF>

struct TTickSpacing {
  bool Found = false;
  // The spacing of neighbouring ticks in image pixels, measured square to
  // the ticks: a line that runs slightly askew across them gives the same
  // spacing as one that runs straight.
  double PeriodDots = 0;
  // The standard error of PeriodDots, in image pixels, from the scatter of
  // the single ticks about their evenly spaced positions.
  double UncertaintyDots = 0;
  // The number of tick spacings the line spans: its length over the spacing
  // of the ticks along it, rounded.
  int TickCount = 0;
};

// Looks for evenly spaced ticks along the line from `a` to `b` (image pixel
// coordinates: pixel (x, y) spans x..x+1) of `picture`, in any of QImage's
// formats. The part of the line inside the picture is read, in a strip seven
// pixels wide. Ticks are found when at least six periods of at least 2.5
// pixels lie along it, a tick stands in nearly every period, their positions
// keep step and they make up most of what varies along the line. Where
// every fifth or tenth tick is longer or thicker, the spacing of all the
// ticks is reported, not theirs. Plain paper, a leaf or a photograph's texture give Found false,
// as do a null picture, a line of no length or not finite, and one outside
// the picture.
TTickSpacing FindTicks(const QImage &picture, QPointF a, QPointF b);
