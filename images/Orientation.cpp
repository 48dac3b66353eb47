#include "images/Orientation.h"

#include <algorithm>
#include <cstring>

namespace {
// Reads the TIFF structure inside an EXIF segment in the byte order its
// header names. Every read is checked against the end of the data.
struct TiffBytes {
  const unsigned char *Data;
  size_t Size;
  bool BigEndian;

  bool Has(size_t at, size_t length) const { return at <= Size && length <= Size - at; }
  unsigned U16(size_t at) const {
    const unsigned a = Data[at], b = Data[at + 1];
    return BigEndian ? a << 8 | b : b << 8 | a;
  }
  unsigned long U32(size_t at) const {
    const unsigned long hi = U16(at), lo = U16(at + 2);
    return BigEndian ? hi << 16 | lo : lo << 16 | hi;
  }
};

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShort = 3;
}  // namespace

int ExifOrientation(const unsigned char *data, size_t size) {
  static const unsigned char kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
  if (!data || size < sizeof kExif + 8 || std::memcmp(data, kExif, sizeof kExif) != 0) return 1;
  TiffBytes t{data + sizeof kExif, size - sizeof kExif, false};
  if (t.Data[0] == 'M' && t.Data[1] == 'M')
    t.BigEndian = true;
  else if (t.Data[0] != 'I' || t.Data[1] != 'I')
    return 1;
  if (t.U16(2) != 42) return 1;
  const unsigned long directory = t.U32(4);
  if (!t.Has(directory, 2)) return 1;
  const unsigned entries = t.U16(directory);
  for (unsigned i = 0; i < entries; ++i) {
    const size_t at = directory + 2 + size_t(i) * 12;
    if (!t.Has(at, 12)) break;
    if (t.U16(at) != kOrientationTag) continue;
    // One SHORT, held in the entry itself.
    if (t.U16(at + 2) != kShort || t.U32(at + 4) < 1) return 1;
    const unsigned value = t.U16(at + 8);
    return value >= 1 && value <= 8 ? int(value) : 1;
  }
  return 1;
}

QSize UprightSize(QSize stored, int orientation) {
  return orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
}

void PlaceUpright(const QRgb *rows, qsizetype rowStride, int width, int storedHeight, int first, int count,
                  int orientation, QImage &upright) {
  uchar *bits = upright.bits();
  const qsizetype line = upright.bytesPerLine();
  const auto uprightRow = [&](int y) { return reinterpret_cast<QRgb *>(bits + y * line); };
  if (orientation < 5 || orientation > 8) {
    // Stored rows stay rows, mirrored left to right (2, 3) and taken from
    // the bottom up (3, 4).
    const bool mirror = orientation == 2 || orientation == 3;
    const bool fromBottom = orientation == 3 || orientation == 4;
    for (int i = 0; i < count; ++i) {
      const int y = first + i;
      const QRgb *from = rows + i * rowStride;
      QRgb *to = uprightRow(fromBottom ? storedHeight - 1 - y : y);
      if (mirror)
        std::reverse_copy(from, from + width, to);
      else
        std::copy(from, from + width, to);
    }
    return;
  }
  // Stored rows become columns: stored row y is upright column y (5, 8) or
  // the one as far from the right (6, 7); stored column x is upright row x
  // (5, 6) or the one as far from the bottom (7, 8). The rows given are
  // written a short run of pixels to each upright row.
  const bool columnsFromRight = orientation == 6 || orientation == 7;
  const bool rowsFromBottom = orientation == 7 || orientation == 8;
  for (int x = 0; x < width; ++x) {
    QRgb *to = uprightRow(rowsFromBottom ? width - 1 - x : x);
    for (int i = 0; i < count; ++i) {
      const int y = first + i;
      to[columnsFromRight ? storedHeight - 1 - y : y] = rows[i * rowStride + x];
    }
  }
}
