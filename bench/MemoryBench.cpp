// Resident memory while a long run of images, small and large, is shown one
// after another.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QStringList>

#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "bench/BenchSupport.h"
#include "tests/support/FormDriver.h"
#include "tests/support/SampleImages.h"

using namespace bench;

namespace {
// A picture with a gradient and noise in it, so that
// it decodes like a photograph.
QImage Photo(int w, int h, int seed) {
  QImage img(w, h, QImage::Format_RGB32);
  unsigned state = unsigned(seed) * 2654435761u + 1;
  for (int y = 0; y < h; ++y) {
    auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
    for (int x = 0; x < w; ++x) {
      state = state * 1103515245u + 12345u;
      const int noise = int((state >> 16) & 15);
      row[x] = qRgb((x * 255 / w + noise) & 0xFF, (y * 255 / h + noise) & 0xFF,
                    ((x + y) / 8 + seed * 40 + noise) & 0xFF);
    }
  }
  return img;
}

void ShowImagesBench(const QString &dir) {
  // Four files of about two megapixels and two of 24, all of different
  // sizes, so that every picture differs in size from the one before it and
  // both small and large pictures come and go.
  const QSize sizes[] = {{1600, 1200}, {6000, 4000}, {1800, 1200}, {1200, 1600}, {4000, 6000}, {1700, 1300}};
  constexpr int kFiles = 6;
  QStringList files;
  for (int i = 0; i < kFiles; ++i) {
    const QString path = dir + QStringLiteral("/photo%1.jpg").arg(i);
    const QSize size = sizes[i];
    if (size.width() * size.height() > 10000000) {
      QFile f(path);
      if (!f.open(QIODevice::WriteOnly) || f.write(MakePhotoJpeg(size.width(), size.height(), i)) <= 0) return;
    } else if (!Photo(size.width(), size.height(), i).save(path, "JPG", 90)) {
      return;
    }
    files << path;
  }
  constexpr int kImages = 200;
  QStringList run;
  for (int i = 0; i < kImages; ++i) run << files[i % files.size()];

  TQtPrompter prompter;
  TForm1 form(prompter);
  form.show();
  form.ResultsTable.AppendImageRows(run);
  // The first few pictures settle the allocator and Qt's caches; growth is
  // counted from there.
  constexpr int kSettle = 8;
  // The first counted picture and the last one are the same file.
  static_assert((kImages - kSettle) % kFiles == 0);
  qint64 settled = 0;
  int shown = 0;
  for (int i = 0; i < kImages; ++i) {
    ShowImageAndWait(form, i);
    QCoreApplication::processEvents();
    if (form.ImageBitmap().size() == sizes[i % kFiles]) ++shown;
    if (i == kSettle - 1) settled = ResidentBytes();
  }
  const qint64 end = ResidentBytes();
  // A run in which some picture was not shown measures nothing.
  if (shown != kImages) {
    Print("rss_growth_200_images_mib", -1);
    return;
  }
  Print("rss_growth_200_images_mib", double(end - settled) / (1024.0 * 1024.0));
}

Section memory("memory", ShowImagesBench);
}  // namespace
