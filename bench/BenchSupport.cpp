#include "bench/BenchSupport.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <numeric>

namespace bench {

double Mean(const std::vector<double> &v) {
  return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}
double Max(const std::vector<double> &v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

double Paired::MeanRatio() const { return Mean(A) / Mean(B); }
double Paired::MaxRatio() const { return Max(A) / Max(B); }

Paired Alternate(int rounds, const std::function<void()> &a, const std::function<void()> &b,
                 const std::function<void()> &between) {
  Paired times;
  auto timed = [&](const std::function<void()> &work, std::vector<double> &into) {
    if (between) between();
    QElapsedTimer t;
    t.start();
    work();
    into.push_back(double(t.nsecsElapsed()));
  };
  for (int round = 0; round < rounds; ++round) {
    if (round % 2 == 0) {
      timed(a, times.A);
      timed(b, times.B);
    } else {
      timed(b, times.B);
      timed(a, times.A);
    }
  }
  return times;
}

QStringList Files(int n) {
  QStringList files;
  files.reserve(n);
  for (int i = 0; i < n; ++i) files << QStringLiteral("/photos/batch/leaf%1.jpg").arg(i, 5, 10, QChar(u'0'));
  return files;
}

namespace {
qint64 StatusField(const char *field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  const QByteArray key(field);
  for (const QByteArray &line : status.readAll().split('\n'))
    if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
  return 0;
}
}  // namespace

qint64 ResidentBytes() { return StatusField("VmRSS:"); }
qint64 PeakResidentBytes() { return StatusField("VmHWM:"); }

bool ResetPeakResident() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1) return false;
  clear.close();
  return PeakResidentBytes() <= ResidentBytes() + (qint64(1) << 20);
}

void Print(const char *name, double value) {
  std::printf("%s: %.2f\n", name, value);
  std::fflush(stdout);
}

QString LoadAverage() {
  QFile f(QStringLiteral("/proc/loadavg"));
  if (!f.open(QIODevice::ReadOnly)) return QString();
  return QString::fromLatin1(f.readAll().trimmed());
}

int OkPrompter::RunModal(QDialog &dialog) {
  for (QPushButton *button : dialog.findChildren<QPushButton *>())
    if (button->text() == QLatin1String("OK")) button->click();
  return dialog.result();
}

std::vector<Registered> &Sections() {
  static std::vector<Registered> sections;
  return sections;
}

Section::Section(const char *name, std::function<void(const QString &)> run) {
  Sections().push_back({name, std::move(run)});
}

}  // namespace bench
