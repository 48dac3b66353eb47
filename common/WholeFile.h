#pragma once

#include <QByteArray>
#include <QString>

class Prompter;
class QFile;

// The outcome of saving a file.
enum class SaveOutcome {
  Saved,
  CannotOpen,   // the file (or its folder) cannot be opened for writing
  CannotWrite,  // writing, flushing or replacing the old file failed
};

// Writes all bytes to a new file beside the target, waits until they are on
// the disk, and only then renames it over the target and waits until the
// folder holds the new name, so that the target is always either its whole
// old content or its whole new content. Every failure on the way (a write,
// the flush to the disk, the rename, the folder's flush) fails the save, and
// the new file is removed again. The new file takes the old one's
// permissions; a symbolic link is followed and its target replaced. In a
// folder where no new file can be made (a shared folder, a read-only parent)
// an existing file that the user may write is written over in place instead,
// which cannot be atomic. An existing file that is read-only is never
// replaced.
SaveOutcome SaveFile(const QString &fileName, const QByteArray &bytes);

// SaveFile, with a failure reported under "File Error": `cannotOpen` + the
// name when the file cannot be opened for writing, "Cannot write " + the name
// when writing or replacing fails. True when the file was saved.
bool SaveFileReported(Prompter &prompter, const QString &fileName, const QByteArray &bytes,
                      const QString &cannotOpen);

// Writes all bytes to the open file `fd`, going on after short writes and
// interruptions. False at the first error.
bool WriteAll(int fd, const char *data, qint64 size);

// Waits until the folder's entries (a file made or renamed in it) are on the
// disk. False when that failed.
bool SyncFolder(const QString &folder);

// Opens `fileName` for reading when it is a regular file. Anything else (a
// pipe, a device, a socket, a folder) is refused without waiting: opening a
// pipe would wait for a writer that may never come.
bool OpenRegularFile(const QString &fileName, QFile &file);

// Whether `fileName` names something that is there but is no regular file.
bool ExistsButIsNoFile(const QString &fileName);

// Reads a whole file of at most `largest` bytes into `bytes`. A file that does
// not open is reported as "Cannot open " + its name, one that is larger or
// fails while being read as "Cannot read " + its name, under "File Error";
// then the result is false and `bytes` is untouched.
bool ReadWholeFile(Prompter &prompter, const QString &fileName, qint64 largest, QByteArray &bytes);
