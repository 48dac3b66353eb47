// Runs every benchmark section; a section name given on the command line
// runs only the sections named. The load averages are printed before each
// section and at the end, so that every figure comes with the machine's load.
#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "bench/BenchSupport.h"

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The journals of the sittings the benchmarks make go to a folder of this
  // run, not the user's.
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
  QApplication app(argc, argv);
  QStringList wanted = QApplication::arguments().mid(1);
  for (const bench::Registered &section : bench::Sections()) {
    if (!wanted.isEmpty() && !wanted.contains(QString::fromLatin1(section.Name))) continue;
    std::printf("# %s, load %s\n", section.Name, qPrintable(bench::LoadAverage()));
    std::fflush(stdout);
    QTemporaryDir dir;
    section.Run(dir.path());
  }
  std::printf("# end, load %s\n", qPrintable(bench::LoadAverage()));
  return 0;
}
