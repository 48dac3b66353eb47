// Feeds arbitrary bytes to the results file reader, as Continue Results does
// with the chosen file. The headings expected are the fields of the input's
// own first line (but for an "Object" column, which the reader takes as the
// rows' objects), so that the reader goes on to the rows.
#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "results/ResultsFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  QByteArray first = bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n'));
  if (first.endsWith('\r')) first.chop(1);
  QStringList headings = QString::fromLocal8Bit(first).split(first.contains('\t') ? u'\t' : u',');
  if (headings.value(3) == QLatin1String("Object")) headings.removeAt(3);
  const ResultsFileContents read = ReadResultsFile(bytes, headings);
  if (!read.Ok) {
    FUZZ_CHECK(read.BadLine >= 1 && !read.Problem.isEmpty());
    FUZZ_CHECK(read.Rows.empty());
    return 0;
  }
  FUZZ_CHECK(read.Separator == '\t' || read.Separator == ',');
  FUZZ_CHECK(read.Objects.size() == read.Rows.size());
  int image = 0;
  for (size_t r = 0; r < read.Rows.size(); ++r) {
    FUZZ_CHECK(read.Rows[r].size() == headings.size());
    // An image's own row holds its number; a further object's repeats it.
    if (read.Objects[r] == 1)
      FUZZ_CHECK(read.Rows[r][0] == QString::number(++image));
    else
      FUZZ_CHECK(r > 0 && read.Objects[r] == read.Objects[r - 1] + 1 && read.Rows[r][0] == read.Rows[r - 1][0]);
  }
  FUZZ_CHECK(read.Images == image);
  return 0;
}
