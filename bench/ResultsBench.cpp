// Saving the results table and appending image rows.
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <functional>
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
// saves, each of a main window filled afresh. The change, and the bytes for
// the durable write, are made once after each save, so that the save and
// the write take turns at coming straight after that work.
void SaveBench(const QString &dir) {
  // Twelve saves after changes, the first save among them; twenty first
  // saves, as their mean shifts with the file system's slower spells.
  constexpr int kRounds = 12, kFirstRounds = 20;
  const QString saved = dir + QStringLiteral("/results.txt");
  const QByteArray durable = QFile::encodeName(dir + QStringLiteral("/durable.txt"));
  TQtPrompter prompter;
  std::unique_ptr<TForm1> form;
  QByteArray bytes;
  auto fresh = [&] {
    form.reset();
    form = std::make_unique<TForm1>(prompter);
    Fill(*form);
  };
  auto turns = [&](int rounds, const std::function<void()> &change) {
    fresh();
    bytes = ResultsFileBytes(form->ResultsTable, '\t');
    bool savedSinceChange = false;
    return Alternate(
        rounds,
        [&] {
          form->WriteResultsFile(saved, '\t');
          savedSinceChange = true;
        },
        [&] { DurableWrite(durable, bytes); },
        [&] {
          if (!savedSinceChange) return;
          change();
          bytes = ResultsFileBytes(form->ResultsTable, '\t');
          savedSinceChange = false;
        });
  };
  int change = 0;
  const Paired later = turns(kRounds, [&] {
    ++change;
    form->ResultsTable.SetImageCell(change * 701 % kImages, 4 + change % kDefinitionColumns, QString::number(change));
  });
  const Paired first = turns(kFirstRounds, fresh);
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
