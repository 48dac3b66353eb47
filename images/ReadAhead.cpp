#include "images/ReadAhead.h"

#include <QFile>

#include <algorithm>
#include <chrono>

#include <sys/stat.h>

#include "images/ImageLoader.h"

namespace {
// The file's identity, size, and modification and status-change times in
// nanoseconds, straight from the system (Qt's file times are milliseconds
// and pass through time zones).
struct FileStamp {
  bool Exists = false;
  qint64 Size = -1;
  qint64 ModifiedNs = 0;
  quint64 Device = 0, Inode = 0;
  qint64 ChangedNs = 0;
};

FileStamp StampOf(const QString &path) {
  FileStamp stamp;
  struct stat st;
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return stamp;
  stamp.Exists = true;
  stamp.Size = qint64(st.st_size);
  stamp.ModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.Device = quint64(st.st_dev);
  stamp.Inode = quint64(st.st_ino);
  stamp.ChangedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return stamp;
}

bool Unchanged(const TPicture &picture) {
  const FileStamp now = StampOf(picture.Path);
  return now.Exists == picture.Existed && now.Size == picture.FileSize &&
         now.ModifiedNs == picture.ModifiedNs && now.Device == picture.Device && now.Inode == picture.Inode &&
         now.ChangedNs == picture.ChangedNs;
}
}  // namespace

TPicture ReadPicture(const QString &path, const TViewPlace &place, QImage &recycled,
                     const std::atomic<bool> *cancel) {
  TPicture picture;
  picture.Path = path;
  // Taken before the file is read, so that a change while it is read is
  // seen on arrival.
  const FileStamp stamp = StampOf(path);
  picture.Existed = stamp.Exists;
  picture.FileSize = stamp.Size;
  picture.ModifiedNs = stamp.ModifiedNs;
  picture.Device = stamp.Device;
  picture.Inode = stamp.Inode;
  picture.ChangedNs = stamp.ChangedNs;
  const ImageKind kind = ImageKindOf(path);
  if (kind == ImageKind::Other) return picture;
  picture.Ok = LoadImageFile(path, kind == ImageKind::Jpeg, picture.Image, &recycled, cancel);
  if (picture.Ok && place.Zoom < 1.0) {
    const QSize view(int(picture.Image.width() * place.Zoom), int(picture.Image.height() * place.Zoom));
    picture.Prepared = TImageView::ReducePart(picture.Image, view, place.Visible);
  }
  return picture;
}

TReadAhead::TReadAhead() {
  RaiseImageReaderLimit();
  Worker_ = std::thread([this] { Run(); });
}

TReadAhead::~TReadAhead() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Stop_ = true;
    Cancel_ = true;
    Pending_.reset();
  }
  WorkCv_.notify_all();
  Worker_.join();
}

void TReadAhead::Run() {
  std::unique_lock<std::mutex> lock(Mutex_);
  for (;;) {
    WorkCv_.wait(lock, [this] { return Stop_ || Pending_.has_value(); });
    if (Stop_) return;
    const Job job = std::move(*Pending_);
    Pending_.reset();
    Running_ = job.Path;
    Cancel_ = false;
    QImage memory = std::move(Spare_);
    Spare_ = QImage();
    lock.unlock();
    TPicture picture = ReadPicture(job.Path, job.Place, memory, &Cancel_);
    lock.lock();
    Running_.clear();
    if (!Cancel_ && Keep_.contains(job.Path)) {
      Done_.erase(std::remove_if(Done_.begin(), Done_.end(),
                                 [&](const TPicture &p) { return p.Path == job.Path; }),
                  Done_.end());
      Done_.push_back(std::move(picture));
    } else {
      Recycle(std::move(picture.Image));
    }
    Recycle(std::move(memory));
    DoneCv_.notify_all();
  }
}

void TReadAhead::Recycle(QImage &&image) {
  // Memory shared with anyone else (the view, a copy) is theirs to free.
  if (!image.isNull() && image.isDetached() && Spare_.isNull()) Spare_ = std::move(image);
  image = QImage();
}

void TReadAhead::KeepOnly() {
  for (auto it = Done_.begin(); it != Done_.end();) {
    if (Keep_.contains(it->Path)) {
      ++it;
      continue;
    }
    Recycle(std::move(it->Image));
    it = Done_.erase(it);
  }
  if (Pending_ && !Keep_.contains(Pending_->Path)) Pending_.reset();
  if (!Running_.isEmpty() && !Keep_.contains(Running_)) Cancel_ = true;
}

void TReadAhead::Start(const QString &path, const TViewPlace &place) {
  const bool done = std::any_of(Done_.begin(), Done_.end(), [&](const TPicture &p) { return p.Path == path; });
  if (done || Running_ == path) return;
  Pending_ = Job{path, place};
  if (!Running_.isEmpty()) Cancel_ = true;  // no longer wanted first
  WorkCv_.notify_one();
}

void TReadAhead::Plan(const QString &shown, const QString &previous, const QString &next,
                      const TViewPlace &place) {
  std::lock_guard<std::mutex> lock(Mutex_);
  Shown_ = shown;
  Previous_ = previous;
  Keep_.clear();
  for (const QString &path : {shown, previous, next})
    if (!path.isEmpty()) Keep_ << path;
  KeepOnly();
  if (!next.isEmpty()) Start(next, place);
}

void TReadAhead::Want(const QString &path, const TViewPlace &place) {
  std::lock_guard<std::mutex> lock(Mutex_);
  Keep_.clear();
  for (const QString &p : {Shown_, Previous_, path})
    if (!p.isEmpty()) Keep_ << p;
  KeepOnly();
  Start(path, place);
}

std::optional<TPicture> TReadAhead::Take(const QString &path) {
  std::lock_guard<std::mutex> lock(Mutex_);
  const auto it = std::find_if(Done_.begin(), Done_.end(), [&](const TPicture &p) { return p.Path == path; });
  if (it == Done_.end()) return std::nullopt;
  if (!Unchanged(*it)) {
    Recycle(std::move(it->Image));
    Done_.erase(it);
    return std::nullopt;
  }
  TPicture out = *it;
  it->Prepared = TReducedPart();  // the view goes on making it; no second owner
  return out;
}

void TReadAhead::WaitFor(const QString &path, int ms) {
  std::unique_lock<std::mutex> lock(Mutex_);
  DoneCv_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
    return (Running_.isEmpty() && !Pending_) ||
           std::any_of(Done_.begin(), Done_.end(), [&](const TPicture &p) { return p.Path == path; });
  });
}

int TReadAhead::HeldPictures() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  int held = int(std::count_if(Done_.begin(), Done_.end(), [](const TPicture &p) { return !p.Image.isNull(); }));
  if (!Running_.isEmpty()) ++held;
  if (!Spare_.isNull()) ++held;
  return held;
}
