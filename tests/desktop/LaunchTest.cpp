// The program started as the desktop starts it for "Open with": through its
// desktop entry's Exec line, with the files chosen in place of %F.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

#include "app/ProgramInfo.h"
#include "results/Journal.h"
#include "results/Record.h"
#include "tests/desktop/Desktop.h"
#include "tests/support/SampleImages.h"
#include "tests/support/TestFiles.h"

namespace {
// The words of the desktop entry's Exec line, the program's own path for
// its name and `files` in place of %F.
std::vector<std::string> ExecLine(const QStringList &files) {
  std::vector<std::string> words;
  for (const QByteArray &line : ReadAll(SCALIPER_DESKTOP_TESTS "/../../resources/scaliper.desktop").split('\n')) {
    if (!line.startsWith("Exec=")) continue;
    for (const QString &word : QString::fromUtf8(line.mid(5)).split(u' ', Qt::SkipEmptyParts)) {
      if (word == "%F")
        for (const QString &f : files) words.push_back(QFile::encodeName(f).toStdString());
      else
        words.push_back(words.empty() && word == "scaliper" ? std::string(SCALIPER_PROGRAM) : word.toStdString());
    }
  }
  return words;
}

// Whether the sitting's journal records `files` opened as rows, in order.
bool Opened(const QStringList &files) {
  for (const QString &name : QDir(TJournal::Folder()).entryList({"*.journal"}, QDir::Files))
    for (const TRecordEntry &e : ReadJournal(ReadAll(TJournal::Folder() + u'/' + name)).Entries)
      if (e.Kind == TRecordEntry::Images && e.Files == files) return true;
  return false;
}
}  // namespace

// Two files (one name with a space, a photograph to be turned upright and a
// 16-bit TIFF) for the entry's %F: the window shows with both as rows, in
// that order, as the sitting's journal records them.
TEST(Launch, DesktopEntryOpensTheFilesItIsGiven) {
  QTemporaryDir dir;
  const QString dataHome = dir.filePath("data");
  qputenv("XDG_DATA_HOME", dataHome.toLocal8Bit());
  const QStringList files = {dir.filePath("phone photo.jpg"), dir.filePath("scan.tif")};
  WriteBytes(files[0], WithExifOrientation(MakePhotoJpeg(64, 48, 2), 6));
  WriteBytes(files[1], MakeTiff({{QImage(30, 20, QImage::Format_RGB32), 16, false, 1, {}}}));
  std::vector<std::string> words = ExecLine(files);
  ASSERT_EQ(words.size(), 3u) << "the Exec line is not \"scaliper %F\"";
  ASSERT_EQ(words[0], SCALIPER_PROGRAM);
  std::vector<char *> argv;
  for (std::string &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  // This runs on the person's thread, which has no event loop for a
  // QProcess's helpers: the program is started with posix_spawn.
  std::vector<std::string> env;
  for (char **e = environ; *e; ++e)
    if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0) env.emplace_back(*e);
  env.push_back("QT_QPA_PLATFORM=xcb");
  std::vector<char *> envp;
  for (std::string &e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  AsUser([] {}, [&](XDesktop &d) {
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, SCALIPER_PROGRAM, nullptr, nullptr, argv.data(), envp.data()), 0);
    const QString title = QString::fromLatin1(ProgramInfo::Title);
    EXPECT_TRUE(XDesktop::WaitUntil([&] {
      for (XWindow w : d.Clients())
        if (d.NetWmName(w) == title) return true;
      return false;
    })) << "no main window";
    EXPECT_TRUE(XDesktop::WaitUntil([&] { return Opened(files); })) << "the files named are not the sitting's rows";
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  });
}
