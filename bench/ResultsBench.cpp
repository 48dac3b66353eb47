// Saving the results table and appending image rows.
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <memory>
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

// Saves of the table through the real save path and durable writes of the
// same bytes, in turns. Each save follows a change, as in a measuring run:
// for save_10k_ratio the very first save of a freshly filled table and then
// saves that each follow a new value; for save_10k_first_ratio only first
// saves, each of a main window filled afresh.
void SaveBench(const QString &dir) {
  constexpr int kRounds = 12;
  const QString saved = dir + QStringLiteral("/results.txt");
  const QByteArray durable = QFile::encodeName(dir + QStringLiteral("/durable.txt"));
  TQtPrompter prompter;
  auto form = std::make_unique<TForm1>(prompter);
  Fill(*form);
  QByteArray bytes;
  int change = 0;
  const Paired later = Alternate(
      kRounds, [&] { form->WriteResultsFile(saved, '\t'); }, [&] { DurableWrite(durable, bytes); },
      [&] {
        ++change;
        form->ResultsTable.SetImageCell(change * 701 % kImages, 4 + change % kDefinitionColumns,
                                        QString::number(change));
        bytes = ResultsFileBytes(form->ResultsTable, '\t');
      });
  bool savedOnce = true;
  const Paired first = Alternate(
      kRounds,
      [&] {
        form->WriteResultsFile(saved, '\t');
        savedOnce = true;
      },
      [&] { DurableWrite(durable, bytes); },
      [&] {
        if (!savedOnce) return;
        form.reset();
        form = std::make_unique<TForm1>(prompter);
        Fill(*form);
        bytes = ResultsFileBytes(form->ResultsTable, '\t');
        savedOnce = false;
      });
  std::printf("save_10k_ms: mean %.2f, worst %.2f; durable write: mean %.2f, worst %.2f\n", Mean(later.A) / 1e6,
              Max(later.A) / 1e6, Mean(later.B) / 1e6, Max(later.B) / 1e6);
  Print("save_10k_ratio", later.MeanRatio());
  std::printf("save_10k_first_ms: mean %.2f, worst %.2f; durable write: mean %.2f, worst %.2f\n",
              Mean(first.A) / 1e6, Max(first.A) / 1e6, Mean(first.B) / 1e6, Max(first.B) / 1e6);
  Print("save_10k_first_ratio", first.MeanRatio());
}

// Appending 10,000 image rows to a new main window against appending 1,000;
// linear growth gives 10.
void AppendBench(const QString &) {
  const QStringList large = Files(10000), small = Files(1000);
  TQtPrompter prompter;
  std::unique_ptr<TForm1> form;
  const Paired times = Alternate(
      20, [&] { form->ResultsTable.AppendImageRows(large); }, [&] { form->ResultsTable.AppendImageRows(small); },
      [&] {
        form.reset();
        form = std::make_unique<TForm1>(prompter);
      });
  Print("append_rows_scaling", times.MeanRatio());
}

Section save("save", SaveBench);
Section append("append", AppendBench);
}  // namespace
