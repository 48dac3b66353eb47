#include "results/Journal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/file.h>
#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>
#include <utility>

#include "common/WholeFile.h"

namespace {
const char kPrefix[] = "sitting-";
const char kSuffix[] = ".journal";
const char kAsidePrefix[] = "kept-";
constexpr int kKeptAside = 10;

QByteArray Native(const QString &path) { return QFile::encodeName(path); }
}  // namespace

TJournalLock::TJournalLock(TJournalLock &&other) noexcept
    : Fd_(std::exchange(other.Fd_, -1)), Path_(std::move(other.Path_)) {}

TJournalLock &TJournalLock::operator=(TJournalLock &&other) noexcept {
  if (this != &other) {
    Release();
    Fd_ = std::exchange(other.Fd_, -1);
    Path_ = std::move(other.Path_);
  }
  return *this;
}

void TJournalLock::Release() {
  if (Fd_ >= 0) ::close(Fd_);
  Fd_ = -1;
}

TJournal::~TJournal() {
  if (Fd_ >= 0) ::close(Fd_);
}

QString TJournal::Folder() {
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/journals");
}

QStringList TJournal::LeftOver() {
  QDir dir(Folder());
  QStringList out;
  const QFileInfoList files =
      dir.entryInfoList({QLatin1String(kPrefix) + u'*' + QLatin1String(kSuffix)}, QDir::Files, QDir::Time);
  // A journal that can be locked belongs to no running sitting: the one
  // that held it ended without removing it.
  for (const QFileInfo &info : files)
    if (Claim(info.absoluteFilePath()).Held()) out << info.absoluteFilePath();
  return out;
}

TJournalLock TJournal::Claim(const QString &path) {
  TJournalLock lock;
  const int fd = ::open(Native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return lock;
  // Locked, and still the file of that name: one renamed over or removed
  // by its owner meanwhile is no journal left over.
  struct stat held, named;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &held) != 0 ||
      ::stat(Native(path).constData(), &named) != 0 || held.st_dev != named.st_dev || held.st_ino != named.st_ino ||
      !S_ISREG(held.st_mode)) {
    ::close(fd);
    return lock;
  }
  lock.Fd_ = fd;
  lock.Path_ = path;
  return lock;
}

QString TJournal::SetAside(TJournalLock &claimed) {
  const QFileInfo info(claimed.Path());
  const QString aside = info.absolutePath() + u'/' + QLatin1String(kAsidePrefix) + info.fileName();
  const bool renamed = ::rename(Native(claimed.Path()).constData(), Native(aside).constData()) == 0;
  claimed.Release();
  if (!renamed) return QString();
  QDir dir(info.absolutePath());
  const QStringList kept =
      dir.entryList({QLatin1String(kAsidePrefix) + u'*'}, QDir::Files, QDir::Time);  // newest first
  for (int k = kKeptAside; k < kept.size(); ++k) dir.remove(kept[k]);
  return aside;
}

bool TJournal::Append(const QByteArray &header, const QByteArray &bytes) {
  if (Content_.isEmpty()) Content_ = header;
  Content_ += bytes;
  return Write();
}

bool TJournal::TakeOver(TJournalLock claimed, const QByteArray &bytes) {
  Path_ = claimed.Path();
  Claimed_ = std::move(claimed);
  Content_ = bytes;
  return Write();
}

bool TJournal::Write() {
  if (Path_.isEmpty()) {
    const QString folder = Folder();
    if (!QDir().mkpath(folder)) return false;
    Path_ = folder + u'/' + QLatin1String(kPrefix) +
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + u'-' +
            QString::number(QCoreApplication::applicationPid()) + QLatin1String(kSuffix);
  }
  if (Fd_ < 0 || Rewrite_) return WriteWhole();
  if (Written_ == Content_.size()) return true;
  if (WriteAll(Fd_, Content_.constData() + Written_, Content_.size() - Written_) && ::fdatasync(Fd_) == 0) {
    Written_ = Content_.size();
    return true;
  }
  // What was written of these lines is cut off again, so that the next
  // append starts on a line of its own; a file that cannot be cut is
  // written whole next time. The file stays open, and locked, meanwhile.
  if (::ftruncate(Fd_, Written_) != 0) Rewrite_ = true;
  return false;
}

bool TJournal::WriteWhole() {
  const QString fresh = Path_ + QStringLiteral(".new");
  const int fd = ::open(Native(fresh).constData(), O_WRONLY | O_APPEND | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  // Locked before it takes the journal's name, so that it is never found
  // unlocked there while this sitting runs.
  ::flock(fd, LOCK_EX | LOCK_NB);
  if (!WriteAll(fd, Content_.constData(), Content_.size()) || ::fdatasync(fd) != 0 ||
      ::rename(Native(fresh).constData(), Native(Path_).constData()) != 0) {
    ::close(fd);
    ::unlink(Native(fresh).constData());
    return false;
  }
  if (Fd_ >= 0) ::close(Fd_);
  Claimed_.Release();
  Fd_ = fd;
  Written_ = Content_.size();
  // Until the folder holds the new name on the disk, the journal is made
  // again with every append.
  Rewrite_ = !SyncFolder(QFileInfo(Path_).absolutePath());
  return !Rewrite_;
}

void TJournal::Finish() {
  if (!Path_.isEmpty()) ::unlink(Native(Path_).constData());
  if (Fd_ >= 0) ::close(Fd_);
  Fd_ = -1;
  Claimed_.Release();
  Path_.clear();
  Content_.clear();
  Written_ = 0;
  Rewrite_ = false;
}
