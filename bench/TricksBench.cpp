// Each speed trick of the image code against the plain code it replaces,
// in one run: the figure it serves measured with it and without it.
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "bench/BenchSupport.h"
#include "images/ImageLoader.h"
#include "images/ImageView.h"
#include "images/Tricks.h"
#include "tests/support/SampleImages.h"

using namespace bench;

namespace {
void Compare(const char *name, bool &flag, int rounds, const std::function<void()> &work) {
  const Paired t = Alternate(rounds, [&] { flag = true; work(); }, [&] { flag = false; work(); });
  flag = true;
  std::printf("trick %-28s with: mean %8.2f ms worst %8.2f   without: mean %8.2f ms worst %8.2f   change %+.0f %%\n",
              name, Mean(t.A) / 1e6, Max(t.A) / 1e6, Mean(t.B) / 1e6, Max(t.B) / 1e6,
              (Mean(t.B) / Mean(t.A) - 1) * 100);
}

void TricksBench(const QString &dir) {
  const QString path = dir + QStringLiteral("/photo.jpg");
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(MakePhotoJpeg(6000, 4000, 7)) <= 0) return;
  f.close();
  QImage picture;
  if (!LoadImageFile(path, true, picture)) return;
  const QRect visible(0, 0, 1280, 800);
  // The first paint after a zoom change: the part in sight reduced.
  for (double zoom : {0.5, 0.25, 0.75}) {
    QImage out(int(6000 * zoom), int(4000 * zoom), QImage::Format_RGB32);
    const auto reduce = [&] { AreaAverageInto(picture, out, visible); };
    const QByteArray label = "part_in_sight_" + QByteArray::number(int(zoom * 100));
    if (zoom != 0.75) Compare(("sse2_halving " + label).constData(), Tricks::Sse2Halving, 20, reduce);
    if (zoom == 0.75) Compare(("unrolled_taps " + label).constData(), Tricks::UnrolledTaps, 20, reduce);
    Compare(("threads " + label).constData(), Tricks::ThreadedReduction, 20, reduce);
  }
  // A repaint of the view enlarged.
  for (double zoom : {1.5, 2.0, 4.0}) {
    TImageView view;
    view.SetPicture(picture);
    view.resize(int(6000 * zoom), int(4000 * zoom));
    QImage target(1280, 800, QImage::Format_RGB32);
    const auto paint = [&] {
      QPainter painter(&target);
      view.render(&painter, QPoint(), QRegion(QRect(QPoint(1000, 1000), QSize(1280, 800))));
    };
    Compare(("branch_free_runs repaint_" + QByteArray::number(int(zoom * 100))).constData(), Tricks::BranchFreeRuns,
            40, paint);
  }
  // Reading and decoding a 24-megapixel JPEG from its file.
  QImage decoded;
  Compare("jpeg_in_pieces decode_24mp", Tricks::JpegInPieces, 10, [&] {
    decoded = QImage();
    LoadImageFile(path, true, decoded);
  });
  for (bool pieces : {true, false}) {
    Tricks::JpegInPieces = pieces;
    decoded = QImage();
    ResetPeakResident();
    const qint64 before = ResidentBytes();
    LoadImageFile(path, true, decoded);
    std::printf("trick jpeg_in_pieces=%d: peak %.1f MiB over before, file %.1f MiB\n", int(pieces),
                (PeakResidentBytes() - before) / kMiB, QFile(path).size() / kMiB);
  }
  Tricks::JpegInPieces = true;
}

Section tricks("tricks", TricksBench);
}  // namespace
