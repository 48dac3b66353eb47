#include "results/ResultsFileWriter.h"

#include "results/ResultsTable.h"

namespace {
bool NeedsQuotes(const QString &field) {
  for (QChar c : field)
    if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') return true;
  return false;
}

void AppendField(QString &line, const QString &field, char separator) {
  if (separator != ',' || !NeedsQuotes(field)) {
    line += field;
    return;
  }
  QString quoted = field;
  quoted.replace(u'"', QStringLiteral("\"\""));
  line += u'"' + quoted + u'"';
}
}  // namespace

QByteArray ResultsFileBytes(const TResultsTable &table, char separator) {
  QByteArray out;
  QString line;
  for (int r = 0; r < table.RowCount(); ++r) {
    line.clear();
    // As the table is shown: with its "Object" column once an image has a
    // second object.
    const int columns = table.ShownColumnCount();
    for (int c = 0; c < columns; ++c) {
      if (c > 0) line += QLatin1Char(separator);
      AppendField(line, table.HasObjects() ? table.ShownCell(c, r) : table.Row(r).at(c), separator);
    }
    line += QLatin1String("\r\n");
    // The quote characters are ASCII, which every 8-bit code page keeps as
    // it is, so quoting before encoding gives the same bytes as after.
    out += line.toLocal8Bit();
  }
  return out;
}
