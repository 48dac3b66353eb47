// The tick finder: how closely it finds the spacing of synthetic rulers, how
// often it finds ticks on textures that hold none, and how long one line of
// 4,000 pixels takes.
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench/BenchSupport.h"
#include "measuring/TickFinder.h"
#include "tests/support/RulerImages.h"

using namespace bench;

namespace {

// The same kind of rulers and textures as the tests', from seeds of their own.
constexpr double kLongestLine = 1600;
constexpr int kCases = 200;

// The 95th percentile of the error, in per cent of the spacing, over rulers
// of random looks; a ruler whose ticks are not found counts as 100 %.
void AccuracyBench() {
  TRandom random(101);
  std::vector<double> errors;
  for (int i = 0; i < kCases; ++i) {
    const TScaleCase ruler = MakeRuler(RandomRulerLook(random, kLongestLine), random);
    const TTickSpacing found = FindTicks(ruler.Picture, ruler.A, ruler.B);
    errors.push_back(found.Found ? 100 * std::abs(found.PeriodDots - ruler.PeriodDots) / ruler.PeriodDots : 100);
  }
  std::sort(errors.begin(), errors.end());
  Print("tick_period_error_pct_p95", errors[size_t(std::ceil(0.95 * kCases)) - 1]);
}

void FalseFoundBench() {
  TRandom random(102);
  int found = 0;
  for (int i = 0; i < kCases; ++i) {
    const TScaleCase texture = MakeTexture(TTexture(i % 3), random, kLongestLine);
    found += FindTicks(texture.Picture, texture.A, texture.B).Found;
  }
  Print("tick_false_found_pct", 100.0 * found / kCases);
}

// A millimetre ruler at 10 pixels a millimetre, 20 degrees off the rows, and
// a line of exactly 4,000 pixels along it.
void TimeBench() {
  TRulerLook look;
  look.Period = 10;
  look.Ticks = 400;
  look.AngleDeg = 20;
  look.Blur = 0.8;
  look.Noise = 3;
  look.TickLength = 25;
  look.StartUp = look.EndUp = 12;
  TRandom random(103);
  const TScaleCase ruler = MakeRuler(look, random);
  if (!FindTicks(ruler.Picture, ruler.A, ruler.B).Found) std::printf("tick_find: no ticks on the ruler\n");
  std::vector<double> ms;
  for (int i = 0; i < 40; ++i) {
    QElapsedTimer t;
    t.start();
    const TTickSpacing found = FindTicks(ruler.Picture, ruler.A, ruler.B);
    ms.push_back(double(t.nsecsElapsed()) / 1e6);
    if (!found.Found) std::printf("tick_find: ticks lost\n");
  }
  Print("tick_find_ms_4000", Mean(ms));
  Print("tick_find_max_ms_4000", Max(ms));
}

void TickBench(const QString &) {
  AccuracyBench();
  FalseFoundBench();
  TimeBench();
}

Section ticks("ticks", TickBench);

}  // namespace
