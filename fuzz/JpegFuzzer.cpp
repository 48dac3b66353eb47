// Feeds arbitrary bytes to the JPEG loader, as the program does with the
// whole contents of a file named .jpg or .jpeg.
#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>

#include "images/ImageLoader.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return CheckPictureLoader(LoadJpeg, data, size, false);
}
