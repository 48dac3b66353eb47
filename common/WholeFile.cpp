#include "common/WholeFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include "common/Prompter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool OpenRegularFile(const QString &fileName, QFile &file) {
  // Opened without waiting, then checked for what it is, so that nothing put
  // in its place between a check and the opening is read.
  const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, 0) != 0) {
    ::close(fd);
    return false;
  }
  file.setFileName(fileName);
  if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
  ::close(fd);
  return false;
}

bool ExistsButIsNoFile(const QString &fileName) {
  struct stat st;
  return ::stat(QFile::encodeName(fileName).constData(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool ReadWholeFile(Prompter &prompter, const QString &fileName, qint64 largest, QByteArray &bytes) {
  QFile file;
  if (!OpenRegularFile(fileName, file)) {
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
