#include <QDir>
#include <QFileInfo>

#include "results/ContinueCommands.h"

#include "common/WholeFile.h"
#include "results/ResultsFileReader.h"
#include "results/ResultsFileWriter.h"
#include "results/ResultsTable.h"
#include "results/SaveCommands.h"
#include "results/SittingLog.h"

namespace {
// A results file of 10,000 images and 40 columns is a few megabytes.
constexpr qint64 kLargestResultsFile = qint64(256) << 20;
}  // namespace

namespace {
// Rows continued whose image files are not where they say: asks once per
// folder where the files are now and changes the Path cells found there.
void FindMovedImages(Prompter &prompter, const QString &resultsFile, TResultsTable &table, TSittingLog &log,
                     int firstImage) {
  std::vector<TRecordEntry> moved;
  QStringList asked;
  for (int i = firstImage; i < table.ImageCount; ++i) {
    const QString folder = table.Cell(TResultsTable::colPath, i + 1);
    if (asked.contains(folder) || QFileInfo::exists(table.ImageFilePath(i))) continue;
    asked << folder;
    QString now = QFileInfo(resultsFile).absolutePath();
    if (!prompter.ChooseFolder(QStringLiteral("Where are the images of %1 now?").arg(folder), now)) continue;
    now = QDir::cleanPath(now);
    // Every row of that folder whose file is in the new one moves there;
    // the rest keep their Path.
    for (int j = i; j < table.ImageCount; ++j) {
      if (table.Cell(TResultsTable::colPath, j + 1) != folder) continue;
      if (!QFileInfo::exists(QDir(now).filePath(table.Cell(TResultsTable::colFileName, j + 1)))) continue;
      TRecordEntry e;
      e.Kind = TRecordEntry::Path;
      e.Image = j;
      e.Folder = QDir::toNativeSeparators(now);
      table.SetImageCell(j, TResultsTable::colPath, e.Folder);
      moved.push_back(e);
    }
  }
  if (!moved.empty()) log.Remember(moved);
}
}  // namespace

bool ContinueResults(Prompter &prompter, FileDialogState &openDialog, FileDialogState &saveDialog,
                     TResultsTable &table, TSittingLog &log, TDefinitionColumns &definitions, QChar &decimal,
                     const QString &file) {
  if (file.isEmpty() && !prompter.RunFileDialog(openDialog)) return false;
  // A file named beforehand is where the chooser opens next time.
  if (!file.isEmpty()) openDialog.FileName = file;
  const QString name = openDialog.FileName;
  QByteArray bytes;
  if (!ReadWholeFile(prompter, name, kLargestResultsFile, bytes)) return false;
  const auto read = [&] {
    QStringList headings;
    for (int c = 0; c < table.ColumnCount(); ++c) headings << table.Cell(c, 0);
    return ReadResultsFile(bytes, headings);
  };
  ResultsFileContents contents = read();
  const QString figuresName = FiguresFileName(name);
  QByteArray figureBytes;
  const bool hasFigures =
      QFileInfo::exists(figuresName) && ReadWholeFile(prompter, figuresName, kLargestResultsFile, figureBytes);
  // With no definitions at all, those the figures file names are offered;
  // Yes adds them as Load Definitions would, and they go again if the file
  // still does not fit them.
  if (!contents.Ok && definitions.None() && hasFigures) {
    const std::vector<TRecordedDefinition> named = FiguresFileDefinitions(figureBytes);
    if (!named.empty() &&
        prompter.Ask(QStringLiteral("No measurements are defined. Take the %1 definitions that %2 names?")
                        .arg(named.size())
                        .arg(figuresName),
                    QStringLiteral("Confirm"), false) == mrYes) {
      definitions.Take(named);
      contents = read();
      if (!contents.Ok) definitions.DropAll();
    }
  }
  if (!contents.Ok) {
    prompter.ShowMessage(QStringLiteral("Line %1 of %2 %3.").arg(contents.BadLine).arg(name, contents.Problem),
                        QStringLiteral("File Error"));
    return false;
  }
  // The figures beside the file come back with its rows; a damaged figures
  // file is reported and left out, and the rows still come. A figure comes
  // back only where the row still holds what it wrote: the results file may
  // have been edited or replaced since, or the figures file be another
  // batch's of the same file names.
  std::vector<TRecordedImage> figures;
  if (hasFigures) {
    // The rows of each image, its own first: the figures file has a row per
    // image, its figures naming their objects.
    std::vector<std::vector<QStringList>> images;
    for (size_t r = 0; r < contents.Rows.size(); ++r) {
      if (contents.Objects.at(r) == 1) images.emplace_back();
      images.back().push_back(contents.Rows[r]);
    }
    QStringList names;
    for (const auto &rows : images) names << rows.front().value(TResultsTable::colFileName);
    FiguresFileContents read = ReadFiguresFile(figureBytes, names);
    if (read.Ok) {
      figures = std::move(read.Images);
      const std::vector<TFigureColumns> layout = definitions.Layout();
      int dropped = 0, all = 0;
      for (size_t k = 0; k < figures.size(); ++k) {
        all += int(figures[k].Figures.size()) + (figures[k].Scale ? 1 : 0);
        dropped += KeepWhatTheRowsSay(figures[k], images[k], layout);
      }
      if (dropped > 0)
        prompter.ShowMessage(QStringLiteral("%1 of the %2 figures in %3 were left out: the values they wrote are not "
                                           "the values of their rows in %4.")
                                .arg(dropped)
                                .arg(all)
                                .arg(figuresName, name),
                            QStringLiteral("File Error"));
    } else {
      prompter.ShowMessage(QStringLiteral("Cannot read %1: it %2. The rows are continued without their figures.")
                              .arg(figuresName, read.Problem),
                          QStringLiteral("File Error"));
    }
  }
  const int firstImage = table.ImageCount;
  table.AppendSavedRows(contents.Rows, contents.Objects);
  std::vector<TRecordEntry> entries(1);
  entries[0].Kind = TRecordEntry::Continued;
  entries[0].File = name;
  entries[0].Separator = contents.Separator;
  entries[0].Decimal = contents.DecimalSeparator;
  entries[0].Rows = contents.Rows;
  if (table.HasObjects()) entries[0].Objects = contents.Objects;
  for (size_t k = 0; k < figures.size(); ++k) {
    TRecordEntry e;
    e.Image = firstImage + int(k);
    e.RecordOnly = true;
    if (figures[k].Scale) {
      e.Kind = TRecordEntry::Scale;
      e.ScaleValue = *figures[k].Scale;
      entries.push_back(e);
    }
    e.Kind = TRecordEntry::Figure;
    for (const TRecordedFigure &f : figures[k].Figures) {
      e.FigureValue = f;
      entries.push_back(e);
    }
  }
  log.Remember(entries);
  // Values measured from now on are written as the file's numbers are.
  if (!contents.DecimalSeparator.isNull()) decimal = contents.DecimalSeparator;
  // Save writes the whole table back to this file, in the layout it has,
  // whatever file type the chooser showed.
  SetSaveTarget(saveDialog, name, contents.Separator == ',' ? rftCsv : rftTabbedText);
  FindMovedImages(prompter, name, table, log, firstImage);
  return !contents.Rows.empty();
}
