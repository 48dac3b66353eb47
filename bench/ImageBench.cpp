// Showing a large photograph: decoding against bare libjpeg, painting the
// view at every zoom against 100 %, and the memory it takes at 400 %.
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollArea>
#include <cstdio>
#include <jpeglib.h>
#include <memory>
#include <vector>

#include "app/Form1.h"
#include "app/ImageLoader.h"
#include "app/ImageView.h"
#include "app/QtPrompter.h"
#include "bench/BenchSupport.h"
#include "tests/support/SampleImages.h"

using namespace bench;

namespace {
const int kWidth = 6000, kHeight = 4000;
const QSize kViewport(1280, 800);

// libjpeg's default decode of the bytes into a newly allocated buffer (as
// every shown image needs one), nothing else. `picture` chooses the buffer:
// the program's own picture memory, or plain new[].
void BareDecode(const QByteArray &bytes, bool picture) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()), (unsigned long)bytes.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);
  const size_t stride = size_t(cinfo.output_width) * 4;
  QImage image;
  std::unique_ptr<unsigned char[]> plain;
  unsigned char *base;
  if (picture) {
    image = NewPicture(int(cinfo.output_width), int(cinfo.output_height));
    base = image.bits();
  } else {
    plain.reset(new unsigned char[stride * cinfo.output_height]);
    base = plain.get();
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = base + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

struct ShownPhoto {
  TQtPrompter Prompter;
  TForm1 Form{Prompter};
  explicit ShownPhoto(const QString &path) {
    Form.ResultsTable.AppendImageRows({path});
    Form.ShowImage(0);
  }
  void SetZoomIndex(int index) { Form.ComboBox1->setCurrentIndex(index); }
  // Paints the viewport-sized part of the view whose top-left is `at`, as the
  // scroll box would when that part scrolls into view.
  void PaintViewport(QImage &target, QPoint at) {
    QPainter painter(&target);
    Form.Image1->render(&painter, QPoint(), QRegion(QRect(at, kViewport)), QWidget::DrawChildren);
  }
};

QString WritePhoto(const QString &dir) {
  const QString path = dir + QStringLiteral("/photo.jpg");
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(MakePhotoJpeg(kWidth, kHeight, 7));
  return path;
}

void ShowBench(const QString &dir) {
  const QString path = WritePhoto(dir);
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  const QByteArray bytes = f.readAll();
  const double bare = BestOf(3, [&] { BareDecode(bytes, true); });
  const double bareMalloc = BestOf(3, [&] { BareDecode(bytes, false); });
  ShownPhoto photo(path);
  const double show = BestOf(3, [&] { photo.Form.ShowImage(0); });
  Print("show_jpeg_ratio", show / bare);
  // Against a decode into ordinary heap memory, which faults in every 4 KiB.
  Print("show_jpeg_ratio_vs_heap_buffer", show / bareMalloc);
}

void RepaintBench(const QString &dir) {
  ShownPhoto photo(WritePhoto(dir));
  QImage target(kViewport, QImage::Format_RGB32);
  std::vector<double> times, firstPaint;
  for (int index = 0; index < 7; ++index) {
    photo.SetZoomIndex(index);
    const QSize view = photo.Form.Image1->size();
    // A viewport in the middle of the view, or the whole view when smaller.
    const QPoint at(qMax(0, (view.width() - kViewport.width()) / 2), qMax(0, (view.height() - kViewport.height()) / 2));
    // The first paint at a zoom includes what is prepared once per zoom (the
    // reduced picture below 100 %); it is printed but not counted.
    QElapsedTimer first;
    first.start();
    photo.PaintViewport(target, at);
    firstPaint.push_back(first.nsecsElapsed() / 1e6);
    times.push_back(BestOf(25, [&] { photo.PaintViewport(target, at); }));
  }
  double worst = 0;
  const char *names[] = {"25", "50", "75", "100", "150", "200", "400"};
  for (int index = 0; index < 7; ++index) {
    std::printf("repaint_zoom_ratio_%s: %.2f (%.3f ms; first paint %.1f ms)\n", names[index], times[index] / times[3],
                times[index] / 1e6, firstPaint[index]);
    worst = std::max(worst, times[index] / times[3]);
  }
  Print("repaint_zoom_ratio_max", worst);
}

void MemoryAt400Bench(const QString &dir) {
  const QString path = WritePhoto(dir);
  ResetPeakResident();
  const qint64 before = PeakResidentBytes();
  {
    ShownPhoto photo(path);
    photo.SetZoomIndex(6);
    QImage target(kViewport, QImage::Format_RGB32);
    const QSize view = photo.Form.Image1->size();
    for (int y = 0; y < view.height(); y += view.height() / 5)
      for (int x = 0; x < view.width(); x += view.width() / 5) photo.PaintViewport(target, QPoint(x, y));
  }
  const double peak = double(PeakResidentBytes());
  const double decoded = double(kWidth) * kHeight * 4;
  std::printf("peak_rss_before_image_mib: %.2f\n", before / 1048576.0);
  Print("peak_rss_over_decoded_mib", (peak - decoded) / 1048576.0);
}

Section show("show", ShowBench);
Section repaint("repaint", RepaintBench);
Section memory400("memory400", MemoryAt400Bench);
}  // namespace
