// Resident memory while a long run of images is shown one after another.
#include <QCoreApplication>
#include <QImage>
#include <QStringList>

#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "bench/BenchSupport.h"

using namespace bench;

namespace {
// A picture of about two megapixels with a gradient and noise in it, so that
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
  // Four files of different sizes, so that every picture differs in size
  // from the one before it.
  const QSize sizes[] = {{1600, 1200}, {1800, 1200}, {1200, 1600}, {1700, 1300}};
  QStringList files;
  for (int i = 0; i < 4; ++i) {
    const QString path = dir + QStringLiteral("/photo%1.jpg").arg(i);
    if (!Photo(sizes[i].width(), sizes[i].height(), i).save(path, "JPG", 90)) return;
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
  qint64 settled = 0;
  int shown = 0;
  for (int i = 0; i < kImages; ++i) {
    form.ShowImage(i);
    QCoreApplication::processEvents();
    if (form.ImageBitmap.size() == sizes[i % 4]) ++shown;
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
