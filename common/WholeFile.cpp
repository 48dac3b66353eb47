#include "common/WholeFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include "common/Prompter.h"

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
  // The commit flushes the new file to the disk before it takes the old
  // one's place.
  return file.commit() ? SaveOutcome::Saved : SaveOutcome::CannotWrite;
}

bool SaveFileReported(Prompter &prompter, const QString &fileName, const QByteArray &bytes,
                      const QString &cannotOpen) {
  switch (SaveFile(fileName, bytes)) {
    case SaveOutcome::Saved: return true;
    case SaveOutcome::CannotOpen: prompter.ShowMessage(cannotOpen + fileName, QStringLiteral("File Error")); break;
    case SaveOutcome::CannotWrite:
      prompter.ShowMessage(QStringLiteral("Cannot write ") + fileName, QStringLiteral("File Error"));
      break;
  }
  return false;
}

bool ReadWholeFile(Prompter &prompter, const QString &fileName, qint64 largest, QByteArray &bytes) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    prompter.ShowMessage(QStringLiteral("Cannot open ") + fileName, QStringLiteral("File Error"));
    return false;
  }
  QByteArray read;
  if (file.size() <= largest) read = file.readAll();
  if (file.size() > largest || file.error() != QFileDevice::NoError) {
    prompter.ShowMessage(QStringLiteral("Cannot read ") + fileName, QStringLiteral("File Error"));
    return false;
  }
  bytes = read;
  return true;
}
