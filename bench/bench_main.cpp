// Prints the program's speed and memory figures as "name: value", each a
// ratio of two timings taken in the same run.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "app/AtomicFile.h"
#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "definitions/DefinitionList.h"
#include "results/ResultsFile.h"

namespace {
// The best of several runs, in nanoseconds.
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
  for (int i = 0; i < n; ++i) files << QStringLiteral("/photos/batch/leaf%1.jpg").arg(i, 5, 10, QChar(u'0'));
  return files;
}

void SaveBench(const QString &dir) {
  TQtPrompter prompter;
  TForm1 form(prompter);
  for (int d = 0; d < 36; ++d)
    AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("M%1").arg(d), mkLine, false, false,
                  false, false);
  form.ResultsTable.AppendImageRows(Files(10000));
  for (int i = 0; i < 10000; ++i)
    for (int c = 3; c < form.ResultsTable.ColumnCount(); ++c)
      form.ResultsTable.SetImageCell(i, c, QStringLiteral("12.3456"));
  const QString saved = dir + QStringLiteral("/results.txt");
  const QString plain = dir + QStringLiteral("/plain.txt");
  const QByteArray bytes = ResultsFileBytes(form.ResultsTable, '\t');
  const double save = BestOf(5, [&] { form.WriteResultsFile(saved, '\t'); });
  const double write = BestOf(5, [&] {
    QFile f(plain);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.close();
  });
  const double encode = BestOf(5, [&] { ResultsFileBytes(form.ResultsTable, '\t'); });
  std::printf("save_10k_ratio: %.2f\n", save / write);
  std::printf("save_10k_encode_share: %.2f\n", encode / save);
}

void AppendBench() {
  auto timeFor = [](int n) {
    const QStringList files = Files(n);
    return BestOf(5, [&] {
      TQtPrompter prompter;
      TForm1 form(prompter);
      QElapsedTimer t;
      form.ResultsTable.AppendImageRows(files);
    });
  };
  const double baseline = BestOf(5, [] {
    TQtPrompter prompter;
    TForm1 form(prompter);
  });
  const double small = timeFor(1000) - baseline;
  const double large = timeFor(10000) - baseline;
  std::printf("append_rows_scaling: %.2f\n", large / std::max(small, 1.0));
}
}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  SaveBench(dir.path());
  AppendBench();
  return 0;
}
