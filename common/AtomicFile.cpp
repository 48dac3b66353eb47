#include "common/AtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>

SaveOutcome SaveFileAtomically(const QString &fileName, const QByteArray &bytes) {
  QFileInfo info(fileName);
  if (fileName.isEmpty() || info.isDir() || (info.exists() && !(info.permissions() & QFileDevice::WriteOwner)))
    return SaveOutcome::CannotOpen;
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) return SaveOutcome::CannotOpen;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return SaveOutcome::CannotWrite;
  }
  return file.commit() ? SaveOutcome::Saved : SaveOutcome::CannotWrite;
}
