#include "images/ReadAhead.h"

#include <QFile>
#include <QSocketNotifier>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

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

void Stamp(TPicture &picture, const FileStamp &stamp) {
  picture.Existed = stamp.Exists;
  picture.FileSize = stamp.Size;
  picture.ModifiedNs = stamp.ModifiedNs;
  picture.Device = stamp.Device;
  picture.Inode = stamp.Inode;
  picture.ChangedNs = stamp.ChangedNs;
}

bool Unchanged(const TPicture &picture) {
  const FileStamp now = StampOf(picture.Path);
  return now.Exists == picture.Existed && now.Size == picture.FileSize &&
         now.ModifiedNs == picture.ModifiedNs && now.Device == picture.Device && now.Inode == picture.Inode &&
         now.ChangedNs == picture.ChangedNs;
}

struct Job {
  QString Path;
  TViewPlace Place;
};
}  // namespace

TPicture ReadPicture(const QString &path, const TViewPlace &place, QImage &recycled,
                     const std::atomic<bool> *cancel) {
  TPicture picture;
  picture.Path = path;
  // Taken before the file is read, so that a change while it is read is
  // seen on arrival.
  Stamp(picture, StampOf(path));
  const ImageKind kind = ImageKindOf(path);
  if (kind == ImageKind::Other) return picture;
  try {
    picture.Ok = LoadImageFile(path, kind, picture.Image, &recycled, cancel);
    if (picture.Ok && place.Zoom < 1.0)
      picture.Prepared.Cover(picture.Image,
                             QSize(int(picture.Image.width() * place.Zoom), int(picture.Image.height() * place.Zoom)),
                             place.Visible);
  } catch (const std::bad_alloc &) {
    // No memory for the picture or its reduced copy: it fails like a file
    // that does not decode.
    picture.Ok = false;
    picture.Image = QImage();
    picture.Prepared.Clear();
  }
  return picture;
}

// Everything the worker shares with the owner. The worker holds it as long
// as it runs, so that a worker left behind by its owner still has it.
struct TReadAhead::State {
  TPictureReader Reader;
  std::mutex Mutex;
  std::condition_variable WorkCv, EndCv;
  bool Stop = false;
  bool Ended = false;  // the worker has returned
  std::optional<Job> Pending;
  QString Running;  // the file the worker reads now, if any
  std::atomic<bool> Cancel{false};
  std::vector<TPicture> Done;
  QString Shown, Previous;  // as Plan was last told
  QStringList Keep;         // files whose pictures are wanted
  QImage Spare;             // memory of a picture no longer needed
  // Pictures read and not yet announced, and the wake-up the worker gives
  // the owner's thread for them: one byte counted on an event file, which
  // lives as long as this state, so that a worker left behind never writes
  // to a file closed or given to someone else.
  QStringList Arrivals;
  bool OwnerListens = true;
  const int WakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  std::thread Worker;

  ~State() {
    if (WakeFd >= 0) ::close(WakeFd);
  }

  // All below with Mutex held.
  void Recycle(QImage &&image) {
    // Memory shared with anyone else (the view, a copy) is theirs to free.
    if (!image.isNull() && image.isDetached() && Spare.isNull()) Spare = std::move(image);
    image = QImage();
  }
  void KeepOnly() {
    for (auto it = Done.begin(); it != Done.end();) {
      if (Keep.contains(it->Path)) {
        ++it;
        continue;
      }
      Recycle(std::move(it->Image));
      it = Done.erase(it);
    }
    if (Pending && !Keep.contains(Pending->Path)) Pending.reset();
    if (!Running.isEmpty() && !Keep.contains(Running)) Cancel = true;
  }
  void Start(const QString &path, const TViewPlace &place) {
    const bool done = std::any_of(Done.begin(), Done.end(), [&](const TPicture &p) { return p.Path == path; });
    if (done || Running == path) return;
    Pending = Job{path, place};
    if (!Running.isEmpty()) Cancel = true;  // no longer wanted first
    WorkCv.notify_one();
  }

  void Run() {
    std::unique_lock<std::mutex> lock(Mutex);
    for (;;) {
      WorkCv.wait(lock, [this] { return Stop || Pending.has_value(); });
      if (Stop) break;
      const Job job = std::move(*Pending);
      Pending.reset();
      Running = job.Path;
      Cancel = false;
      QImage memory = std::move(Spare);
      Spare = QImage();
      lock.unlock();
      TPicture picture;
      try {
        picture = Reader(job.Path, job.Place, memory, &Cancel);
      } catch (...) {
        // Whatever the reader could not do is a picture that failed.
        picture = TPicture();
        picture.Path = job.Path;
        Stamp(picture, StampOf(job.Path));
      }
      lock.lock();
      Running.clear();
      if (!Cancel && Keep.contains(job.Path)) {
        Done.erase(std::remove_if(Done.begin(), Done.end(), [&](const TPicture &p) { return p.Path == job.Path; }),
                   Done.end());
        Done.push_back(std::move(picture));
        if (OwnerListens) {
          Arrivals << job.Path;
          const quint64 one = 1;
          if (::write(WakeFd, &one, sizeof one) < 0) {
            // The counter is full of wake-ups the owner has not read yet:
            // it is woken anyway.
          }
        }
      } else {
        Recycle(std::move(picture.Image));
      }
      Recycle(std::move(memory));
    }
    Ended = true;
    EndCv.notify_all();
  }
};

TReadAhead::TReadAhead(TPictureReader reader) : State_(std::make_shared<State>()) {
  RaiseImageReaderLimit();
  if (State_->WakeFd < 0) throw std::runtime_error("The picture reader cannot be started: no event file.");
  State_->Reader = reader ? std::move(reader) : TPictureReader(ReadPicture);
  // Pictures read are announced on this object's thread when the worker
  // wakes it.
  auto *wake = new QSocketNotifier(State_->WakeFd, QSocketNotifier::Read, this);
  connect(wake, &QSocketNotifier::activated, this, [this] {
    quint64 count;
    while (::read(State_->WakeFd, &count, sizeof count) > 0) {
    }
    QStringList arrived;
    {
      std::lock_guard<std::mutex> lock(State_->Mutex);
      arrived.swap(State_->Arrivals);
    }
    for (const QString &path : arrived) emit Arrived(path);
  });
  State_->Worker = std::thread([state = State_] { state->Run(); });
}

TReadAhead::~TReadAhead() {
  std::unique_lock<std::mutex> lock(State_->Mutex);
  State_->Stop = true;
  State_->Cancel = true;
  State_->Pending.reset();
  State_->OwnerListens = false;
  State_->WorkCv.notify_all();
  const bool ended = State_->EndCv.wait_for(lock, std::chrono::seconds(1), [&] { return State_->Ended; });
  lock.unlock();
  if (ended)
    State_->Worker.join();
  else
    State_->Worker.detach();
}

void TReadAhead::Plan(const QString &shown, const QString &previous, const QString &next,
                      const TViewPlace &place) {
  State &s = *State_;
  std::lock_guard<std::mutex> lock(s.Mutex);
  s.Shown = shown;
  s.Previous = previous;
  s.Keep.clear();
  for (const QString &path : {shown, previous, next})
    if (!path.isEmpty()) s.Keep << path;
  s.KeepOnly();
  if (!next.isEmpty())
    s.Start(next, place);
  else
    s.Spare = QImage();  // nothing to read into it
}

void TReadAhead::Want(const QString &path, const TViewPlace &place) {
  State &s = *State_;
  std::lock_guard<std::mutex> lock(s.Mutex);
  s.Keep.clear();
  for (const QString &p : {s.Shown, s.Previous, path})
    if (!p.isEmpty()) s.Keep << p;
  s.KeepOnly();
  s.Start(path, place);
}

std::optional<TPicture> TReadAhead::Take(const QString &path) {
  State &s = *State_;
  std::lock_guard<std::mutex> lock(s.Mutex);
  const auto it = std::find_if(s.Done.begin(), s.Done.end(), [&](const TPicture &p) { return p.Path == path; });
  if (it == s.Done.end()) return std::nullopt;
  if (!Unchanged(*it)) {
    s.Recycle(std::move(it->Image));
    s.Done.erase(it);
    return std::nullopt;
  }
  TPicture out = *it;
  it->Prepared = TReduction();  // the view goes on making it; no second owner
  return out;
}

int TReadAhead::HeldPictures() const {
  State &s = *State_;
  std::lock_guard<std::mutex> lock(s.Mutex);
  int held = int(std::count_if(s.Done.begin(), s.Done.end(), [](const TPicture &p) { return !p.Image.isNull(); }));
  if (!s.Running.isEmpty()) ++held;
  if (!s.Spare.isNull()) ++held;
  return held;
}

bool TReadAhead::Idle() const {
  State &s = *State_;
  std::lock_guard<std::mutex> lock(s.Mutex);
  return s.Running.isEmpty() && !s.Pending;
}
