// Feeds arbitrary bytes to the PNG, TIFF and WebP loaders, as the program
// does with the whole contents of a file named .png, .tif or .tiff, or
// .webp: any bytes may reach any of the three readers, so each is given
// them in turn.
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>

#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "images/ImageLoader.h"

namespace {
// The readers warn about every odd header they meet; printing those would
// take most of the fuzzer's time.
void Quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

bool Png(const QByteArray &bytes, QImage &image) { return LoadPicture(bytes, ImageKind::Png, image); }
bool Tiff(const QByteArray &bytes, QImage &image) { return LoadPicture(bytes, ImageKind::Tiff, image); }
bool Webp(const QByteArray &bytes, QImage &image) { return LoadPicture(bytes, ImageKind::Webp, image); }
}  // namespace

// Qt's readers of TIFF and WebP are plug-ins, found through the application
// object.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  qInstallMessageHandler(Quiet);
  static QCoreApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  for (auto load : {Png, Tiff, Webp}) CheckPictureLoader(load, data, size, true);
  return 0;
}
