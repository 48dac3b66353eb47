#include "images/ImageLoader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "common/WholeFile.h"
#include "images/Orientation.h"

namespace {

// libjpeg's default error handler ends the process; this one jumps back to
// the decoder so that a damaged file is reported as a failure instead.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
  auto *err = reinterpret_cast<JpegErrorManager *>(cinfo->err);
  std::longjmp(err->jump, 1);
}

// Warnings and trace messages are not shown to anyone.
extern "C" void JpegOutputMessage(j_common_ptr) {}

// No encoder writes anywhere near this many scans; a file with more is
// built to make the decoder pass over the whole picture again and again.
constexpr int kMaxJpegScans = 100;

// When the compressed data runs out before the picture is complete (the
// input stands at a marker, or at the end marker the source supplies for a
// file cut short), libjpeg decodes the rest from no data at all. That is how
// a file cut short still shows what it has, and how arithmetic coding ends a
// flat picture in a few bytes. It is allowed while the part still to come is
// cheap or not far larger than what the data covered; beyond that a handful
// of bytes claiming a huge picture would cost the memory and time of the
// whole picture (a gigabyte and seconds), and the decode stops.
constexpr qint64 kCheapFillPixels = kMaxImagePixels / 8;
constexpr qint64 kFillPerPixelRead = 15;

// The decoder's progress monitor, with what it has seen of the data.
struct JpegMonitor {
  jpeg_progress_mgr pub;
  bool DataEnded = false;
  const std::atomic<bool> *Cancel = nullptr;  // set: the picture is no longer wanted
};

// A picture to be turned upright is decoded this many stored rows at a
// time, which are then put in their places.
constexpr int kBandRows = 16;

bool Cancelled(const JpegMonitor &monitor) {
  return monitor.Cancel && monitor.Cancel->load(std::memory_order_relaxed);
}

extern "C" void JpegProgress(j_common_ptr common) {
  if (!common->is_decompressor) return;
  auto *cinfo = reinterpret_cast<j_decompress_ptr>(common);
  if (cinfo->input_scan_number > kMaxJpegScans) JpegErrorExit(common);
  auto *monitor = reinterpret_cast<JpegMonitor *>(cinfo->progress);
  if (Cancelled(*monitor)) JpegErrorExit(common);
  // Restart markers stand between the pieces of a scan's data; any other
  // marker ends it.
  const int marker = cinfo->unread_marker;
  if (monitor->DataEnded || marker == 0 || (marker >= 0xD0 && marker <= 0xD7)) return;
  const qint64 rows = cinfo->total_iMCU_rows, done = cinfo->input_iMCU_row;
  if (rows <= 0 || done + 1 >= rows) return;  // at the scan's end a marker is due
  monitor->DataEnded = true;
  const qint64 pixels = qint64(cinfo->image_width) * cinfo->image_height;
  const qint64 missing = pixels * (rows - done) / rows;
  // An earlier scan covered the whole picture.
  const qint64 read = cinfo->input_scan_number > 1 ? pixels : pixels - missing;
  if (missing > qMax(kCheapFillPixels, kFillPerPixelRead * read)) JpegErrorExit(common);
}

// Everything the decoder changes lives here, outside the frame that calls
// setjmp, so that nothing it needs after a longjmp is left indeterminate.
struct JpegDecodeState {
  jpeg_decompress_struct cinfo;
  JpegErrorManager err;
  JpegMonitor progress;
  QImage image;
  QImage *recycled = nullptr;  // memory to decode into when the size fits
  const QByteArray *bytes = nullptr;  // the whole file
  std::vector<JSAMPLE> cmykRow;
  std::vector<QRgb> band;  // stored rows on their way to the upright picture
  bool created = false;
};

// Converts one row of CMYK samples to 0xffRRGGBB pixels. Files with an Adobe
// marker store the inks inverted (0 means full ink), which is how nearly all
// CMYK JPEGs are written.
void CmykRowToRgb32(const JSAMPLE *src, QRgb *dst, int width, bool inverted) {
  for (int x = 0; x < width; ++x, src += 4) {
    int c = src[0], m = src[1], y = src[2], k = src[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    // Here each value is 255 minus the ink, so the channel is (1-C)(1-K).
    dst[x] = qRgb((c * k + 127) / 255, (m * k + 127) / 255, (y * k + 127) / 255);
  }
}

// Runs the decoder; returns false on any error. Only `s` is touched after
// setjmp, and it is reached through a reference that never changes.
bool DecodeJpeg(JpegDecodeState &s) {
  jpeg_decompress_struct &cinfo = s.cinfo;
  cinfo.err = jpeg_std_error(&s.err.pub);
  s.err.pub.error_exit = JpegErrorExit;
  s.err.pub.output_message = JpegOutputMessage;

  if (setjmp(s.err.jump)) return false;

  jpeg_create_decompress(&cinfo);
  s.created = true;
  s.progress.pub.progress_monitor = JpegProgress;
  cinfo.progress = &s.progress.pub;
  // A file that ends early gets the end marker libjpeg's memory source
  // gives it, with a warning, so that what was read is still shown.
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(s.bytes->constData()),
               static_cast<unsigned long>(s.bytes->size()));
  // The EXIF data, which says how the camera was held.
  jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&cinfo, TRUE);

  const qint64 width = cinfo.image_width;
  const qint64 height = cinfo.image_height;
  if (width <= 0 || height <= 0 || width * height > kMaxImagePixels) return false;
  int orientation = 1;
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 || std::memcmp(m->data, "Exif\0\0", 6) != 0) continue;
    orientation = ExifOrientation(m->data, m->data_length);
    break;
  }
  const QSize upright = UprightSize(QSize(int(width), int(height)), orientation);

  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  if (cmyk) {
    cinfo.out_color_space = JCS_CMYK;
  } else {
    // Decode straight into QImage's 32-bit layout. The alpha variants are
    // used because libjpeg-turbo guarantees an opaque 0xFF in the fourth
    // byte for them; grey input is expanded through the same path.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    cinfo.out_color_space = JCS_EXT_BGRA;
#else
    cinfo.out_color_space = JCS_EXT_ARGB;
#endif
  }

  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width != cinfo.image_width || cinfo.output_height != cinfo.image_height ||
      cinfo.output_components != 4)
    return false;

  QImage *recycled = s.recycled;
  if (recycled && recycled->size() == upright && recycled->format() == QImage::Format_RGB32 &&
      recycled->isDetached()) {
    s.image = std::move(*recycled);
  } else {
    if (recycled) *recycled = QImage();  // freed before the new picture is allocated
    s.image = QImage(upright, QImage::Format_RGB32);
  }
  if (s.image.isNull()) return false;
  if (cmyk) s.cmykRow.resize(size_t(width) * 4);
  // Upright as stored, the rows are decoded where they belong; otherwise a
  // band of them at a time is decoded and then turned into place.
  const bool turned = orientation != 1;
  if (turned) s.band.resize(size_t(width) * kBandRows);

  while (cinfo.output_scanline < cinfo.output_height) {
    if (Cancelled(s.progress)) return false;
    const int first = int(cinfo.output_scanline);
    const int count = turned ? int(qMin<qint64>(kBandRows, height - first)) : 1;
    for (int i = 0; i < count; ++i) {
      QRgb *pixels = turned ? s.band.data() + size_t(i) * size_t(width)
                            : reinterpret_cast<QRgb *>(s.image.scanLine(first + i));
      JSAMPROW row = cmyk ? s.cmykRow.data() : reinterpret_cast<JSAMPROW>(pixels);
      if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) return false;
      if (cmyk) CmykRowToRgb32(s.cmykRow.data(), pixels, int(width), cinfo.saw_Adobe_marker);
    }
    if (turned) PlaceUpright(s.band.data(), width, int(width), int(height), first, count, orientation, s.image);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

// Decodes the JPEG that `bytes` hold.
bool DecodeJpegBytes(const QByteArray &bytes, QImage &out, QImage *recycled = nullptr,
                     const std::atomic<bool> *cancel = nullptr) {
  JpegDecodeState state;
  state.bytes = &bytes;
  state.recycled = recycled;
  state.progress.Cancel = cancel;
  const bool ok = DecodeJpeg(state);
  if (state.created) jpeg_destroy_decompress(&state.cinfo);
  if (!ok) {
    if (recycled && recycled->isNull()) *recycled = std::move(state.image);
    return false;
  }
  out = std::move(state.image);
  return true;
}

}  // namespace

bool LoadJpeg(const QByteArray &bytes, QImage &out) { return !bytes.isEmpty() && DecodeJpegBytes(bytes, out); }

namespace {

quint32 Le32(const QByteArray &b, qsizetype at) {
  return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 |
         quint32(uchar(b[at + 3])) << 24;
}
int Le16(const QByteArray &b, qsizetype at) { return int(uchar(b[at])) | int(uchar(b[at + 1])) << 8; }

// What the checks below need from a bitmap's headers.
struct BmpLayout {
  qint64 Width = 0;
  qint64 Height = 0;  // negative: rows stored top row first
  int Bits = 0;
  int Compression = 0;
  qint64 DataStart = 0;  // where the pixel data starts, as Qt's reader finds it
  qint64 PaletteStart = 0;
  qint64 PaletteEntries = 0;
  int EntryBytes = 4;  // 3 in the old core header
};

constexpr qint64 kMaxRlePixelsPerByte = 1024;

bool IsRunLength(const BmpLayout &l) { return l.Compression == 1 || l.Compression == 2; }

// Decodes run-length pixel data (RLE8, or RLE4: two pixels a byte) through
// the palette into an RGB32 picture, bottom row first. Runs and literal
// pixels that pass the end of their row are clipped there, as other readers
// do: some encoders cover a row of odd width with runs one pixel longer.
// Pixels the data jumps over or never reaches (it may simply end) keep colour
// 0. Data for rows below the picture, or a jump out of it, cannot be placed:
// the bitmap is refused (a null picture).
QImage DecodeRunLength(const QByteArray &b, const BmpLayout &l) {
  const bool rle4 = l.Compression == 2;
  const int w = int(l.Width), h = int(l.Height);
  QRgb colours[256];
  std::fill(std::begin(colours), std::end(colours), qRgb(0, 0, 0));
  for (qint64 i = 0; i < qMin<qint64>(l.PaletteEntries, 256); ++i) {
    const qsizetype at = qsizetype(l.PaletteStart + i * l.EntryBytes);
    colours[i] = qRgb(uchar(b[at + 2]), uchar(b[at + 1]), uchar(b[at]));
  }
  QImage image(w, h, QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.fill(colours[0]);

  qint64 x = 0, y = 0;  // y counts rows from the bottom
  qsizetype at = qsizetype(l.DataStart);
  // The pixel value at position `i` of a run's or a literal's values.
  const auto value = [rle4](int byte, int i) { return rle4 ? (i & 1 ? byte & 15 : byte >> 4) : byte; };
  while (at + 2 <= b.size()) {
    const int count = uchar(b[at]), code = uchar(b[at + 1]);
    at += 2;
    if (count > 0) {  // a run of one value (two alternating nibbles in RLE4)
      if (y >= h) return QImage();
      QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(int(h - 1 - y)));
      for (int i = 0; i < count && x + i < w; ++i) row[x + i] = colours[value(code, i)];
      x += count;
    } else if (code == 0) {  // end of line
      x = 0;
      ++y;
    } else if (code == 1) {  // end of bitmap
      break;
    } else if (code == 2) {  // jump right and up
      if (at + 2 > b.size()) break;
      x += uchar(b[at]);
      y += uchar(b[at + 1]);
      at += 2;
      if (y > h) return QImage();
    } else {  // `code` literal pixels, padded to an even number of bytes
      if (y >= h) return QImage();
      QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(int(h - 1 - y)));
      const qsizetype bytes = rle4 ? (code + 1) / 2 : code;
      for (int i = 0; i < code && x + i < w; ++i) {
        const qsizetype from = at + (rle4 ? i / 2 : i);
        if (from >= b.size()) break;
        row[x + i] = colours[value(uchar(b[from]), i)];
      }
      x += code;
      at += bytes + (bytes & 1);
    }
  }
  return image;
}

// Checks a bitmap's headers before it is decoded, for what Qt's reader would
// otherwise accept: a picture without rows, a palette larger than the pixel
// depth can index, bit fields that select no colour at all, pixel data that
// is not there, and run-length data claiming far more pixels than it can
// hold.
bool BmpIsSound(const QByteArray &b, BmpLayout &l) {
  constexpr qsizetype kFileHeader = 14;
  if (b.size() < kFileHeader + 16 || b[0] != 'B' || b[1] != 'M') return false;
  const qint64 offBits = Le32(b, 10);
  const qint64 infoSize = Le32(b, kFileHeader);
  qint64 clrUsed = 0;
  int entryBytes = 4;
  qint64 headerEnd = kFileHeader + infoSize;
  if (infoSize == 12) {  // the old core header: 16-bit sizes, 3-byte palette entries
    l.Width = qint16(Le16(b, kFileHeader + 4));
    l.Height = qint16(Le16(b, kFileHeader + 6));
    l.Bits = Le16(b, kFileHeader + 10);
    entryBytes = 3;
  } else if (infoSize == 40 || infoSize == 64 || infoSize == 108 || infoSize == 124) {
    if (b.size() < kFileHeader + 40) return false;
    l.Width = qint32(Le32(b, kFileHeader + 4));
    l.Height = qint32(Le32(b, kFileHeader + 8));
    l.Bits = Le16(b, kFileHeader + 14);
    l.Compression = int(Le32(b, kFileHeader + 16));
    clrUsed = Le32(b, kFileHeader + 32);
    // Qt reads the palette right after the first 40 bytes of the newer headers.
    if (infoSize >= 108) headerEnd = kFileHeader + 40;
  } else {
    // Qt would read any other header as the old core one, taking the first
    // bytes of a longer header for 16-bit sizes: whatever came out would
    // not be the picture.
    return false;
  }
  if (l.Width <= 0 || l.Height == 0) return false;
  if (l.Width * qAbs(l.Height) > kMaxImagePixels) return false;

  qint64 paletteEnd = headerEnd;
  if (l.Bits >= 1 && l.Bits <= 8) {
    const qint64 entries = clrUsed ? clrUsed : qint64(1) << l.Bits;
    if (entries > (qint64(1) << l.Bits)) return false;
    l.PaletteStart = headerEnd;
    l.PaletteEntries = entries;
    l.EntryBytes = entryBytes;
    paletteEnd += entries * entryBytes;
  } else if (l.Compression == 3 && (l.Bits == 16 || l.Bits == 32)) {
    // The red, green and blue masks follow a 40-byte header and are part of
    // the longer ones.
    const qint64 masksAt = kFileHeader + 40;
    if (b.size() < masksAt + 12) return false;
    if ((Le32(b, masksAt) | Le32(b, masksAt + 4) | Le32(b, masksAt + 8)) == 0) return false;
    if (infoSize == 40) paletteEnd += 12;
  }
  l.DataStart = qMax(offBits, paletteEnd);
  if (paletteEnd > b.size() || l.DataStart > b.size()) return false;

  if (IsRunLength(l)) {
    // RLE8 holds 8 bits a pixel and RLE4 four; nothing else is defined.
    if (l.Bits != (l.Compression == 1 ? 8 : 4)) return false;
    // Run-length data is read bottom row first; a top-down picture cannot
    // hold it.
    if (l.Height < 0) return false;
    // Encoders spend two bytes on a run of at most 255 pixels and two on each
    // row's end. A file claiming far more pixels than that for its size
    // leaves nearly all of them to jumps or an early end. That is allowed
    // while the picture is cheap to fill, as for a JPEG that ends early;
    // beyond that it is a few bytes that would cost the memory and time of a
    // huge picture holding nothing.
    const qint64 pixels = l.Width * l.Height;
    if (pixels > kCheapFillPixels && pixels > qint64(b.size()) * kMaxRlePixelsPerByte) return false;
    return true;
  }
  if (l.Compression == 0 || l.Compression == 3) {
    const qint64 stride = ((l.Width * l.Bits + 31) / 32) * 4;
    if (l.DataStart + stride * qAbs(l.Height) > b.size()) return false;
  }
  return true;
}

}  // namespace

void RaiseImageReaderLimit() {
  // Qt refuses images above its allocation limit; make room for the largest
  // picture the program accepts. A limit of 0 means none is applied.
  const int neededMb = int(kMaxImagePixels * 4 / (1024 * 1024)) + 1;
  const int currentMb = QImageReader::allocationLimit();
  if (currentMb != 0 && currentMb < neededMb) QImageReader::setAllocationLimit(neededMb);
}

namespace {
// Reads a picture through Qt's reader of `format`, that one alone whatever
// the bytes look like, turned upright as the file says when `upright`. The
// size the file claims is checked against the bound before anything is
// allocated; a format whose reader cannot tell it is refused. `recycled`
// lends its memory where the reader can decode into it (a picture of the
// size and format it reads), and is freed first otherwise. The result is
// Format_RGB32, or Format_ARGB32 where the picture has an alpha channel;
// pictures of 16 bits a channel are brought down to 8.
bool ReadThroughQt(const QByteArray &bytes, const char *format, bool upright, QImage &out, QImage *recycled) {
  RaiseImageReaderLimit();
  QByteArray data = bytes;  // shares the bytes; the buffer only reads them
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly)) return false;
  QImageReader reader(&buffer, format);
  reader.setAutoDetectImageFormat(false);  // another format must not be decoded as this one
  reader.setAutoTransform(upright);

  // Qt reports a top-down bitmap's height as negative.
  const QSize size = reader.size();
  const qint64 width = size.width(), height = qAbs(qint64(size.height()));
  if (width <= 0 || height <= 0 || width * height > kMaxImagePixels) {
    if (recycled) *recycled = QImage();
    return false;
  }

  QImage image;
  if (recycled) {
    if (recycled->size() == QSize(int(width), int(height)) && recycled->format() == reader.imageFormat() &&
        recycled->isDetached())
      image = std::move(*recycled);
    *recycled = QImage();
  }
  if (!reader.read(&image) || image.isNull()) {
    if (recycled) *recycled = std::move(image);
    return false;
  }
  if (qint64(image.width()) * image.height() > kMaxImagePixels) return false;

  const QImage::Format wanted = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  if (image.format() != wanted) {
    image = image.convertToFormat(wanted);
    if (image.isNull()) return false;
  }
  out = std::move(image);
  return true;
}
}  // namespace

bool LoadBmp(const QByteArray &bytes, QImage &out) {
  if (bytes.isEmpty()) return false;
  BmpLayout layout;
  if (!BmpIsSound(bytes, layout)) return false;
  if (IsRunLength(layout)) {
    QImage image = DecodeRunLength(bytes, layout);
    if (image.isNull()) return false;
    out = std::move(image);
    return true;
  }
  return ReadThroughQt(bytes, "bmp", false, out, nullptr);
}

bool LoadPicture(const QByteArray &bytes, ImageKind kind, QImage &out, QImage *recycled,
                 const std::atomic<bool> *cancel) {
  switch (kind) {
    case ImageKind::Jpeg: return !bytes.isEmpty() && DecodeJpegBytes(bytes, out, recycled, cancel);
    case ImageKind::Png: return !bytes.isEmpty() && ReadThroughQt(bytes, "png", true, out, recycled);
    case ImageKind::Tiff: return !bytes.isEmpty() && ReadThroughQt(bytes, "tiff", true, out, recycled);
    case ImageKind::Webp: return !bytes.isEmpty() && ReadThroughQt(bytes, "webp", true, out, recycled);
    case ImageKind::Bmp:
    case ImageKind::Other: break;
  }
  if (recycled) *recycled = QImage();
  return kind == ImageKind::Bmp && LoadBmp(bytes, out);
}

ImageKind ImageKindOf(const QString &path) {
  const int dot = int(path.lastIndexOf(u'.'));
  const int slash = int(qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')));
  const QString extension = dot > slash ? path.mid(dot).toUpper() : QString();
  if (extension == QLatin1String(".JPEG") || extension == QLatin1String(".JPG")) return ImageKind::Jpeg;
  if (extension == QLatin1String(".BMP")) return ImageKind::Bmp;
  if (extension == QLatin1String(".PNG")) return ImageKind::Png;
  if (extension == QLatin1String(".TIF") || extension == QLatin1String(".TIFF")) return ImageKind::Tiff;
  if (extension == QLatin1String(".WEBP")) return ImageKind::Webp;
  return ImageKind::Other;
}

bool LoadImageFile(const QString &path, ImageKind kind, QImage &out, QImage *recycled,
                   const std::atomic<bool> *cancel) {
  // A bitmap is never decoded into recycled memory: it is freed before
  // anything is read.
  if (recycled && (kind == ImageKind::Bmp || kind == ImageKind::Other)) *recycled = QImage();
  // Only a regular file is read: a pipe or a device could keep the reader
  // waiting for ever.
  QFile file;
  if (kind == ImageKind::Other || path.isEmpty() || !OpenRegularFile(path, file)) return false;
  if (file.size() > kMaxImageFileBytes) return false;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError || bytes.isEmpty()) return false;
  return LoadPicture(bytes, kind, out, recycled, cancel);
}
