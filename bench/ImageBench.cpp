// Showing large photographs through the main window: what Next and Back make
// the user wait, against a plain decode, the memory while walking, the first paint after a zoom
// change against Qt's own smooth scaling, repaints at every zoom against
// 100 %, and the view's memory at 400 %.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QElapsedTimer>
#include <QThread>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <jpeglib.h>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

#include "app/Form1.h"
#include "images/ImageView.h"
#include "bench/BenchSupport.h"
#include "definitions/DefinitionList.h"
#include "tests/support/FormDriver.h"
#include "tests/support/SampleImages.h"

using namespace bench;

namespace {
const int kWidth = 6000, kHeight = 4000;  // 24 megapixels
const double kDecodedMiB = double(kWidth) * kHeight * 4 / kMiB;
const QSize kViewport(1280, 800);
const double kFactors[] = {0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 4.0};
const char *const kZoomNames[] = {"25", "50", "75", "100", "150", "200", "400"};
constexpr int kZoom100 = 3;

// A 6000 x 4000 quality-90 photograph-like JPEG; each seed gives another one.
QString WritePhoto(const QString &dir, int seed) {
  static std::map<int, QByteArray> made;
  if (!made.count(seed)) made[seed] = MakePhotoJpeg(kWidth, kHeight, seed);
  const QString path = dir + QStringLiteral("/photo%1.jpg").arg(seed);
  QFile f(path);
  if (!f.exists() && f.open(QIODevice::WriteOnly)) f.write(made[seed]);
  return path;
}

QByteArray ReadAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// libjpeg's default decode of the bytes into a buffer from new[], which is
// freed again: what showing a picture needs at the least.
void PlainDecode(const QByteArray &bytes) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()), (unsigned long)bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);
  const size_t stride = size_t(cinfo.output_width) * 4;
  std::unique_ptr<unsigned char[]> pixels(new unsigned char[stride * cinfo.output_height]);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.get() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

// The main window, shown with its scroll box 1280 x 800, the run started on a
// list of images; each step is the command and the paint it asks for.
struct ShownRun {
  OkPrompter Prompter;
  TForm1 Form{Prompter};
  explicit ShownRun(const QStringList &files, int zoomIndex = kZoom100) {
    AddDefinition(Form.DefinitionList, Form.ResultsTable, QStringLiteral("F"), mkLine, false, false, false, false);
    Form.ResultsTable.AppendImageRows(files);
    Form.Tools().ComboBox1->setCurrentIndex(zoomIndex);
    Form.show();
    Form.resize(Form.size() + kViewport - Form.Pane().viewport()->size());
    QApplication::processEvents();
  }
  // Next, not yet painted; false when it beeped or left the picture as it was.
  bool NextUnpainted() {
    const qint64 shown = Form.ImageBitmap().cacheKey();
    const int beeps = Prompter.Beeps;
    ::Next(Form);  // the command and the picture's arrival
    return Prompter.Beeps == beeps && Form.ImageBitmap().cacheKey() != shown;
  }
  // Next, and the paint it asks for.
  bool Next() {
    const bool ok = NextUnpainted();
    QApplication::processEvents();
    return ok;
  }
  void SetZoom(int index) {
    Form.Tools().ComboBox1->setCurrentIndex(index);
    QApplication::processEvents();
  }
};

// Mean and worst of a list of times in nanoseconds, printed in milliseconds.
void PrintWait(const char *name, const std::vector<double> &times, double plainMean, bool ok) {
  Print(name, ok ? Mean(times) / 1e6 : -1);
  Print((QByteArray(name).replace("_ms_", "_max_ms_")).constData(), ok ? Max(times) / 1e6 : -1);
  std::printf("  (plain decode: mean %.1f ms)\n", plainMean / 1e6);
}

// What the user waits for at Next and Back: from the command to the new
// picture painted in the shown window, with a second of work on each image
// as a user's would be, against a plain decode of the same file, taken in
// turns. Then Next pressed before the read-ahead is done, and the resident
// memory while walking. The files are distinct names for two photographs
// (hard links), so that every image is read for itself. A figure that could
// not be measured is printed as -1.
void WaitBench(const QString &dir) {
  const QString photos[2] = {WritePhoto(dir, 7), WritePhoto(dir, 8)};
  const QByteArray bytes[2] = {ReadAll(photos[0]), ReadAll(photos[1])};
  constexpr int kRounds = 20;
  constexpr int kImages = 3 * kRounds + 2 * kRounds + 8;
  QStringList files;
  for (int i = 0; i < kImages; ++i) {
    const QString path = dir + QStringLiteral("/walk%1.jpg").arg(i);
    if (::link(QFile::encodeName(photos[i % 2]).constData(), QFile::encodeName(path).constData()) != 0) {
      Print("next_wait_ms_100", -1);
      return;
    }
    files << path;
  }
  ShownRun run(files);
  const qint64 before = ResidentBytes();
  bool ok = run.Next() && run.Next();  // the first ones settle the allocator
  int plain = 0;
  auto idle = [] { QThread::msleep(1000); };
  double steadyPictures = 0;
  // A user's walk: a second on each image, a plain decode, then the command.
  auto walk = [&](const std::function<bool()> &command, bool sampleMemory) {
    std::vector<double> waits, decodes;
    for (int i = 0; i < kRounds; ++i) {
      idle();
      if (sampleMemory)
        steadyPictures = std::max(steadyPictures, double(ResidentBytes() - before) / (kDecodedMiB * kMiB));
      QElapsedTimer t;
      t.start();
      PlainDecode(bytes[plain++ % 2]);
      decodes.push_back(double(t.nsecsElapsed()));
      t.restart();
      ok = command() && ok;
      waits.push_back(double(t.nsecsElapsed()));
    }
    return std::make_pair(waits, decodes);
  };
  const auto back = [&] {
    const qint64 shown = run.Form.ImageBitmap().cacheKey();
    Back(run.Form);
    QApplication::processEvents();
    return run.Prompter.Beeps == 0 && run.Form.ImageBitmap().cacheKey() != shown;
  };

  const auto next100 = walk([&] { return run.Next(); }, true);
  PrintWait("next_wait_ms_100", next100.first, Mean(next100.second), ok);
  Print("next_wait_ratio", ok ? Mean(next100.first) / Mean(next100.second) : -1);
  Print("steady_rss_pictures", ok ? steadyPictures : -1);

  run.SetZoom(2);
  ok = run.Next() && ok;
  const auto next75 = walk([&] { return run.Next(); }, false);
  PrintWait("next_wait_ms_75", next75.first, Mean(next75.second), ok);
  Print("next_wait_ratio_75", ok ? Mean(next75.first) / Mean(next75.second) : -1);

  run.SetZoom(kZoom100);
  idle();
  ok = back() && ok;  // the first Back turns the direction of travel
  const auto back100 = walk(back, false);
  PrintWait("back_wait_ms_100", back100.first, Mean(back100.second), ok);
  Print("back_wait_ratio", ok ? Mean(back100.first) / Mean(back100.second) : -1);

  // Next pressed at once after the one before: the read-ahead has just
  // begun. The plain decode is taken with the worker idle, the two in turns.
  std::vector<double> cold, decodes;
  for (int i = 0; i < kRounds; ++i) {
    auto timeNext = [&] {
      ok = run.Next() && ok;  // starts the read-ahead of the one timed
      QElapsedTimer t;
      t.start();
      ok = run.Next() && ok;
      cold.push_back(double(t.nsecsElapsed()));
    };
    auto timeDecode = [&] {
      QThread::msleep(400);  // the worker's read-ahead done
      QElapsedTimer t;
      t.start();
      PlainDecode(bytes[plain++ % 2]);
      decodes.push_back(double(t.nsecsElapsed()));
    };
    if (i % 2 == 0) {
      timeNext();
      timeDecode();
    } else {
      timeDecode();
      timeNext();
    }
  }
  std::printf("next_cold_ms: mean %.1f, worst %.1f; plain decode: mean %.1f, worst %.1f\n", Mean(cold) / 1e6,
              Max(cold) / 1e6, Mean(decodes) / 1e6, Max(decodes) / 1e6);
  Print("next_cold_ratio", ok ? Mean(cold) / Mean(decodes) : -1);
}

// The first paint after the zoom changes from 100 % (the reduced picture is
// made for what comes into sight), against
// QImage::scaled with smooth transformation of the same picture to the same
// size.
void FirstPaintBench(const QString &dir) {
  constexpr int kRounds = 20;
  const QString paths[2] = {WritePhoto(dir, 7), WritePhoto(dir, 8)};
  QStringList files;
  for (int i = 0; i < 2 * kRounds + 2; ++i) files << paths[i % 2];
  ShownRun run(files);
  if (!run.Next()) return;
  const QImage picture = run.Form.ImageBitmap();
  for (int zoom : {2, 1, 0}) {
    run.SetZoom(zoom);
    const QSize size = run.Form.Pane().View()->size();
    QImage scaled;
    const Paired times = Alternate(
        20, [&] { run.SetZoom(zoom); },
        [&] { scaled = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); },
        [&] {
          scaled = QImage();
          run.SetZoom(kZoom100);
        });
    std::printf("first_paint_ms_%s: mean %.1f, worst %.1f; scaled: mean %.1f, worst %.1f\n", kZoomNames[zoom],
                Mean(times.A) / 1e6, Max(times.A) / 1e6, Mean(times.B) / 1e6, Max(times.B) / 1e6);
    Print(("first_paint_zoom_ratio_" + QByteArray(kZoomNames[zoom])).constData(), times.MeanRatio());
    Print(("first_paint_zoom_max_ratio_" + QByteArray(kZoomNames[zoom])).constData(), times.MaxRatio());
  }

}

// Repainting a viewport in the middle of the view at each zoom, against the
// same at 100 %, once whatever a zoom prepares has been made. One view per
// zoom, all showing the same picture, so that the two sides can alternate.
void RepaintBench(const QString &dir) {
  QImage picture;
  {
    ShownRun run({WritePhoto(dir, 7)});
    if (!run.Next()) return;
    picture = run.Form.ImageBitmap();
  }
  std::vector<std::unique_ptr<TImageView>> views;
  QImage target(kViewport, QImage::Format_RGB32);
  auto paint = [&](int index) {
    TImageView &view = *views[size_t(index)];
    const QPoint at(qMax(0, (view.width() - kViewport.width()) / 2), qMax(0, (view.height() - kViewport.height()) / 2));
    QPainter painter(&target);
    for (int i = 0; i < 10; ++i) view.render(&painter, QPoint(), QRegion(QRect(at, kViewport)));
  };
  for (double factor : kFactors) {
    views.push_back(std::make_unique<TImageView>());
    views.back()->SetPicture(picture);
    views.back()->resize(int(kWidth * factor), int(kHeight * factor));
    paint(int(views.size()) - 1);
  }
  double worstMean = 0, worstMax = 0;
  for (int zoom = 0; zoom < 7; ++zoom) {
    if (zoom == kZoom100) continue;
    const Paired times = Alternate(40, [&] { paint(zoom); }, [&] { paint(kZoom100); });
    std::printf("repaint_zoom_ratio_%s: mean %.2f, worst %.2f (%.3f ms a paint against %.3f)\n", kZoomNames[zoom],
                times.MeanRatio(), times.MaxRatio(), Mean(times.A) / 1e7, Mean(times.B) / 1e7);
    worstMean = std::max(worstMean, times.MeanRatio());
    worstMax = std::max(worstMax, times.MaxRatio());
  }
  Print("repaint_zoom_ratio_max", worstMean);
  Print("repaint_zoom_max_ratio_max", worstMax);
}

// Resident memory with a 24-megapixel picture at 400 %, scrolled across the
// whole view, over the memory of the shown window before the picture and the
// picture's own decoded size.
void MemoryAt400Bench(const QString &dir) {
  ShownRun run({WritePhoto(dir, 7)}, 6);
  const qint64 before = ResidentBytes();
  if (!run.Next()) return;
  QScrollBar *across = run.Form.Pane().horizontalScrollBar();
  QScrollBar *down = run.Form.Pane().verticalScrollBar();
  for (int y = 0; y <= 6; ++y)
    for (int x = 0; x <= 6; ++x) {
      across->setValue(across->maximum() * x / 6);
      down->setValue(down->maximum() * y / 6);
      QApplication::processEvents();
    }
  Print("view_overhead_400_mib", double(ResidentBytes() - before) / kMiB - kDecodedMiB);
}

Section memory400("memory400", MemoryAt400Bench);
Section waiting("wait", WaitBench);
Section firstPaint("firstpaint", FirstPaintBench);
Section repaint("repaint", RepaintBench);
}  // namespace
