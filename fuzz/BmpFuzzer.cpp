// Feeds arbitrary bytes to the bitmap loader, as the program does with the
// whole contents of a file named .bmp.
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include <cstddef>
#include <cstdint>

#include "images/ImageLoader.h"
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
  return CheckPictureLoader(LoadBmp, data, size, true);
}
