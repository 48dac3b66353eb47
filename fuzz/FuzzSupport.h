#pragma once
// What every fuzz target shares: an abort that libFuzzer records as a crash
// when a reader's answer breaks its own contract.
#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "images/ImageLoader.h"

#define FUZZ_CHECK(cond)                                                     \
  do {                                                                       \
    if (!(cond)) {                                                           \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

// Runs a picture loader on the bytes and checks what it promises: on success
// a picture within the pixel bound, in one of the formats the view takes,
// every row of it readable (a picture that claims more than it holds is found
// here by AddressSanitizer); on failure the caller's picture untouched.
inline int CheckPictureLoader(bool (*load)(const QByteArray &, QImage &), const uint8_t *data, size_t size,
                              bool alphaAllowed) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  QImage image(2, 1, QImage::Format_RGB32);
  image.fill(0xff010203u);
  if (load(bytes, image)) {
    FUZZ_CHECK(!image.isNull());
    FUZZ_CHECK(image.format() == QImage::Format_RGB32 || (alphaAllowed && image.format() == QImage::Format_ARGB32));
    FUZZ_CHECK(qint64(image.width()) * image.height() <= kMaxImagePixels);
    volatile uint32_t sum = 0;
    for (int y = 0; y < image.height(); y += 1 + image.height() / 64)
      sum = sum + reinterpret_cast<const uint32_t *>(image.constScanLine(y))[image.width() - 1];
  } else {
    FUZZ_CHECK(image.size() == QSize(2, 1) && image.pixel(0, 0) == 0xff010203u);
  }
  return 0;
}
