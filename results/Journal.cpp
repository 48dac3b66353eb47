#include "results/Journal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
const char kPrefix[] = "sitting-";
const char kSuffix[] = ".journal";
const char kAsidePrefix[] = "kept-";
constexpr int kKeptAside = 10;

QString LockName(const QString &journal) { return journal + QStringLiteral(".lock"); }

// Makes sure a file just made is found after a power failure: its folder's
// entry is on the disk too.
void SyncFolder(const QString &folder) {
  const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}
}  // namespace

TJournal::TJournal() = default;

TJournal::~TJournal() { Close(); }

QString TJournal::Folder() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/journals");
}

QStringList TJournal::LeftOver() {
  QDir dir(Folder());
  QStringList out;
  const QFileInfoList files =
      dir.entryInfoList({QLatin1String(kPrefix) + u'*' + QLatin1String(kSuffix)}, QDir::Files, QDir::Time);
  for (const QFileInfo &info : files) {
    // A lock that can be taken belongs to no running sitting: the one that
    // held it ended without removing its journal.
    QLockFile lock(LockName(info.absoluteFilePath()));
    if (lock.tryLock(0)) out << info.absoluteFilePath();
  }
  return out;
}

QString TJournal::SetAside(const QString &path) {
  const QFileInfo info(path);
  const QString aside = info.absolutePath() + u'/' + QLatin1String(kAsidePrefix) + info.fileName();
  if (!QFile::rename(path, aside)) return QString();
  QFile::remove(LockName(path));
  QDir dir(info.absolutePath());
  const QStringList kept =
      dir.entryList({QLatin1String(kAsidePrefix) + u'*'}, QDir::Files, QDir::Time);  // newest first
  for (int k = kKeptAside; k < kept.size(); ++k) dir.remove(kept[k]);
  return aside;
}

bool TJournal::Create(const QString &path) {
  auto lock = std::make_unique<QLockFile>(LockName(path));
  lock->setStaleLockTime(0);
  if (!lock->tryLock(0)) return false;
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  Fd_ = fd;
  Path_ = path;
  Lock_ = std::move(lock);
  return true;
}

bool TJournal::Append(const QByteArray &header, const QByteArray &bytes) {
  QByteArray out = bytes;
  if (Fd_ < 0) {
    const QString folder = Folder();
    if (!QDir().mkpath(folder)) return false;
    const QString name = folder + u'/' + QLatin1String(kPrefix) +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + u'-' +
                         QString::number(QCoreApplication::applicationPid()) + QLatin1String(kSuffix);
    if (!Create(name)) return false;
    SyncFolder(folder);
    out.prepend(header);
  }
  const char *data = out.constData();
  qsizetype left = out.size();
  while (left > 0) {
    const ssize_t n = ::write(Fd_, data, size_t(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    left -= n;
  }
  return ::fdatasync(Fd_) == 0;
}

void TJournal::Close() {
  if (Fd_ >= 0) ::close(Fd_);
  Fd_ = -1;
  Lock_.reset();
}

void TJournal::Finish() {
  const QString path = Path_;
  if (Fd_ >= 0) ::close(Fd_);
  Fd_ = -1;
  if (!path.isEmpty()) QFile::remove(path);
  Lock_.reset();
  Path_.clear();
}
