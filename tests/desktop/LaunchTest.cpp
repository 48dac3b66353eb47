// The program started as the desktop starts it for "Open with": through its
// desktop entry's Exec line, with the files chosen in place of %F.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "results/Journal.h"
#include "results/Record.h"
#include "tests/support/SampleImages.h"
#include "tests/support/TestFiles.h"

// Two files (one name with a space: a photograph to be turned upright, and
// a 16-bit TIFF) for the entry's %F: both become rows, in that order, as the
// sitting's journal records them.
TEST(Launch, DesktopEntryOpensTheFilesItIsGiven) {
  QTemporaryDir dir;
  const QString dataHome = dir.filePath("data");
  qputenv("XDG_DATA_HOME", dataHome.toLocal8Bit());
  const QStringList files = {dir.filePath("phone photo.jpg"), dir.filePath("scan.tif")};
  WriteBytes(files[0], WithExifOrientation(MakePhotoJpeg(64, 48, 2), 6));
  WriteBytes(files[1], MakeTiff({{QImage(30, 20, QImage::Format_RGB32), 16, false, 1, {}}}));
  QStringList command;
  for (const QByteArray &line : ReadAll(SCALIPER_DESKTOP_TESTS "/../../resources/scaliper.desktop").split('\n'))
    if (line.startsWith("Exec=")) command = QString::fromUtf8(line.mid(5)).split(u' ', Qt::SkipEmptyParts);
  ASSERT_EQ(command, (QStringList{"scaliper", "%F"}));
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_DATA_HOME", dataHome);
  program.setProcessEnvironment(environment);
  program.start(SCALIPER_PROGRAM, files);
  ASSERT_TRUE(program.waitForStarted());
  const auto opened = [&] {
    for (const QString &name : QDir(TJournal::Folder()).entryList({"*.journal"}, QDir::Files))
      for (const TRecordEntry &e : ReadJournal(ReadAll(TJournal::Folder() + u'/' + name)).Entries)
        if (e.Kind == TRecordEntry::Images && e.Files == files) return true;
    return false;
  };
  EXPECT_TRUE(QTest::qWaitFor(opened, 20000)) << "the files named are not the sitting's rows";
  program.kill();
  program.waitForFinished();
}
