#include "results/ResultsFile.h"

#include "results/ResultsTable.h"

namespace {
bool NeedsQuotes(const QByteArray &field, qsizetype from) {
  for (qsizetype i = from; i < field.size(); ++i) {
    const char c = field[i];
    if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
  }
  return false;
}

// Appends the field in the local 8-bit encoding. Plain ASCII, which is what
// numbers and most names are, is copied unit by unit; anything else goes
// through the full encoder.
void AppendEncoded(QByteArray &out, const QString &field) {
  const QChar *units = field.constData();
  const qsizetype n = field.size();
  qsizetype i = 0;
  while (i < n && units[i].unicode() < 0x80) ++i;
  if (i < n) {
    out += field.toLocal8Bit();
    return;
  }
  const qsizetype start = out.size();
  out.resize(start + n);
  char *dst = out.data() + start;
  for (qsizetype k = 0; k < n; ++k) dst[k] = char(units[k].unicode());
}

void AppendField(QByteArray &out, const QString &field, char separator) {
  const qsizetype start = out.size();
  AppendEncoded(out, field);
  // The quote characters are ASCII and never occur inside a multi-byte
  // character, so the test and the doubling work on the encoded bytes.
  if (separator != ',' || !NeedsQuotes(out, start)) return;
  const QByteArray encoded = out.mid(start);
  out.truncate(start);
  out += '"';
  for (char c : encoded) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}
}  // namespace

namespace {
// Whether every cell is plain ASCII that needs no quotes, and the line's
// length if so.
bool PlainLine(const QString *cells, int count, char separator, qsizetype &length) {
  length = 2 + (count > 0 ? count - 1 : 0);
  for (int c = 0; c < count; ++c) {
    const QChar *units = cells[c].constData();
    const qsizetype n = cells[c].size();
    for (qsizetype i = 0; i < n; ++i) {
      const char16_t u = units[i].unicode();
      if (u >= 0x80) return false;
      if (separator == ',' && (u == ',' || u == '"' || u == '\r' || u == '\n')) return false;
    }
    length += n;
  }
  return true;
}
}  // namespace

QByteArray ResultsFileLine(const QString *cells, int count, char separator) {
  qsizetype length = 0;
  if (PlainLine(cells, count, separator, length)) {
    // The common case, numbers and ASCII names: one allocation, unit by unit.
    QByteArray line(length, Qt::Uninitialized);
    char *dst = line.data();
    for (int c = 0; c < count; ++c) {
      if (c > 0) *dst++ = separator;
      const QChar *units = cells[c].constData();
      for (qsizetype i = 0, n = cells[c].size(); i < n; ++i) *dst++ = char(units[i].unicode());
    }
    *dst++ = '\r';
    *dst = '\n';
    return line;
  }
  QByteArray line;
  line.reserve(length + count * 2);
  for (int c = 0; c < count; ++c) {
    if (c > 0) line += separator;
    AppendField(line, cells[c], separator);
  }
  line += "\r\n";
  return line;
}

QByteArray ResultsFileBytes(const TResultsTable &table, char separator) {
  qsizetype total = 0;
  for (int r = 0; r < table.RowCount(); ++r) total += table.FileLine(r, separator).size();
  QByteArray bytes;
  bytes.reserve(total);
  for (int r = 0; r < table.RowCount(); ++r) bytes += table.FileLine(r, separator);
  return bytes;
}
