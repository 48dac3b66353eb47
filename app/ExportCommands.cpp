#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSet>

#include "app/Form1.h"
#include "images/ImageLoader.h"
#include "images/ReadAhead.h"
#include "measuring/FigureText.h"
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
  // While the export reads and draws its pictures one at a time, the
  // read-ahead holds only the picture shown: with a huge picture, three
  // held beside the one exported would be gigabytes. It reads ahead again
  // afterwards.
  ReadAhead->Plan(ShownImage >= 0 ? ReadablePath(ShownImage) : QString(), QString(), QString(),
                  TViewPlace{Zoom, QRect()});

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
    // Two rows of one name (from two folders) get the row's number as well,
    // and a further count where even that name was written by this export.
    const QString base = QFileInfo(fileName).completeBaseName();
    QString target = QDir(folder).filePath(base + QStringLiteral("_annotated.png"));
    for (int n = 1; written.contains(target); ++n)
      target = QDir(folder).filePath(n == 1 ? QStringLiteral("%1_%2_annotated.png").arg(base).arg(i + 1)
                                            : QStringLiteral("%1_%2_%3_annotated.png").arg(base).arg(i + 1).arg(n));
    if (QFileInfo::exists(target) &&
        Prompt_.Ask(target + QStringLiteral(" already exists. Replace it?"), QStringLiteral("Confirm"), false) != mrYes)
      continue;
    QImage picture;
    if (!LoadImageFile(source, ImageKindOf(source) == ImageKind::Jpeg, picture)) {
      problems << QStringLiteral("Cannot read ") + source;
      continue;
    }
    // Each figure's values as they read on the screen, a rectangle's
    // quantities named by their letters.
    QStringList labels;
    for (const TRecordedFigure &f : Record.Image(i)->Figures) {
      TMeasureType def;
      if (f.Definition >= 1 && f.Definition <= DefinitionList.Count() &&
          int(DefinitionList.At(f.Definition - 1).Kind) == f.Kind)
        def = DefinitionList.At(f.Definition - 1);
      else
        def.Kind = TMeasureKind(f.Kind);
      labels << FigureValueText(def, f.Cells, f.Units);
    }
    const QImage annotated = AnnotatedImage(std::move(picture), *Record.Image(i), labels, fileName,
                                            ResultsTable.Cell(TResultsTable::colDotsPerCm, i + 1));
    if (SavePng(annotated, target))
      written.insert(target);
    else
      problems << QStringLiteral("Cannot write ") + target;
  }
  progress.setValue(int(images.size()));
  PlanReadAhead();
  if (!problems.isEmpty()) Prompt_.ShowMessage(problems.join(u'\n'), QStringLiteral("File Error"));
}
