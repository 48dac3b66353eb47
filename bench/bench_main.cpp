// Runs every benchmark section; a section name given on the command line
// runs only the sections named.
#include <QApplication>
#include <QTemporaryDir>

#include "bench/BenchSupport.h"

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStringList wanted = QApplication::arguments().mid(1);
  for (const bench::Registered &section : bench::Sections()) {
    if (!wanted.isEmpty() && !wanted.contains(QString::fromLatin1(section.Name))) continue;
    QTemporaryDir dir;
    section.Run(dir.path());
  }
  return 0;
}
