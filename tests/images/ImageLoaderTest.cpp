#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTransform>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <jpeglib.h>

#include "images/ImageLoader.h"
#include "images/JpegWriter.h"
#include "images/Orientation.h"
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
    ASSERT_TRUE(LoadImageFile(path, ImageKind::Jpeg, fromFile));
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

  const ImageKind jpeg = ImageKind::Jpeg, bitmap = ImageKind::Bmp;
  struct Case {
    QString path;
    ImageKind kind;
    bool ok;
    QSize size;
  };
  const Case cases[] = {
      {jpg, jpeg, true, QSize(9, 7)},       {bmpPath, bitmap, true, QSize(5, 4)},
      {jpg, bitmap, false, {}},             {bmpPath, jpeg, false, {}},
      {jpg, ImageKind::Png, false, {}},     {jpg, ImageKind::Other, false, {}},
      {text, jpeg, false, {}},              {text, bitmap, false, {}},
      {empty, jpeg, false, {}},             {dir.path(), jpeg, false, {}},
      {dir.filePath("missing.jpg"), jpeg, false, {}}, {QString(), bitmap, false, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    QImage img = Sentinel();
    EXPECT_EQ(LoadImageFile(c.path, c.kind, img), c.ok);
    if (c.ok) EXPECT_EQ(img.size(), c.size);
    else ExpectUntouched(img);
  }
}

// Runs one of libjpeg-turbo's tools, whose files `arguments` name; false
// when it cannot be run or fails. (A plain fork and exec: the image tests
// also run under ThreadSanitizer, which follows a fork but not the start in
// the parent's memory that QProcess uses.)
bool RunTool(const QString &tool, const QStringList &arguments) {
  std::vector<std::string> words{tool.toStdString()};
  for (const QString &a : arguments) words.push_back(QFile::encodeName(a).toStdString());
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The reference decoder's picture of `jpeg` turned as `orientation` says:
// jpegtran turns the stored file without decoding it, djpeg decodes it.
QImage ReferenceUpright(const QByteArray &jpeg, int orientation) {
  const QStringList turn[9] = {{},          {},           {"-flip", "horizontal"}, {"-rotate", "180"}, {"-flip", "vertical"},
                               {"-transpose"}, {"-rotate", "90"}, {"-transverse"},          {"-rotate", "270"}};
  QTemporaryDir dir;
  const QString stored = dir.filePath("stored.jpg"), turned = dir.filePath("turned.jpg"), decoded = dir.filePath("decoded.ppm");
  QFile f(stored);
  if (!f.open(QIODevice::WriteOnly) || f.write(jpeg) != jpeg.size()) return {};
  f.close();
  if (!RunTool("jpegtran", turn[orientation] + QStringList{"-outfile", turned, stored}) ||
      !RunTool("djpeg", {"-pnm", "-outfile", decoded, turned})) {
    ADD_FAILURE() << "jpegtran or djpeg failed: scripts/install-deps test installs them";
    return {};
  }
  return QImage(decoded, "PPM").convertToFormat(QImage::Format_RGB32);
}

int LargestDifference(const QImage &a, const QImage &b) {
  int most = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
    }
  return most;
}

// A JPEG carrying each EXIF orientation comes out upright, pixel for pixel
// as the reference decoder gives the file turned by the reference tool, in
// either byte order of the EXIF data. A mosaic of flat 8 x 8 blocks with
// colour at full resolution is exact; a photograph with halved colour is
// within the few levels by which turning the compressed blocks (as the
// tool does) rounds otherwise than turning the decoded pixels.
TEST(ImageLoaderJpeg, ExifOrientationTurnsThePictureUpright) {
  QImage mosaic(48, 32, QImage::Format_RGB32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x) mosaic.setPixel(x, y, qRgb(20 + 40 * (x / 8), 30 + 60 * (y / 8), (x / 8 * 7 + y / 8 * 13) * 9 % 256));
  const struct {
    const char *Name;
    QByteArray Jpeg;
    int Tolerance;
  } photos[] = {{"mosaic 4:4:4", JpegOf(mosaic, 90, true), 0}, {"photograph 4:2:0", MakePhotoJpeg(64, 48, 5), 3}};
  for (const auto &photo : photos) {
    QImage stored;
    ASSERT_TRUE(LoadJpeg(photo.Jpeg, stored));
    for (int orientation = 1; orientation <= 8; ++orientation) {
      const QImage reference = ReferenceUpright(photo.Jpeg, orientation);
      ASSERT_EQ(reference.size(), UprightSize(stored.size(), orientation));
      for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(testing::Message() << photo.Name << ", orientation " << orientation << (bigEndian ? ", MM" : ", II"));
        QImage upright;
        ASSERT_TRUE(LoadJpeg(WithExifOrientation(photo.Jpeg, orientation, bigEndian), upright));
        ASSERT_EQ(upright.size(), reference.size());
        EXPECT_EQ(upright.format(), QImage::Format_RGB32);
        EXPECT_LE(LargestDifference(upright, reference), photo.Tolerance);
      }
    }
  }
}

// EXIF data that is damaged, or names no orientation, leaves the picture
// as it is stored; only the bytes of the segment are read.
TEST(ImageLoaderJpeg, DamagedExifLeavesThePictureAsStored) {
  const QByteArray six = WithExifOrientation(QByteArray("\xFF\xD8", 2), 6).mid(6);  // the segment's payload
  ASSERT_EQ(ExifOrientation(reinterpret_cast<const uchar *>(six.constData()), size_t(six.size())), 6);
  const auto changed = [](qsizetype at, QByteArray bytes, QByteArray payload) {
    payload.replace(at, bytes.size(), bytes);
    return payload;
  };
  // The payload: "Exif\0\0", the TIFF header (6..13), the number of
  // entries (14), two entries of 12 bytes from 16 on: the orientation's
  // tag at 28, its type at 30, count at 32 and value at 36.
  const struct {
    const char *Name;
    QByteArray Payload;
  } cases[] = {
      {"not EXIF", changed(0, "Exig", six)},
      {"no byte order", changed(6, "IM", six)},
      {"no TIFF mark", changed(8, QByteArray("\x2b\0", 2), six)},
      {"directory past the end", changed(10, QByteArray("\xF0\xFF\xFF\x7F", 4), six)},
      {"directory at the last byte", changed(10, QByteArray("\x25\0\0\0", 4), six)},
      {"65535 entries, none the orientation",
       changed(14, QByteArray("\xFF\xFF", 2), changed(28, QByteArray("\x13\x01", 2), six))},
      {"a LONG", changed(30, QByteArray("\x04\0", 2), six)},
      {"no value", changed(32, QByteArray(4, '\0'), six)},
      {"value 0", changed(36, QByteArray(2, '\0'), six)},
      {"value 9", changed(36, QByteArray("\x09\0", 2), six)},
      {"cut inside the entry", six.left(38)},
      {"cut before the directory", six.left(15)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ExifOrientation(reinterpret_cast<const uchar *>(c.Payload.constData()), size_t(c.Payload.size())), 1);
  }
  EXPECT_EQ(ExifOrientation(nullptr, 0), 1);
  // In a file: the first EXIF segment counts, after one of other data.
  const QByteArray jpeg = MakeJpeg(JpegKind::Baseline, 24, 16, qRgb(9, 9, 9));
  QByteArray other = WithExifOrientation(jpeg, 8);
  other.insert(2, QByteArray("\xFF\xE1\0\x08", 4) + QByteArray("http:", 6));
  QImage image;
  ASSERT_TRUE(LoadJpeg(other, image));
  EXPECT_EQ(image.size(), QSize(16, 24));
}

// A small picture of distinct colours, asymmetric so that any turn or
// mirror shows; grey when `grey`.
QImage Pattern(bool grey) {
  QImage image(12, 8, QImage::Format_RGB32);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      const int v = 20 * x + 3 * y;
      image.setPixel(x, y, grey ? qRgb(v, v, v) : qRgb(v, 30 * y, 240 - 7 * x - 11 * y));
    }
  return image;
}

QByteArray Written(const QImage &image, const char *format, int quality = -1) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(quality);
  EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
  return bytes;
}

// PNG, TIFF and WebP files of 8 and 16 bits a channel, grey and colour,
// with and without alpha, come out as the pictures they hold, in the
// formats the view takes; a TIFF's first page, turned as its orientation
// says.
TEST(ImageLoaderFormats, EachFormatAt8And16Bits) {
  const QImage colour = Pattern(false), grey = Pattern(true);
  QImage translucent = colour.convertToFormat(QImage::Format_ARGB32);
  translucent.setPixel(0, 0, qRgba(10, 20, 30, 128));
  const QImage turned = colour.transformed(QTransform().rotate(90));
  const auto tiff = [](const QImage &picture, int bits, bool isGrey, int orientation = 1) {
    return MakeTiff({{picture, bits, isGrey, orientation, {}}});
  };
  const struct {
    const char *Name;
    ImageKind Kind;
    QByteArray Bytes;
    QImage Expected;
  } cases[] = {
      {"PNG 8-bit colour", ImageKind::Png, Written(colour, "png"), colour},
      {"PNG 16-bit colour", ImageKind::Png, Written(colour.convertToFormat(QImage::Format_RGBX64), "png"), colour},
      {"PNG 8-bit grey", ImageKind::Png, Written(grey.convertToFormat(QImage::Format_Grayscale8), "png"), grey},
      {"PNG 16-bit grey", ImageKind::Png, Written(grey.convertToFormat(QImage::Format_Grayscale16), "png"), grey},
      {"PNG with alpha", ImageKind::Png, Written(translucent, "png"), translucent},
      {"TIFF 8-bit colour", ImageKind::Tiff, tiff(colour, 8, false), colour},
      {"TIFF 16-bit colour", ImageKind::Tiff, tiff(colour, 16, false), colour},
      {"TIFF 8-bit grey", ImageKind::Tiff, tiff(grey, 8, true), grey},
      {"TIFF 16-bit grey", ImageKind::Tiff, tiff(grey, 16, true), grey},
      {"TIFF first of two pages", ImageKind::Tiff, MakeTiff({{colour, 8, false, 1, {}}, {grey.copy(0, 0, 5, 5), 8, false, 1, {}}}), colour},
      {"TIFF to be turned a quarter", ImageKind::Tiff, tiff(colour, 8, false, 6), turned},
      {"WebP colour", ImageKind::Webp, Written(colour, "webp", 100), colour},
      {"WebP grey", ImageKind::Webp, Written(grey, "webp", 100), grey},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    QImage image;
    ASSERT_TRUE(LoadPicture(c.Bytes, c.Kind, image));
    EXPECT_EQ(image.format(), c.Expected.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    EXPECT_EQ(image, c.Expected.convertToFormat(image.format()));
  }
}
// The JPEG writer: the picture read back as it was written, within the
// little JPEG changes of flat colours; translucent parts laid over white;
// each text a comment that Qt's reader gives back under its key, one too
// long for a segment cut at a whole character.
TEST(JpegWriter, WritesWhatTheReadersReadBack) {
  const auto halves = [](QImage::Format format, QRgb left, QRgb right) {
    QImage image(32, 16, format);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) image.setPixel(x, y, x < 16 ? left : right);
    return image;
  };
  QImage labelled = halves(QImage::Format_RGB32, qRgb(200, 40, 90), qRgb(20, 180, 60));
  labelled.setText("Description", QStringLiteral("leaf.jpg  \u2014  12 dots/cm"));
  labelled.setText("Comment", QStringLiteral("Stem: 4.1667 cm\nLeaf: H 2.5 cm"));
  QImage wordy = halves(QImage::Format_RGB32, qRgb(0, 0, 0), qRgb(255, 255, 255));
  wordy.setText("Comment", QString(40000, QChar(0xE9)));
  QImage cut = wordy;  // one byte more before them: the last fits only in part
  cut.setText("Comment", u'x' + QString(40000, QChar(0xE9)));
  const struct {
    const char *Name;
    QImage Picture;
    QRgb Left, Right;
    QString Comment;
  } cases[] = {
      {"colours and texts", labelled, qRgb(200, 40, 90), qRgb(20, 180, 60), labelled.text("Comment")},
      {"translucent", halves(QImage::Format_ARGB32, qRgba(0, 0, 255, 0), qRgba(255, 0, 0, 128)), qRgb(255, 255, 255),
       qRgb(255, 127, 127), QString()},
      {"a text too long", wordy, qRgb(0, 0, 0), qRgb(255, 255, 255), QString((65533 - 9) / 2, QChar(0xE9))},
      {"a character cut", cut, qRgb(0, 0, 0), qRgb(255, 255, 255), u'x' + QString((65533 - 10) / 2, QChar(0xE9))},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    QByteArray bytes = JpegBytes(c.Picture, 92);
    QImage read;
    ASSERT_TRUE(LoadJpeg(bytes, read));
    ASSERT_EQ(read.size(), c.Picture.size());
    EXPECT_TRUE(Near(read.pixel(4, 8), c.Left, 6)) << std::hex << read.pixel(4, 8);
    EXPECT_TRUE(Near(read.pixel(27, 8), c.Right, 6)) << std::hex << read.pixel(27, 8);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    const QImage qt = reader.read();
    EXPECT_EQ(qt.text("Description"), c.Picture.text("Description"));
    EXPECT_TRUE(qt.text("Comment") == c.Comment) << qt.text("Comment").size() << " characters";
  }
  EXPECT_TRUE(JpegBytes(QImage(), 92).isEmpty());
  EXPECT_TRUE(JpegBytes(QImage(4, 4, QImage::Format_Grayscale8), 92).isEmpty());
}
}  // namespace
