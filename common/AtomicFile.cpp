#include "common/AtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>

SaveOutcome SaveFile(const QString &fileName, const QByteArray &bytes) {
  QFileInfo info(fileName);
  if (fileName.isEmpty() || info.isDir()) return SaveOutcome::CannotOpen;
  // The write bit is tested as well as the user's access, because the
  // administrator may write any file but a read-only one is still meant to stay.
  if (info.exists() && (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner)))
    return SaveOutcome::CannotOpen;
  QSaveFile file(fileName);
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) return SaveOutcome::CannotOpen;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return SaveOutcome::CannotWrite;
  }
  return file.commit() ? SaveOutcome::Saved : SaveOutcome::CannotWrite;
}
