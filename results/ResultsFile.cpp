#include "results/ResultsFile.h"

#include "results/ResultsTable.h"

namespace {
void AppendField(QString &out, const QString &field, QChar separator) {
  const bool quote = separator == u',' && (field.contains(u',') || field.contains(u'"') ||
                                           field.contains(u'\r') || field.contains(u'\n'));
  if (!quote) {
    out += field;
    return;
  }
  out += u'"';
  for (QChar c : field) {
    if (c == u'"') out += u'"';
    out += c;
  }
  out += u'"';
}
}  // namespace

QByteArray ResultsFileBytes(const TResultsTable &table, char separator) {
  // The whole text is built first and encoded once: encoding cell by cell
  // costs far more than writing the file.
  const QChar sep = QLatin1Char(separator);
  QString text;
  for (int r = 0; r < table.RowCount(); ++r) {
    for (int c = 0; c < table.ColumnCount(); ++c) {
      if (c > 0) text += sep;
      AppendField(text, table.Cell(c, r), sep);
    }
    text += QLatin1String("\r\n");
  }
  return text.toLocal8Bit();
}
