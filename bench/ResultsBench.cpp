// Saving the results table and appending image rows.
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "bench/BenchSupport.h"
#include "definitions/DefinitionList.h"
#include "results/ResultsFileWriter.h"

using namespace bench;

namespace {
constexpr int kImages = 10000;
constexpr int kDefinitionColumns = 40;

// A main window whose table holds kImages measured images.
void Fill(TForm1 &form) {
  for (int d = 0; d < kDefinitionColumns; ++d)
    AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("M%1").arg(d), mkLine, false, false,
                  false, false);
  form.ResultsTable.AppendImageRows(Files(kImages));
  for (int i = 0; i < kImages; ++i)
    for (int c = 3; c < form.ResultsTable.ColumnCount(); ++c)
      form.ResultsTable.SetImageCell(i, c, QString::number(1 + (i * 37 + c * 11) % 9000 / 1000.0, 'f', 4));
}

// The same bytes with the file-system work that a save which survives a
// crash needs and nothing more: a new file beside the target, the bytes, the
// data on the disk, then renamed over the old file.
void DurableWrite(const QByteArray &path, const QByteArray &bytes) {
  const QByteArray temp = path + ".new";
  const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size()) ::fdatasync(fd);
  ::close(fd);
  ::rename(temp.constData(), path.constData());
}

double Elapsed(const std::function<void()> &work) {
  QElapsedTimer t;
  t.start();
  work();
  return double(t.nsecsElapsed());
}

// Every save follows a change, as in a measuring run: the first save of a
// freshly filled table, then saves that each follow a new value. Saves and
// durable writes of the same bytes alternate; the figures are the ratios of
// their means and of the very first saves.
void SaveBench(const QString &dir) {
  constexpr int kRounds = 12, kFreshTables = 5;
  const QString saved = dir + QStringLiteral("/results.txt");
  const QByteArray durable = QFile::encodeName(dir + QStringLiteral("/durable.txt"));
  double saveSum = 0, durableSum = 0, firstSum = 0, firstDurableSum = 0;
  for (int t = 0; t < kFreshTables; ++t) {
    TQtPrompter prompter;
    TForm1 form(prompter);
    Fill(form);
    const double first = Elapsed([&] { form.WriteResultsFile(saved, '\t'); });
    const QByteArray bytes = ResultsFileBytes(form.ResultsTable, '\t');
    const double firstDurableWrite = Elapsed([&] { DurableWrite(durable, bytes); });
    firstSum += first;
    firstDurableSum += firstDurableWrite;
    if (t > 0) continue;
    saveSum += first;
    durableSum += firstDurableWrite;
    for (int r = 1; r < kRounds; ++r) {
      form.ResultsTable.SetImageCell(r * 701 % kImages, 4 + r % kDefinitionColumns, QString::number(r));
      saveSum += Elapsed([&] { form.WriteResultsFile(saved, '\t'); });
      const QByteArray now = ResultsFileBytes(form.ResultsTable, '\t');
      durableSum += Elapsed([&] { DurableWrite(durable, now); });
    }
  }
  Print("save_10k_ratio", saveSum / durableSum);
  Print("save_10k_first_ratio", firstSum / firstDurableSum);
}

void AppendBench(const QString &) {
  auto timeFor = [](int n) {
    const QStringList files = Files(n);
    return BestOf(5, [&] {
      TQtPrompter prompter;
      TForm1 form(prompter);
      form.ResultsTable.AppendImageRows(files);
    });
  };
  const double baseline = BestOf(5, [] {
    TQtPrompter prompter;
    TForm1 form(prompter);
  });
  const double small = timeFor(1000) - baseline;
  const double large = timeFor(10000) - baseline;
  Print("append_rows_scaling", large / std::max(small, 1.0));
}

Section save("save", SaveBench);
Section append("append", AppendBench);
}  // namespace
