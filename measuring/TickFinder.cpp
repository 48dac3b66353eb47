#include "measuring/TickFinder.h"

#include <QLineF>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

// The way to the spacing:
//  1. the grey levels along the line, every half pixel, averaged over a strip
//     seven pixels wide across it (bilinear between pixel centres): the
//     profile;
//  2. candidate spacings from the peaks of the profile's autocorrelation and
//     of its power spectrum, each sharpened on the spectrum;
//  3. for a candidate, shortest first, the position of every single tick
//     from the phase of the profile over its own period window, and the
//     spacing as the slope of a straight line through the positions, fitted
//     again after leaving out the ticks that do not keep step; the first
//     candidate whose ticks stand in nearly every window, keep step and make
//     up most of the profile is taken. Trying the shortest first takes the
//     minor ticks' spacing rather than that of the fifth or tenth ticks; a
//     fraction of the spacing has windows without a tick and fails;
//  4. the tilt of the ticks against the line, from how far each row of the
//     strip is shifted against the profile, turning the spacing along the
//     line into the spacing square to the ticks.

namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
// Samples along the line are this far apart, in image pixels.
constexpr double kStep = 0.5;
// The strip across the line: this many rows on each side, one pixel apart.
constexpr int kHalfStrip = 3;
constexpr int kRows = 2 * kHalfStrip + 1;
// Spacings looked for: from kMinPeriod pixels to the line's length over
// kMinPeriods. Fewer periods than that line up evenly by chance too often on
// a leaf's veins or a photograph's texture.
constexpr double kMinPeriod = 2.5;
constexpr double kMinPeriods = 6;
// Autocorrelation peaks tried: those standing at least this share as high
// above the trough before them as the highest, at most this many.
constexpr double kCandidateShare = 0.15;
constexpr size_t kMostCandidates = 8;
// The power spectrum's highest peaks are tried too: where blur has washed
// out the minor ticks and the line holds few fifth ticks, the minor ticks'
// spacing still gives the spectrum's strongest line, since every tick adds
// to it in step, while the autocorrelation shows no peak there.
constexpr size_t kSpectralCandidates = 3;
// A candidate's frequency is looked for on the spectrum within this share
// of it.
constexpr double kSpectrumReach = 0.1;
// Rounds of measuring every tick and fitting the line through them.
constexpr int kRounds = 3;
// A period window whose fundamental is weaker than this share of the
// upper quartile's holds no tick (a gap in the ruler, the line's end off
// it, the empty half of a wrong train). The quartile is a minor tick's
// strength as long as at most a quarter of the ticks are stronger ones.
constexpr double kWeakTick = 0.25;
// Ticks further from the fitted line than four times the ticks' robust
// scatter, or this share of the period where that is more, are left out.
// (Where noise is slight the scatter is tiny, while the ticks beside a
// thicker fifth or tenth tick lean towards it by a few hundredths of a
// pixel, evenly on both sides.)
constexpr double kOutlierFloor = 0.05;
// What it takes to report ticks: this share of the windows along the line
// holding a tick in step, and the ticks scattering about the evenly spaced
// line by no more than kMaxJitter of the period plus kJitterDots. Random
// positions scatter by 0.29 of the period; printed ticks by a small share of
// it, and by a tenth of a pixel or so where blur and noise blunt them.
constexpr double kMinTickShare = 0.8;
constexpr double kMaxJitter = 0.02;
constexpr double kJitterDots = 0.2;
// And the profile folded over one period accounting for at least
// kMinPeriodicShare of its variance, plus kShareOfFewPeriods over the number
// of windows: noise alone accounts for a share that grows as the periods
// along the line get fewer. Printed ticks reach 0.85 and more, textures 0.6
// at most, and that over five to seven periods.
constexpr double kMinPeriodicShare = 0.6;
constexpr double kShareOfFewPeriods = 1.0;
// A candidate whose first round leaves fewer ticks in step than this share,
// or scatters by more than this share of the period, is given up at once.
constexpr double kHopelessShare = 0.5;
constexpr double kHopelessJitter = 0.2;

double Grey(QRgb c) { return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c); }

// The grey levels of a picture, read in the picture's own format: the usual
// ones straight from memory, every other one through QImage::pixel.
class TGreyPicture {
public:
  explicit TGreyPicture(const QImage &picture)
      : Picture(picture), Format(picture.format()), Bits(picture.constBits()),
        BytesPerLine(picture.bytesPerLine()), Width(picture.width()), Height(picture.height()) {}

  double Pixel(int x, int y) const {
    const uchar *line = Bits + qsizetype(y) * BytesPerLine;
    switch (Format) {
      case QImage::Format_Grayscale8:
        return line[x];
      case QImage::Format_RGB32:
      case QImage::Format_ARGB32:
      case QImage::Format_ARGB32_Premultiplied:
        return Grey(reinterpret_cast<const QRgb *>(line)[x]);
      default:
        return Grey(Picture.pixel(x, y));
    }
  }

  // Bilinear between pixel centres; pixel (x, y) spans x..x+1.
  double At(QPointF p) const {
    const double fx = p.x() - 0.5, fy = p.y() - 0.5;
    const int x0 = std::clamp(int(std::floor(fx)), 0, Width - 1);
    const int y0 = std::clamp(int(std::floor(fy)), 0, Height - 1);
    const int x1 = std::min(x0 + 1, Width - 1), y1 = std::min(y0 + 1, Height - 1);
    const double tx = std::clamp(fx - x0, 0.0, 1.0), ty = std::clamp(fy - y0, 0.0, 1.0);
    const double top = Pixel(x0, y0) + tx * (Pixel(x1, y0) - Pixel(x0, y0));
    const double bottom = Pixel(x0, y1) + tx * (Pixel(x1, y1) - Pixel(x0, y1));
    return top + ty * (bottom - top);
  }

private:
  const QImage &Picture;
  QImage::Format Format;
  const uchar *Bits;
  qsizetype BytesPerLine;
  int Width, Height;
};

// The part [t0, t1] of the segment a + t (b - a), 0 <= t <= 1, inside `r`
// (Liang-Barsky); nothing when no part of it is.
std::optional<std::pair<double, double>> ClipToRect(QPointF a, QPointF b, const QRectF &r) {
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  double t0 = 0, t1 = 1;
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return std::nullopt;
      continue;
    }
    const double t = q[k] / p[k];
    if (p[k] < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
  }
  if (!(t0 < t1)) return std::nullopt;
  return std::make_pair(t0, t1);
}

// Complex product written out, without the library's care for infinities,
// which costs a call per product.
Complex Times(Complex a, Complex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// In-place radix-2 FFT; the size must be a power of two. The inverse is not
// divided by the size.
void Fft(std::vector<Complex> &a, bool inverse) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  std::vector<Complex> twiddle(n / 2);
  for (size_t len = 2; len <= n; len <<= 1) {
    const double angle = (inverse ? 2 : -2) * kPi / double(len);
    const size_t half = len / 2;
    for (size_t k = 0; k < half; ++k) twiddle[k] = std::polar(1.0, angle * double(k));
    for (size_t i = 0; i < n; i += len) {
      for (size_t k = 0; k < half; ++k) {
        const Complex u = a[i + k], v = Times(a[i + k + half], twiddle[k]);
        a[i + k] = u + v;
        a[i + k + half] = u - v;
      }
    }
  }
}

// A Hann taper over n samples.
std::vector<double> Hann(size_t n) {
  std::vector<double> w(n);
  for (size_t i = 0; i < n; ++i) {
    const double s = std::sin(kPi * (double(i) + 0.5) / double(n));
    w[i] = s * s;
  }
  return w;
}

// The mean of the profile over `width` samples about each sample; each
// sample stands for the cell half a step either side of it, so windows of
// any real width are exact. Near the ends the window is moved inside the
// profile rather than cut short, so that a window one period wide always
// holds one whole period and the ticks themselves never leak into the trend.
std::vector<double> MovingAverage(const std::vector<double> &p, double width) {
  const size_t n = p.size();
  std::vector<double> sum(n + 1, 0.0);
  for (size_t i = 0; i < n; ++i) sum[i + 1] = sum[i] + p[i];
  const double first = -0.5, last = double(n) - 0.5;
  width = std::min(width, last - first);
  // The integral of the profile from `first` to x.
  auto integral = [&](double x) {
    const size_t k = std::min(size_t(std::max(0.0, std::floor(x + 0.5))), n - 1);
    return sum[k] + (x + 0.5 - double(k)) * p[k];
  };
  std::vector<double> out(n);
  for (size_t i = 0; i < n; ++i) {
    const double lo = std::clamp(double(i) - width / 2, first, last - width);
    out[i] = (integral(lo + width) - integral(lo)) / width;
  }
  return out;
}

// The power spectrum and autocorrelation of the tapered profile (with its
// slow changes taken off), zero-padded to twice its length.
class TSpectrum {
public:
  explicit TSpectrum(const std::vector<double> &d) {
    const size_t n = d.size();
    Size = 1;
    while (Size < 2 * n) Size <<= 1;
    const std::vector<double> taper = Hann(n);
    std::vector<Complex> x(Size);
    for (size_t i = 0; i < n; ++i) x[i] = d[i] * taper[i];
    Fft(x, false);
    Power.resize(Size / 2 + 1);
    for (size_t k = 0; k < Power.size(); ++k) Power[k] = std::norm(x[k]);
    for (Complex &c : x) c = std::norm(c);
    Fft(x, true);
    Autocorrelation.resize(n);
    for (size_t j = 0; j < n; ++j) Autocorrelation[j] = x[j].real();
  }

  // Candidate lags in samples up to `maxLag`, shortest first: the
  // autocorrelation's peaks that stand at least kCandidateShare as high above
  // the trough before them as the highest, and the kSpectralCandidates
  // highest peaks of the power spectrum, all sharpened on the spectrum.
  std::vector<double> CandidateLags(double maxLag) const {
    const std::vector<double> &r = Autocorrelation;
    const size_t lo = size_t(std::ceil(kMinPeriod / kStep));
    const size_t hi = std::min(size_t(maxLag), r.size() - 2);
    if (!(r[0] > 0) || hi < lo) return {};
    std::vector<std::pair<size_t, double>> peaks;
    double trough = r[1];
    for (size_t j = 2; j <= hi; ++j) {
      trough = std::min(trough, r[j]);
      if (j >= lo && r[j] > r[j - 1] && r[j] >= r[j + 1]) peaks.emplace_back(j, r[j] - trough);
    }
    double highest = 0;
    for (const auto &peak : peaks) highest = std::max(highest, peak.second);
    std::vector<double> lags;
    for (const auto &[j, height] : peaks)
      if (height >= kCandidateShare * highest && lags.size() < kMostCandidates) lags.push_back(Sharpened(double(j)));

    std::vector<std::pair<double, size_t>> lines;
    const size_t from = std::max<size_t>(2, size_t(std::ceil(double(Size) / double(hi))));
    const size_t to = std::min(Power.size() - 2, size_t(double(Size) / double(lo)));
    for (size_t k = from; k <= to; ++k)
      if (Power[k] > Power[k - 1] && Power[k] >= Power[k + 1]) lines.emplace_back(Power[k], k);
    const size_t strongest = std::min(lines.size(), kSpectralCandidates);
    std::partial_sort(lines.begin(), lines.begin() + std::ptrdiff_t(strongest), lines.end(), std::greater<>());
    for (size_t l = 0; l < strongest; ++l) lags.push_back(Sharpened(double(Size) / double(lines[l].second)));

    // Shortest first, each once.
    std::sort(lags.begin(), lags.end());
    std::vector<double> distinct;
    for (double lag : lags)
      if (distinct.empty() || lag > distinct.back() * 1.01) distinct.push_back(lag);
    return distinct;
  }

  // The lag of the power spectrum's peak within kSpectrumReach of the
  // frequency of `lag`, by a parabola through the log powers of the bins
  // about the highest. The spectrum tells a frequency far more sharply than
  // the autocorrelation's peak tells its lag: a spacing off by a per cent
  // would drift by a whole period over a hundred ticks.
  double Sharpened(double lag) const {
    const double bin = double(Size) / lag;
    const size_t from = std::max<size_t>(1, size_t(std::floor(bin * (1 - kSpectrumReach))));
    const size_t to = std::min(Power.size() - 2, size_t(std::ceil(bin * (1 + kSpectrumReach))));
    if (from > to) return lag;
    size_t top = from;
    for (size_t k = from; k <= to; ++k)
      if (Power[k] > Power[top]) top = k;
    const double y0 = std::log(Power[top - 1] + 1e-300), y1 = std::log(Power[top] + 1e-300),
                 y2 = std::log(Power[top + 1] + 1e-300);
    const double bend = y0 - 2 * y1 + y2;
    const double peak = double(top) + (bend < 0 ? std::clamp(0.5 * (y0 - y2) / bend, -0.5, 0.5) : 0.0);
    return double(Size) / peak;
  }

private:
  size_t Size = 1;
  std::vector<double> Power, Autocorrelation;
};

// The tapered Fourier sum of `q` at `cycles` per sample.
Complex FourierSum(const std::vector<double> &q, const std::vector<double> &taper, double cycles) {
  const Complex turn = std::polar(1.0, -2 * kPi * cycles);
  Complex rotor(1.0), sum;
  for (size_t i = 0; i < q.size(); ++i) {
    sum += (q[i] * taper[i]) * rotor;
    rotor = Times(rotor, turn);
  }
  return sum;
}

// One tick: its index along the ruler, where it is along the line (pixels)
// and the strength of the period's fundamental in its window.
struct TTick {
  double Index = 0;
  double Position = 0;
  double Strength = 0;
  bool Used = false;
};

// The position of every tick whose whole period window [centre - T/2,
// centre + T/2], centre = origin + k T, lies on the profile, from the phase
// of the profile's fundamental over that window. Windows are exactly one
// period long, samples at their ends counting in part, so that the mean and
// every harmonic of an evenly spaced tick train cancel from the sum.
std::vector<TTick> MeasureTicks(const std::vector<double> &q, double period, double origin) {
  const double n = double(q.size());
  const double samples = period / kStep;
  const Complex turn = std::polar(1.0, -2 * kPi / samples);
  std::vector<TTick> ticks;
  const long first = long(std::ceil((period / 2 - origin) / period - 1e-9));
  for (long k = first;; ++k) {
    const double centre = origin + double(k) * period;             // pixels
    const double lo = (centre - period / 2) / kStep, hi = lo + samples;  // samples
    if (lo < -0.5 - 1e-9) continue;
    if (hi > n - 0.5 + 1e-9) break;
    const long iLo = std::max(0L, long(std::floor(lo + 0.5)));
    const long iHi = std::min(long(n) - 1, long(std::floor(hi + 0.5)));
    Complex rotor = std::polar(1.0, -2 * kPi * (double(iLo) * kStep - centre) / period), sum;
    for (long i = iLo; i <= iHi; ++i) {
      const double cover = std::min(double(i) + 0.5, hi) - std::max(double(i) - 0.5, lo);
      if (cover > 0) sum += (cover * q[size_t(i)]) * rotor;
      rotor = Times(rotor, turn);
    }
    TTick tick;
    tick.Index = double(k);
    tick.Position = centre - std::arg(sum) * period / (2 * kPi);
    tick.Strength = std::abs(sum) / samples;
    ticks.push_back(tick);
  }
  return ticks;
}

// The value a share `q` of the way up the sorted values.
double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  const auto at = v.begin() + std::ptrdiff_t(std::min(v.size() - 1, size_t(q * double(v.size()))));
  std::nth_element(v.begin(), at, v.end());
  return *at;
}

// A straight line through the used ticks' positions against their indices.
struct TFit {
  double Origin = 0;  // the position of index 0
  double Period = 0;
  double PeriodError = 0;
  double Scatter = 0;  // rms of the used ticks about the line
  int Used = 0;
};
std::optional<TFit> FitLine(const std::vector<TTick> &ticks) {
  double n = 0, sk = 0, sx = 0;
  for (const TTick &t : ticks)
    if (t.Used) n += 1, sk += t.Index, sx += t.Position;
  if (n < 3) return std::nullopt;
  const double mk = sk / n, mx = sx / n;
  double skk = 0, skx = 0;
  for (const TTick &t : ticks)
    if (t.Used) skk += (t.Index - mk) * (t.Index - mk), skx += (t.Index - mk) * (t.Position - mx);
  if (!(skk > 0)) return std::nullopt;
  TFit fit;
  fit.Period = skx / skk;
  fit.Origin = mx - fit.Period * mk;
  double sum2 = 0;
  for (const TTick &t : ticks)
    if (t.Used) {
      const double r = t.Position - fit.Origin - fit.Period * t.Index;
      sum2 += r * r;
    }
  fit.Scatter = std::sqrt(sum2 / n);
  fit.PeriodError = std::sqrt(sum2 / (n - 2) / skk);
  fit.Used = int(n);
  return fit;
}

// The line through the ticks, leaving out the weak ones and then, twice,
// those too far from the line.
std::optional<TFit> RobustFit(std::vector<TTick> &ticks, double period) {
  std::vector<double> strengths;
  for (const TTick &t : ticks) strengths.push_back(t.Strength);
  const double weak = kWeakTick * Quantile(strengths, 0.75);
  for (TTick &t : ticks) t.Used = t.Strength > weak;
  std::optional<TFit> fit = FitLine(ticks);
  for (int round = 0; fit && round < 2; ++round) {
    std::vector<double> misses;
    for (const TTick &t : ticks)
      if (t.Used) misses.push_back(std::abs(t.Position - fit->Origin - fit->Period * t.Index));
    const double allowed = std::max(4 * 1.4826 * Quantile(misses, 0.5), kOutlierFloor * period);
    for (TTick &t : ticks)
      t.Used = t.Strength > weak && std::abs(t.Position - fit->Origin - fit->Period * t.Index) <= allowed;
    fit = FitLine(ticks);
  }
  return fit;
}

// The share of the profile's variance that its mean over one period,
// folded along the line in bins of one sample, accounts for. Noise alone
// gives about the period over the line's length.
double PeriodicShare(const std::vector<double> &q, double period, double origin) {
  const size_t bins = std::max<size_t>(2, size_t(std::lround(period / kStep)));
  std::vector<double> sum(bins, 0.0), count(bins, 0.0);
  std::vector<size_t> bin(q.size());
  double total = 0;
  for (size_t i = 0; i < q.size(); ++i) {
    double phase = (double(i) * kStep - origin) / period;
    phase -= std::floor(phase);
    bin[i] = std::min(bins - 1, size_t(phase * double(bins)));
    sum[bin[i]] += q[i], count[bin[i]] += 1, total += q[i] * q[i];
  }
  double explained = 0;
  for (size_t i = 0; i < q.size(); ++i) {
    const double mean = sum[bin[i]] / count[bin[i]];
    explained += mean * mean;
  }
  return total > 0 ? explained / total : 0;
}

// The profile's ticks at about the spacing `period` (pixels): the spacing
// along the line, the line through the ticks and the trend taken off the
// profile. Nothing when they fail the tests above.
//
// The trend is the profile's mean over `trendPeriods` periods about each
// point: that takes off all that is not periodic and leaves the tick train
// whole. Over two periods only the share of windows holding a tick in step
// is asked for: that pass is there to show empty windows.
struct TRefined {
  double Period = 0;
  TFit Fit;
  std::vector<double> Trend;
};
std::optional<TRefined> Refine(const std::vector<double> &profile, const std::vector<double> &taper,
                               double period, double readLength, int trendPeriods) {
  const size_t n = profile.size();
  auto plausible = [&](double p) { return p >= kMinPeriod && p <= readLength / kMinPeriods; };
  if (!plausible(period)) return std::nullopt;
  TRefined out;
  std::vector<double> q(n);
  auto detrend = [&] {
    out.Trend = MovingAverage(profile, trendPeriods * period / kStep);
    for (size_t i = 0; i < n; ++i) q[i] = profile[i] - out.Trend[i];
  };
  detrend();
  // Ticks are made positive: the profile is skewed towards them, since they
  // are narrower than the gaps between them. (Either way the spacing is the
  // same; windows centred on the ticks hold them whole.)
  double skew = 0;
  for (double v : q) skew += v * v * v;
  const double sign = skew < 0 ? -1.0 : 1.0;
  for (double &v : q) v *= sign;
  double origin = -std::arg(FourierSum(q, taper, kStep / period)) * period / (2 * kPi);

  size_t windows = 0;
  for (int round = 0; round < kRounds; ++round) {
    if (round > 0) {
      detrend();
      for (double &v : q) v *= sign;
    }
    std::vector<TTick> ticks = MeasureTicks(q, period, origin);
    const std::optional<TFit> fit = RobustFit(ticks, period);
    if (!fit) return std::nullopt;
    windows = ticks.size();
    if (fit->Used < kHopelessShare * double(windows) || fit->Scatter > kHopelessJitter * period)
      return std::nullopt;
    out.Fit = *fit;
    period = fit->Period;
    origin = fit->Origin;
    if (!plausible(period)) return std::nullopt;
  }
  out.Period = period;
  if (double(windows) < kMinPeriods - 1 || out.Fit.Used < kMinTickShare * double(windows)) return std::nullopt;
  if (trendPeriods == 1 && (out.Fit.Scatter > kMaxJitter * period + kJitterDots ||
                            PeriodicShare(q, period, origin) < kMinPeriodicShare + kShareOfFewPeriods / double(windows)))
    return std::nullopt;
  return out;
}

// How far along the line the ticks move per pixel across it (the tangent
// of their tilt against the line's normal), with its standard error. Each
// row of the strip is matched to the profile, the mean of all rows, shifted
// along the line and scaled: the shift that fits best is found by
// Gauss-Newton steps on the profile's slope, so that the ticks' whole shape,
// edges included, tells where they are. A straight line through the rows'
// shifts, each weighted by how sharply it is known, gives the tilt.
struct TTilt {
  double Slope = 0;
  double Error = 0;
};
TTilt TickTilt(const std::vector<std::vector<double>> &rows, const std::vector<double> &trend, double maxShift) {
  const size_t n = trend.size();
  const long margin = long(std::ceil(maxShift / kStep)) + 2;
  if (long(n) <= 2 * margin + 8) return {};
  std::vector<double> profile(n, 0.0);
  for (const std::vector<double> &row : rows)
    for (size_t i = 0; i < n; ++i) profile[i] += (row[i] - trend[i]) / kRows;

  std::vector<double> shift(kRows, 0.0), weight(kRows, 0.0), reference(n), slope(n);
  for (int j = 0; j < kRows; ++j) {
    const std::vector<double> &row = rows[size_t(j)];
    for (int step = 0; step < 3; ++step) {
      // The profile shifted by shift[j], and its slope, at the row's samples.
      const double by = shift[size_t(j)] / kStep;
      for (long i = margin - 1; i <= long(n) - margin; ++i) {
        const double x = double(i) - by;
        const long k = std::clamp(long(std::floor(x)), 0L, long(n) - 2);
        reference[size_t(i)] = profile[size_t(k)] + (x - double(k)) * (profile[size_t(k) + 1] - profile[size_t(k)]);
      }
      for (long i = margin; i < long(n) - margin; ++i)
        slope[size_t(i)] = (reference[size_t(i) + 1] - reference[size_t(i) - 1]) / (2 * kStep);
      // row - trend ~ gain * reference + lean * slope + offset, by least squares.
      double count = 0, sr = 0, sd = 0, sy = 0;
      for (long i = margin; i < long(n) - margin; ++i)
        count += 1, sr += reference[size_t(i)], sd += slope[size_t(i)], sy += row[size_t(i)] - trend[size_t(i)];
      const double mr = sr / count, md = sd / count, my = sy / count;
      double srr = 0, srd = 0, sdd = 0, sry = 0, sdy = 0, syy = 0;
      for (long i = margin; i < long(n) - margin; ++i) {
        const double r = reference[size_t(i)] - mr, d = slope[size_t(i)] - md;
        const double y = row[size_t(i)] - trend[size_t(i)] - my;
        srr += r * r, srd += r * d, sdd += d * d, sry += r * y, sdy += d * y, syy += y * y;
      }
      const double det = srr * sdd - srd * srd;
      if (!(det > 0)) break;
      const double gain = (sry * sdd - sdy * srd) / det, lean = (sdy * srr - sry * srd) / det;
      if (!(gain > 0)) break;
      // gain * p(s - by) + lean * p'(s - by) is gain * p(s - by + lean / gain).
      shift[size_t(j)] = std::clamp(shift[size_t(j)] - lean / gain, -maxShift, maxShift);
      const double residual = std::max(0.0, syy - gain * sry - lean * sdy) / std::max(1.0, count - 3);
      weight[size_t(j)] = gain * gain * det / (residual * srr + 1e-300);
    }
  }

  double sw = 0, sv = 0, ss = 0;
  for (int j = 0; j < kRows; ++j) {
    const double v = j - kHalfStrip;
    sw += weight[size_t(j)], sv += weight[size_t(j)] * v, ss += weight[size_t(j)] * shift[size_t(j)];
  }
  if (!(sw > 0)) return {};
  const double mv = sv / sw, ms = ss / sw;
  double svv = 0, svs = 0;
  for (int j = 0; j < kRows; ++j) {
    const double v = j - kHalfStrip;
    svv += weight[size_t(j)] * (v - mv) * (v - mv);
    svs += weight[size_t(j)] * (v - mv) * (shift[size_t(j)] - ms);
  }
  if (!(svv > 0)) return {};
  const double tilt = svs / svv;
  double sr = 0;
  for (int j = 0; j < kRows; ++j) {
    const double r = shift[size_t(j)] - ms - tilt * (j - kHalfStrip - mv);
    sr += weight[size_t(j)] * r * r;
  }
  return TTilt{tilt, std::sqrt(sr / (kRows - 2) / svv)};
}

}  // namespace

TTickSpacing FindTicks(const QImage &picture, QPointF a, QPointF b) {
  const TTickSpacing none;
  const double length = QLineF(a, b).length();
  if (picture.isNull() || !std::isfinite(length) || !(length > 0)) return none;
  const QPointF along = (b - a) / length;
  const QPointF across(-along.y(), along.x());

  // The part of the line along which the whole strip can be read.
  const double mx = kHalfStrip * std::abs(across.x()), my = kHalfStrip * std::abs(across.y());
  const QRectF readable(QPointF(0.5 + mx, 0.5 + my), QPointF(picture.width() - 0.5 - mx, picture.height() - 0.5 - my));
  if (!(readable.width() > 0 && readable.height() > 0)) return none;
  const auto part = ClipToRect(a, b, readable);
  if (!part) return none;
  const QPointF start = a + (b - a) * part->first;
  const double readLength = length * (part->second - part->first);
  if (!(readLength >= kMinPeriods * kMinPeriod)) return none;

  // The strip's rows and their mean, the profile.
  const size_t n = size_t(std::floor(readLength / kStep)) + 1;
  const TGreyPicture grey(picture);
  std::vector<std::vector<double>> rows(kRows, std::vector<double>(n));
  std::vector<double> profile(n, 0.0);
  for (size_t i = 0; i < n; ++i) {
    const QPointF centre = start + along * (double(i) * kStep);
    for (int j = 0; j < kRows; ++j) {
      rows[size_t(j)][i] = grey.At(centre + across * double(j - kHalfStrip));
      profile[i] += rows[size_t(j)][i];
    }
    profile[i] /= kRows;
  }

  // Candidates from the profile without its slow changes (a moving average
  // as wide as the longest spacing looked for).
  const double maxLag = readLength / kMinPeriods / kStep;
  const std::vector<double> slow = MovingAverage(profile, maxLag);
  std::vector<double> d(n);
  for (size_t i = 0; i < n; ++i) d[i] = profile[i] - slow[i];
  const TSpectrum spectrum(d);
  const std::vector<double> taper = Hann(n);
  // A candidate must also hold with the trend taken over two periods, which
  // is as exact for a true tick train. Half the true spacing, which the
  // spectrum's second harmonic offers, passes on its own trend (the mean over
  // half a period draws a bump between every two ticks, in step like a tick)
  // but shows its empty windows on this one.
  std::optional<TRefined> ticks;
  for (double lag : spectrum.CandidateLags(maxLag)) {
    ticks = Refine(profile, taper, lag * kStep, readLength, 1);
    if (ticks && Refine(profile, taper, ticks->Period, readLength, 2)) break;
    ticks.reset();
  }
  if (!ticks) return none;

  // Square to the ticks: a line tilted against them crosses them further apart.
  const TTilt tilt = TickTilt(rows, ticks->Trend, ticks->Period / 2);
  const double stretch = std::sqrt(1 + tilt.Slope * tilt.Slope);
  TTickSpacing found;
  found.Found = true;
  found.PeriodDots = ticks->Period / stretch;
  const double fromFit = ticks->Fit.PeriodError / stretch;
  const double fromTilt = ticks->Period * std::abs(tilt.Slope) * tilt.Error / (stretch * stretch * stretch);
  found.UncertaintyDots = std::sqrt(fromFit * fromFit + fromTilt * fromTilt);
  found.TickCount = int(std::lround(std::min(length / ticks->Period, double(std::numeric_limits<int>::max()))));
  return found;
}
