#include "images/JpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {
// libjpeg's default error handler ends the process; this one jumps back.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

extern "C" void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1); }
extern "C" void Quiet(j_common_ptr) {}

// A comment segment holds at most this many bytes.
constexpr qsizetype kLongestComment = 65533;

// Everything the encoder changes lives here, outside the frame that calls
// setjmp.
struct EncodeState {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  std::vector<QRgb> row;  // a translucent row laid over white
  bool created = false;
};

bool Encode(EncodeState &s, const QImage &picture, int quality, const QList<QByteArray> &comments) {
  jpeg_compress_struct &cinfo = s.cinfo;
  cinfo.err = jpeg_std_error(&s.err.pub);
  s.err.pub.error_exit = ErrorExit;
  s.err.pub.output_message = Quiet;
  if (setjmp(s.err.jump)) return false;
  jpeg_create_compress(&cinfo);
  s.created = true;
  jpeg_mem_dest(&cinfo, &s.buffer, &s.size);
  cinfo.image_width = JDIMENSION(picture.width());
  cinfo.image_height = JDIMENSION(picture.height());
  cinfo.input_components = 4;
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
  cinfo.in_color_space = JCS_EXT_BGRX;
#else
  cinfo.in_color_space = JCS_EXT_XRGB;
#endif
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (const QByteArray &comment : comments)
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET *>(comment.constData()), unsigned(comment.size()));
  const bool translucent = picture.format() == QImage::Format_ARGB32;
  if (translucent) s.row.resize(size_t(picture.width()));
  while (cinfo.next_scanline < cinfo.image_height) {
    const QRgb *line = reinterpret_cast<const QRgb *>(picture.constScanLine(int(cinfo.next_scanline)));
    if (translucent) {
      for (int x = 0; x < picture.width(); ++x) {
        const QRgb p = line[x];
        const int a = qAlpha(p), white = 255 * (255 - a);
        s.row[size_t(x)] = qRgb((qRed(p) * a + white + 127) / 255, (qGreen(p) * a + white + 127) / 255,
                                (qBlue(p) * a + white + 127) / 255);
      }
      line = s.row.data();
    }
    JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(const_cast<QRgb *>(line))};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}
}  // namespace

QByteArray JpegBytes(const QImage &picture, int quality) {
  if (picture.isNull() || (picture.format() != QImage::Format_RGB32 && picture.format() != QImage::Format_ARGB32))
    return {};
  QList<QByteArray> comments;
  for (const QString &key : picture.textKeys()) {
    QByteArray comment = (key + QStringLiteral(": ") + picture.text(key)).toUtf8();
    if (comment.size() > kLongestComment) {
      // A character the cut splits is left out whole.
      comment.truncate(kLongestComment);
      qsizetype lead = comment.size() - 1;
      while (lead > 0 && (uchar(comment[lead]) & 0xC0) == 0x80) --lead;
      const uchar first = uchar(comment[lead]);
      const int length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
      if (comment.size() - lead < length) comment.truncate(lead);
    }
    comments << comment;
  }
  EncodeState state;
  const bool ok = Encode(state, picture, quality, comments);
  if (state.created) jpeg_destroy_compress(&state.cinfo);
  QByteArray out;
  if (ok) out = QByteArray(reinterpret_cast<const char *>(state.buffer), qsizetype(state.size));
  std::free(state.buffer);
  return out;
}
