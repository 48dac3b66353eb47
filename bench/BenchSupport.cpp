#include "bench/BenchSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>

namespace bench {

double BestOf(int runs, const std::function<void()> &work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    work();
    best = std::min(best, double(t.nsecsElapsed()));
  }
  return best;
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

void ResetPeakResident() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

void Print(const char *name, double value) {
  std::printf("%s: %.2f\n", name, value);
  std::fflush(stdout);
}

std::vector<Registered> &Sections() {
  static std::vector<Registered> sections;
  return sections;
}

Section::Section(const char *name, std::function<void(const QString &)> run) {
  Sections().push_back({name, std::move(run)});
}

}  // namespace bench
