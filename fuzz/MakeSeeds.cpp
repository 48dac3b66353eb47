// Writes the seed corpus of every fuzz target: small sound files of each kind
// the program reads, and a few cut short. Usage: scaliper_fuzz_seeds DIR
// (writes DIR/jpeg, DIR/bmp, DIR/formats, DIR/definitions and the rest).
#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QString>

#include <cstdio>
#include <memory>

#include "definitions/DefinitionFile.h"
#include "definitions/DefinitionList.h"
#include "results/Record.h"
#include "tests/support/SampleImages.h"

namespace {
bool ok = true;

void Write(const QString &dir, const QString &name, const QByteArray &bytes) {
  QFile f(dir + u'/' + name);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
    ok = false;
  }
}

// The file itself and two cuts: inside the data, and near the start.
void WriteWithCuts(const QString &dir, const QString &name, const QByteArray &bytes) {
  Write(dir, name, bytes);
  Write(dir, name + QStringLiteral("-cut-half"), bytes.left(bytes.size() / 2));
  Write(dir, name + QStringLiteral("-cut-early"), bytes.left(bytes.size() / 8 + 1));
}

QByteArray Definitions(std::initializer_list<TMeasureType> defs) {
  TDefinitionList list;
  for (const TMeasureType &d : defs) list.Append(std::make_unique<TMeasureType>(d));
  return DefinitionFileBytes(list);
}

QByteArray Written(const QImage &image, const char *format, int quality = -1) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(quality);
  if (!writer.write(image)) {
    std::fprintf(stderr, "cannot write a %s seed\n", format);
    ok = false;
  }
  return bytes;
}

TMeasureType Def(const char *name, TMeasureKind kind, bool h, bool w, bool p, bool a) {
  TMeasureType d;
  d.Name = QString::fromUtf8(name);
  d.Kind = kind;
  d.Height = h;
  d.Width = w;
  d.Perimeter = p;
  d.Area = a;
  return d;
}
}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  QCoreApplication app(argc, argv);  // Qt's readers of TIFF and WebP are plug-ins
  const QString root = QString::fromLocal8Bit(argv[1]);
  const QString jpeg = root + QStringLiteral("/jpeg");
  const QString bmp = root + QStringLiteral("/bmp");
  const QString formats = root + QStringLiteral("/formats");
  const QString dfn = root + QStringLiteral("/definitions");
  const QString journal = root + QStringLiteral("/journal"), figures = root + QStringLiteral("/figures"),
                results = root + QStringLiteral("/results");
  for (const QString &d : {jpeg, bmp, formats, dfn, journal, figures, results})
    if (!QDir().mkpath(d)) return 1;

  const struct {
    const char *name;
    JpegKind kind;
  } jpegs[] = {{"baseline", JpegKind::Baseline},   {"progressive", JpegKind::Progressive},
               {"grey", JpegKind::Grey},           {"cmyk", JpegKind::AdobeCmyk},
               {"arithmetic", JpegKind::Arithmetic}};
  for (const auto &j : jpegs)
    WriteWithCuts(jpeg, QString::fromLatin1(j.name), MakeJpeg(j.kind, 24, 17, qRgb(200, 90, 30)));
  WriteWithCuts(jpeg, QStringLiteral("photo"), MakePhotoJpeg(40, 30, 1));
  // Photographs that say how the camera was held, in both byte orders.
  WriteWithCuts(jpeg, QStringLiteral("exif-6"), WithExifOrientation(MakePhotoJpeg(40, 30, 2), 6));
  WriteWithCuts(jpeg, QStringLiteral("exif-7-mm"), WithExifOrientation(MakePhotoJpeg(24, 16, 3), 7, true));

  // PNG, TIFF and WebP: 8 and 16 bits, colour, grey and alpha, two pages,
  // an orientation.
  QImage colour(21, 13, QImage::Format_RGB32);
  for (int y = 0; y < colour.height(); ++y)
    for (int x = 0; x < colour.width(); ++x) colour.setPixel(x, y, qRgb(12 * x, 19 * y, 255 - 5 * x - 7 * y));
  const QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
  const struct {
    const char *name;
    QByteArray bytes;
  } pictures[] = {
      {"png-8", Written(colour, "png")},
      {"png-16", Written(colour.convertToFormat(QImage::Format_RGBA64), "png")},
      {"png-grey-16", Written(colour.convertToFormat(QImage::Format_Grayscale16), "png")},
      {"png-palette", Written(colour.convertToFormat(QImage::Format_Indexed8), "png")},
      {"tiff-8", MakeTiff({{colour, 8, false, 1, {}}})},
      {"tiff-16", MakeTiff({{colour, 16, false, 1, {}}})},
      {"tiff-grey-16", MakeTiff({{grey, 16, true, 1, {}}})},
      {"tiff-two-pages-turned", MakeTiff({{colour, 8, false, 6, {}}, {grey, 8, true, 1, {}}})},
      {"tiff-lzw", [&] {
         QByteArray bytes;
         QBuffer buffer(&bytes);
         buffer.open(QIODevice::WriteOnly);
         QImageWriter writer(&buffer, "tiff");
         writer.setCompression(1);
         writer.write(colour);
         return bytes;
       }()},
      {"webp-lossless", Written(colour, "webp", 100)},
      {"webp-lossy", Written(colour.convertToFormat(QImage::Format_ARGB32), "webp", 60)},
  };
  for (const auto &p : pictures) WriteWithCuts(formats, QString::fromLatin1(p.name), p.bytes);

  const struct {
    const char *name;
    int bits, height, compression;
  } bmps[] = {{"1bit", 1, 6, 0},          {"4bit", 4, 6, 0},         {"8bit", 8, 6, 0},
              {"16bit", 16, 6, 0},        {"24bit", 24, 6, 0},       {"32bit", 32, 6, 0},
              {"rle8", 8, 6, 1},          {"rle4", 4, 6, 2},         {"bitfields16", 16, 6, 3},
              {"bitfields32", 32, 6, 3},  {"topdown24", 24, -6, 0},  {"topdown8", 8, -6, 0}};
  for (const auto &b : bmps) {
    BmpLayout layout;
    layout.Bits = b.bits;
    layout.Width = 9;
    layout.Height = b.height;
    layout.Compression = b.compression;
    WriteWithCuts(bmp, QString::fromLatin1(b.name), MakeBmp(layout));
  }

  WriteWithCuts(dfn, QStringLiteral("two"),
                Definitions({Def("Line1", mkLine, false, false, false, false),
                             Def("Rect2", mkRectangle, true, false, false, true)}));
  WriteWithCuts(dfn, QStringLiteral("kinds"),
                Definitions({Def("leaf length", mkLine, false, false, false, false),
                             Def("tip angle", mkAngle, false, false, false, false),
                             Def("blade", mkRectangle, true, true, true, true),
                             Def("", TMeasureKind(-1), false, true, false, false)}));
  Write(dfn, QStringLiteral("empty-list"), QByteArray("0\r\n"));
  Write(dfn, QStringLiteral("lenient"), QByteArray("2\n A\t 2 1  0 0\n 1\nb\nc\t258\t0\t0\t0\t0"));
  // A sitting's record: every kind of entry, as the program writes them.
  std::vector<TRecordEntry> entries(9);
  entries[0].Kind = TRecordEntry::Definitions;
  entries[0].Defs = {{"Stem", 0, false, false, false, false}, {"Leaf", 2, true, false, false, true}};
  entries[1].Kind = TRecordEntry::Images;
  entries[1].Files = {"/p/a.jpg", "/p/b.bmp"};
  entries[2].Kind = TRecordEntry::Scale;
  entries[2].ScaleValue = {{1, 1}, {121, 1}, 10, 12, "12"};
  entries[2].Image = 0;
  entries[3].Kind = TRecordEntry::Figure;
  entries[3].Image = 0;
  entries[3].FigureValue = {2, "Leaf", 2, {{20, 20}, {60, 50}}, 5, {"2.5", "8.3"}, {"cm", "cm\u00b2"}};
  entries[4].Kind = TRecordEntry::Continued;
  entries[4].File = "/p/r.csv";
  entries[4].Separator = ',';
  entries[4].Rows = {{"3", "/p", "c.jpg", "", "", ""}};
  entries[5].Kind = TRecordEntry::Saved;
  entries[5].File = "/p/r.csv";
  // A further object's figure, values cleared by a new scale, and an image
  // as an undo left it.
  entries[6] = entries[3];
  entries[6].FigureValue.Object = 2;
  entries[7].Kind = TRecordEntry::Cells;
  entries[7].Image = 0;
  entries[7].Object = 2;
  entries[7].Column = 4;
  entries[7].Texts = {"", ""};
  entries[8].Kind = TRecordEntry::State;
  entries[8].Image = 0;
  entries[8].Rows = {{"1", "/p", "a.jpg", "12", "", "2.5", "8.3"}, {"1", "/p", "a.jpg", "12", "", "", ""}};
  entries[8].ImageValue.Figures = {entries[6].FigureValue};
  QByteArray lines = JournalHeader(QDateTime(QDate(2026, 1, 2), QTime(3, 4), Qt::UTC));
  TRecord record;
  for (const TRecordEntry &e : entries) {
    lines += JournalLine(e);
    record.Apply(e);
  }
  WriteWithCuts(journal, QStringLiteral("sitting"), lines);
  WriteWithCuts(figures, QStringLiteral("rows"),
                "a.jpg\tb.bmp\tc.jpg\n" + FiguresFileBytes(record, {"a.jpg", "b.bmp", "c.jpg"}));
  WriteWithCuts(results, QStringLiteral("tabs"),
                "No.\tPath\tFile Name\tDots/cm\tStem\r\n1\t/p\ta.jpg\t12\t2.5\r\n2\t/p\tb.bmp\t\t\r\n\t\t\t\t\r\n");
  WriteWithCuts(results, QStringLiteral("objects"),
                "No.\tPath\tFile Name\tObject\tDots/cm\tStem\r\n1\t/p\ta.jpg\t1\t12\t2.5\r\n1\t/p\ta.jpg\t2\t12\t3\r\n"
                "2\t/p\tb.bmp\t1\t\t\r\n");
  WriteWithCuts(results, QStringLiteral("commas"),
                "No.,Path,File Name,Dots/cm,Stem\r\n1,\"/p,q\",a.jpg,\"12,5\",\"2,5\"\r\n");
  return ok ? 0 : 1;
}
