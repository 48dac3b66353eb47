#include "results/FileNameSplit.h"

PathRules NativePathRules() {
#ifdef Q_OS_WIN
  return PathRules::Windows;
#else
  return PathRules::Posix;
#endif
}

namespace {
QChar Separator(PathRules rules) { return rules == PathRules::Windows ? u'\\' : u'/'; }

bool IsDelimiter(QChar c, PathRules rules) {
  if (rules == PathRules::Windows) return c == u'\\' || c == u':';
  return c == u'/';
}
}  // namespace

SplitName SplitFileName(const QString &full, PathRules rules) {
  int last = -1;
  for (int i = full.size() - 1; i >= 0; --i) {
    if (IsDelimiter(full.at(i), rules)) {
      last = i;
      break;
    }
  }
  SplitName out;
  out.FileName = full.mid(last + 1);
  if (last < 0) return out;

  out.Path = full.left(last + 1);
  // Drop a final separator unless it is the first character or follows another
  // delimiter (a drive root "C:\" or a root "/" keeps it).
  if (full.at(last) == Separator(rules) && last > 0 && !IsDelimiter(full.at(last - 1), rules))
    out.Path.chop(1);
  return out;
}

QString JoinFileName(const QString &path, const QString &fileName, PathRules rules) {
  return path + Separator(rules) + fileName;
}
