#pragma once

#include <QImage>
#include <QRgb>
#include <QSize>

#include <cstddef>

// How a camera says its picture is to be turned: the orientation of EXIF
// and TIFF, 1 to 8. 1 is upright as stored; 2 mirrored left to right; 3
// turned half round; 4 mirrored top to bottom; 5 mirrored along the
// diagonal from the top-left corner; 6 to be turned a quarter clockwise
// (a phone held upright); 7 mirrored along the other diagonal; 8 to be
// turned a quarter anticlockwise.

// The orientation an APP1 segment's payload names, when it is EXIF data
// ("Exif" and two zero bytes, then a TIFF header): the Orientation tag of
// its first directory. 1 when there is none, or the data is damaged or
// names no valid value. Only the bytes given are read, whatever offsets
// and counts the data claims.
int ExifOrientation(const unsigned char *data, size_t size);

// The size of a stored picture once turned upright.
QSize UprightSize(QSize stored, int orientation);

// Puts `count` rows of a stored picture, rows `first` onwards (of
// `storedHeight`, each `width` pixels, `rowStride` pixels apart from the
// next in `rows`), where they belong in the upright picture `upright`,
// which has UprightSize of the stored size and 32 bits a pixel.
void PlaceUpright(const QRgb *rows, qsizetype rowStride, int width, int storedHeight, int first, int count,
                  int orientation, QImage &upright);
