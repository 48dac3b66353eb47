#pragma once
// Small image files written byte for byte, for the tests, the fuzz seed
// corpora and the benchmarks. Nothing here depends on the test framework.
#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QtGlobal>

#include <vector>

enum class JpegKind { Baseline, Progressive, Grey, AdobeCmyk, Arithmetic };

// Writes a solid-colour JPEG through libjpeg's compressor. For CMYK the inks
// are stored inverted, as Adobe-marked files hold them.
QByteArray MakeJpeg(JpegKind kind, int w, int h, QRgb colour);

// Writes a JPEG of `w` x `h` with a smooth gradient and some noise, so that
// it compresses like a photograph rather than like a flat colour.
QByteArray MakePhotoJpeg(int w, int h, int seed);

// Offsets of the frame header's fields in a JPEG written above: the sample
// precision byte, then height and width (two bytes each, big-endian).
// Returns -1 when there is no SOF marker.
qsizetype JpegFramePrecisionOffset(const QByteArray &jpeg);

// Returns `jpeg` with the dimensions in its frame header replaced.
QByteArray WithJpegSize(QByteArray jpeg, int w, int h);

// A Windows bitmap, built field by field so that tests can write both sound
// and damaged ones. The picture is a two-by-two checkerboard: the top-left and
// bottom-right quarters are "dark" (black), the others "light" (white, or
// the lightest grey a 16-bit layout can hold).
struct BmpLayout {
  int Bits = 24;          // 1, 4, 8, 16, 24 or 32
  int Width = 8;
  int Height = 6;         // negative: rows stored top row first
  int Compression = 0;    // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  int PaletteEntries = -1;  // -1: 2^Bits for depths up to 8, none above
  quint32 Masks[3] = {0, 0, 0};  // red, green, blue for bit fields; 0,0,0 with
                                 // UseMasks false gives the usual 5-6-5 / 8-8-8
  bool UseMasks = false;  // write Masks exactly as given
  QByteArray Pixels;      // raw pixel data to use instead of the checkerboard
};
QByteArray MakeBmp(const BmpLayout &layout);

// Writes `picture` as a baseline JPEG; `fullChroma` keeps colour at full
// resolution (4:4:4) instead of halving it both ways.
QByteArray JpegOf(const QImage &picture, int quality, bool fullChroma);

// Returns `jpeg` with an EXIF segment after its start marker whose first
// directory names a camera make and then `orientation`, in the byte order
// given.
QByteArray WithExifOrientation(const QByteArray &jpeg, int orientation, bool bigEndian = false);

// A page of a TIFF written below: uncompressed, 8 or 16 bits a sample, grey
// (the red channel) or RGB, with an orientation tag, and a size that may
// claim other than the picture holds.
struct TiffPage {
  QImage Picture;
  int Bits = 8;
  bool Grey = false;
  int Orientation = 1;
  QSize Claimed;  // invalid: the picture's own
};
QByteArray MakeTiff(const std::vector<TiffPage> &pages);

// Returns a PNG whose header claims `w` x `h`, its checksum made right.
QByteArray WithPngSize(QByteArray png, int w, int h);
