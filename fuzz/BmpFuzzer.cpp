// Feeds arbitrary bytes to the bitmap loader, as the program does with the
// whole contents of a file named .bmp.
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include <cstddef>
#include <cstdint>

#include "app/ImageLoader.h"
#include "fuzz/FuzzSupport.h"

namespace {
// Qt's reader warns about every odd header it meets; printing those would
// take most of the fuzzer's time.
void Quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
}  // namespace

// The program reads bitmaps through Qt's image reader inside a running
// application; the reader finds its handlers through the application object.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  qInstallMessageHandler(Quiet);
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  QImage image(2, 1, QImage::Format_RGB32);
  image.fill(0xff010203u);
  if (LoadBmp(bytes, image)) {
    FUZZ_CHECK(!image.isNull());
    FUZZ_CHECK(image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32);
    FUZZ_CHECK(qint64(image.width()) * image.height() <= kMaxImagePixels);
    volatile uint32_t sum = 0;
    for (int y = 0; y < image.height(); y += 1 + image.height() / 64)
      sum = sum + reinterpret_cast<const uint32_t *>(image.constScanLine(y))[image.width() - 1];
  } else {
    FUZZ_CHECK(image.size() == QSize(2, 1) && image.pixel(0, 0) == 0xff010203u);
  }
  return 0;
}
