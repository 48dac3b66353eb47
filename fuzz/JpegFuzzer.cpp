// Feeds arbitrary bytes to the JPEG loader, as the program does with the
// whole contents of a file named .jpg or .jpeg.
#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>

#include "app/ImageLoader.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  QImage image(2, 1, QImage::Format_RGB32);
  image.fill(0xff010203u);
  if (LoadJpeg(bytes, image)) {
    FUZZ_CHECK(!image.isNull());
    FUZZ_CHECK(image.format() == QImage::Format_RGB32);
    FUZZ_CHECK(qint64(image.width()) * image.height() <= kMaxImagePixels);
    // Every row must be readable: a picture that claims more than it holds
    // would be found here by AddressSanitizer.
    volatile uint32_t sum = 0;
    for (int y = 0; y < image.height(); y += 1 + image.height() / 64)
      sum = sum + reinterpret_cast<const uint32_t *>(image.constScanLine(y))[image.width() - 1];
  } else {
    FUZZ_CHECK(image.size() == QSize(2, 1) && image.pixel(0, 0) == 0xff010203u);
  }
  return 0;
}
