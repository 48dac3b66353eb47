#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "images/Reduction.h"

// What an image file gave when it was read: the picture, or a failure.
struct TPicture {
  QString Path;
  bool Ok = false;
  QImage Image;
  // The reduced copy with its part in sight made, when the picture was read
  // for a zoom below 100 %; it goes to the view with the picture.
  TReduction Prepared;
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

// How a picture is read: `path` into `recycled` memory where it fits, the
// part in sight reduced for `place`; `cancel` stops it early.
using TPictureReader =
    std::function<TPicture(const QString &path, const TViewPlace &place, QImage &recycled, const std::atomic<bool> *cancel)>;

// Reads pictures ahead on one worker thread, so that going to the next
// image finds its picture decoded. The owner (on the user-interface thread)
// says which files are wanted; the worker only reads and decodes into
// memory it owns and touches nothing else. At most three pictures are held:
// the one shown, the one before it in the direction of travel, and the one
// read ahead; a picture no longer needed lends its memory to the next
// decode. Each picture read is announced by Arrived, a queued signal on the
// owner's thread, so that nobody waits for one.
class TReadAhead : public QObject {
  Q_OBJECT
public:
  explicit TReadAhead(TPictureReader reader = {});
  // Stops a read under way and waits for the worker to end, at most a
  // second: a worker stuck in a file that does not answer (a hung network
  // folder) is left behind with what it holds, so that closing the program
  // never waits for it.
  ~TReadAhead() override;
  TReadAhead(const TReadAhead &) = delete;
  TReadAhead &operator=(const TReadAhead &) = delete;

  // After `shown` has been put on screen: keeps it and `previous` (empty:
  // none), reads `next` ahead (empty: none), and drops everything else,
  // with nothing to read ahead the memory kept for the next decode too. A
  // read-ahead of any other file under way is stopped.
  void Plan(const QString &shown, const QString &previous, const QString &next, const TViewPlace &place);

  // Wants `path` now: read at once unless it is read already or being read;
  // the read-ahead of any other file is stopped. Keeps what Plan kept.
  void Want(const QString &path, const TViewPlace &place);

  // The picture of `path` if it has been read and the file is unchanged
  // since; a changed file's picture is dropped. Its prepared part is handed
  // over once.
  std::optional<TPicture> Take(const QString &path);

  // Decoded pictures held, the one being decoded and the memory kept for
  // the next decode included.
  int HeldPictures() const;
  // Whether the worker reads nothing now and has nothing waiting.
  bool Idle() const;

signals:
  // The picture of `path` has been read (or failed to be); Take has it.
  void Arrived(const QString &path);

private:
  struct State;
  std::shared_ptr<State> State_;
};

// Reads `path` as its extension says, into `recycled` memory where it fits,
// and reduces the part in sight for `place`; `cancel` stops it early.
TPicture ReadPicture(const QString &path, const TViewPlace &place, QImage &recycled,
                     const std::atomic<bool> *cancel = nullptr);
