#include "results/ResultsFileWriter.h"

#include "results/ResultsTable.h"

#include <QSemaphore>
#include <QThreadPool>
#include <atomic>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The length of row `r`'s line when it is plain: its text, in which the NUL
// after each cell becomes a separator and the last one CR, then LF.
qsizetype PlainLineLength(const TResultsTable &table, int r) { return table.RowText(r).size() + 1; }

// Writes row `r`'s line at `dst`, PlainLineLength bytes, and tells whether it
// is right: a row of plain ASCII cells that need no quotes, which is what
// numbers, folders and most names are, is narrowed straight from the row's
// text in one pass, each NUL that ends a cell becoming the separator. It is
// not right when a unit is beyond ASCII, when the comma-separated layout
// needs quotes (a comma, a quote, a line break) or when a cell holds a NUL of
// its own. With SSE2, which every x86-64 processor has, sixteen units go at
// a time.
bool WritePlainLine(char *dst, const TResultsTable &table, int r, char separator) {
  const QString &row = table.RowText(r);
  const auto *text = reinterpret_cast<const char16_t *>(row.constData());
  const qsizetype size = row.size();
  const bool csv = separator == ',';
  qsizetype i = 0, nuls = 0;
  bool plain = true;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128(), sep = _mm_set1_epi8(separator);
  __m128i seen = zero, special = zero;
  auto specials = [](__m128i v) {
    return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(',')), _mm_cmpeq_epi8(v, _mm_set1_epi8('"'))),
                        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
  };
  for (; i + 16 <= size; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + 8));
    seen = _mm_or_si128(seen, _mm_or_si128(a, b));
    const __m128i bytes = _mm_packus_epi16(a, b);
    if (csv) special = _mm_or_si128(special, specials(bytes));
    const __m128i ends = _mm_cmpeq_epi8(bytes, zero);
    nuls += __builtin_popcount(unsigned(_mm_movemask_epi8(ends)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i),
                     _mm_or_si128(_mm_andnot_si128(ends, bytes), _mm_and_si128(ends, sep)));
  }
  plain = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(seen, _mm_set1_epi16(short(0xff80))), zero)) == 0xffff &&
          _mm_movemask_epi8(special) == 0;
#endif
  for (; i < size; ++i) {
    const char16_t u = text[i];
    plain = plain && u < 0x80 && !(csv && (u == ',' || u == '"' || u == '\r' || u == '\n'));
    nuls += u == 0;
    dst[i] = u == 0 ? separator : char(u);
  }
  dst[size - 1] = '\r';
  dst[size] = '\n';
  return plain && nuls == table.ColumnCount();
}

// Appends row `r`'s line, CR LF included; a line that is not plain is
// encoded field by field.
void AppendLine(QByteArray &out, const TResultsTable &table, int r, char separator) {
  const qsizetype start = out.size();
  out.resize(start + PlainLineLength(table, r));
  if (WritePlainLine(out.data() + start, table, r, separator)) return;
  out.truncate(start);
  const int count = table.ColumnCount();
  for (int c = 0; c < count; ++c) {
    if (c > 0) out += separator;
    AppendField(out, table.Cell(c, r), separator);
  }
  out += "\r\n";
}

// The lines of rows first .. end - 1. Plain lines go straight to their
// places; from the first row that is not plain on, lines are appended one by
// one.
QByteArray EncodeRows(const TResultsTable &table, int first, int end, char separator) {
  qsizetype total = 0;
  for (int r = first; r < end; ++r) total += PlainLineLength(table, r);
  QByteArray out(total, Qt::Uninitialized);
  qsizetype at = 0;
  for (int r = first; r < end; ++r) {
    if (!WritePlainLine(out.data() + at, table, r, separator)) {
      out.truncate(at);
      for (; r < end; ++r) AppendLine(out, table, r, separator);
      break;
    }
    at += PlainLineLength(table, r);
  }
  return out;
}
}  // namespace

const std::vector<QByteArray> &TResultsFileWriter::Pieces(const TResultsTable &table, char separator) {
  if (separator != Separator_) {
    Stamps_.clear();
    Separator_ = separator;
  }
  const int rows = table.RowCount(), encoded = int(Stamps_.size());
  const int blocks = (rows + kRowsPerBlock - 1) / kRowsPerBlock;
  // A block is kept when it covers the same rows as before and none of them
  // has changed since it was encoded.
  std::vector<int> stale;
  int staleRows = 0;
  for (int k = 0; k < blocks; ++k) {
    const int first = k * kRowsPerBlock, end = qMin(rows, first + kRowsPerBlock);
    bool kept = qMin(encoded, first + kRowsPerBlock) == end;
    for (int r = first; kept && r < end; ++r) kept = Stamps_[size_t(r)] == table.RowStamp(r);
    if (!kept) {
      stale.push_back(k);
      staleRows += end - first;
    }
  }
  Blocks_.resize(size_t(blocks));
  // Many blocks (a first save, another layout, other columns) are encoded on
  // two threads at once when the processor has two cores.
  std::atomic<size_t> next{0};
  auto encode = [&] {
    for (size_t i; (i = next++) < stale.size();) {
      const int first = stale[i] * kRowsPerBlock;
      Blocks_[size_t(stale[i])] = EncodeRows(table, first, qMin(rows, first + kRowsPerBlock), separator);
    }
  };
  constexpr int kRowsForTwoThreads = 2048;
  const bool two = staleRows >= kRowsForTwoThreads && QThreadPool::globalInstance()->maxThreadCount() > 1;
  QSemaphore done;
  if (two) QThreadPool::globalInstance()->start([&] {
      encode();
      done.release();
    });
  encode();
  if (two) done.acquire();
  Stamps_.resize(size_t(rows));
  for (int r = 0; r < rows; ++r) Stamps_[size_t(r)] = table.RowStamp(r);
  return Blocks_;
}

QByteArray TResultsFileWriter::Bytes(const TResultsTable &table, char separator) {
  QByteArray bytes;
  for (const QByteArray &piece : Pieces(table, separator)) bytes += piece;
  return bytes;
}

QByteArray ResultsFileBytes(const TResultsTable &table, char separator) {
  return TResultsFileWriter().Bytes(table, separator);
}
