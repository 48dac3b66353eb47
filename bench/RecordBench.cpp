// The record of a sitting: appending to its journal, bringing a sitting of
// 10,000 images back, and exporting annotated 24-megapixel pictures.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "app/ExportCommands.h"
#include "app/Form1.h"
#include "bench/BenchSupport.h"
#include "definitions/DefinitionList.h"
#include "images/ImageLoader.h"
#include "images/ReadAhead.h"
#include "tests/support/FormDriver.h"
#include "tests/support/SampleImages.h"

using namespace bench;

namespace {
TRecordEntry FigureEntry(int image) {
  TRecordEntry e;
  e.Kind = TRecordEntry::Figure;
  e.Image = image;
  e.FigureValue = {2, QStringLiteral("Leaf"), 2, {{120.5, 80}, {940, 611.25}}, 5,
                   {QStringLiteral("21.4375"), QStringLiteral("31.25"), QStringLiteral("669.9219")},
                   {QStringLiteral("cm"), QStringLiteral("cm"), QStringLiteral("cm\u00b2")}};
  return e;
}

void Define(TForm1 &form) {
  AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("Stem"), mkLine, false, false, false, false);
  AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("Leaf"), mkRectangle, true, true, false, true);
}

// The append an OK makes (the entry written and on the disk) against a
// durable append of the same bytes to a plain file kept open.
void AppendBench(const QString &dir) {
  OkPrompter prompter;
  TForm1 form(prompter);
  Define(form);
  TRecordEntry images;
  images.Kind = TRecordEntry::Images;
  images.Files = Files(100);
  form.Log().Remember({images});
  const QByteArray line = JournalLine(FigureEntry(7));
  const int plain = ::open(QFile::encodeName(dir + QStringLiteral("/plain")).constData(),
                           O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  int k = 0;
  const Paired times = Alternate(
      200, [&] { form.Log().Remember({FigureEntry(k++ % 100)}); },
      [&] {
        if (::write(plain, line.constData(), size_t(line.size())) != line.size() || ::fdatasync(plain) != 0)
          std::printf("plain append failed\n");
      });
  ::close(plain);
  std::printf("journal append: mean %.3f ms, plain durable append: mean %.3f ms\n", Mean(times.A) / 1e6,
              Mean(times.B) / 1e6);
  Print("journal_append_ratio", times.MeanRatio());
}

// Reading a journal of 10,000 measured objects (200 images of 50, each
// object with a line and a rectangle) and building the definitions, the
// table and the record again, as Yes to the start-up question does.
void RestoreBench(const QString &) {
  constexpr int kImages = 200, kObjects = 50;
  std::vector<TRecordEntry> entries(2);
  entries[0].Kind = TRecordEntry::Definitions;
  entries[0].Defs = {{QStringLiteral("Stem"), 0, false, false, false, false},
                     {QStringLiteral("Leaf"), 2, true, true, false, true}};
  entries[1].Kind = TRecordEntry::Images;
  entries[1].Files = Files(kImages);
  for (int i = 0; i < kImages; ++i) {
    TRecordEntry scale;
    scale.Kind = TRecordEntry::Scale;
    scale.Image = i;
    scale.ScaleValue = {{10, 10}, {1210, 10}, 10, 120, QStringLiteral("120")};
    entries.push_back(scale);
    for (int k = 1; k <= kObjects; ++k) {
      TRecordEntry stem = FigureEntry(i);
      stem.FigureValue = {1, QStringLiteral("Stem"), 0, {{30, 40}, {530, 900}}, 4, {QStringLiteral("8.2915")},
                          {QStringLiteral("cm")}, k};
      entries.push_back(stem);
      TRecordEntry leaf = FigureEntry(i);
      leaf.FigureValue.Object = k;
      entries.push_back(leaf);
    }
  }
  QByteArray journal = JournalHeader(QDateTime::currentDateTime());
  for (const TRecordEntry &e : entries) journal += JournalLine(e);
  OkPrompter prompter;
  std::vector<double> ms;
  for (int round = 0; round < 5; ++round) {
    TForm1 form(prompter);
    QElapsedTimer t;
    t.start();
    const JournalContents read = ReadJournal(journal);
    form.RestoreEntries(read.Entries);
    ms.push_back(t.nsecsElapsed() / 1e6);
    if (form.ResultsTable.RowCount() != kImages * kObjects + 1 || form.Log().Record.ValueCount() != 4 * kImages * kObjects + kImages)
      std::printf("restore incomplete\n");
  }
  std::sort(ms.begin(), ms.end());
  std::printf("restore of %d objects on %d images, %.1f MB: median %.1f ms, worst %.1f ms\n", kImages * kObjects,
              kImages, journal.size() / kMiB, ms[ms.size() / 2], ms.back());
  Print("restore_10k_ms", ms[ms.size() / 2]);
}

// Undo of one figure on an image with 50 objects of two lines, and the paint
// it asks for, taking turns with Redo (not timed).
void UndoBench(const QString &dir) {
  const QString photo = dir + QStringLiteral("/objects.jpg");
  QFile f(photo);
  if (!f.open(QIODevice::WriteOnly) || f.write(MakePhotoJpeg(1600, 1200, 4)) <= 0) return;
  f.close();
  OkPrompter prompter;
  TForm1 form(prompter);
  AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("L"), mkLine, false, false, false, false);
  AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("W"), mkLine, false, false, false, false);
  TRecordEntry images;
  images.Kind = TRecordEntry::Images;
  images.Files = QStringList{photo};
  form.ResultsTable.AppendImageRows(images.Files);
  form.Log().Remember({images});
  form.show();
  Next(form);
  form.btMeasureClick();
  TMeasureSession &session = form.Session();
  const auto drag = [&](QPoint a, QPoint b) {
    session.Press(a);
    session.Move(b);
    session.Release(b);
  };
  drag({10, 10}, {210, 10});
  for (int k = 1; k <= 50; ++k) {
    if (k > 1) session.NextObject();
    const QPoint cell(20 + 60 * ((k - 1) % 10), 40 + 60 * ((k - 1) / 10));
    drag(cell, cell + QPoint(20 + k, 0));
    drag(cell + QPoint(0, 5), cell + QPoint(0, 30));
  }
  QApplication::processEvents();
  std::vector<double> undo;
  bool ok = form.ResultsTable.ObjectCount(0) == 50;
  for (int round = 0; round < 40; ++round) {
    QElapsedTimer t;
    t.start();
    ok = session.Undo() && ok;
    QApplication::processEvents();
    undo.push_back(double(t.nsecsElapsed()));
    ok = session.Redo() && ok;
    QApplication::processEvents();
  }
  std::printf("undo_ms: mean %.2f, worst %.2f\n", Mean(undo) / 1e6, Max(undo) / 1e6);
  Print("undo_ms", ok ? Mean(undo) / 1e6 : -1);
  Print("undo_max_ms", ok ? Max(undo) / 1e6 : -1);
}

// Export Annotated Images of ten 24-megapixel photographs: as JPEG, three
// times, the mean time a picture over a plain decode of the same file by
// the program's reader; as PNG once, the mean time a picture, and that over
// a plain PNG save of the picture by Qt at its default level (how the
// export wrote every picture before it offered JPEG).
void ExportBench(const QString &dir) {
  constexpr int kPictures = 10;
  const QString photo = dir + QStringLiteral("/photo.jpg");
  QFile f(photo);
  if (!f.open(QIODevice::WriteOnly) || f.write(MakePhotoJpeg(6000, 4000, 3)) <= 0) return;
  f.close();
  OkPrompter prompter;
  TForm1 form(prompter);
  Define(form);
  TRecordEntry images;
  images.Kind = TRecordEntry::Images;
  for (int i = 0; i < kPictures; ++i) images.Files << photo;
  form.ResultsTable.AppendImageRows(images.Files);
  form.Log().Record.Apply(images);
  for (int i = 0; i < kPictures; ++i) {
    TRecordEntry scale;
    scale.Kind = TRecordEntry::Scale;
    scale.Image = i;
    scale.ScaleValue = {{100, 3800}, {1300, 3800}, 10, 120, QStringLiteral("120")};
    form.Log().Record.Apply(scale);
    form.Log().Record.Apply(FigureEntry(i));
  }
  const QString out = dir + QStringLiteral("/out");
  form.Choosers().SaveDialog1.FileName = out + QStringLiteral("/results.txt");
  // One export of every picture as `kind`, into an empty folder: ms a picture.
  const auto exportAs = [&](ExportKind kind) {
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    prompter.Kind = int(kind);
    QElapsedTimer t;
    t.start();
    form.ExportAnnotated1Click();
    const double ms = t.nsecsElapsed() / 1e6 / kPictures;
    if (QDir(out).entryList(QDir::Files).size() != kPictures) std::printf("export incomplete\n");
    return ms;
  };
  std::vector<double> decode, jpeg;
  for (int round = 0; round < 5; ++round) {
    QImage picture;
    QElapsedTimer t;
    t.start();
    if (!LoadImageFile(photo, ImageKind::Jpeg, picture)) std::printf("decode failed\n");
    decode.push_back(t.nsecsElapsed() / 1e6);
  }
  for (int round = 0; round < 3; ++round) jpeg.push_back(exportAs(ExportKind::Jpeg));
  const double png = exportAs(ExportKind::Png);
  QImage decoded;
  LoadImageFile(photo, ImageKind::Jpeg, decoded);
  QElapsedTimer t;
  t.start();
  decoded.save(dir + QStringLiteral("/plain.png"), "png");
  const double plainPng = t.nsecsElapsed() / 1e6;
  std::printf("export as JPEG: mean %.0f ms, worst %.0f ms a picture; plain decode: mean %.0f ms, worst %.0f ms\n",
              Mean(jpeg), Max(jpeg), Mean(decode), Max(decode));
  std::printf("export as PNG: %.0f ms a picture; plain PNG save at Qt's default level: %.0f ms\n", png, plainPng);
  Print("export_jpeg_ms_24mp", Mean(jpeg));
  Print("export_jpeg_ratio", Mean(jpeg) / Mean(decode));
  Print("export_png_ms_24mp", png);
  Print("export_ratio_24mp", png / plainPng);
}

// Resident memory while Export Annotated Images writes three 24-megapixel
// pictures, with the read-ahead holding its three (shown, previous, next):
// the peak above the memory before any picture was read, in pictures.
void ExportMemoryBench(const QString &dir) {
  const QString photo = dir + QStringLiteral("/photo.jpg");
  QFile f(photo);
  if (!f.open(QIODevice::WriteOnly) || f.write(MakePhotoJpeg(6000, 4000, 5)) <= 0) return;
  f.close();
  QStringList files;
  for (int i = 0; i < 3; ++i) {
    files << dir + QStringLiteral("/walk%1.jpg").arg(i);
    if (!QFile::copy(photo, files.last())) return;
  }
  OkPrompter prompter;
  TForm1 form(prompter);
  Define(form);
  const qint64 before = ResidentBytes();
  TRecordEntry images;
  images.Kind = TRecordEntry::Images;
  images.Files = files;
  form.ResultsTable.AppendImageRows(files);
  form.Log().Remember({images});
  for (int i = 0; i < 3; ++i) form.Log().Remember({FigureEntry(i)});
  Next(form);  // Start, Yes
  Next(form);  // the second image: the first kept, the third read ahead
  (void)QTest::qWaitFor([&] { return form.ReadAhead().Idle(); }, 20000);
  const QString out = dir + QStringLiteral("/out");
  QDir().mkpath(out);
  form.Choosers().SaveDialog1.FileName = out + QStringLiteral("/results.txt");
  const double picture = 6000.0 * 4000.0 * 4.0;
  std::printf("held before the export: %d pictures, %.0f MiB resident above the start\n",
              form.ReadAhead().HeldPictures(), (ResidentBytes() - before) / kMiB);
  if (!ResetPeakResident()) {
    Print("export_peak_pictures", -1);
    return;
  }
  form.ExportAnnotated1Click();
  const bool written = QDir(out).entryList(QDir::Files).size() == 3;
  Print("export_peak_pictures", written ? (PeakResidentBytes() - before) / picture : -1);
}

Section journalAppend("journal_append", AppendBench);
Section exportMemory("export_memory", ExportMemoryBench);
Section restore("restore", RestoreBench);
Section undo("undo", UndoBench);
Section exportSection("export", ExportBench);
}  // namespace
