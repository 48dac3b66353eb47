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

// Narrows units of a row's text to bytes and notes on the way whether any
// of them is beyond ASCII or, for the comma-separated layout, needs quotes
// (a comma, a quote, a line break). With SSE2, which every x86-64 processor
// has, sixteen units go at a time as long as the text holds sixteen more.
class TNarrower {
public:
  explicit TNarrower(bool csv) : Csv_(csv) {}

  // Writes `n` units from `src` to `dst`; `available` units may be read from
  // `src`. Bytes written past `n` are written over by what follows.
  void Copy(const char16_t *src, qsizetype n, qsizetype available, char *dst) {
    qsizetype i = 0;
#ifdef __SSE2__
    for (; i < n && i + 16 <= available; i += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i + 8));
      Any_ = _mm_or_si128(Any_, _mm_or_si128(a, b));
      if (Csv_) Special_ = _mm_or_si128(Special_, _mm_or_si128(Specials(a), Specials(b)));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(a, b));
    }
#else
    (void)available;
#endif
    for (; i < n; ++i) {
      const char16_t u = src[i];
      Seen_ |= u;
      Quoted_ = Quoted_ || (Csv_ && (u == ',' || u == '"' || u == '\r' || u == '\n'));
      dst[i] = char(u);
    }
  }

  // Whether everything copied so far was plain ASCII that needs no quotes.
  bool Plain() const {
#ifdef __SSE2__
    const __m128i high = _mm_and_si128(Any_, _mm_set1_epi16(short(0xff80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xffff) return false;
    if (_mm_movemask_epi8(Special_) != 0) return false;
#endif
    return Seen_ < 0x80 && !Quoted_;
  }

private:
#ifdef __SSE2__
  static __m128i Specials(__m128i v) {
    return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(',')), _mm_cmpeq_epi16(v, _mm_set1_epi16('"'))),
                        _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('\r')), _mm_cmpeq_epi16(v, _mm_set1_epi16('\n'))));
  }
  __m128i Any_ = _mm_setzero_si128(), Special_ = _mm_setzero_si128();
#endif
  bool Csv_;
  char16_t Seen_ = 0;
  bool Quoted_ = false;
};

// The length of row `r`'s line when it is plain: its text, a separator
// between cells, CR LF.
qsizetype PlainLineLength(const TResultsTable &table, int r) {
  return table.RowText(r).size() + table.ColumnCount() + 1;
}

// Writes row `r`'s line at `dst`, PlainLineLength bytes, and tells whether it
// is right: a row of plain ASCII cells that need no quotes, which is what
// numbers, folders and most names are, is copied straight from the row's text.
// Nothing is written beyond the line.
bool WritePlainLine(char *dst, const TResultsTable &table, int r, char separator) {
  const int count = table.ColumnCount();
  const QString &row = table.RowText(r);
  const auto *text = reinterpret_cast<const char16_t *>(row.constData());
  const qsizetype size = row.size();
  const int *ends = table.CellEnds(r);
  TNarrower narrower(separator == ',');
  // A sixteen-unit step stays inside the line: from any cell on, the line
  // has at least as many bytes left as the text has units.
  for (int c = 0, from = 0; c < count; ++c) {
    const int end = ends[c];
    narrower.Copy(text + from, end - from, size - from, dst);
    dst += end - from;
    *dst++ = separator;
    from = end;
  }
  dst[-1] = '\r';
  *dst = '\n';
  return narrower.Plain();
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

// Encodes every row of a large table into `bytes`, on two threads at once
// when the processor has two cores: each row's plain line goes straight to
// its place. False when a row is not plain; `bytes` is then to be made row
// by row.
bool WriteAllPlainLines(QByteArray &bytes, std::vector<qsizetype> &ends, const TResultsTable &table,
                        char separator) {
  const int rows = table.RowCount();
  qsizetype total = 0;
  for (int r = 0; r < rows; ++r) ends[size_t(r)] = total += PlainLineLength(table, r);
  bytes.resize(total);
  char *const data = bytes.data();
  std::atomic<bool> plain{true};
  auto write = [&](int first, int end) {
    for (int r = first; r < end && plain; ++r)
      if (!WritePlainLine(data + (r > 0 ? ends[size_t(r - 1)] : 0), table, r, separator)) plain = false;
  };
  const int half = QThreadPool::globalInstance()->maxThreadCount() > 1 ? rows / 2 : rows;
  QSemaphore done;
  if (half < rows) QThreadPool::globalInstance()->start([&] {
      write(half, rows);
      done.release();
    });
  write(0, half);
  if (half < rows) done.acquire();
  return plain;
}
}  // namespace

QByteArray TResultsFileWriter::Bytes(const TResultsTable &table, char separator) {
  if (separator != Separator_) {
    Stamps_.clear();
    Separator_ = separator;
  }
  const int rows = table.RowCount(), columns = table.ColumnCount();
  // Room for the last file, or for every row as long as the longer of the
  // first two; the buffer grows if that is not enough. The bytes made two
  // saves ago are written over: memory touched for the first time costs a
  // page fault every few kilobytes.
  qsizetype room = Bytes_.size();
  if (room == 0)
    for (int r = 0; r < qMin(rows, 2); ++r) room = qMax(room, (table.RowText(r).size() + columns + 1) * rows);
  QByteArray bytes = std::move(Spare_);
  bytes.resize(0);
  bytes.reserve(room + room / 8);
  auto kept = [&](int r) { return size_t(r) < Stamps_.size() && Stamps_[size_t(r)] == table.RowStamp(r); };
  std::vector<qsizetype> ends(size_t(rows), 0);
  // With nothing kept (the first save, another layout, other columns) a
  // large table is written in two halves at once.
  constexpr int kRowsForTwoHalves = 2048;
  const bool whole = rows >= kRowsForTwoHalves && Stamps_.empty() && WriteAllPlainLines(bytes, ends, table, separator);
  if (!whole) bytes.resize(0);
  for (int r = whole ? rows : 0; r < rows;) {
    if (!kept(r)) {
      AppendLine(bytes, table, r, separator);
      ends[size_t(r++)] = bytes.size();
      continue;
    }
    // A run of rows that have not changed is copied in one piece.
    int last = r;
    while (last + 1 < rows && kept(last + 1)) ++last;
    const qsizetype from = r > 0 ? Ends_[size_t(r - 1)] : 0, shift = bytes.size() - from;
    bytes.append(Bytes_.constData() + from, Ends_[size_t(last)] - from);
    for (; r <= last; ++r) ends[size_t(r)] = Ends_[size_t(r)] + shift;
  }
  Stamps_.resize(size_t(rows));
  for (int r = 0; r < rows; ++r) Stamps_[size_t(r)] = table.RowStamp(r);
  Ends_ = std::move(ends);
  Spare_ = std::move(Bytes_);
  Bytes_ = bytes;
  return bytes;
}

QByteArray ResultsFileBytes(const TResultsTable &table, char separator) {
  return TResultsFileWriter().Bytes(table, separator);
}
