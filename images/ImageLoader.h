#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

#include <atomic>

// The largest picture the program will decode, in pixels. At four bytes a
// pixel this is 1 GiB of image memory; anything larger is refused before any
// pixel memory is allocated. Fuzz builds set a smaller bound: a sound picture
// of the full size takes seconds to decode, longer than the fuzzer allows one
// input, and arithmetic coding packs a flat one into a few hundred bytes.
#ifdef SCALIPER_MAX_IMAGE_PIXELS
constexpr qint64 kMaxImagePixels = SCALIPER_MAX_IMAGE_PIXELS;
#else
constexpr qint64 kMaxImagePixels = qint64(1) << 28;
#endif

// The largest image file that will be read.
constexpr qint64 kMaxImageFileBytes = qint64(1) << 30;

// Decodes a JPEG held in memory. Grey-scale, colour and CMYK/YCCK pictures
// all come out as Format_RGB32, turned upright as the EXIF orientation in
// the file says, so that the picture's height is what stands up on the
// screen. Data that libjpeg can recover from (a file cut short, for
// instance) still gives a picture. On failure returns false and leaves
// `out` as it was.
bool LoadJpeg(const QByteArray &bytes, QImage &out);

// Decodes a Windows bitmap held in memory. The result is Format_RGB32, or
// Format_ARGB32 when the bitmap has an alpha channel. On failure returns false
// and leaves `out` as it was.
bool LoadBmp(const QByteArray &bytes, QImage &out);

// Raises Qt's image reader allocation limit (one setting for the whole
// process) to the program's own bound; the readers that go through Qt do it
// when needed. Called before a worker thread reads pictures, so that the
// setting is written once, on the user-interface thread, which reads it too.
// A picture of 16 bits a channel needs twice the memory while it is read,
// so one of more than half the pixel bound is refused by Qt's reader.
void RaiseImageReaderLimit();

// How a file is read, decided by its name's extension alone, in any case:
// .jpeg and .jpg as JPEG, .bmp as a Windows bitmap, .png as PNG, .tif and
// .tiff as TIFF, .webp as WebP, anything else not at all.
enum class ImageKind { Jpeg, Bmp, Png, Tiff, Webp, Other };
ImageKind ImageKindOf(const QString &path);

// Decodes a picture of `kind` held in memory. PNG, TIFF (its first page)
// and WebP are read by Qt's reader of that format alone, 8 or 16 bits a
// channel, grey or colour, turned upright as a TIFF's orientation says; the
// size they claim is checked against the bound first. The result is
// Format_RGB32, or Format_ARGB32 for a picture with an alpha channel. On
// failure returns false and leaves `out` as it was. `recycled` and `cancel`
// as for LoadImageFile.
bool LoadPicture(const QByteArray &bytes, ImageKind kind, QImage &out, QImage *recycled = nullptr,
                 const std::atomic<bool> *cancel = nullptr);

// Reads an image file whole and decodes it as `kind`. Missing, unreadable
// or over-large files, and anything that is not a regular file (a folder, a
// pipe, a device), give false.
//
// `recycled`, when given, is a picture no longer needed: a picture of its
// size and format is decoded into its memory, which then needs no fresh
// pages from the system; otherwise it is freed before anything is
// allocated. After a failure it holds the memory again if it was used.
// `cancel`, when given and set, stops a JPEG decode early with false.
bool LoadImageFile(const QString &path, ImageKind kind, QImage &out, QImage *recycled = nullptr,
                   const std::atomic<bool> *cancel = nullptr);
