#include <gtest/gtest.h>

#include <QPainter>
#include <QString>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include "measuring/TickFinder.h"
#include "tests/support/RulerImages.h"

namespace {

// Lines up to this long keep the pictures, and so the test, small.
constexpr double kLongestLine = 1600;
constexpr int kCases = 200;

double ErrorPct(const TTickSpacing &found, double truth) { return 100 * std::abs(found.PeriodDots - truth) / truth; }

QString Describe(const TRulerLook &look) {
  return QStringLiteral("spacing %1, %2 ticks, %3 deg, blur %4, noise %5, width %6 x%7")
      .arg(look.Period)
      .arg(look.Ticks)
      .arg(look.AngleDeg)
      .arg(look.Blur)
      .arg(look.Noise)
      .arg(look.TickWidth)
      .arg(look.MajorWidth);
}

// A plain ruler: spacing 10 pixels, 40 ticks under the line, square to the
// picture, a little blur and noise.
TRulerLook PlainRuler() {
  TRulerLook look;
  look.Period = 10;
  look.Ticks = 40;
  look.Blur = 0.7;
  look.Noise = 2;
  look.TickWidth = 1.5;
  look.TickLength = 25;
  look.StartUp = look.EndUp = 12;
  return look;
}

}  // namespace

// Rulers of every look, photographed and saved as JPEG: the minor ticks'
// spacing within 0.1 % in 95 % of them and within 0.5 % in all, with the
// spacings the line spans and an uncertainty that covers the error.
TEST(TickFinder, SyntheticRulers) {
  TRandom random(1);
  int withinTenth = 0, covered = 0;
  double worst = 0;
  for (int i = 0; i < kCases; ++i) {
    const TRulerLook look = RandomRulerLook(random, kLongestLine);
    const TScaleCase ruler = MakeRuler(look, random);
    const TTickSpacing found = FindTicks(ruler.Picture, ruler.A, ruler.B);
    ASSERT_TRUE(found.Found) << i << ": " << qPrintable(Describe(look));
    const double error = ErrorPct(found, ruler.PeriodDots);
    EXPECT_LE(error, 0.5) << i << ": " << qPrintable(Describe(look));
    EXPECT_NEAR(found.TickCount, ruler.Spacings, 0.5 + 0.005 * ruler.Spacings) << i;
    withinTenth += error <= 0.1;
    covered += std::abs(found.PeriodDots - ruler.PeriodDots) <= 3 * found.UncertaintyDots;
    worst = std::max(worst, error);
  }
  EXPECT_GE(withinTenth, kCases * 95 / 100) << "worst " << worst << " %";
  EXPECT_GE(covered, kCases * 90 / 100);
}

// Plain paper, leaves and photographs' textures, JPEG too: ticks on no more
// than one line in a hundred.
TEST(TickFinder, TexturesHoldNoTicks) {
  TRandom random(2);
  int found = 0;
  for (int i = 0; i < kCases; ++i) {
    const TScaleCase texture = MakeTexture(TTexture(i % 3), random, kLongestLine);
    found += FindTicks(texture.Picture, texture.A, texture.B).Found;
  }
  EXPECT_LE(found, kCases / 100);
}

// The spacing reported is the minor ticks', not a multiple of it nor a
// fraction: where narrow or wide ticks make the spectrum's second harmonic
// strong, where blur leaves the fifth and tenth ticks the stronger pattern,
// and where all ticks look alike.
TEST(TickFinder, MinorSpacingNotMultipleOrFraction) {
  struct Case {
    const char *Name;
    double Period, Width, Major, Blur;
    int Ticks;
    double Angle, Length, StartUp, EndUp, StartPast, EndPast;
  };
  const Case cases[] = {
      {"narrow ticks far apart", 50, 2, 1.5, 0.3, 20, 17, 125, 60, 60, 0.5, 0.5},
      {"wide ticks, the line climbing them", 16.84, 3.9, 1.23, 1.05, 31, 207.6, 50, 37, 11.6, 0.71, 0.31},
      {"blurred, thick tenth ticks", 4.3, 1, 2, 1.4, 120, 17, 12, 6, 6, 0.3, 0.6},
      {"blurred, thick tenth ticks, short", 5, 1, 2, 1.2, 30, 17, 12.5, 6, 6, 0.5, 0.5},
      {"all ticks alike", 12, 2, 1, 0.5, 30, 17, 30, 15, 15, 0.5, 0.5},
  };
  TRandom random(3);
  for (const Case &c : cases) {
    TRulerLook look = PlainRuler();
    look.Period = c.Period;
    look.TickWidth = c.Width;
    look.MajorWidth = c.Major;
    look.Blur = c.Blur;
    look.Ticks = c.Ticks;
    look.AngleDeg = c.Angle;
    look.TickLength = c.Length;
    look.StartUp = c.StartUp;
    look.EndUp = c.EndUp;
    look.StartPast = c.StartPast;
    look.EndPast = c.EndPast;
    const TScaleCase ruler = MakeRuler(look, random);
    const TTickSpacing found = FindTicks(ruler.Picture, ruler.A, ruler.B);
    ASSERT_TRUE(found.Found) << c.Name;
    EXPECT_LE(ErrorPct(found, c.Period), 0.1) << c.Name << ": " << found.PeriodDots;
  }
}

// Lines that hold too few periods, none at all, or lie outside the picture
// find nothing and read nothing outside it; a line running off the picture
// is read where it lies on it, and either direction gives the same spacing.
TEST(TickFinder, LinesOfEveryKind) {
  TRandom random(4);
  const TScaleCase ruler = MakeRuler(PlainRuler(), random);
  const QPointF a = ruler.A, b = ruler.B, along = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char *Name;
    QPointF From, To;
    bool Found;
  };
  const Case cases[] = {
      {"the whole line", a, b, true},
      {"backwards", b, a, true},
      {"running off the picture", a, b + along * 5000, true},
      {"from far outside into the picture", a - along * 1e6, b, true},
      {"from further than any count", a - along * 1e12, b, true},
      {"three periods", a, a + along * 30, false},
      {"no length", a, a, false},
      {"left of the picture", QPointF(-900, 10), QPointF(-100, 10), false},
      {"far away", QPointF(1e7, 1e7), QPointF(1e7 + 400, 1e7), false},
      {"not a number", QPointF(nan, 5), b, false},
      {"infinite", a, QPointF(inf, 5), false},
  };
  for (const Case &c : cases) {
    const TTickSpacing found = FindTicks(ruler.Picture, c.From, c.To);
    ASSERT_EQ(found.Found, c.Found) << c.Name;
    EXPECT_GE(found.TickCount, 0) << c.Name;
    if (c.Found) {
      EXPECT_LE(ErrorPct(found, ruler.PeriodDots), 0.1) << c.Name;
    }
  }
  EXPECT_FALSE(FindTicks(QImage(), a, b).Found);
  EXPECT_FALSE(FindTicks(ruler.Picture.copy(0, 0, 5, 5), QPointF(0, 2), QPointF(5, 2)).Found);
}

// Flaws on the ruler under part of the line: the ticks they hide are left
// out and the rest give the spacing.
TEST(TickFinder, FlawsOnTheRuler) {
  TRandom random(7);
  const TScaleCase ruler = MakeRuler(PlainRuler(), random);
  const QPointF a = ruler.A, b = ruler.B;
  auto at = [&](double t) { return a + (b - a) * t; };
  struct Case {
    const char *Name;
    std::function<void(QPainter &)> Draw;
  };
  const Case cases[] = {
      {"a blot over two ticks", [&](QPainter &p) { p.setBrush(QColor(40, 40, 40)); p.drawEllipse(at(0.3), 9, 9); }},
      {"the ruler ending before the line",
       [&](QPainter &p) { p.fillRect(QRectF(at(0.88).x(), 0, 1e4, 1e4), QColor(220, 220, 220)); }},
      {"a glare", [&](QPainter &p) { p.setBrush(QColor(255, 255, 255)); p.drawEllipse(at(0.6), 14, 7); }},
  };
  for (const Case &c : cases) {
    QImage picture = ruler.Picture;
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    c.Draw(painter);
    painter.end();
    const TTickSpacing found = FindTicks(picture, a, b);
    ASSERT_TRUE(found.Found) << c.Name;
    EXPECT_LE(ErrorPct(found, ruler.PeriodDots), 0.1) << c.Name << ": " << found.PeriodDots;
  }
}

// Every format a picture may come in is read as the same grey levels.
TEST(TickFinder, PictureFormats) {
  TRandom random(5);
  const TScaleCase ruler = MakeRuler(PlainRuler(), random);
  const QImage::Format formats[] = {QImage::Format_RGB32,      QImage::Format_ARGB32,
                                    QImage::Format_ARGB32_Premultiplied, QImage::Format_Grayscale8,
                                    QImage::Format_RGB888,     QImage::Format_Grayscale16,
                                    QImage::Format_Indexed8};
  for (QImage::Format format : formats) {
    const TTickSpacing found = FindTicks(ruler.Picture.convertToFormat(format), ruler.A, ruler.B);
    ASSERT_TRUE(found.Found) << format;
    EXPECT_LE(ErrorPct(found, ruler.PeriodDots), 0.1) << format;
  }
}

// Several threads reading one picture at once find what one thread does.
TEST(TickFinder, ThreadsShareAPicture) {
  TRandom random(6);
  const TScaleCase ruler = MakeRuler(PlainRuler(), random);
  const TTickSpacing alone = FindTicks(ruler.Picture, ruler.A, ruler.B);
  std::vector<TTickSpacing> found(4);
  std::vector<std::thread> threads;
  for (TTickSpacing &f : found) threads.emplace_back([&] { f = FindTicks(ruler.Picture, ruler.A, ruler.B); });
  for (std::thread &t : threads) t.join();
  for (const TTickSpacing &f : found) {
    EXPECT_TRUE(f.Found);
    EXPECT_EQ(f.PeriodDots, alone.PeriodDots);
  }
}
