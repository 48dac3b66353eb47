#include "tests/support/SampleImages.h"


#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace {

// Runs libjpeg's compressor over rows that `fill` writes, `comps` samples a
// pixel in the colour space the kind implies.
QByteArray Compress(JpegKind kind, int w, int h, int quality,
                    const std::function<void(int y, JSAMPLE *row)> &fill, bool fullChroma = false) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char *mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &mem, &size);
  cinfo.image_width = JDIMENSION(w);
  cinfo.image_height = JDIMENSION(h);
  int comps = 3;
  if (kind == JpegKind::Grey) {
    comps = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
  } else if (kind == JpegKind::AdobeCmyk) {
    comps = 4;
    cinfo.in_color_space = JCS_CMYK;
  } else {
    cinfo.in_color_space = JCS_RGB;
  }
  cinfo.input_components = comps;
  jpeg_set_defaults(&cinfo);
  if (kind == JpegKind::AdobeCmyk) jpeg_set_colorspace(&cinfo, JCS_CMYK);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (fullChroma)
    for (int c = 0; c < cinfo.num_components; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  if (kind == JpegKind::Progressive) jpeg_simple_progression(&cinfo);
#ifdef C_ARITH_CODING_SUPPORTED
  if (kind == JpegKind::Arithmetic) cinfo.arith_code = TRUE;
#endif
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(size_t(w) * size_t(comps));
  while (cinfo.next_scanline < cinfo.image_height) {
    fill(int(cinfo.next_scanline), row.data());
    JSAMPROW rp = row.data();
    jpeg_write_scanlines(&cinfo, &rp, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  QByteArray out(reinterpret_cast<const char *>(mem), qsizetype(size));
  std::free(mem);
  return out;
}

void Put16(QByteArray &b, int v) {
  b += char(v & 0xFF);
  b += char((v >> 8) & 0xFF);
}
void Put32(QByteArray &b, qint64 v) {
  for (int i = 0; i < 4; ++i) b += char((v >> (8 * i)) & 0xFF);
}

}  // namespace

QByteArray MakeJpeg(JpegKind kind, int w, int h, QRgb colour) {
  const int r = qRed(colour), g = qGreen(colour), b = qBlue(colour);
  return Compress(kind, w, h, 95, [&](int, JSAMPLE *row) {
    for (int x = 0; x < w; ++x) {
      if (kind == JpegKind::Grey) {
        row[x] = JSAMPLE(r);
      } else if (kind == JpegKind::AdobeCmyk) {
        JSAMPLE *p = row + size_t(x) * 4;
        const int k = 255 - std::max({r, g, b});
        const auto ink = [k](int v) { return k == 255 ? 0 : (255 - v - k) * 255 / (255 - k); };
        // inverted: stored value is 255 minus the ink
        p[0] = JSAMPLE(255 - ink(r));
        p[1] = JSAMPLE(255 - ink(g));
        p[2] = JSAMPLE(255 - ink(b));
        p[3] = JSAMPLE(255 - k);
      } else {
        JSAMPLE *p = row + size_t(x) * 3;
        p[0] = JSAMPLE(r);
        p[1] = JSAMPLE(g);
        p[2] = JSAMPLE(b);
      }
    }
  });
}

QByteArray MakePhotoJpeg(int w, int h, int seed) {
  unsigned state = unsigned(seed) * 2654435761u + 1;
  return Compress(JpegKind::Baseline, w, h, 90, [&](int y, JSAMPLE *row) {
    for (int x = 0; x < w; ++x) {
      state = state * 1103515245u + 12345u;
      const int noise = int((state >> 16) & 15);
      row[3 * x] = JSAMPLE((x * 255 / w + noise) & 0xFF);
      row[3 * x + 1] = JSAMPLE((y * 255 / h + noise) & 0xFF);
      row[3 * x + 2] = JSAMPLE(((x + y + seed * 40) / 8 + noise) & 0xFF);
    }
  });
}

qsizetype JpegFramePrecisionOffset(const QByteArray &jpeg) {
  // The writer above emits SOF0 (baseline), SOF2 (progressive) or SOF9
  // (arithmetic); the first of them found is the frame header.
  for (qsizetype i = 2; i + 4 < jpeg.size(); ++i) {
    if (uchar(jpeg[i]) != 0xFF) continue;
    const uchar m = uchar(jpeg[i + 1]);
    if (m == 0xC0 || m == 0xC1 || m == 0xC2 || m == 0xC9 || m == 0xCA) return i + 4;
  }
  return -1;
}

QByteArray WithJpegSize(QByteArray jpeg, int w, int h) {
  const qsizetype at = JpegFramePrecisionOffset(jpeg);
  if (at < 0) return jpeg;
  jpeg[at + 1] = char(h >> 8);
  jpeg[at + 2] = char(h & 0xFF);
  jpeg[at + 3] = char(w >> 8);
  jpeg[at + 4] = char(w & 0xFF);
  return jpeg;
}

QByteArray MakeBmp(const BmpLayout &s) {
  const int w = s.Width;
  const int h = std::abs(s.Height);
  const bool indexed = s.Bits <= 8;
  const int entries = s.PaletteEntries >= 0 ? s.PaletteEntries : indexed ? 1 << s.Bits : 0;
  const int lightIndex = indexed ? (1 << s.Bits) - 1 : 0;
  const bool bitFields = s.Compression == 3;

  quint32 masks[3] = {s.Masks[0], s.Masks[1], s.Masks[2]};
  if (bitFields && !s.UseMasks) {
    if (s.Bits == 16) {
      masks[0] = 0xF800;
      masks[1] = 0x07E0;
      masks[2] = 0x001F;
    } else {
      masks[0] = 0xFF0000;
      masks[1] = 0x00FF00;
      masks[2] = 0x0000FF;
    }
  }
  // The value of a light pixel in the stored layout; dark is always 0.
  quint32 light = quint32(lightIndex);
  if (!indexed) {
    if (bitFields) light = masks[0] | masks[1] | masks[2];
    else if (s.Bits == 16) light = 0x7FFF;
    else light = 0xFFFFFF;
  }
  // Whether the picture's pixel at (x, y), y counted from the top, is dark.
  const auto dark = [&](int x, int y) { return (x < w / 2) == (y < h / 2); };

  QByteArray pixels = s.Pixels;
  if (pixels.isEmpty()) {
    for (int i = 0; i < h; ++i) {
      const int y = s.Height < 0 ? i : h - 1 - i;  // picture row stored i-th
      QByteArray row;
      if (s.Compression == 1 || s.Compression == 2) {
        // Two encoded runs a row: the left half, then the right half.
        const int left = w / 2, right = w - w / 2;
        const auto run = [&](int n, bool isDark) {
          int v = isDark ? 0 : lightIndex;
          if (s.Compression == 2) v = v << 4 | v;
          if (n > 0) {
            row += char(n);
            row += char(v);
          }
        };
        run(left, dark(0, y));
        run(right, dark(w - 1, y));
        row += '\0';
        row += i == h - 1 ? '\1' : '\0';  // end of line, or of the bitmap
        pixels += row;
        continue;
      }
      quint32 acc = 0;
      int accBits = 0;
      for (int x = 0; x < w; ++x) {
        const quint32 v = dark(x, y) ? 0 : light;
        if (indexed) {
          acc = acc << s.Bits | v;
          accBits += s.Bits;
          if (accBits == 8) {
            row += char(acc);
            acc = 0;
            accBits = 0;
          }
        } else {
          for (int b = 0; b < s.Bits / 8; ++b) row += char((v >> (8 * b)) & 0xFF);
        }
      }
      if (accBits > 0) row += char(acc << (8 - accBits));
      while (row.size() % 4) row += '\0';
      pixels += row;
    }
  }

  QByteArray info;
  Put32(info, 40);
  Put32(info, w);
  Put32(info, s.Height);
  Put16(info, 1);
  Put16(info, s.Bits);
  Put32(info, s.Compression);
  Put32(info, pixels.size());
  Put32(info, 2835);
  Put32(info, 2835);
  Put32(info, s.PaletteEntries >= 0 ? s.PaletteEntries : 0);
  Put32(info, 0);
  if (bitFields)
    for (quint32 m : masks) Put32(info, m);
  for (int i = 0; i < entries; ++i) {
    // Entry 0 black, the depth's last entry white, the rest a ramp of reds.
    const int v = i == 0 ? 0 : i == lightIndex ? 255 : -1;
    if (v >= 0) {
      info += char(v);
      info += char(v);
      info += char(v);
    } else {
      info += char(0);
      info += char(0);
      info += char(i & 0xFF);
    }
    info += '\0';
  }

  QByteArray out("BM");
  const qint64 offset = 14 + info.size();
  Put32(out, offset + pixels.size());
  Put32(out, 0);
  Put32(out, offset);
  return out + info + pixels;
}

QByteArray JpegOf(const QImage &picture, int quality, bool fullChroma) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  return Compress(
      JpegKind::Baseline, rgb.width(), rgb.height(), quality,
      [&](int y, JSAMPLE *row) {
        const QRgb *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
          row[3 * x] = JSAMPLE(qRed(line[x]));
          row[3 * x + 1] = JSAMPLE(qGreen(line[x]));
          row[3 * x + 2] = JSAMPLE(qBlue(line[x]));
        }
      },
      fullChroma);
}

QByteArray WithExifOrientation(const QByteArray &jpeg, int orientation, bool bigEndian) {
  QByteArray tiff = bigEndian ? QByteArray("MM\0\x2a", 4) : QByteArray("II\x2a\0", 4);
  const auto put = [&](quint32 v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
      tiff += char((v >> shift) & 0xFF);
    }
  };
  put(8, 4);  // the first directory follows the header
  put(2, 2);  // two entries: the camera's make, then the orientation
  put(0x010F, 2);  // Make: ASCII, four bytes held in the entry
  put(2, 2);
  put(4, 4);
  tiff += QByteArray("Cam\0", 4);
  put(0x0112, 2);  // Orientation: one SHORT
  put(3, 2);
  put(1, 4);
  put(quint32(orientation), 2);
  put(0, 2);
  put(0, 4);  // no further directory
  const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
  QByteArray segment("\xFF\xE1", 2);
  segment += char((payload.size() + 2) >> 8);
  segment += char((payload.size() + 2) & 0xFF);
  return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

QByteArray MakeTiff(const std::vector<TiffPage> &pages) {
  QByteArray out("II\x2a\0", 4);
  Put32(out, 0);  // the first directory's offset, filled in below
  qsizetype link = 4;  // where the offset of the next directory goes
  for (const TiffPage &page : pages) {
    const QImage rgb = page.Picture.convertToFormat(QImage::Format_RGB32);
    const int samples = page.Grey ? 1 : 3;
    const qint64 dataAt = out.size();
    for (int y = 0; y < rgb.height(); ++y)
      for (int x = 0; x < rgb.width(); ++x) {
        const QRgb c = rgb.pixel(x, y);
        const int values[3] = {qRed(c), qGreen(c), qBlue(c)};
        for (int k = 0; k < samples; ++k) {
          if (page.Bits == 16) Put16(out, values[k] * 257);
          else out += char(values[k]);
        }
      }
    const qint64 dataBytes = out.size() - dataAt;
    const qint64 bitsAt = out.size();
    for (int k = 0; k < 3; ++k) Put16(out, page.Bits);
    if (out.size() % 2) out += '\0';
    const qint64 directory = out.size();
    for (int i = 0; i < 4; ++i) out[link + i] = char((directory >> (8 * i)) & 0xFF);
    const QSize size = page.Claimed.isValid() ? page.Claimed : rgb.size();
    const struct {
      int Tag, Type;
      qint64 Count, Value;
    } entries[] = {{256, 4, 1, size.width()},
                   {257, 4, 1, size.height()},
                   {258, 3, samples, samples == 1 ? page.Bits : bitsAt},
                   {259, 3, 1, 1},  // no compression
                   {262, 3, 1, page.Grey ? 1 : 2},
                   {273, 4, 1, dataAt},
                   {274, 3, 1, page.Orientation},
                   {277, 3, 1, samples},
                   {278, 4, 1, size.height()},
                   {279, 4, 1, dataBytes},
                   {284, 3, 1, 1}};  // samples of a pixel together
    Put16(out, int(std::size(entries)));
    for (const auto &e : entries) {
      Put16(out, e.Tag);
      Put16(out, e.Type);
      Put32(out, e.Count);
      if (e.Type == 3 && e.Count == 1) {
        Put16(out, int(e.Value));
        Put16(out, 0);
      } else {
        Put32(out, e.Value);
      }
    }
    link = out.size();
    Put32(out, 0);
  }
  return out;
}

QByteArray WithPngSize(QByteArray png, int w, int h) {
  // The header chunk follows the 8-byte signature: length, "IHDR", width
  // and height (big-endian), the rest, then the CRC of type and data.
  constexpr qsizetype kHeader = 8 + 4;
  if (png.size() < kHeader + 4 + 13 + 4 || png.mid(kHeader, 4) != "IHDR") return png;
  for (int i = 0; i < 4; ++i) {
    png[kHeader + 4 + i] = char((quint32(w) >> (24 - 8 * i)) & 0xFF);
    png[kHeader + 8 + i] = char((quint32(h) >> (24 - 8 * i)) & 0xFF);
  }
  quint32 crc = 0xFFFFFFFFu;
  for (qsizetype i = kHeader; i < kHeader + 4 + 13; ++i) {
    crc ^= uchar(png[i]);
    for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  crc ^= 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i) png[kHeader + 4 + 13 + i] = char((crc >> (24 - 8 * i)) & 0xFF);
  return png;
}
