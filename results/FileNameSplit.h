#pragma once

#include <QString>

// Which characters separate folders in a full file name.
enum class PathRules {
  Windows,  // backslash, and the colon after a drive letter
  Posix,    // slash only; a colon is an ordinary character
};

// The rule set of the system the program runs on.
PathRules NativePathRules();

struct SplitName {
  QString Path;      // the folder, without a trailing separator except at a root
  QString FileName;  // the name with its extension
};

// Splits a full file name at its last separator. The folder keeps a final
// separator only when it is a root ("C:\", "/"), so joining the two parts
// again gives a path that opens the same file.
SplitName SplitFileName(const QString &full, PathRules rules);

// Path, one separator, file name.
QString JoinFileName(const QString &path, const QString &fileName, PathRules rules);
