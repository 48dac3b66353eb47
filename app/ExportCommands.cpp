#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QProgressDialog>
#include <QSaveFile>
#include <QSet>

#include <atomic>
#include <future>

#include "app/ExportCommands.h"
#include "common/Prompter.h"
#include "definitions/DefinitionList.h"
#include "images/ImageLoader.h"
#include "images/JpegWriter.h"
#include "measuring/FigureText.h"
#include "results/Record.h"
#include "results/ResultsTable.h"
#include "results/AnnotatedImage.h"

namespace {
// Qt writes a PNG of "quality" q with the zlib level (100 - q) * 9 / 91:
// 80 is level 1, which packs a photograph within a tenth of the default
// level's size in a fifth of its time.
constexpr int kPngQuality = 80;

// Writes the annotated picture as a file of `kind`, whole or not at all.
bool SaveAnnotated(const QImage &picture, const QString &path, ExportKind kind) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  bool written;
  if (kind == ExportKind::Jpeg) {
    const QByteArray bytes = JpegBytes(picture, kExportJpegQuality);
    written = !bytes.isEmpty() && file.write(bytes) == bytes.size();
  } else {
    QImageWriter writer(&file, "png");
    writer.setQuality(kPngQuality);
    written = writer.write(picture);
  }
  if (!written) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

// Reads the pictures to export one ahead, on a thread of its own, so that
// reading the next overlaps drawing and writing the one before. At most one
// picture is being read; asking for another than the one under way stops
// that one.
class TPictureAhead {
public:
  TPictureAhead() = default;
  TPictureAhead(const TPictureAhead &) = delete;
  TPictureAhead &operator=(const TPictureAhead &) = delete;
  ~TPictureAhead() { Stop(); }

  // Starts reading `path`, into the memory of `recycled` where it fits.
  void Start(const QString &path, QImage recycled) {
    Stop();
    Path_ = path;
    Reading_ = std::async(std::launch::async, [this, path, memory = std::move(recycled)]() mutable {
      QImage picture;
      try {
        LoadImageFile(path, ImageKindOf(path), picture, &memory, &Cancel_);
      } catch (...) {
        // No memory for the picture: it fails like a file that does not decode.
        picture = QImage();
      }
      return picture;
    });
  }
  // The picture of `path`, read ahead or now; null when it cannot be read.
  QImage Take(const QString &path) {
    if (Path_ != path || !Reading_.valid()) Start(path, QImage());
    QImage picture = Reading_.get();
    Path_.clear();
    return picture;
  }
  void Stop() {
    if (Reading_.valid()) {
      Cancel_ = true;
      Reading_.wait();
      Reading_ = {};
    }
    Cancel_ = false;
    Path_.clear();
  }

private:
  QString Path_;
  std::atomic<bool> Cancel_{false};
  std::future<QImage> Reading_;
};
}  // namespace

const QStringList &ExportKindNames() {
  static const QStringList names{QStringLiteral("JPEG (quality %1)").arg(kExportJpegQuality),
                                 QStringLiteral("PNG (lossless)")};
  return names;
}

void ExportAnnotatedImages(QWidget *owner, Prompter &prompter, const TExportSources &from,
                           const std::function<void()> &starting) {
  const TResultsTable &ResultsTable = from.Table;
  const TRecord &Record = from.Record;
  const TDefinitionList &DefinitionList = from.Definitions;
  std::vector<int> images;
  bool allJpeg = true;
  for (int i = 0; i < ResultsTable.ImageCount; ++i)
    if (const TRecordedImage *r = Record.Image(i); r && !r->Empty()) {
      images.push_back(i);
      allJpeg = allJpeg && ImageKindOf(ResultsTable.ImageFilePath(i)) == ImageKind::Jpeg;
    }
  if (images.empty()) {
    prompter.Beep();
    return;
  }
  QString folder = QFileInfo(from.ResultsFile).absolutePath();
  // Photographs are written as photographs; anything else keeps every pixel.
  int chosen = int(allJpeg ? ExportKind::Jpeg : ExportKind::Png);
  if (!prompter.ChooseFolder(QStringLiteral("Export Annotated Images"), folder, ExportKindNames(), chosen)) return;
  const ExportKind kind = chosen == int(ExportKind::Jpeg) ? ExportKind::Jpeg : ExportKind::Png;
  const QString suffix = kind == ExportKind::Jpeg ? QStringLiteral("_annotated.jpg") : QStringLiteral("_annotated.png");
  starting();

  QProgressDialog progress(QStringLiteral("Exporting annotated images\u2026"), QStringLiteral("Cancel"), 0,
                           int(images.size()), owner);
  progress.setWindowTitle(QStringLiteral("Export Annotated Images"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(0);
  QStringList problems;
  QSet<QString> written;
  // Qt's readers take their allocation limit from here, before the reading
  // thread uses them.
  RaiseImageReaderLimit();
  TPictureAhead ahead;
  QImage spare;  // the memory of the picture written last, lent to the next read
  for (size_t k = 0; k < images.size(); ++k) {
    progress.setValue(int(k));
    if (progress.wasCanceled()) break;
    const int i = images[k];
    const QString source = ResultsTable.ImageFilePath(i);
    const QString fileName = ResultsTable.Cell(TResultsTable::colFileName, i + 1);
    // Two rows of one name (from two folders) get the row's number as well,
    // and a further count where even that name was written by this export.
    const QString base = QFileInfo(fileName).completeBaseName();
    QString target = QDir(folder).filePath(base + suffix);
    for (int n = 1; written.contains(target); ++n)
      target = QDir(folder).filePath(n == 1 ? QStringLiteral("%1_%2%3").arg(base).arg(i + 1).arg(suffix)
                                            : QStringLiteral("%1_%2_%3%4").arg(base).arg(i + 1).arg(n).arg(suffix));
    if (QFileInfo::exists(target) &&
        prompter.Ask(target + QStringLiteral(" already exists. Replace it?"), QStringLiteral("Confirm"), false) != mrYes)
      continue;
    QImage picture = ahead.Take(source);
    if (k + 1 < images.size()) ahead.Start(ResultsTable.ImageFilePath(images[k + 1]), std::move(spare));
    spare = QImage();
    if (picture.isNull()) {
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
    QImage annotated = AnnotatedImage(std::move(picture), *Record.Image(i), labels, fileName,
                                      ResultsTable.Cell(TResultsTable::colDotsPerCm, i + 1));
    if (SaveAnnotated(annotated, target, kind))
      written.insert(target);
    else
      problems << QStringLiteral("Cannot write ") + target;
    spare = std::move(annotated);
  }
  ahead.Stop();
  progress.setValue(int(images.size()));
  if (!problems.isEmpty()) prompter.ShowMessage(problems.join(u'\n'), QStringLiteral("File Error"));
}
