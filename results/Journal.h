#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class QLockFile;

// The journal of one sitting: a file in the user's data folder to which every
// record entry is appended, and on the disk, before the program goes on. A
// lock beside it says that a running sitting owns it, so that a second copy
// of the program never takes it for one left over. The file is made with the
// first entry: a sitting that records nothing leaves nothing behind.
class TJournal {
public:
  TJournal();
  ~TJournal();
  TJournal(const TJournal &) = delete;
  TJournal &operator=(const TJournal &) = delete;

  // The folder of the journals, under the user's application data.
  static QString Folder();
  // Journals that no running sitting owns, newest first.
  static QStringList LeftOver();
  // Puts a journal aside under another name, so that it is not offered again,
  // and keeps only the ten newest put aside. Returns the new name (empty when
  // it could not be renamed).
  static QString SetAside(const QString &path);

  // Appends the bytes (whole lines) and waits until they are on the disk.
  // The first call makes the file, `header` first. False when the file could
  // not be made or written.
  bool Append(const QByteArray &header, const QByteArray &bytes);
  // The sitting ended normally: the journal is closed and removed.
  void Finish();
  QString Path() const { return Path_; }

private:
  // Makes a new journal and takes its lock.
  bool Create(const QString &path);
  void Close();

  int Fd_ = -1;
  QString Path_;
  std::unique_ptr<QLockFile> Lock_;
};
