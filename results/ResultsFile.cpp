#include "results/ResultsFile.h"

#include "results/ResultsTable.h"

namespace {
void AppendField(QByteArray &out, const QByteArray &field, char separator) {
  const bool quote = separator == ',' && (field.contains(',') || field.contains('"') ||
                                          field.contains('\r') || field.contains('\n'));
  if (!quote) {
    out += field;
    return;
  }
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}
}  // namespace

QByteArray ResultsFileBytes(const TResultsTable &table, char separator) {
  QByteArray out;
  for (int r = 0; r < table.RowCount(); ++r) {
    for (int c = 0; c < table.ColumnCount(); ++c) {
      if (c > 0) out += separator;
      AppendField(out, table.Cell(c, r).toLocal8Bit(), separator);
    }
    out += "\r\n";
  }
  return out;
}
