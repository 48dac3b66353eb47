#include "tests/support/RulerImages.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Picture around the scale line's bounding box, in pixels.
constexpr int kMargin = 16;
// Steps of the tables a ruler's ticks are drawn from, in pixels.
constexpr double kTableStep = 1.0 / 16;

// The share of a box `width` wide centred on 0 at x, blurred by a Gaussian.
double BlurredBox(double x, double width, double sigma) {
  const double k = 1 / (sigma * std::sqrt(2.0));
  return 0.5 * (std::erf((x + width / 2) * k) - std::erf((x - width / 2) * k));
}

// Values sampled at `step` from `from` on, read back linearly interpolated.
struct TTable {
  double From = 0;
  std::vector<double> Values;
  double At(double x) const {
    const double t = std::clamp((x - From) / kTableStep, 0.0, double(Values.size()) - 1.001);
    const size_t i = size_t(t);
    return Values[i] + (t - double(i)) * (Values[i + 1] - Values[i]);
  }
};
TTable EmptyTable(double from, double to) {
  TTable t;
  t.From = from;
  t.Values.assign(size_t(std::ceil((to - from) / kTableStep)) + 2, 0.0);
  return t;
}

// Random values on a grid `cell` pixels apart, smoothly interpolated.
class TValueNoise {
public:
  TValueNoise(TRandom &random, int w, int h, double cell)
      : Cell(cell), Columns(int(w / cell) + 3), Values(size_t(Columns) * size_t(int(h / cell) + 3)) {
    for (double &v : Values) v = random.Uniform(-1, 1);
  }
  double At(double x, double y) const {
    const double gx = x / Cell, gy = y / Cell;
    const int ix = int(gx), iy = int(gy);
    const double fx = Smooth(gx - ix), fy = Smooth(gy - iy);
    auto v = [&](int cx, int cy) { return Values[size_t(cy) * size_t(Columns) + size_t(cx)]; };
    const double top = v(ix, iy) + fx * (v(ix + 1, iy) - v(ix, iy));
    const double bottom = v(ix, iy + 1) + fx * (v(ix + 1, iy + 1) - v(ix, iy + 1));
    return top + fy * (bottom - top);
  }

private:
  static double Smooth(double t) { return t * t * (3 - 2 * t); }
  double Cell;
  int Columns;
  std::vector<double> Values;
};

int Byte(double v) { return int(std::clamp(v, 0.0, 255.0) + 0.5); }

// Uneven light over the picture: a plane through its middle tilted by up to
// `tilt` of the level from one side to the other.
struct TShading {
  double Gx, Gy;
  TShading(TRandom &random, double tilt) : Gx(random.Uniform(-tilt, tilt)), Gy(random.Uniform(-tilt, tilt)) {}
  double At(double x, double y, int w, int h) const { return 1 + Gx * (x / w - 0.5) + Gy * (y / h - 0.5); }
};

// A random scale line of `lo` to `hi` pixels in any direction, a quarter of
// them along an axis, and the picture size around it.
struct TLine {
  QPointF A, B;
  int W, H;
};
TLine RandomLine(TRandom &random, double lo, double hi) {
  const double length = random.LogUniform(lo, hi);
  const double angle = random.Below(4) == 0 ? random.Below(4) * kPi / 2 : random.Uniform(0, 2 * kPi);
  const QPointF d(length * std::cos(angle), length * std::sin(angle));
  const QPointF from(kMargin + random.Uniform(0, 1) + std::max(0.0, -d.x()),
                     kMargin + random.Uniform(0, 1) + std::max(0.0, -d.y()));
  return TLine{from, from + d, int(std::ceil(std::abs(d.x()))) + 2 * kMargin + 1,
               int(std::ceil(std::abs(d.y()))) + 2 * kMargin + 1};
}

QImage Paper(TRandom &random, int w, int h) {
  const double level = random.Uniform(150, 235);
  const double fibres = random.Uniform(1, 6), noise = random.Uniform(1, 6);
  const TValueNoise fibre(random, w, h, random.Uniform(2, 10));
  const TShading shading(random, 0.2);
  const double tint[3] = {1, random.Uniform(0.95, 1), random.Uniform(0.85, 1)};
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const double v = level * shading.At(x, y, w, h) + fibres * fibre.At(x, y) + noise * random.Gauss();
      line[x] = qRgb(Byte(v * tint[0]), Byte(v * tint[1]), Byte(v * tint[2]));
    }
  }
  return image;
}

QImage Leaf(TRandom &random, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  const QColor leaf(int(random.Uniform(50, 110)), int(random.Uniform(100, 170)), int(random.Uniform(30, 80)));
  image.fill(leaf);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const double size = std::hypot(w, h);
  auto vein = [&](double lighter) { return leaf.lighter(int(100 + lighter)); };
  auto strokeVein = [&](const QPainterPath &path, double width, double lighter) {
    painter.setPen(QPen(vein(lighter), width, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(path);
  };

  // The midrib: a gently bent curve through the picture.
  const QPointF middle(random.Uniform(0, w), random.Uniform(0, h));
  const double heading = random.Uniform(0, 2 * kPi);
  const QPointF dir(std::cos(heading), std::sin(heading)), side(-dir.y(), dir.x());
  QPainterPath midrib(middle - dir * size);
  midrib.quadTo(middle + side * random.Uniform(-0.2, 0.2) * size, middle + dir * size);
  strokeVein(midrib, random.Uniform(4, 10), random.Uniform(20, 45));

  // Side veins at uneven spacing, branching off at uneven angles and bending.
  const double spacing = random.Uniform(15, 80);
  for (double at = random.Uniform(0, spacing); at < 2 * size; at += spacing * random.Uniform(0.6, 1.4)) {
    const double t = at / (2 * size);
    const QPointF root = midrib.pointAtPercent(t);
    const double base = -midrib.angleAtPercent(t) * kPi / 180;
    for (int s : {-1, 1}) {
      if (random.Below(5) == 0) continue;
      const double angle = base + s * random.Uniform(0.6, 1.15);
      const double length = random.Uniform(0.3, 1.0) * size;
      const QPointF tip = root + QPointF(std::cos(angle), std::sin(angle)) * length;
      const QPointF bend = (root + tip) / 2 + QPointF(-std::sin(angle), std::cos(angle)) * random.Uniform(-0.15, 0.15) * length;
      QPainterPath path(root);
      path.quadTo(bend, tip);
      strokeVein(path, random.Uniform(1, 3), random.Uniform(12, 35));
    }
  }
  // The fine net between them: short veins every which way.
  const int twigs = int(double(w) * h / 500);
  for (int i = 0; i < twigs; ++i) {
    const QPointF from(random.Uniform(0, w), random.Uniform(0, h));
    const double angle = random.Uniform(0, 2 * kPi), length = random.Uniform(5, 25);
    QPainterPath path(from);
    path.lineTo(from + QPointF(std::cos(angle), std::sin(angle)) * length);
    strokeVein(path, random.Uniform(0.7, 1.3), random.Uniform(5, 15));
  }
  painter.end();

  const TShading shading(random, 0.3);
  const double noise = random.Uniform(1, 6);
  for (int y = 0; y < h; ++y) {
    QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const double s = shading.At(x, y, w, h), n = noise * random.Gauss();
      line[x] = qRgb(Byte(qRed(line[x]) * s + n), Byte(qGreen(line[x]) * s + n), Byte(qBlue(line[x]) * s + n));
    }
  }
  return image;
}

QImage Blobs(TRandom &random, int w, int h) {
  // Fractal noise: octaves from 128 pixels down to 4, each weaker.
  std::vector<TValueNoise> octaves;
  std::vector<double> weights;
  const double roughness = random.Uniform(0.4, 0.8);
  for (double cell = 128; cell >= 4; cell /= 2) {
    octaves.emplace_back(random, w, h, cell);
    weights.push_back(std::pow(cell / 128, roughness));
  }
  const double level = random.Uniform(80, 170), depth = random.Uniform(20, 60);
  const double tint[3] = {random.Uniform(0.8, 1.2), random.Uniform(0.8, 1.2), random.Uniform(0.7, 1.1)};
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      double v = 0;
      for (size_t o = 0; o < octaves.size(); ++o) v += weights[o] * octaves[o].At(x, y);
      v = level + depth * v;
      line[x] = qRgb(Byte(v * tint[0]), Byte(v * tint[1]), Byte(v * tint[2]));
    }
  }
  // Blobs of every size, soft-edged, lighter and darker.
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const int blobs = int(double(w) * h / 3000) + 1;
  for (int i = 0; i < blobs; ++i) {
    const QPointF at(random.Uniform(0, w), random.Uniform(0, h));
    const double r = random.LogUniform(2, 40);
    QColor c(int(random.Uniform(20, 235)), int(random.Uniform(20, 235)), int(random.Uniform(20, 235)),
             int(random.Uniform(60, 220)));
    QRadialGradient fill(at, r);
    fill.setColorAt(0, c);
    fill.setColorAt(random.Uniform(0.3, 0.9), c);
    c.setAlpha(0);
    fill.setColorAt(1, c);
    painter.setBrush(fill);
    painter.drawEllipse(at, r * random.Uniform(0.5, 1.5), r * random.Uniform(0.5, 1.5));
  }
  painter.end();
  const double noise = random.Uniform(1, 6);
  for (int y = 0; y < h; ++y) {
    QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const double n = noise * random.Gauss();
      line[x] = qRgb(Byte(qRed(line[x]) + n), Byte(qGreen(line[x]) + n), Byte(qBlue(line[x]) + n));
    }
  }
  return image;
}

}  // namespace

std::uint64_t TRandom::Next() {
  // splitmix64
  std::uint64_t z = (State += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double TRandom::Uniform(double lo, double hi) { return lo + (hi - lo) * double(Next() >> 11) * 0x1.0p-53; }

double TRandom::LogUniform(double lo, double hi) { return std::exp(Uniform(std::log(lo), std::log(hi))); }

double TRandom::Gauss() {
  // The sum of four uniforms from one draw: near enough to a Gaussian for
  // noise on a picture, and far quicker than drawing one exactly.
  const std::uint64_t bits = Next();
  double sum = 0;
  for (int k = 0; k < 4; ++k) sum += double((bits >> (16 * k)) & 0xFFFF);
  return (sum / 65536.0 - 2) * std::sqrt(3.0);
}

int TRandom::Below(int n) { return int(Next() % std::uint64_t(n)); }

TRulerLook RandomRulerLook(TRandom &random, double maxLineLength) {
  TRulerLook look;
  look.Period = random.LogUniform(4, 60);
  const double mostTicks = std::clamp(std::floor(maxLineLength / look.Period) - 1, 15.0, 200.0);
  look.Ticks = int(std::lround(random.LogUniform(15, mostTicks)));
  look.AngleDeg = random.Uniform(-45, 45) + 90 * random.Below(4);
  look.Blur = random.Uniform(0, 1.5);
  look.Noise = random.Uniform(1, 6);
  look.TickWidth = std::max(1.0, look.Period * random.Uniform(0.1, 0.25));
  look.MajorWidth = random.Uniform(1, 2);
  look.TickLength = std::max(12.0, look.Period * random.Uniform(2, 3));
  look.Paper = random.Uniform(170, 240);
  look.Ink = random.Uniform(10, std::min(90.0, look.Paper - 80));
  look.FirstTick = random.Below(1000);
  look.StartPast = random.Uniform(0.2, 0.8);
  look.EndPast = random.Uniform(0.2, 0.8);
  // The strip read across the line stays on the minor ticks.
  look.StartUp = random.Uniform(4, look.TickLength - 4);
  look.EndUp = random.Uniform(4, look.TickLength - 4);
  return look;
}

TScaleCase MakeRuler(const TRulerLook &look, TRandom &random) {
  const double angle = look.AngleDeg * kPi / 180;
  const QPointF along(std::cos(angle), std::sin(angle)), up(std::sin(angle), -std::cos(angle));
  const double p = look.Period;
  const double u0 = (double(look.FirstTick) + look.StartPast) * p;
  const double u1 = (double(look.FirstTick + look.Ticks) + look.EndPast) * p;
  // The ruler's frame is placed so that the line's box has the margin around it.
  const QPointF a0 = along * u0 + up * look.StartUp, b0 = along * u1 + up * look.EndUp;
  const QPointF corner(std::min(a0.x(), b0.x()) - kMargin, std::min(a0.y(), b0.y()) - kMargin);
  const int w = int(std::ceil(std::abs(b0.x() - a0.x()))) + 2 * kMargin + 1;
  const int h = int(std::ceil(std::abs(b0.y() - a0.y()))) + 2 * kMargin + 1;

  // The ruler coordinates the picture covers.
  double uLo = 1e300, uHi = -1e300, vLo = 1e300, vHi = -1e300;
  for (QPointF c : {QPointF(0, 0), QPointF(w, 0), QPointF(0, h), QPointF(w, h)}) {
    const QPointF r = c + corner;
    const double u = QPointF::dotProduct(r, along), v = QPointF::dotProduct(r, up);
    uLo = std::min(uLo, u), uHi = std::max(uHi, u), vLo = std::min(vLo, v), vHi = std::max(vHi, v);
  }

  // Each kind of tick (minor, fifth, tenth) is a box in u times a box in v;
  // a pixel's square is taken as a blur of variance 1/12.
  const double sigma = std::sqrt(look.Blur * look.Blur + 1.0 / 12);
  const double widths[3] = {look.TickWidth, look.TickWidth * (1 + look.MajorWidth) / 2,
                            look.TickWidth * look.MajorWidth};
  const double lengths[3] = {look.TickLength, look.TickLength * 1.5, look.TickLength * 2};
  TTable across[3], feet[3];
  const double reach = widths[2] / 2 + 6 * sigma;
  for (int kind = 0; kind < 3; ++kind) {
    feet[kind] = EmptyTable(uLo, uHi);
    across[kind] = EmptyTable(vLo, vHi);
    for (size_t i = 0; i < across[kind].Values.size(); ++i) {
      const double v = vLo + double(i) * kTableStep;
      across[kind].Values[i] = BlurredBox(v - lengths[kind] / 2, lengths[kind], sigma);
    }
  }
  for (long k = long(std::floor((uLo - reach) / p)); k <= long(std::ceil((uHi + reach) / p)); ++k) {
    const int kind = k % 10 == 0 ? 2 : k % 5 == 0 ? 1 : 0;
    TTable &t = feet[kind];
    const long from = std::max(0L, long(std::floor((double(k) * p - reach - uLo) / kTableStep)));
    const long to = std::min(long(t.Values.size()) - 1, long(std::ceil((double(k) * p + reach - uLo) / kTableStep)));
    for (long i = from; i <= to; ++i)
      t.Values[size_t(i)] += BlurredBox(uLo + double(i) * kTableStep - double(k) * p, widths[kind], sigma);
  }
  TTable base = EmptyTable(vLo, vHi);
  for (size_t i = 0; i < base.Values.size(); ++i)
    base.Values[i] = BlurredBox(vLo + double(i) * kTableStep + look.TickWidth / 2, look.TickWidth, sigma);

  const TShading shading(random, 0.2);
  const double tint[3] = {1, random.Uniform(0.92, 1), random.Uniform(0.8, 1)};
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const QPointF r = QPointF(x + 0.5, y + 0.5) + corner;
      const double u = QPointF::dotProduct(r, along), v = QPointF::dotProduct(r, up);
      double ink = base.At(v);
      for (int kind = 0; kind < 3; ++kind) {
        const double foot = feet[kind].At(u);
        if (foot != 0) ink += foot * across[kind].At(v);
      }
      const double level = (look.Paper - (look.Paper - look.Ink) * std::min(ink, 1.0)) * shading.At(x, y, w, h) +
                           look.Noise * random.Gauss();
      line[x] = qRgb(Byte(level * tint[0]), Byte(level * tint[1]), Byte(level * tint[2]));
    }
  }
  TScaleCase out;
  out.Picture = JpegRoundTrip(image);
  out.A = a0 - corner;
  out.B = b0 - corner;
  out.PeriodDots = p;
  out.Spacings = (u1 - u0) / p;
  return out;
}

TScaleCase MakeTexture(TTexture kind, TRandom &random, double maxLineLength) {
  const TLine line = RandomLine(random, 60, maxLineLength);
  QImage image = kind == TTexture::Paper  ? Paper(random, line.W, line.H)
                 : kind == TTexture::Leaf ? Leaf(random, line.W, line.H)
                                          : Blobs(random, line.W, line.H);
  TScaleCase out;
  out.Picture = JpegRoundTrip(image);
  out.A = line.A;
  out.B = line.B;
  return out;
}

QImage JpegRoundTrip(const QImage &picture, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "JPG", quality);
  return QImage::fromData(bytes, "JPG");
}
