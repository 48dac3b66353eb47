#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "images/ImageView.h"

// What an image file gave when it was read: the picture, or a failure.
struct TPicture {
  QString Path;
  bool Ok = false;
  QImage Image;
  // The reduced copy's part in sight, when the picture was read for a zoom
  // below 100 %; it goes to the view with the picture.
  TReducedPart Prepared;
  // The file as it was before it was read; a file that differs from this
  // on arrival is read again.
  bool Existed = false;
  qint64 FileSize = -1;
  qint64 ModifiedNs = 0;
  // The file's identity and its status-change time: a file replaced by
  // another of the same size and modification time (a copy that keeps
  // times) is another inode, or at least a newer status change.
  quint64 Device = 0, Inode = 0;
  qint64 ChangedNs = 0;
};

// Where the view will show a picture read ahead, so that the part in sight
// can be reduced beforehand: the zoom and the view's visible rectangle.
struct TViewPlace {
  double Zoom = 1.0;
  QRect Visible;
};

// Reads pictures ahead on one worker thread, so that going to the next
// image finds its picture decoded. The owner (on the user-interface thread)
// says which files are wanted; the worker only reads and decodes into
// memory it owns and touches nothing else. At most three pictures are held:
// the one shown, the one before it in the direction of travel, and the one
// read ahead; a picture no longer needed lends its memory to the next decode.
class TReadAhead {
public:
  TReadAhead();
  // Stops a decode under way and waits for the worker to end.
  ~TReadAhead();
  TReadAhead(const TReadAhead &) = delete;
  TReadAhead &operator=(const TReadAhead &) = delete;

  // After `shown` has been put on screen: keeps it and `previous` (empty:
  // none), reads `next` ahead (empty: none), and drops everything else. A
  // read-ahead of any other file under way is stopped.
  void Plan(const QString &shown, const QString &previous, const QString &next, const TViewPlace &place);

  // Wants `path` now: read at once unless it is read already or being read;
  // the read-ahead of any other file is stopped. Keeps what Plan kept.
  void Want(const QString &path, const TViewPlace &place);

  // The picture of `path` if it has been read and the file is unchanged
  // since; a changed file's picture is dropped. Its prepared part is handed
  // over once.
  std::optional<TPicture> Take(const QString &path);

  // Waits until the picture of `path` is read or the worker has nothing to
  // do, for at most `ms` milliseconds.
  void WaitFor(const QString &path, int ms);

  // Decoded pictures held, the one being decoded and the memory kept for
  // the next decode included.
  int HeldPictures() const;

private:
  struct Job {
    QString Path;
    TViewPlace Place;
  };
  void Run();
  void KeepOnly();  // with Mutex_ held
  void Start(const QString &path, const TViewPlace &place);  // with Mutex_ held
  void Recycle(QImage &&image);  // with Mutex_ held

  mutable std::mutex Mutex_;
  std::condition_variable WorkCv_, DoneCv_;
  bool Stop_ = false;
  std::optional<Job> Pending_;
  QString Running_;  // the file the worker reads now, if any
  std::atomic<bool> Cancel_{false};
  std::vector<TPicture> Done_;
  QString Shown_, Previous_;  // as Plan was last told
  QStringList Keep_;  // files whose pictures are wanted
  QImage Spare_;      // memory of a picture no longer needed
  std::thread Worker_;
};

// Reads `path` as its extension says, into `recycled` memory where it fits,
// and reduces the part in sight for `place`; `cancel` stops it early.
TPicture ReadPicture(const QString &path, const TViewPlace &place, QImage &recycled,
                     const std::atomic<bool> *cancel = nullptr);
