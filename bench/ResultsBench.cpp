// Saving the results table and appending image rows.
#include <QElapsedTimer>
#include <QFile>
#include <fcntl.h>
#include <unistd.h>

#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "bench/BenchSupport.h"
#include "definitions/DefinitionList.h"
#include "results/ResultsFile.h"

using namespace bench;

namespace {
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
  // The first save encodes every row; later ones reuse the lines of rows
  // that did not change since.
  QElapsedTimer first;
  first.start();
  form.WriteResultsFile(saved, '\t');
  const double firstSave = first.nsecsElapsed();
  const double save = BestOf(5, [&] { form.WriteResultsFile(saved, '\t'); });
  const double write = BestOf(5, [&] {
    QFile f(plain);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    f.close();
  });
  // The same bytes with the file-system work that a save that survives a
  // crash needs: a new file, its data on the disk, then renamed over the old.
  const QByteArray plainPath = QFile::encodeName(plain);
  const QByteArray tempPath = plainPath + ".new";
  const double durable = BestOf(5, [&] {
    const int fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return;
    if (::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size()) ::fdatasync(fd);
    ::close(fd);
    ::rename(tempPath.constData(), plainPath.constData());
  });
  Print("save_10k_ratio", save / write);
  Print("save_10k_ratio_vs_durable_write", save / durable);
  Print("save_10k_first_ratio", firstSave / write);
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
