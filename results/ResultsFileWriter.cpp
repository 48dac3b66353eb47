#include "results/ResultsFileWriter.h"

#include "results/ResultsTable.h"

namespace {
bool NeedsQuotes(const QByteArray &field) {
  for (char c : field)
    if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
  return false;
}

// Appends the field in the local 8-bit encoding, quoted where the
// comma-separated layout needs it. The quote characters are ASCII and never
// occur inside a multi-byte character, so the test and the doubling work on
// the encoded bytes.
void AppendField(QByteArray &out, const QString &field, char separator) {
  const QByteArray encoded = field.toLocal8Bit();
  if (separator != ',' || !NeedsQuotes(encoded)) {
    out += encoded;
    return;
  }
  out += '"';
  for (char c : encoded) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// Appends one line, CR LF included. Plain ASCII cells that need no quotes,
// which is what numbers, folders and most names are, are copied unit by unit
// straight into the buffer; a line holding anything else is encoded again
// field by field.
template <bool Csv>
void AppendLine(QByteArray &out, const QString *cells, int count) {
  constexpr char separator = Csv ? ',' : '\t';
  qsizetype units = 2 + (count > 0 ? count - 1 : 0);
  for (int c = 0; c < count; ++c) units += cells[c].size();
  const qsizetype start = out.size();
  out.resize(start + units);
  char *dst = out.data() + start;
  char16_t seen = 0;
  bool quoted = false;
  for (int c = 0; c < count; ++c) {
    if (c > 0) *dst++ = separator;
    const auto *src = reinterpret_cast<const char16_t *>(cells[c].constData());
    const qsizetype n = cells[c].size();
    for (qsizetype i = 0; i < n; ++i) {
      const char16_t u = src[i];
      seen |= u;
      if (Csv) quoted |= u == ',' || u == '"' || u == '\r' || u == '\n';
      dst[i] = char(u);
    }
    dst += n;
  }
  if (seen < 0x80 && !quoted) {
    dst[0] = '\r';
    dst[1] = '\n';
    return;
  }
  out.truncate(start);
  for (int c = 0; c < count; ++c) {
    if (c > 0) out += separator;
    AppendField(out, cells[c], separator);
  }
  out += "\r\n";
}
}  // namespace

QByteArray TResultsFileWriter::Bytes(const TResultsTable &table, char separator) {
  if (separator != Separator_) {
    Stamps_.clear();
    Separator_ = separator;
  }
  const int rows = table.RowCount(), columns = table.ColumnCount();
  // Room for the last file, or for every row as long as the longer of the
  // first two; the buffer grows if that is not enough.
  qsizetype room = Bytes_.size();
  for (int r = 0; r < qMin(rows, 2) && room == 0; ++r) {
    qsizetype length = columns + 1;
    for (int c = 0; c < columns; ++c) length += table.RowCells(r)[c].size();
    room = qMax(room, length * rows);
  }
  QByteArray bytes;
  bytes.reserve(room + room / 8);
  std::vector<qsizetype> ends(size_t(rows), 0);
  for (int r = 0; r < rows; ++r) {
    const size_t k = size_t(r);
    if (k < Stamps_.size() && Stamps_[k] == table.RowStamp(r)) {
      const qsizetype begin = k > 0 ? Ends_[k - 1] : 0;
      bytes.append(Bytes_.constData() + begin, Ends_[k] - begin);
    } else if (separator == ',') {
      AppendLine<true>(bytes, table.RowCells(r), columns);
    } else {
      AppendLine<false>(bytes, table.RowCells(r), columns);
    }
    ends[k] = bytes.size();
  }
  Stamps_.resize(size_t(rows));
  for (int r = 0; r < rows; ++r) Stamps_[size_t(r)] = table.RowStamp(r);
  Ends_ = std::move(ends);
  Bytes_ = bytes;
  return bytes;
}

QByteArray ResultsFileBytes(const TResultsTable &table, char separator) {
  return TResultsFileWriter().Bytes(table, separator);
}
