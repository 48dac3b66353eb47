// Walking through a batch with the next picture read ahead: every row shows
// its own picture, no more than three are held, memory is reused, and the
// rules of a failed or changed file hold on arrival.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>

#include "app/Form1.h"
#include "images/ImageView.h"
#include "images/ReadAhead.h"
#include "tests/support/SampleImages.h"
#include "tests/support/FormDriver.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
struct Walk {
  QTemporaryDir Dir;
  ScriptedPrompter Prompt;
  TForm1 Form{Prompt};
  QStringList Files;

  Walk() { AddDefinition(Form.DefinitionList, Form.ResultsTable, "L", mkLine, false, false, false, false); }
  static QRgb Colour(int i) { return qRgb(40 * (i % 6), 255 - 30 * (i % 8), 17 * i % 256); }
  QString Write(const QString &name, const QByteArray &bytes) {
    QFile f(Dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
  }
  void Open(const QStringList &files) {
    Files = files;
    Prompt.AnswerFiles(files);
    Form.btOpenImagesClick();
  }
  void Start() {
    Prompt.Answers.push_back(mrYes);
    Next(Form);
  }
  // Lets the worker finish reading the image after the current one.
  void Idle() { ASSERT_TRUE(QTest::qWaitFor([&] { return Form.ReadAhead().Idle(); }, 10000)); }
  QRgb Shown() const { return Form.ImageBitmap().pixel(1, 1); }
};
}  // namespace

// Onwards and back through pictures of one size: each arrival shows its own
// row's picture, at most three are held at any time, and from the fourth on
// a picture is decoded into the memory of one no longer needed, whether the
// file is a JPEG or a PNG or TIFF file, which Qt's readers decode.
TEST(ReadAhead, WalkShowsEachRowsPictureInRecycledMemory) {
  constexpr int kImages = 12;
  Walk w;
  QStringList files;
  for (int i = 0; i < kImages; ++i) {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Walk::Colour(i));
    const char *extensions[] = {"jpg", "png", "tif"};
    const QString name = QStringLiteral("%1.%2").arg(i).arg(QLatin1String(extensions[i % 3]));
    QByteArray bytes;
    if (i % 3 == 0) {
      bytes = MakeJpeg(JpegKind::Baseline, 64, 48, Walk::Colour(i));
    } else if (i % 3 == 2) {
      bytes = MakeTiff({{picture, 8, false, 1, {}}});
    } else {
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      picture.save(&buffer, "png");
    }
    files << w.Write(name, bytes);
  }
  w.Open(files);
  w.Idle();  // image 1 is read once images are open
  EXPECT_EQ(w.Form.ReadAhead().HeldPictures(), 1);
  w.Start();
  std::vector<const uchar *> memory;
  for (int i = 0; i < kImages; ++i) {
    SCOPED_TRACE(i);
    if (i > 0) Next(w.Form);
    ASSERT_EQ(w.Form.CurrentImage(), i);
    EXPECT_EQ(w.Form.Frame().StatusPanel1->text(), files[i]);
    EXPECT_NEAR(qRed(w.Shown()), qRed(Walk::Colour(i)), 3);
    EXPECT_NEAR(qBlue(w.Shown()), qBlue(Walk::Colour(i)), 3);
    memory.push_back(w.Form.ImageBitmap().constBits());
    EXPECT_LE(w.Form.ReadAhead().HeldPictures(), 3);
    if (i + 1 < kImages) w.Idle();
    EXPECT_LE(w.Form.ReadAhead().HeldPictures(), 3);
  }
  // Shown, kept for Back and read ahead: a fourth picture takes the memory
  // of the one three before it.
  for (size_t i = 3; i < memory.size(); ++i) EXPECT_EQ(memory[i], memory[i - 3]) << i;
  for (int i = kImages - 2; i >= 0; --i) {
    SCOPED_TRACE(i);
    Back(w.Form);
    EXPECT_EQ(w.Form.Frame().StatusPanel1->text(), files[i]);
    EXPECT_NEAR(qRed(w.Shown()), qRed(Walk::Colour(i)), 3);
    EXPECT_LE(w.Form.ReadAhead().HeldPictures(), 3);
    if (i > 0) w.Idle();
  }
  EXPECT_EQ(w.Prompt.Beeps, 0);
  // The window goes while the next picture is being read.
  Next(w.Form);
}

// What a file was when read ahead does not decide what is shown: a file
// changed since is read again, one that does not decode beeps only when
// the user arrives at it (the picture before it stays), and one removed
// since it was read fails as it would without reading ahead.
TEST(ReadAhead, ArrivalDecidesOnTheFileAsItIsThen) {
  const QByteArray red = MakeJpeg(JpegKind::Baseline, 64, 48, qRgb(220, 0, 0));
  const QByteArray blue = MakeJpeg(JpegKind::Baseline, 32, 20, qRgb(0, 0, 220));
  struct Case {
    const char *Name;
    QByteArray Before;                // the second file when read ahead
    std::optional<QByteArray> After;  // its content on arrival; none: removed
    int Beeps;
    QSize Size;  // what is shown after Next
  };
  const Case cases[] = {
      {"changed", red, blue, 0, QSize(32, 20)},
      {"broken", "not a picture at all", QByteArray("not a picture at all"), 1, QSize(40, 30)},
      {"mended", "not a picture at all", blue, 0, QSize(32, 20)},
      {"removed", red, std::nullopt, 1, QSize(40, 30)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    Walk w;
    BmpLayout layout;
    layout.Width = 40;
    layout.Height = 30;
    w.Open({w.Write("first.bmp", MakeBmp(layout)), w.Write("second.jpg", c.Before)});
    w.Start();
    w.Idle();
    EXPECT_EQ(w.Prompt.Beeps, 0);  // not before the user arrives
    if (!c.After) {
      QFile::remove(w.Files[1]);
    } else if (*c.After != c.Before) {
      w.Write("second.jpg", *c.After);
    }
    Next(w.Form);
    EXPECT_EQ(w.Prompt.Beeps, c.Beeps);
    EXPECT_EQ(w.Form.ImageBitmap().size(), c.Size);
    EXPECT_EQ(w.Form.Pane().View()->Picture().size(), c.Size);
    EXPECT_EQ(w.Form.CurrentImageShown(), c.Beeps == 0);
  }
}

// A file replaced by one of the same size and modification time, as a copy
// that keeps times leaves it, is read again on arrival: once written over in
// place (a newer status change) and once put in its place (another inode).
TEST(ReadAhead, ReplacedFileKeepingItsTimesIsReadAgain) {
  QByteArray red = MakeJpeg(JpegKind::Baseline, 64, 48, qRgb(220, 0, 0));
  QByteArray green = MakeJpeg(JpegKind::Baseline, 64, 48, qRgb(0, 200, 0));
  // Bytes after the end marker are not read: both files get one length.
  const qsizetype length = qMax(red.size(), green.size());
  red.append(length - red.size(), '\0');
  green.append(length - green.size(), '\0');
  for (bool inPlace : {true, false}) {
    SCOPED_TRACE(inPlace ? "written over" : "put in its place");
    Walk w;
    BmpLayout layout;
    w.Open({w.Write("first.bmp", MakeBmp(layout)), w.Write("second.jpg", red)});
    w.Start();
    w.Idle();
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(w.Files[1]).constData(), &before), 0);
    // File times have the clock's coarse grain: the change comes later.
    QThread::msleep(20);
    if (inPlace) {
      w.Write("second.jpg", green);
    } else {
      const QString copy = w.Write("copy.jpg", green);
      ASSERT_EQ(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(w.Files[1]).constData()), 0);
    }
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(w.Files[1]).constData(), times, 0), 0);
    Next(w.Form);
    EXPECT_EQ(w.Prompt.Beeps, 0);
    EXPECT_NEAR(qGreen(w.Shown()), 200, 3);
    EXPECT_NEAR(qRed(w.Shown()), 0, 3);
  }
}

// Moves made while a picture is on its way change only what is wanted:
// Next pressed twice at once shows the second image's picture when it
// arrives, with its own row's scale, and the picture before stays on screen
// until then. Showing an image that is not read yet returns at once.
TEST(ReadAhead, MovesWhileAPictureIsOnItsWayEndWhereTheyReach) {
  Walk w;
  QStringList files;
  for (int i = 0; i < 4; ++i)
    files << w.Write(QStringLiteral("%1.jpg").arg(i), MakePhotoJpeg(2400, 1600, i));
  w.Open(files);
  w.Form.ResultsTable.SetImageCell(2, TResultsTable::colDotsPerCm, "37.5");
  w.Start();
  ASSERT_TRUE(Settle(w.Form));
  const QImage first = w.Form.ImageBitmap();
  w.Form.btNextClick();
  w.Form.btNextClick();
  EXPECT_EQ(w.Form.CurrentImage(), 2);
  if (w.Form.AwaitingPicture()) EXPECT_EQ(w.Form.ImageBitmap(), first);
  ASSERT_TRUE(Settle(w.Form));
  EXPECT_TRUE(w.Form.CurrentImageShown());
  EXPECT_EQ(w.Form.Frame().StatusPanel1->text(), files[2]);
  EXPECT_EQ(w.Form.Session().DotsPerCm(), 37.5);
  EXPECT_EQ(w.Prompt.Beeps, 0);
}

namespace {
// A reader that waits, as a file on a network folder that no longer answers
// does, until it is let go; or one that runs out of memory.
struct StuckReader {
  std::mutex Mutex;
  std::condition_variable Cv;
  bool Go = false, Inside = false, Left = false;
  TPicture Read(const QString &path) {
    std::unique_lock<std::mutex> lock(Mutex);
    Inside = true;
    Cv.notify_all();
    Cv.wait(lock, [&] { return Go; });
    Left = true;
    Cv.notify_all();
    TPicture picture;
    picture.Path = path;
    return picture;
  }
};
}  // namespace

// A worker stuck in a file does not hold up the end: the read-ahead goes in
// about a second, leaving the worker behind with what it holds, and the
// worker ends on its own once the file answers.
TEST(ReadAhead, StuckWorkerDoesNotHoldUpTheEnd) {
  auto stuck = std::make_shared<StuckReader>();
  auto readAhead = std::make_unique<TReadAhead>(
      [stuck](const QString &path, const TViewPlace &, QImage &, const std::atomic<bool> *) { return stuck->Read(path); });
  readAhead->Want("/net/photo.jpg", {});
  {
    std::unique_lock<std::mutex> lock(stuck->Mutex);
    ASSERT_TRUE(stuck->Cv.wait_for(lock, std::chrono::seconds(10), [&] { return stuck->Inside; }));
  }
  QElapsedTimer timer;
  timer.start();
  readAhead.reset();
  EXPECT_LT(timer.elapsed(), 5000);  // a second by design; only a hang fails
  std::unique_lock<std::mutex> lock(stuck->Mutex);
  stuck->Go = true;
  stuck->Cv.notify_all();
  ASSERT_TRUE(stuck->Cv.wait_for(lock, std::chrono::seconds(10), [&] { return stuck->Left; }));
  lock.unlock();
  QThread::msleep(50);  // the worker returns from the reader and ends
}

// A reader that fails in a way of its own (no memory for a huge picture)
// gives a picture that failed, announced like any other: it beeps on
// arrival rather than ending the program.
TEST(ReadAhead, ReaderThatThrowsGivesAFailedPicture) {
  TReadAhead readAhead([](const QString &, const TViewPlace &, QImage &, const std::atomic<bool> *) -> TPicture {
    throw std::bad_alloc();
  });
  QString arrived;
  QObject::connect(&readAhead, &TReadAhead::Arrived, [&](const QString &path) { arrived = path; });
  readAhead.Want("/p/huge.jpg", {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !arrived.isEmpty(); }, 10000));
  const std::optional<TPicture> picture = readAhead.Take("/p/huge.jpg");
  ASSERT_TRUE(picture.has_value());
  EXPECT_FALSE(picture->Ok);
  EXPECT_EQ(arrived, "/p/huge.jpg");
}
