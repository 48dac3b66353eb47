#pragma once

#include <QByteArray>
#include <QString>

// The outcome of saving a file.
enum class SaveOutcome {
  Saved,
  CannotOpen,   // the file (or its folder) cannot be opened for writing
  CannotWrite,  // writing, flushing or replacing the old file failed
};

// Writes all bytes to a new file beside the target and then replaces the
// target with it, so that a failed save leaves the previous file whole. An
// existing file that is read-only is not replaced.
SaveOutcome SaveFileAtomically(const QString &fileName, const QByteArray &bytes);
