#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSet>

#include "app/Form1.h"
#include "images/ImageLoader.h"
#include "results/AnnotatedImage.h"

namespace {
// Writes a PNG whole or not at all.
bool SavePng(const QImage &image, const QString &path) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&file, "png");
  if (!writer.write(image)) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace

// Writes, for every image with a scale or a figure, the picture at full
// resolution with them drawn on it, as "<name>_annotated.png" in a chosen
// folder. An existing file is replaced only when the person says so; a file
// that cannot be read or written is reported at the end, and the rest go on.
void TForm1::ExportAnnotated1Click() {
  std::vector<int> images;
  for (int i = 0; i < ResultsTable.ImageCount; ++i)
    if (const TRecordedImage *r = Record.Image(i); r && !r->Empty()) images.push_back(i);
  if (images.empty()) {
    Prompt_.Beep();
    return;
  }
  QString folder = QFileInfo(SaveDialog1.FileName).absolutePath();
  if (!Prompt_.ChooseFolder(QStringLiteral("Export Annotated Images"), folder)) return;

  QProgressDialog progress(QStringLiteral("Exporting annotated images\u2026"), QStringLiteral("Cancel"), 0,
                           int(images.size()), this);
  progress.setWindowTitle(QStringLiteral("Export Annotated Images"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  QStringList problems;
  QSet<QString> written;
  for (size_t k = 0; k < images.size(); ++k) {
    progress.setValue(int(k));
    if (progress.wasCanceled()) break;
    const int i = images[k];
    const QString source = ResultsTable.ImageFilePath(i);
    const QString fileName = ResultsTable.Cell(TResultsTable::colFileName, i + 1);
    // Two rows of one name (from two folders) get the row's number as well.
    QString target = QDir(folder).filePath(QFileInfo(fileName).completeBaseName() + QStringLiteral("_annotated.png"));
    if (written.contains(target))
      target = QDir(folder).filePath(QStringLiteral("%1_%2_annotated.png").arg(QFileInfo(fileName).completeBaseName()).arg(i + 1));
    if (QFileInfo::exists(target) &&
        Prompt_.Ask(target + QStringLiteral(" already exists. Replace it?"), QStringLiteral("Confirm"), false) != mrYes)
      continue;
    QImage picture;
    if (!LoadImageFile(source, ImageKindOf(source) == ImageKind::Jpeg, picture)) {
      problems << QStringLiteral("Cannot read ") + source;
      continue;
    }
    const QImage annotated = AnnotatedImage(picture, *Record.Image(i), fileName,
                                            ResultsTable.Cell(TResultsTable::colDotsPerCm, i + 1));
    picture = QImage();
    if (SavePng(annotated, target))
      written.insert(target);
    else
      problems << QStringLiteral("Cannot write ") + target;
  }
  progress.setValue(int(images.size()));
  if (!problems.isEmpty()) Prompt_.ShowMessage(problems.join(u'\n'), QStringLiteral("File Error"));
}
