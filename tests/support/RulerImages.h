#pragma once
// Synthetic photographs for the tick finder's tests and benchmark: rulers
// whose tick spacing is known exactly, and textures that hold no ticks,
// each with a scale line over it. Every picture is written as a JPEG at
// quality 75 and read back, as a camera's picture would come. Nothing here
// depends on the test framework.
#include <QImage>
#include <QPointF>
#include <cstdint>

// A small random source that gives the same numbers on every platform.
class TRandom {
public:
  explicit TRandom(std::uint64_t seed) : State(seed) {}
  std::uint64_t Next();
  double Uniform(double lo, double hi);
  double LogUniform(double lo, double hi);
  double Gauss();
  int Below(int n);

private:
  std::uint64_t State;
};

// How a ruler looks and where the scale line lies on it. The ruler runs along
// `AngleDeg` (clockwise on the screen from the x axis); its ticks stand on a
// base line, every fifth one longer and thicker, every tenth more so.
struct TRulerLook {
  double Period = 10;         // tick spacing in pixels
  int Ticks = 50;             // ticks the line crosses
  double AngleDeg = 0;
  double Blur = 0;            // Gaussian sigma in pixels
  double Noise = 3;           // sigma of the grey levels' noise
  double TickWidth = 1.5;     // of the minor ticks, pixels
  double MajorWidth = 1.5;    // the tenth ticks' width over the minor ones'
  double TickLength = 25;     // of the minor ticks, pixels
  double Paper = 220, Ink = 40;  // grey levels
  long FirstTick = 0;         // the tick before the line's start; tick 0 is a tenth tick
  double StartPast = 0.5;     // the line's start, in periods past that tick
  double EndPast = 0.5;       // its end, in periods past the last tick crossed
  double StartUp = 10;        // how far up the ticks, in pixels, the line starts
  double EndUp = 10;          // and ends
};

// A ruler of random looks: spacing 4 to 60 pixels, 15 to 200 ticks under a
// line of at most `maxLineLength` pixels, any direction within 45 degrees of
// an axis, blur up to 1.5, noise, the line's ends between ticks anywhere along
// the ruler and anywhere up the minor ticks.
TRulerLook RandomRulerLook(TRandom &random, double maxLineLength);

struct TScaleCase {
  QImage Picture;
  QPointF A, B;           // the scale line
  double PeriodDots = 0;  // the true tick spacing; 0 where there are no ticks
  double Spacings = 0;    // the tick spacings the line spans
};

// The part of the ruler around the line, as a JPEG-75 photograph; `random`
// gives the shading, tint and noise.
TScaleCase MakeRuler(const TRulerLook &look, TRandom &random);

enum class TTexture { Paper, Leaf, Blobs };
// Plain paper (a smooth gradient with fibres and noise), a leaf (an irregular
// net of veins) or a photograph's texture (fractal noise and blobs), with a
// line of up to `maxLineLength` pixels across it in any direction, a quarter
// of them along the pixel rows or columns, as a JPEG-75 photograph.
TScaleCase MakeTexture(TTexture kind, TRandom &random, double maxLineLength);

// The picture written as a JPEG of the given quality and read back.
QImage JpegRoundTrip(const QImage &picture, int quality = 75);
