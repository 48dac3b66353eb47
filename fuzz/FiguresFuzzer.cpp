// Feeds arbitrary bytes to the figures file reader, as Continue Results does
// with the file beside a results file. The first line names the results
// file's rows (tab-separated File Name cells); the rest is the figures file.
#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "results/Record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const qsizetype end = bytes.indexOf('\n');
  if (end < 0) return 0;
  const QStringList names = QString::fromUtf8(bytes.left(end)).split(u'\t');
  const FiguresFileContents read = ReadFiguresFile(bytes.mid(end + 1), names);
  FUZZ_CHECK(read.Ok == read.Problem.isEmpty());
  if (!read.Ok) {
    FUZZ_CHECK(read.Images.empty());
    return 0;
  }
  FUZZ_CHECK(read.Images.size() == size_t(names.size()));
  // What was read is written back and read again the same.
  TRecord record;
  record.Images = read.Images;
  const QByteArray written = FiguresFileBytes(record, names);
  const FiguresFileContents again = ReadFiguresFile(written, names);
  FUZZ_CHECK(again.Ok);
  record.Images = again.Images;
  FUZZ_CHECK(FiguresFileBytes(record, names) == written);
  return 0;
}
