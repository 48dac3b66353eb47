#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>

#include <jpeglib.h>

#include "images/ImageLoader.h"
#include "tests/support/SampleImages.h"

namespace {

bool Near(QRgb a, QRgb b, int tol) {
  return std::abs(qRed(a) - qRed(b)) <= tol && std::abs(qGreen(a) - qGreen(b)) <= tol &&
         std::abs(qBlue(a) - qBlue(b)) <= tol;
}

QImage Sentinel() {
  QImage img(3, 2, QImage::Format_RGB32);
  img.fill(qRgb(1, 2, 3));
  return img;
}

void ExpectUntouched(const QImage &img) {
  EXPECT_EQ(img.size(), QSize(3, 2));
  EXPECT_EQ(img.pixel(0, 0), qRgb(1, 2, 3));
}

TEST(ImageLoaderJpeg, DecodesEachKindToSolidColour) {
  struct Case {
    const char *name;
    JpegKind kind;
    QRgb colour;
    QRgb expected;
  };
  const Case cases[] = {
      {"baseline", JpegKind::Baseline, qRgb(200, 40, 90), qRgb(200, 40, 90)},
      {"progressive", JpegKind::Progressive, qRgb(20, 180, 60), qRgb(20, 180, 60)},
      {"grey", JpegKind::Grey, qRgb(128, 128, 128), qRgb(128, 128, 128)},
      {"cmyk red", JpegKind::AdobeCmyk, qRgb(255, 0, 0), qRgb(255, 0, 0)},
      {"cmyk mixed", JpegKind::AdobeCmyk, qRgb(60, 120, 200), qRgb(60, 120, 200)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    QImage img;
    ASSERT_TRUE(LoadJpeg(MakeJpeg(c.kind, 37, 21, c.colour), img));
    EXPECT_EQ(img.size(), QSize(37, 21));
    EXPECT_EQ(img.format(), QImage::Format_RGB32);
    for (QPoint p : {QPoint(0, 0), QPoint(36, 20), QPoint(18, 10)}) {
      EXPECT_TRUE(Near(img.pixel(p), c.expected, 6))
          << std::hex << img.pixel(p) << " at " << p.x() << "," << p.y();
      EXPECT_EQ(qAlpha(img.pixel(p)), 255);
    }
  }
}

// Large pictures are read from the file a piece at a time; they decode the
// same, and copies of them are independent.
TEST(ImageLoaderJpeg, LargePictures) {
  QImage img;
  ASSERT_TRUE(LoadJpeg(MakeJpeg(JpegKind::Baseline, 1700, 1400, qRgb(30, 160, 220)), img));
  EXPECT_EQ(img.size(), QSize(1700, 1400));
  EXPECT_EQ(img.format(), QImage::Format_RGB32);
  EXPECT_EQ(img.bytesPerLine(), 1700 * 4);
  EXPECT_TRUE(Near(img.pixel(1699, 1399), qRgb(30, 160, 220), 6));
  QImage copy = img;
  copy.setPixel(0, 0, qRgb(1, 2, 3));
  EXPECT_TRUE(Near(img.pixel(0, 0), qRgb(30, 160, 220), 6));
  EXPECT_EQ(copy.pixel(0, 0), qRgb(1, 2, 3));
}

TEST(ImageLoaderJpeg, TruncatedAndGarbageNeverCrash) {
  const QByteArray full = MakeJpeg(JpegKind::Progressive, 64, 48, qRgb(10, 20, 30));
  const QByteArray base = MakeJpeg(JpegKind::Baseline, 64, 48, qRgb(10, 20, 30));
  for (const QByteArray &src : {full, base}) {
    for (qsizetype len : {qsizetype(1), qsizetype(2), qsizetype(10), qsizetype(100),
                          src.size() / 3, src.size() / 2, src.size() - 10, src.size() - 2}) {
      SCOPED_TRACE(len);
      QImage img = Sentinel();
      if (LoadJpeg(src.left(len), img))
        EXPECT_EQ(img.size(), QSize(64, 48));
      else
        ExpectUntouched(img);
    }
  }
  std::srand(7);
  for (int i = 0; i < 20; ++i) {
    QByteArray junk = base;
    for (int j = 0; j < 30; ++j) junk[std::rand() % junk.size()] = char(std::rand());
    QImage img = Sentinel();
    if (LoadJpeg(junk, img)) EXPECT_FALSE(img.isNull());
    else ExpectUntouched(img);
  }
}

TEST(ImageLoaderJpeg, RefusesInvalidInput) {
  QByteArray huge = MakeJpeg(JpegKind::Baseline, 16, 16, qRgb(1, 1, 1));
  const qsizetype sof = huge.indexOf("\xFF\xC0");
  ASSERT_GE(sof, 0);
  // SOF0: marker(2) length(2) precision(1) height(2) width(2)
  const char dims[4] = {char(60000 >> 8), char(60000 & 0xFF), char(60000 >> 8), char(60000 & 0xFF)};
  huge.replace(sof + 5, 4, dims, 4);

  struct Case {
    const char *name;
    QByteArray bytes;
  };
  const Case cases[] = {
      {"empty", QByteArray()},
      {"text", QByteArray("just some words, not a picture\n")},
      {"bmp", [] {
         QByteArray b;
         QBuffer buf(&b);
         buf.open(QIODevice::WriteOnly);
         Sentinel().save(&buf, "BMP");
         return b;
       }()},
      {"60000x60000", huge},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    QImage img = Sentinel();
    EXPECT_FALSE(LoadJpeg(c.bytes, img));
    ExpectUntouched(img);
  }
}

TEST(ImageLoaderBmp, DecodesEachDepth) {
  QImage src(20, 10, QImage::Format_RGB32);
  src.fill(Qt::white);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) src.setPixel(x, y, qRgb(0, 0, 0));
  struct Case {
    const char *name;
    QImage image;
  };
  const Case cases[] = {
      {"1 bit", src.convertToFormat(QImage::Format_Mono)},
      {"8 bit", src.convertToFormat(QImage::Format_Indexed8)},
      {"24 bit", src.convertToFormat(QImage::Format_RGB888)},
      {"32 bit", src},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    QByteArray bytes;
    QBuffer buf(&bytes);
    ASSERT_TRUE(buf.open(QIODevice::WriteOnly));
    ASSERT_TRUE(c.image.save(&buf, "BMP"));
    QImage img;
    ASSERT_TRUE(LoadBmp(bytes, img));
    EXPECT_EQ(img.size(), QSize(20, 10));
    EXPECT_TRUE(img.format() == QImage::Format_RGB32 || img.format() == QImage::Format_ARGB32);
    EXPECT_EQ(img.pixel(2, 2) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(img.pixel(15, 7) & 0xFFFFFF, 0xFFFFFFu);
  }
}

TEST(ImageLoaderBmp, RefusesInvalidInput) {
  QByteArray bmp;
  {
    QBuffer buf(&bmp);
    buf.open(QIODevice::WriteOnly);
    QImage(50, 50, QImage::Format_RGB32).save(&buf, "BMP");
  }
  const QByteArray inputs[] = {QByteArray(), QByteArray("BM not really a bitmap"),
                               MakeJpeg(JpegKind::Baseline, 8, 8, qRgb(0, 0, 0)), bmp.left(40),
                               QByteArray("plain text file\n")};
  for (const QByteArray &in : inputs) {
    QImage img = Sentinel();
    if (LoadBmp(in, img)) {
      ADD_FAILURE() << "accepted " << in.size() << " bytes";
    } else {
      ExpectUntouched(img);
    }
  }
}

// libjpeg's decode of bytes held whole in memory, as BGRA pixels.
QImage ReferenceDecode(const QByteArray &bytes) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jerr.output_message = [](j_common_ptr) {};  // the cut file's warning
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()), (unsigned long)bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&cinfo);
  QImage image(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image.scanLine(int(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return image;
}

// A JPEG file comes out exactly as libjpeg's own decode of its bytes: a
// photograph, one cut short, and one with long markers the decoder skips.
TEST(ImageLoaderFile, JpegFileDecodesAsTheReferenceDecoderDoes) {
  QTemporaryDir dir;
  const QByteArray photo = MakePhotoJpeg(1000, 700, 3);
  ASSERT_GT(photo.size(), 3 << 16);
  // Two unknown application markers of almost 64 KiB after the start marker.
  QByteArray skipped = MakeJpeg(JpegKind::Baseline, 40, 30, qRgb(90, 30, 200));
  for (int i = 0; i < 2; ++i) skipped.insert(2, QByteArray("\xFF\xEF\xFF\xFF", 4) + QByteArray(65533, 'x'));
  const struct {
    const char *name;
    QByteArray bytes;
  } cases[] = {{"photo", photo}, {"photo cut short", photo.left(photo.size() * 2 / 3)}, {"long markers", skipped}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.filePath(QStringLiteral("%1.jpg").arg(c.name));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes);
    f.close();
    QImage fromFile;
    ASSERT_TRUE(LoadImageFile(path, true, fromFile));
    EXPECT_EQ(fromFile, ReferenceDecode(c.bytes));
  }
}

TEST(ImageLoaderFile, ReadsFilesAndRefusesTheRest) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const auto write = [&](const QString &name, const QByteArray &bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
  };
  QByteArray bmp;
  {
    QBuffer buf(&bmp);
    buf.open(QIODevice::WriteOnly);
    QImage(5, 4, QImage::Format_RGB32).save(&buf, "BMP");
  }
  const QString jpg = write("a.jpg", MakeJpeg(JpegKind::Baseline, 9, 7, qRgb(9, 9, 9)));
  const QString bmpPath = write("a.bmp", bmp);
  const QString text = write("a.txt", "hello\n");
  const QString empty = write("e.jpg", QByteArray());

  struct Case {
    QString path;
    bool jpeg;
    bool ok;
    QSize size;
  };
  const Case cases[] = {
      {jpg, true, true, QSize(9, 7)},       {bmpPath, false, true, QSize(5, 4)},
      {jpg, false, false, {}},              {bmpPath, true, false, {}},
      {text, true, false, {}},              {text, false, false, {}},
      {empty, true, false, {}},             {dir.path(), true, false, {}},
      {dir.filePath("missing.jpg"), true, false, {}}, {QString(), false, false, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    QImage img = Sentinel();
    EXPECT_EQ(LoadImageFile(c.path, c.jpeg, img), c.ok);
    if (c.ok) EXPECT_EQ(img.size(), c.size);
    else ExpectUntouched(img);
  }
}

}  // namespace
