#include "common/WholeFile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include "common/Prompter.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray Native(const QString &fileName) { return QFile::encodeName(fileName); }

// Writes over an existing file in place: the only way in a folder where no
// new file can be made. Not atomic; the file is cut to the new length after
// the new bytes are written.
SaveOutcome SaveInPlace(const QString &fileName, const QByteArray &bytes) {
  const int fd = ::open(Native(fileName).constData(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return SaveOutcome::CannotOpen;
  const bool written = WriteAll(fd, bytes.constData(), bytes.size()) && ::ftruncate(fd, bytes.size()) == 0 &&
                       ::fdatasync(fd) == 0;
  return ::close(fd) == 0 && written ? SaveOutcome::Saved : SaveOutcome::CannotWrite;
}

// Makes a new file beside `target` under a name no other file has, open for
// writing; -1 when none can be made (errno says why).
int MakeFileBeside(const QString &target, QString &name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const int fd = ::open(Native(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}
}  // namespace

bool WriteAll(int fd, const char *data, qint64 size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size_t(std::min<qint64>(size, qint64(1) << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

bool SyncFolder(const QString &folder) {
  const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // A file system that cannot flush a folder says so with EINVAL; its
  // entries are then as safe as it makes them.
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  ::close(fd);
  return synced;
}

SaveOutcome SaveFile(const QString &fileName, const QByteArray &bytes) {
  QFileInfo info(fileName);
  if (fileName.isEmpty() || info.isDir()) return SaveOutcome::CannotOpen;
  // The write bit is tested as well as the user's access, because the
  // administrator may write any file but a read-only one is still meant to stay.
  if (info.exists() && (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner)))
    return SaveOutcome::CannotOpen;
  // A link stays a link: the file it points to is the one replaced.
  const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : fileName;
  struct stat old;
  const bool exists = ::stat(Native(target).constData(), &old) == 0;
  QString temporary;
  const int fd = MakeFileBeside(target, temporary);
  if (fd < 0) return errno == EACCES && exists ? SaveInPlace(target, bytes) : SaveOutcome::CannotOpen;
  if (exists) ::fchmod(fd, old.st_mode & 07777);
  const bool written = WriteAll(fd, bytes.constData(), bytes.size()) && ::fdatasync(fd) == 0;
  if (::close(fd) != 0 || !written || ::rename(Native(temporary).constData(), Native(target).constData()) != 0) {
    ::unlink(Native(temporary).constData());
    return SaveOutcome::CannotWrite;
  }
  return SyncFolder(QFileInfo(target).absolutePath()) ? SaveOutcome::Saved : SaveOutcome::CannotWrite;
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
