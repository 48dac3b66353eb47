// Saving the results table and appending image rows.
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "bench/BenchSupport.h"
#include "common/WholeFile.h"
#include "definitions/DefinitionList.h"
#include "results/ResultsFileWriter.h"

using namespace bench;

namespace {
constexpr int kImages = 200, kObjects = 50, kRows = kImages * kObjects;
constexpr int kDefinitionColumns = 40;

// A main window whose table holds kImages measured images of kObjects
// objects each: 10,000 rows of 40 values.
void Fill(TForm1 &form) {
  for (int d = 0; d < kDefinitionColumns; ++d)
    AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("M%1").arg(d), mkLine, false, false,
                  false, false);
  form.ResultsTable.AppendImageRows(Files(kImages));
  for (int i = 0; i < kImages; ++i) {
    form.ResultsTable.SetImageCell(i, TResultsTable::colDotsPerCm, QStringLiteral("37.8"));
    for (int k = 1; k <= kObjects; ++k) {
      if (k > 1) form.ResultsTable.AddObject(i);
      QStringList values;
      for (int c = 0; c < kDefinitionColumns; ++c)
        values << QString::number(1 + (i * 37 + k * 13 + c * 11) % 9000 / 1000.0, 'f', 4);
      form.ResultsTable.SetObjectCells(i, k, 4, values);
    }
  }
}

// Saves of the table through the real save path, each following a changed
// cell as in a measuring run, taking turns with a durable write of the same
// bytes (the same atomic replace with no encoding), whose bytes are made
// after each change. save_10k_ms is the mean save; the ratio to the durable
// write is printed for information.
void SaveBench(const QString &dir) {
  constexpr int kRounds = 20;
  const QString saved = dir + QStringLiteral("/results.txt");
  const QString durable = dir + QStringLiteral("/durable.txt");
  TQtPrompter prompter;
  TForm1 form(prompter);
  Fill(form);
  form.Choosers().SaveDialog1.FileName = saved;
  form.Choosers().SaveDialog1.FilterIndex = 1;
  QByteArray bytes;
  int change = 0;
  const Paired times = Alternate(
      kRounds, [&] { form.bbSaveClick(); }, [&] { SaveFile(durable, bytes); },
      [&] {
        ++change;
        form.ResultsTable.SetObjectCells(change * 7 % kImages, 1 + change % kObjects, 4 + change % kDefinitionColumns,
                                         {QString::number(change)});
        bytes = ResultsFileBytes(form.ResultsTable, '\t');
      });
  std::printf("save of %d rows (%d images of %d objects): mean %.2f, worst %.2f; durable write: mean %.2f, worst %.2f\n",
              form.ResultsTable.RowCount() - 1, kImages, kObjects, Mean(times.A) / 1e6,
              Max(times.A) / 1e6, Mean(times.B) / 1e6, Max(times.B) / 1e6);
  Print("save_10k_ms", Mean(times.A) / 1e6);
  Print("save_10k_ratio", times.MeanRatio());
}

// Appending 10,000 image rows to a new main window against appending 1,000;
// linear growth gives 10.
static_assert(kRows == 10000);
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
