// Damaged, disguised and impossible image files met where the program meets
// them: opened with Open Images and shown with Next, after a sound picture.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>

#include <functional>

#include <sys/stat.h>

#include "app/Form1.h"
#include "images/ImageLoader.h"
#include "images/ImageView.h"
#include "tests/support/SampleImages.h"
#include "tests/support/FormDriver.h"
#include "tests/support/ScriptedPrompter.h"

namespace {

// What showing the second image did, compared with the first.
struct Shown {
  int Beeps = 0;
  size_t Messages = 0;
  bool PictureKept = false;  // picture, view and status bar as after the first image
  QImage Picture;
};

// A fresh main window with one definition and a sound first picture.
struct Viewer {
  QTemporaryDir Dir;
  ScriptedPrompter Prompt;
  TForm1 Form{Prompt};
  QString FirstPath;
  QImage First;

  Viewer() {
    EXPECT_TRUE(Dir.isValid());
    AddDefinition(Form.DefinitionList, Form.ResultsTable, "L", mkLine, false, false, false, false);
    BmpLayout layout;
    layout.Width = 40;
    layout.Height = 30;
    FirstPath = Write("first.bmp", MakeBmp(layout));
  }

  QString Write(const QString &name, const QByteArray &bytes) {
    QFile f(Dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    EXPECT_EQ(f.write(bytes), bytes.size());
    return f.fileName();
  }

  // Opens the sound first image and `second`, shows the first with Start,
  // runs `between` (if any), then shows `second` with Next.
  Shown OpenAndShow(const QString &second, const std::function<void()> &between = {}) {
    Prompt.AnswerFiles({FirstPath, second});
    Form.btOpenImagesClick();
    Prompt.Answers.push_back(mrYes);
    Next(Form);
    EXPECT_EQ(Form.CurrentImage(), 0);
    EXPECT_EQ(Prompt.Beeps, 0);
    First = Form.ImageBitmap();
    EXPECT_EQ(First.size(), QSize(40, 30));
    if (between) between();

    Next(Form);
    EXPECT_EQ(Form.CurrentImage(), 1);
    Shown out;
    out.Beeps = Prompt.Beeps;
    out.Messages = Prompt.Messages.size();
    out.Picture = Form.ImageBitmap();
    out.PictureKept = Form.ImageBitmap() == First && Form.Pane().View()->Picture() == First &&
                      Form.Frame().StatusPanel0->text() == "40x30" && Form.Frame().StatusPanel1->text() == FirstPath;
    return out;
  }

  void ExpectRefused(const Shown &s) {
    EXPECT_EQ(s.Beeps, 1);
    EXPECT_EQ(s.Messages, 0u);
    EXPECT_TRUE(s.PictureKept);
  }

  void ExpectShown(const Shown &s, const QString &path, QSize size) {
    EXPECT_EQ(s.Beeps, 0);
    EXPECT_EQ(s.Messages, 0u);
    EXPECT_EQ(s.Picture.size(), size);
    EXPECT_EQ(Form.Pane().View()->Picture().size(), size);
    EXPECT_EQ(Form.Frame().StatusPanel0->text(), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
    EXPECT_EQ(Form.Frame().StatusPanel1->text(), path);
  }
};

bool IsDark(QRgb c) { return qAlpha(c) == 255 && qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16; }
bool IsLight(QRgb c) { return qAlpha(c) == 255 && qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240; }

// The offset just past the first scan header: up to there the file holds no
// picture data at all.
qsizetype FirstScanDataOffset(const QByteArray &jpeg) {
  const qsizetype sos = jpeg.indexOf("\xFF\xDA");
  if (sos < 0) return -1;
  return sos + 2 + (uchar(jpeg[sos + 2]) << 8 | uchar(jpeg[sos + 3]));
}

TEST(HostileImage, JpegCutAtEverySixteenth) {
  const struct {
    const char *Name;
    QByteArray Bytes;
    bool EveryDataCutShown;  // one scan: any cut past its header shows a picture
  } sources[] = {{"baseline", MakePhotoJpeg(64, 48, 3), true},
                 {"progressive", MakeJpeg(JpegKind::Progressive, 64, 48, qRgb(90, 30, 200)), false}};
  for (const auto &src : sources) {
    const qsizetype dataStart = FirstScanDataOffset(src.Bytes);
    ASSERT_GT(dataStart, 0);
    for (int k = 1; k < 16; ++k) {
      const qsizetype len = src.Bytes.size() * k / 16;
      SCOPED_TRACE(testing::Message() << src.Name << " cut at " << k << "/16 = " << len);
      Viewer v;
      const QString path = v.Write(QStringLiteral("cut%1.jpg").arg(k), src.Bytes.left(len));
      const Shown s = v.OpenAndShow(path);
      // Cut inside the header there is nothing to show. Cut inside picture
      // data libjpeg fills in what is missing and the picture is shown; a
      // progressive file cut inside the tables of a later scan is damaged
      // beyond that and refused.
      if (len < dataStart) v.ExpectRefused(s);
      else if (src.EveryDataCutShown || k == 15 || s.Beeps == 0) v.ExpectShown(s, path, QSize(64, 48));
      else v.ExpectRefused(s);
    }
  }
}

TEST(HostileImage, RefusedWithABeep) {
  const QByteArray jpeg = MakeJpeg(JpegKind::Baseline, 16, 16, qRgb(50, 60, 70));
  QByteArray twelveBit = jpeg;
  twelveBit[JpegFramePrecisionOffset(jpeg)] = char(12);
  BmpLayout bmp;
  bmp.Bits = 8;
  BmpLayout zeroHeight;
  zeroHeight.Height = 0;
  BmpLayout bigPalette;  // 300 colours cannot be indexed by 8 bits
  bigPalette.Bits = 8;
  bigPalette.PaletteEntries = 300;
  BmpLayout monoPalette;  // a 1-bit picture claiming 256 colours
  monoPalette.Bits = 1;
  monoPalette.PaletteEntries = 256;
  BmpLayout noMasks16;
  noMasks16.Bits = 16;
  noMasks16.Compression = 3;
  noMasks16.UseMasks = true;
  BmpLayout noMasks32 = noMasks16;
  noMasks32.Bits = 32;
  // An 8 x 6 run-length bitmap of the given depth (8: RLE8, 4: RLE4).
  const auto rle = [](int bits, QByteArray pixels) {
    BmpLayout s;
    s.Bits = bits;
    s.Compression = bits == 8 ? 1 : 2;
    s.Width = 8;
    s.Height = 6;
    s.Pixels = std::move(pixels);
    return MakeBmp(s);
  };
  const auto rle8 = [&](QByteArray pixels) { return rle(8, std::move(pixels)); };
  const auto rle4 = [&](QByteArray pixels) { return rle(4, std::move(pixels)); };

  BmpLayout plain;
  plain.Width = 10;
  QByteArray offsetPastEnd = MakeBmp(plain);
  offsetPastEnd[10] = char(0xF0);  // pixel data said to start 61,440 bytes in

  QImage picture(60, 40, QImage::Format_RGB32);
  picture.fill(qRgb(30, 60, 90));
  const auto written = [&](const char *format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
  };
  const QByteArray png = written("png"), webp = written("webp");
  const QByteArray tiff = MakeTiff({{picture, 8, false, 1, {}}});
  // The strip's offset is the value of the sixth of the directory's eleven
  // entries, which the next directory's offset (4 bytes) ends.
  QByteArray tiffStripPastEnd = tiff;
  tiffStripPastEnd.replace(tiff.size() - 4 - 12 * 6 + 8, 4, QByteArray("\0\0\0\x40", 4));
  // Within the pixel bound, but at 16 bits a channel twice what Qt may allocate.
  const QByteArray tiff16Huge = MakeTiff({{picture, 16, false, 1, QSize(20000, 10000)}});

  const struct {
    const char *Name;
    QByteArray Bytes;
  } cases[] = {
      {"empty.jpg", {}},
      {"empty.png", {}},
      {"huge.png", WithPngSize(png, 60000, 60000)},
      {"cut.png", png.left(png.size() / 2)},
      {"photo.png", jpeg},
      {"huge.tif", MakeTiff({{picture, 8, false, 1, QSize(60000, 60000)}})},
      {"rows-missing.tif", MakeTiff({{picture, 8, false, 1, QSize(60, 4000)}})},
      {"strip-past-end.tif", tiffStripPastEnd},
      {"sixteen-bit-200-megapixels.tif", tiff16Huge},
      {"directory-cut.tiff", tiff.left(tiff.size() - 20)},
      {"scan.tif", png},
      {"cut.webp", webp.left(webp.size() / 2)},
      {"riff-only.webp", webp.left(12)},
      {"photo.webp", jpeg},
      {"rows-missing.bmp", MakeBmp(plain).chopped(30)},
      {"offset-past-end.bmp", offsetPastEnd},
      {"empty.bmp", {}},
      {"huge.jpg", WithJpegSize(jpeg, 65500, 65500)},
      {"twelve-bit.jpg", twelveBit},
      {"bitmap.jpg", MakeBmp(bmp)},
      {"photo.bmp", jpeg},
      {"zero-height.bmp", MakeBmp(zeroHeight)},
      {"palette-300.bmp", MakeBmp(bigPalette)},
      {"palette-256-mono.bmp", MakeBmp(monoPalette)},
      {"no-masks-16.bmp", MakeBmp(noMasks16)},
      {"no-masks-32.bmp", MakeBmp(noMasks32)},
      // A jump 9 rows down in a picture of 6, then a run.
      {"rle8-jump-out.bmp", rle8(QByteArray::fromHex("0002 0009 0405 0001"))},
      // Seven rows of data for a picture of six.
      {"rle8-extra-rows.bmp", rle8(QByteArray::fromHex("0805 0000 0805 0000 0805 0000 0805 0000"
                                                       "0805 0000 0805 0000 0805 0001"))},
      // A few bytes of runs for a picture of 120 million pixels.
      {"rle8-huge-empty.bmp", [] {
         BmpLayout s;
         s.Bits = 8;
         s.Compression = 1;
         s.Width = 4000;
         s.Height = 30000;
         s.Pixels = QByteArray::fromHex("0a01 0001");
         return MakeBmp(s);
       }()},
      // Found by the fuzzer: 9 x 14,417,926 pixels of RLE4 in 154 bytes.
      {"rle4-claims-14-million-rows.bmp",
       QByteArray::fromHex("424d9a000000000000007600000028000000090000000600dc00010004000200000024000000130b0000130b000000000000"
                           "000000000000000000004100000002000000424d9a0000007600000000000000280000000910000006000000010004000200"
                           "000024000000130b0000130b000000000000000000000000000000000100000002030000000300000004000000000400000000000505")},
      // Found by the fuzzer: a header of 9 bytes, which Qt reads as the old
      // one, claiming 16390 x 15616 pixels in 89 bytes.
      {"header-size-9.bmp", QByteArray::fromHex("424d9a0000000000000076590000090000000640003d01000400020000000000000000000000000000004100000002000000"
                                                "424d9a009e0000000000007600ff2028000104003d000000130b09000000010000000200000505")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Viewer v;
    v.ExpectRefused(v.OpenAndShow(v.Write(QString::fromLatin1(c.Name), c.Bytes)));
  }
}

// A few hundred bytes claiming the largest picture the program takes cannot
// hold it; decoding them anyway would cost a gigabyte and seconds.
TEST(HostileImage, SmallFilesClaimingHugePicturesAreRefused) {
  const struct {
    const char *Name;
    JpegKind Kind;
  } cases[] = {{"baseline", JpegKind::Baseline},  {"progressive", JpegKind::Progressive},
               {"grey", JpegKind::Grey},          {"cmyk", JpegKind::AdobeCmyk},
               {"arithmetic", JpegKind::Arithmetic}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Viewer v;
    const QByteArray bytes = WithJpegSize(MakeJpeg(c.Kind, 16, 16, qRgb(1, 2, 3)), 16384, 16384);
    ASSERT_LT(bytes.size(), 1000);
    const QString path = v.Write(QStringLiteral("claims-%1.jpg").arg(c.Name), bytes);
    v.ExpectRefused(v.OpenAndShow(path));
  }
  // Sound flat pictures are shown whatever their size: the most tightly
  // packed a Huffman coder writes, and an arithmetic-coded one that holds
  // 2000 x 2000 pixels in a few hundred bytes.
  const struct {
    JpegKind Kind;
    int Side;
  } flat[] = {{JpegKind::Baseline, 1024}, {JpegKind::Progressive, 1024}, {JpegKind::Grey, 1024},
              {JpegKind::Arithmetic, 2000}};
  for (const auto &f : flat) {
    Viewer v;
    const QByteArray bytes = MakeJpeg(f.Kind, f.Side, f.Side, qRgb(128, 128, 128));
    if (f.Kind == JpegKind::Arithmetic) EXPECT_LT(bytes.size(), 1000);
    const QString path = v.Write("flat.jpg", bytes);
    v.ExpectShown(v.OpenAndShow(path), path, QSize(f.Side, f.Side));
  }
}

// A folder, a pipe or a device named like a picture is refused by Open
// Images with the message of a file that cannot be opened, the other files
// being opened; one that takes a picture's place after Open Images is
// refused by the reader with a beep, at once, however long a pipe would
// wait for a writer.
TEST(HostileImage, NoRegularFileNamedLikeAPicture) {
  const std::function<void(const QString &)> make[] = {
      [](const QString &path) { ASSERT_TRUE(QDir().mkdir(path)); },
      [](const QString &path) { ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); },
  };
  for (const auto &makeIt : make) {
    Viewer v;
    const QString odd = v.Dir.filePath("photo.jpg");
    makeIt(odd);
    v.Prompt.AnswerFiles({v.FirstPath, odd});
    v.Form.btOpenImagesClick();
    EXPECT_EQ(v.Form.ResultsTable.ImageCount, 1);
    EXPECT_EQ(v.Prompt.Messages, (std::vector<ScriptedPrompter::Shown>{{"Cannot open " + odd, "File Error"}}));
  }
  for (const auto &makeIt : make) {
    Viewer v;
    const QString later = v.Write("photo.jpg", "placeholder");
    v.ExpectRefused(v.OpenAndShow(later, [&] {
      ASSERT_TRUE(QFile::remove(later));
      makeIt(later);
    }));
  }
  EXPECT_TRUE(QFile::exists("/dev/zero"));
  QImage none;
  EXPECT_FALSE(LoadImageFile("/dev/zero", ImageKind::Jpeg, none));
}

TEST(HostileImage, FileGoneBetweenOpenAndNext) {
  Viewer v;
  const QString path = v.Write("gone.jpg", MakeJpeg(JpegKind::Baseline, 8, 8, qRgb(1, 2, 3)));
  v.ExpectRefused(v.OpenAndShow(path, [&] { EXPECT_TRUE(QFile::remove(path)); }));
}

// Sound bitmaps that only look unusual are shown, the right way up.
TEST(HostileImage, UnusualButSoundBitmapsAreShown) {
  const struct {
    const char *Name;
    int Bits, Height, Compression;
  } cases[] = {
      {"top-down-24.bmp", 24, -6, 0}, {"top-down-8.bmp", 8, -6, 0}, {"top-down-1.bmp", 1, -6, 0},
      {"rle8.bmp", 8, 6, 1},          {"rle4.bmp", 4, 6, 2},        {"bitfields-16.bmp", 16, 6, 3},
      {"bitfields-32.bmp", 32, 6, 3}, {"4bit.bmp", 4, 6, 0},        {"16bit.bmp", 16, 6, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Viewer v;
    BmpLayout layout;
    layout.Bits = c.Bits;
    layout.Width = 10;
    layout.Height = c.Height;
    layout.Compression = c.Compression;
    const QString path = v.Write(QString::fromLatin1(c.Name), MakeBmp(layout));
    const Shown s = v.OpenAndShow(path);
    v.ExpectShown(s, path, QSize(10, 6));
    // The checkerboard: dark top-left and bottom-right, light elsewhere.
    const QImage &img = s.Picture;
    EXPECT_TRUE(IsDark(img.pixel(0, 0))) << std::hex << img.pixel(0, 0);
    EXPECT_TRUE(IsLight(img.pixel(9, 0))) << std::hex << img.pixel(9, 0);
    EXPECT_TRUE(IsLight(img.pixel(0, 5))) << std::hex << img.pixel(0, 5);
    EXPECT_TRUE(IsDark(img.pixel(9, 5))) << std::hex << img.pixel(9, 5);
  }
}

// Runs and literal pixels that pass the end of their row are clipped there,
// as other readers do, and the data after them is read on in step: an image
// tool covers each row of odd width with runs one pixel longer.
TEST(HostileImage, RunLengthPastTheRowEndIsClipped) {
  // Light pixels: from column 5 on in every row, or the bottom rows only.
  const auto rightOfFive = [](int x, int) { return x >= 5; };
  const auto bottomRows = [](int rows) { return [rows](int, int fromBottom) { return fromBottom < rows; }; };
  const struct {
    const char *Name;
    int Bits, Width;
    QByteArray Pixels;
    std::function<bool(int, int)> Light;
  } cases[] = {
      {"rle8-odd-width.bmp", 8, 9, QByteArray::fromHex("0500 05ff 0000").repeated(5) + QByteArray::fromHex("0500 05ff 0001"),
       rightOfFive},
      {"rle4-odd-width.bmp", 4, 9, QByteArray::fromHex("0500 05ff 0000").repeated(5) + QByteArray::fromHex("0500 05ff 0001"),
       rightOfFive},
      {"rle8-long-run.bmp", 8, 8, QByteArray::fromHex("c8ff 0001"), bottomRows(1)},
      {"rle8-long-literal.bmp", 8, 8, QByteArray::fromHex("000c ffffffffffffffff 01010101 0000 08ff 0001"),
       bottomRows(2)},
      {"rle4-long-run.bmp", 4, 8, QByteArray::fromHex("40ff 0001"), bottomRows(1)},
      {"rle4-long-literal.bmp", 4, 8, QByteArray::fromHex("000b ffffffffff10 0000 08ff 0001"), bottomRows(2)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Viewer v;
    BmpLayout layout;
    layout.Bits = c.Bits;
    layout.Compression = c.Bits == 8 ? 1 : 2;
    layout.Width = c.Width;
    layout.Height = 6;
    layout.Pixels = c.Pixels;
    const QString path = v.Write(QString::fromLatin1(c.Name), MakeBmp(layout));
    const Shown s = v.OpenAndShow(path);
    v.ExpectShown(s, path, QSize(c.Width, 6));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < c.Width; ++x)
        ASSERT_EQ(IsLight(s.Picture.pixel(x, y)), c.Light(x, 5 - y)) << x << "," << y;
  }
}

// Pixels that run-length data jumps over or never reaches are colour 0, the
// same every time, not whatever memory held before. A picture of a few
// million pixels left mostly to jumps is shown too: it is as cheap to fill as
// a flat JPEG of that size.
TEST(HostileImage, RunLengthGapsAreColourZero) {
  const struct {
    const char *Name;
    int Bits, Compression, Width, Height;
    QByteArray Pixels;
  } cases[] = {
      {"rle8-only-end.bmp", 8, 1, 40, 30, QByteArray::fromHex("0001")},
      {"rle8-jump.bmp", 8, 1, 40, 30, QByteArray::fromHex("0002 0503 0001")},
      {"rle8-cut.bmp", 8, 1, 40, 30, QByteArray::fromHex("02")},
      {"rle4-only-end.bmp", 4, 2, 40, 30, QByteArray::fromHex("0001")},
      {"rle8-sparse-8-megapixels.bmp", 8, 1, 4096, 2048, QByteArray::fromHex("0002 ffff 0400 0001")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Viewer v;
    BmpLayout layout;
    layout.Bits = c.Bits;
    layout.Compression = c.Compression;
    layout.Width = c.Width;
    layout.Height = c.Height;
    layout.Pixels = c.Pixels;
    const QString path = v.Write(QString::fromLatin1(c.Name), MakeBmp(layout));
    const Shown s = v.OpenAndShow(path);
    v.ExpectShown(s, path, QSize(c.Width, c.Height));
    for (int y = 0; y < c.Height; y += c.Height / 30)
      for (int x = 0; x < c.Width; x += c.Width / 40) ASSERT_TRUE(IsDark(s.Picture.pixel(x, y))) << x << "," << y;
  }
}

}  // namespace
