#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSet>

#include "app/ExportCommands.h"
#include "common/Prompter.h"
#include "definitions/DefinitionList.h"
#include "images/ImageLoader.h"
#include "measuring/FigureText.h"
#include "results/Record.h"
#include "results/ResultsTable.h"
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

void ExportAnnotatedImages(QWidget *owner, Prompter &prompter, const TExportSources &from,
                           const std::function<void()> &starting) {
  const TResultsTable &ResultsTable = from.Table;
  const TRecord &Record = from.Record;
  const TDefinitionList &DefinitionList = from.Definitions;
  std::vector<int> images;
  for (int i = 0; i < ResultsTable.ImageCount; ++i)
    if (const TRecordedImage *r = Record.Image(i); r && !r->Empty()) images.push_back(i);
  if (images.empty()) {
    prompter.Beep();
    return;
  }
  QString folder = QFileInfo(from.ResultsFile).absolutePath();
  if (!prompter.ChooseFolder(QStringLiteral("Export Annotated Images"), folder)) return;
  starting();

  QProgressDialog progress(QStringLiteral("Exporting annotated images\u2026"), QStringLiteral("Cancel"), 0,
                           int(images.size()), owner);
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
        prompter.Ask(target + QStringLiteral(" already exists. Replace it?"), QStringLiteral("Confirm"), false) != mrYes)
      continue;
    QImage picture;
    if (!LoadImageFile(source, ImageKindOf(source), picture)) {
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
  if (!problems.isEmpty()) prompter.ShowMessage(problems.join(u'\n'), QStringLiteral("File Error"));
}
