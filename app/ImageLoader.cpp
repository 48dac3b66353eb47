#include "app/ImageLoader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

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

// Everything the decoder changes lives here, outside the frame that calls
// setjmp, so that nothing it needs after a longjmp is left indeterminate.
struct JpegDecodeState {
  jpeg_decompress_struct cinfo;
  JpegErrorManager err;
  const QByteArray *bytes = nullptr;
  QImage image;
  std::vector<JSAMPLE> cmykRow;
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
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(s.bytes->constData()),
               static_cast<unsigned long>(s.bytes->size()));
  jpeg_read_header(&cinfo, TRUE);

  const qint64 width = cinfo.image_width;
  const qint64 height = cinfo.image_height;
  if (width <= 0 || height <= 0 || width * height > kMaxImagePixels) return false;

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

  s.image = QImage(int(width), int(height), QImage::Format_RGB32);
  if (s.image.isNull()) return false;
  if (cmyk) s.cmykRow.resize(size_t(width) * 4);

  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = int(cinfo.output_scanline);
    JSAMPROW row = cmyk ? s.cmykRow.data() : reinterpret_cast<JSAMPROW>(s.image.scanLine(y));
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) return false;
    if (cmyk)
      CmykRowToRgb32(s.cmykRow.data(), reinterpret_cast<QRgb *>(s.image.scanLine(y)),
                     int(width), cinfo.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

}  // namespace

bool LoadJpeg(const QByteArray &bytes, QImage &out) {
  if (bytes.isEmpty()) return false;
  JpegDecodeState state;
  state.bytes = &bytes;
  const bool ok = DecodeJpeg(state);
  if (state.created) jpeg_destroy_decompress(&state.cinfo);
  if (!ok) return false;
  out = std::move(state.image);
  return true;
}

bool LoadBmp(const QByteArray &bytes, QImage &out) {
  if (bytes.isEmpty()) return false;

  // Qt refuses images above its allocation limit; make room for the largest
  // picture the program accepts. A limit of 0 means none is applied.
  const int neededMb = int(kMaxImagePixels * 4 / (1024 * 1024)) + 1;
  const int currentMb = QImageReader::allocationLimit();
  if (currentMb != 0 && currentMb < neededMb) QImageReader::setAllocationLimit(neededMb);

  QByteArray data = bytes;  // shares the bytes; the buffer only reads them
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly)) return false;
  QImageReader reader(&buffer, "bmp");
  reader.setAutoDetectImageFormat(false);  // a non-bitmap must not be decoded as something else
  reader.setAutoTransform(false);

  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty()) return false;
  if (qint64(size.width()) * size.height() > kMaxImagePixels) return false;

  QImage image;
  if (!reader.read(&image) || image.isNull()) return false;
  if (qint64(image.width()) * image.height() > kMaxImagePixels) return false;

  const QImage::Format format =
      image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
  if (image.format() != format) {
    image = image.convertToFormat(format);
    if (image.isNull()) return false;
  }
  out = std::move(image);
  return true;
}

bool LoadImageFile(const QString &path, bool jpeg, QImage &out) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (!info.exists() || info.isDir()) return false;

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  if (!file.isSequential() && file.size() > kMaxImageFileBytes) return false;

  // Read in pieces so that a device that reports no size (a pipe, say)
  // still cannot make us hold more than the limit.
  QByteArray bytes;
  if (!file.isSequential()) bytes.reserve(qsizetype(file.size()));
  constexpr qint64 kChunk = qint64(1) << 20;
  for (;;) {
    const QByteArray chunk = file.read(kChunk);
    if (chunk.isEmpty()) break;
    if (bytes.size() + chunk.size() > kMaxImageFileBytes) return false;
    bytes.append(chunk);
  }
  if (file.error() != QFileDevice::NoError) return false;

  return jpeg ? LoadJpeg(bytes, out) : LoadBmp(bytes, out);
}
