#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A journal file held locked: while the lock lives no other copy of the
// program takes the journal for one left over, offers it or restores it.
// The lock is the system's lock on the open file, so it goes with the
// process however the process ends.
class TJournalLock {
public:
  TJournalLock() = default;
  TJournalLock(TJournalLock &&other) noexcept;
  TJournalLock &operator=(TJournalLock &&other) noexcept;
  TJournalLock(const TJournalLock &) = delete;
  TJournalLock &operator=(const TJournalLock &) = delete;
  ~TJournalLock() { Release(); }

  bool Held() const { return Fd_ >= 0; }
  const QString &Path() const { return Path_; }
  void Release();

private:
  friend class TJournal;
  int Fd_ = -1;
  QString Path_;
};

// The journal of one sitting: a file in the user's data folder that holds
// the sitting's record entries, one line each, every one on the disk before
// the program goes on. The file only ever ends at a whole line: an append
// that fails is cut back off, and whatever could not be written goes with
// the next append, so the journal is always the beginning of the record,
// never a damaged one. A journal that cannot be cut back, and a journal
// being made, is written whole under another name and renamed into place,
// so no half-made journal is ever found. The file is made with the first
// entry: a sitting that records nothing leaves nothing behind.
class TJournal {
public:
  TJournal() = default;
  ~TJournal();
  TJournal(const TJournal &) = delete;
  TJournal &operator=(const TJournal &) = delete;

  // The folder of the journals, under the user's application data.
  static QString Folder();
  // Journals that no running sitting owns, newest first.
  static QStringList LeftOver();
  // Locks a journal left over, so that it is offered and restored by this
  // copy of the program alone; not held when a running sitting holds it or
  // it is no longer there.
  static TJournalLock Claim(const QString &path);
  // Puts a claimed journal aside under another name, so that it is not
  // offered again, releases it, and keeps only the ten newest put aside.
  // Returns the new name (empty when it could not be renamed).
  static QString SetAside(TJournalLock &claimed);

  // Appends the bytes (whole lines), with every line a failed append left
  // behind, and waits until they are on the disk. The first call makes the
  // file, `header` first. False when the file could not be made or written.
  bool Append(const QByteArray &header, const QByteArray &bytes);
  // The sitting goes on in a journal left over: `bytes` (a header and
  // lines) replace the claimed journal whole, under its name, and the lock
  // is held on until they do. Only before anything was appended.
  bool TakeOver(TJournalLock claimed, const QByteArray &bytes);
  // The sitting ended normally: the journal is closed and removed.
  void Finish();
  QString Path() const { return Path_; }
  // Nothing was recorded yet.
  bool Empty() const { return Content_.isEmpty(); }

private:
  // Brings the file up to Content_.
  bool Write();
  // Writes Content_ under another name and renames it over Path_.
  bool WriteWhole();

  QString Path_;
  // The journal, open for appending and locked; -1 before it is made.
  int Fd_ = -1;
  // Every byte the journal is to hold, and how many of them it holds.
  QByteArray Content_;
  qsizetype Written_ = 0;
  // The file could not be cut back to Written_: it is written whole again.
  bool Rewrite_ = false;
  // The journal left over that this one replaces, locked until it has.
  TJournalLock Claimed_;
};
