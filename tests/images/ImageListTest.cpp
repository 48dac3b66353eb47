// Opening a batch, showing its images by their extension, the zoom, and what
// the view paints at each zoom.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/Form1.h"
#include "images/ImageView.h"
#include "tests/support/SampleImages.h"
#include "tests/support/FormDriver.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
struct Batch {
  QTemporaryDir Dir;
  ScriptedPrompter Prompt;
  TForm1 Form{Prompt};

  QString Write(const QString &name, const QByteArray &bytes) {
    const QString path = Dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }
  // Opens the files in dialog order and returns their image indexes.
  void Open(const QStringList &paths) {
    Prompt.AnswerFiles(paths);
    Form.btOpenImagesClick();
  }
  QString Status() { return Form.Frame().StatusPanel0->text() + " " + Form.Frame().StatusPanel1->text(); }
};

QByteArray Bmp(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(qRgb(10, 20, 30));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  img.save(&buffer, "BMP");
  return bytes;
}
}  // namespace

// Rows follow the order of the files as chosen: the dialog's list as it is,
// or, from a dialog that lists the file clicked last first, with that one
// moved to the end.
TEST(ImageList, OpenImagesAppendsInTheOrderChosen) {
  for (bool lastClickedFirst : {false, true}) {
    SCOPED_TRACE(lastClickedFirst);
    Batch b;
    EXPECT_EQ(b.Form.Choosers().OpenDialog1.Title, "Open files");
    EXPECT_EQ(b.Form.Choosers().OpenDialog1.FilterIndex, 2);
    // Every kind of picture read is listed among the image files and on its own.
    EXPECT_EQ(b.Form.Choosers().OpenDialog1.Patterns(),
              (QStringList{"*.*", "*.jpeg;*.jpg;*.bmp;*.png;*.tif;*.tiff;*.webp", "*.jpeg;*.jpg", "*.bmp", "*.png",
                           "*.tif;*.tiff", "*.webp"}));
    EXPECT_TRUE(b.Form.Choosers().OpenDialog1.MultiSelect);
    b.Prompt.AnswerFiles({"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}, lastClickedFirst);
    b.Form.btOpenImagesClick();
    b.Prompt.AnswerFiles({"/q/d.bmp"}, lastClickedFirst);
    b.Form.btOpenImagesClick();
    const auto &t = b.Form.ResultsTable;
    EXPECT_EQ(t.ImageCount, 4);
    EXPECT_TRUE(t.DataChanged());
    QStringList names, numbers;
    for (int r = 1; r <= 4; ++r) names << t.Cell(2, r), numbers << t.Cell(0, r);
    const QStringList expected = lastClickedFirst ? QStringList{"b.jpg", "c.jpg", "a.jpg", "d.bmp"}
                                                  : QStringList{"a.jpg", "b.jpg", "c.jpg", "d.bmp"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(numbers, (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(t.Cell(1, 4), "/q");
    EXPECT_EQ(b.Form.CurrentImage(), -1);  // nothing is shown yet
    EXPECT_TRUE(b.Form.ImageBitmap().isNull());
    b.Prompt.CancelFile();
    b.Form.btOpenImagesClick();
    EXPECT_EQ(t.ImageCount, 4);
  }
}

// The extension alone, in any case, decides how a file is read; a file that
// does not decode beeps and a name of another kind gets the message, and in
// both cases the previous picture and status bar stay.
TEST(ImageList, ShowImageByExtension) {
  Batch b;
  const QByteArray jpeg = MakeJpeg(JpegKind::Baseline, 64, 48, qRgb(200, 40, 40));
  QImage picture(26, 14, QImage::Format_RGB32);
  picture.fill(qRgb(20, 90, 160));
  const auto written = [&](const char *format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
  };
  const QStringList files = {
      b.Write("photo.Jpg", jpeg), b.Write("PHOTO.JPEG", MakeJpeg(JpegKind::Grey, 20, 10, qRgb(9, 9, 9))),
      b.Write("scan.bmp", Bmp(30, 40)), b.Write("scan.PNG", written("png")),
      b.Write("scan.tif", MakeTiff({{picture.scaled(14, 26), 16, false, 1, {}}})), b.Write("scan.TIFF", written("tiff")),
      b.Write("photo.webp", written("webp")),
      b.Write("photo.jpe", jpeg), b.Write("photo.gif", jpeg), b.Write("photo", jpeg),
      b.Write("notes.jpg", "just some text, not a picture\n"), b.Write("scan.BMP", jpeg), b.Write("photo.png", jpeg)};
  b.Form.ResultsTable.AppendImageRows(files);

  const QString sizes[] = {"64x48", "20x10", "30x40", "26x14", "14x26", "26x14", "26x14"};
  for (int i = 0; i < 7; ++i) {
    ShowImageAndWait(b.Form, i);
    EXPECT_EQ(b.Status(), sizes[i] + " " + files[i]);
  }
  EXPECT_EQ(b.Prompt.Beeps, 0);
  for (int i = 7; i < 10; ++i) ShowImageAndWait(b.Form, i);
  ASSERT_EQ(b.Prompt.Messages.size(), 3u);
  for (const auto &m : b.Prompt.Messages)
    EXPECT_EQ(m, (ScriptedPrompter::Shown{"Image format should be jpeg or full-color bitmap!", "Wrong Image Format"}));
  ShowImageAndWait(b.Form, 2);
  // A JPEG named .BMP is read as a bitmap and one named .png as a PNG: both fail.
  for (int i = 10; i < 13; ++i) ShowImageAndWait(b.Form, i);
  EXPECT_EQ(b.Prompt.Beeps, 3);
  EXPECT_EQ(b.Status(), "30x40 " + files[2]);
  EXPECT_EQ(b.Form.ImageBitmap().size(), QSize(30, 40));
  EXPECT_EQ(b.Form.Pane().View()->Picture().size(), QSize(30, 40));
  ShowImageAndWait(b.Form, 13);  // beyond the list: nothing
  ShowImageAndWait(b.Form, -1);
  EXPECT_EQ(b.Prompt.Beeps, 3);
  EXPECT_EQ(b.Prompt.Messages.size(), 3u);
}

// At a reduced zoom, a file that does not decode leaves the picture on screen
// painted as before, its reduced copy made again.
TEST(ImageList, FailedLoadKeepsTheReducedPicture) {
  Batch b;
  QImage pattern(64, 48, QImage::Format_RGB32);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) pattern.setPixel(x, y, qRgb(x * 4, y * 5, (x ^ y) * 3));
  QByteArray bmp;
  QBuffer buffer(&bmp);
  buffer.open(QIODevice::WriteOnly);
  pattern.save(&buffer, "BMP");
  b.Form.ResultsTable.AppendImageRows({b.Write("a.bmp", bmp), b.Write("broken.jpg", "not a picture")});
  for (int zoom : {2, 1, 0}) {
    SCOPED_TRACE(zoom);
    b.Form.Tools().ComboBox1->setCurrentIndex(zoom);
    ShowImageAndWait(b.Form, 0);
    const QImage before = b.Form.Pane().View()->grab().toImage();
    ShowImageAndWait(b.Form, 1);
    EXPECT_EQ(b.Form.Pane().View()->grab().toImage(), before);
  }
  EXPECT_EQ(b.Prompt.Beeps, 3);
}

// View sizes are the picture's times the zoom, truncated; the zoom comes from
// the chosen item, 100 % for typed text that is no item's.
TEST(ImageList, Zoom) {
  Batch b;
  b.Form.Tools().ComboBox1->setCurrentIndex(0);
  EXPECT_EQ(b.Form.Pane().View()->size(), QSize(0, 0));  // before any image
  b.Form.ResultsTable.AppendImageRows({b.Write("a.bmp", Bmp(101, 51)), b.Write("b.bmp", Bmp(3, 3))});
  ShowImageAndWait(b.Form, 1);
  EXPECT_EQ(b.Form.Pane().Zoom(), 0.25);
  EXPECT_EQ(b.Form.Pane().View()->size(), QSize(0, 0));
  ShowImageAndWait(b.Form, 0);
  EXPECT_EQ(b.Form.Pane().View()->size(), QSize(25, 12));
  b.Form.Tools().ComboBox1->setCurrentIndex(4);
  EXPECT_EQ(b.Form.Pane().View()->size(), QSize(151, 76));
  EXPECT_EQ(b.Form.Frame().StatusPanel0->text(), "101x51");

  QLineEdit *edit = b.Form.Tools().ComboBox1->lineEdit();
  edit->clear();
  QTest::keyClicks(edit, "300%");
  EXPECT_EQ(b.Form.Pane().Zoom(), 1.0);
  EXPECT_EQ(b.Form.Pane().View()->size(), QSize(101, 51));
  edit->clear();
  QTest::keyClicks(edit, "200%");
  EXPECT_EQ(b.Form.Pane().Zoom(), 2.0);
  b.Form.Tools().ComboBox1->setCurrentIndex(6);
  EXPECT_EQ(b.Form.Pane().View()->size(), QSize(404, 204));

  // Once editing ends, a text that is no item gives way to the zoom in force.
  edit->selectAll();
  QTest::keyClicks(edit, "12%");
  EXPECT_EQ(b.Form.Pane().Zoom(), 1.0);
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(b.Form.Tools().ComboBox1->currentText(), "100%");
  EXPECT_EQ(b.Form.Pane().Zoom(), 1.0);
  EXPECT_EQ(b.Form.Pane().View()->size(), QSize(101, 51));

  // Each change reaches the zoom handler once: one connection in all from
  // the box's change signals (choosing an item changes index and text).
  struct Peek : QObject {
    static int Receivers(const QObject *o, const char *signal) { return (o->*(&Peek::receivers))(signal); }
  };
  const QComboBox *box = b.Form.Tools().ComboBox1;
  EXPECT_EQ(Peek::Receivers(box, SIGNAL(currentIndexChanged(int))) + Peek::Receivers(box, SIGNAL(editTextChanged(QString))) +
                Peek::Receivers(box, SIGNAL(currentTextChanged(QString))),
            1);
}

// Enlarged, each image pixel is a block of equal view pixels, the block of
// view pixel x being image pixel x / zoom; reduced, a fine pattern becomes
// its average instead of a pattern of samples; at 100 % the picture is exact.
TEST(ImageView, CrispWhenEnlargedFilteredWhenReduced) {
  QImage picture(8, 6, QImage::Format_RGB32);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) picture.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  picture.setPixel(3, 2, qRgb(200, 10, 10));
  TImageView view;
  view.SetPicture(picture);

  for (double zoom : {1.0, 1.5, 2.0, 4.0}) {
    view.resize(int(8 * zoom), int(6 * zoom));
    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), view.size());
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x)
        ASSERT_EQ(shown.pixel(x, y), picture.pixel(int(x / zoom), int(y / zoom))) << zoom << " " << x << "," << y;
  }
  // A tall view is painted in bands of rows; rows repeat across their edges.
  QImage tall(5, 70, QImage::Format_RGB32);
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 5; ++x) tall.setPixel(x, y, qRgb(y * 3, x * 40, 255 - y));
  TImageView tallView;
  tallView.SetPicture(tall);
  for (double zoom : {1.5, 2.0, 4.0}) {
    tallView.resize(int(5 * zoom), int(70 * zoom));
    const QImage shown = tallView.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x)
        ASSERT_EQ(shown.pixel(x, y), tall.pixel(int(x / zoom), int(y / zoom))) << zoom << " " << x << "," << y;
  }
  // Painting only part of the view gives the same pixels there.
  view.resize(32, 24);
  QImage part(10, 10, QImage::Format_RGB32);
  part.fill(Qt::green);
  view.render(&part, QPoint(), QRegion(13, 9, 10, 10));
  EXPECT_EQ(part.pixel(0, 0), picture.pixel(3, 2));
  EXPECT_EQ(part.pixel(9, 9), picture.pixel(5, 4));

  picture.setPixel(3, 2, qRgb(255, 255, 255));
  view.SetPicture(picture);
  view.resize(4, 3);
  const QImage half = view.grab().toImage();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(qGray(half.pixel(x, y)), 128) << x << "," << y;
}

// The reduced view is made a tile at a time as it is painted: parts painted
// in any order, and after another picture of the same size, show exactly the
// area average of the picture shown; a pattern of single-pixel checks comes
// out grey, not as a pattern of samples.
TEST(ImageView, ReducedViewIsTheAreaAverageInEveryPart) {
  auto picture = [](int w, int h, int seed) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        image.setPixel(x, y, x < w / 2 ? ((x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0))
                                       : qRgb((x * 3 + seed) & 0xff, (y * 5) & 0xff, (x ^ y ^ seed) & 0xff));
    return image;
  };
  const QImage first = picture(1103, 331, 0), second = picture(1103, 331, 77);
  for (double zoom : {0.75, 0.5, 0.25}) {
    SCOPED_TRACE(zoom);
    TImageView view;
    view.resize(int(1103 * zoom), int(331 * zoom));
    const QRect all = view.rect();
    const QRect parts[] = {QRect(all.width() - 30, 5, 30, 20), QRect(0, all.height() - 40, all.width(), 40),
                           QRect(10, 50, 300, 45), all};
    for (const QImage &shown : {first, second}) {
      view.SetPicture(shown);
      const QImage expected = AreaAveraged(shown, view.size());
      for (const QRect &part : parts) {
        QImage painted(view.size(), QImage::Format_RGB32);
        painted.fill(Qt::green);
        view.render(&painted, part.topLeft(), QRegion(part));
        ASSERT_EQ(painted.copy(part), expected.copy(part)) << part.x() << "," << part.y();
      }
      for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width() * 4 / 10; ++x)
          ASSERT_LE(std::abs(qGray(expected.pixel(x, y)) - 128), 48) << x << "," << y;
    }
  }
}

TEST(ImageView, AreaAverageWeighsPartlyCoveredPixels) {
  // Three columns into two: the middle one is split between both outputs.
  QImage row(3, 1, QImage::Format_RGB32);
  row.setPixel(0, 0, qRgb(0, 0, 0));
  row.setPixel(1, 0, qRgb(90, 150, 240));
  row.setPixel(2, 0, qRgb(240, 240, 240));
  const QImage two = AreaAveraged(row, QSize(2, 1));
  EXPECT_EQ(two.pixel(0, 0), qRgb(30, 50, 80));     // (2*0 + 1*c) / 3
  EXPECT_EQ(two.pixel(1, 0), qRgb(190, 210, 240));  // (1*c + 2*240) / 3
  EXPECT_TRUE(AreaAveraged(row, QSize(0, 1)).isNull());
  // A large solid picture stays exactly its colour at any reduction.
  QImage solid(6000, 7, QImage::Format_RGB32);
  solid.fill(qRgb(17, 99, 201));
  const QImage small = AreaAveraged(solid, QSize(4500, 5));
  EXPECT_EQ(small.size(), QSize(4500, 5));
  EXPECT_EQ(small.pixel(4499, 4), qRgb(17, 99, 201));
  // Large pictures are reduced in pieces on several cores; every output
  // row is still the mean of its own image rows.
  QImage big(2048, 1030, QImage::Format_RGB32);
  for (int y = 0; y < big.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(big.scanLine(y));
    for (int x = 0; x < big.width(); ++x) line[x] = qRgb((x * 7 + y) & 0xff, (y * 5) & 0xff, (x ^ y) & 0xff);
  }
  const QImage halved = AreaAveraged(big, QSize(1024, 515));
  ASSERT_EQ(halved.size(), QSize(1024, 515));
  for (int y = 0; y < halved.height(); ++y)
    for (int x = 0; x < halved.width(); ++x) {
      int sum[3] = {0, 0, 0};
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
          const QRgb p = big.pixel(2 * x + dx, 2 * y + dy);
          sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
        }
      ASSERT_EQ(halved.pixel(x, y), qRgb((sum[0] + 2) / 4, (sum[1] + 2) / 4, (sum[2] + 2) / 4)) << x << "," << y;
    }
}
