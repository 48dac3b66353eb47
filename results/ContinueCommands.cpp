#include <QDir>
#include <QFileInfo>

#include "app/Form1.h"
#include "common/WholeFile.h"
#include "definitions/DefinitionList.h"
#include "results/ResultsFileReader.h"
#include "results/ResultsFileWriter.h"

namespace {
// A results file of 10,000 images and 40 columns is a few megabytes.
constexpr qint64 kLargestResultsFile = qint64(256) << 20;
}  // namespace

// Reads a results file saved earlier and appends its image rows, so that a
// batch measured over several sittings goes on where it stopped. The file
// must have been made with the definitions now in force; anything else is
// refused with the line that is wrong, and nothing changes. The layout, tabs
// or commas, is read from the file's heading line.
void TForm1::ContinueResults1Click() {
  if (!Prompt_.RunFileDialog(OpenDialog3)) return;
  const QString name = OpenDialog3.FileName;
  QByteArray bytes;
  if (!ReadWholeFile(Prompt_, name, kLargestResultsFile, bytes)) return;
  const auto read = [&] {
    QStringList headings;
    for (int c = 0; c < ResultsTable.ColumnCount(); ++c) headings << ResultsTable.Cell(c, 0);
    return ReadResultsFile(bytes, headings);
  };
  ResultsFileContents contents = read();
  const QString figuresName = FiguresFileName(name);
  QByteArray figureBytes;
  const bool hasFigures =
      QFileInfo::exists(figuresName) && ReadWholeFile(Prompt_, figuresName, kLargestResultsFile, figureBytes);
  // With no definitions at all, those the figures file names are offered;
  // Yes adds them as Load Definitions would, and they go again if the file
  // still does not fit them.
  if (!contents.Ok && DefinitionList.IsEmpty() && hasFigures) {
    const std::vector<TRecordedDefinition> named = FiguresFileDefinitions(figureBytes);
    if (!named.empty() &&
        Prompt_.Ask(QStringLiteral("No measurements are defined. Take the %1 definitions that %2 names?")
                        .arg(named.size())
                        .arg(figuresName),
                    QStringLiteral("Confirm"), false) == mrYes) {
      for (const TRecordedDefinition &d : named)
        AddDefinition(DefinitionList, ResultsTable, d.Name, TMeasureKind(d.Kind), d.Height, d.Width, d.Perimeter,
                      d.Area);
      contents = read();
      if (!contents.Ok)
        while (!DefinitionList.IsEmpty()) DeleteDefinition(DefinitionList, ResultsTable, DefinitionList.Count() - 1);
    }
  }
  if (!contents.Ok) {
    Prompt_.ShowMessage(QStringLiteral("Line %1 of %2 %3.").arg(contents.BadLine).arg(name, contents.Problem),
                        QStringLiteral("File Error"));
    return;
  }
  // The figures beside the file come back with its rows; a damaged figures
  // file is reported and left out, and the rows still come. A figure comes
  // back only where the row still holds what it wrote: the results file may
  // have been edited or replaced since, or the figures file be another
  // batch's of the same file names.
  std::vector<TRecordedImage> figures;
  if (hasFigures) {
    QStringList names;
    for (const QStringList &row : contents.Rows) names << row.value(TResultsTable::colFileName);
    FiguresFileContents read = ReadFiguresFile(figureBytes, names);
    if (read.Ok) {
      figures = std::move(read.Images);
      std::vector<TFigureColumns> layout;
      for (int p = 0; p < DefinitionList.Count(); ++p) {
        const TMeasureType &def = DefinitionList.At(p);
        layout.push_back({int(def.Kind), def.FirstCol, ColumnCount(def)});
      }
      int dropped = 0, all = 0;
      for (size_t k = 0; k < figures.size(); ++k) {
        all += int(figures[k].Figures.size()) + (figures[k].Scale ? 1 : 0);
        dropped += KeepWhatTheRowSays(figures[k], contents.Rows[k], layout);
      }
      if (dropped > 0)
        Prompt_.ShowMessage(QStringLiteral("%1 of the %2 figures in %3 were left out: the values they wrote are not "
                                           "the values of their rows in %4.")
                                .arg(dropped)
                                .arg(all)
                                .arg(figuresName, name),
                            QStringLiteral("File Error"));
    } else {
      Prompt_.ShowMessage(QStringLiteral("Cannot read %1: it %2. The rows are continued without their figures.")
                              .arg(figuresName, read.Problem),
                          QStringLiteral("File Error"));
    }
  }
  const int firstImage = ResultsTable.ImageCount;
  ResultsTable.AppendSavedRows(contents.Rows);
  std::vector<TRecordEntry> entries(1);
  entries[0].Kind = TRecordEntry::Continued;
  entries[0].File = name;
  entries[0].Separator = contents.Separator;
  entries[0].Decimal = contents.DecimalSeparator;
  entries[0].Rows = contents.Rows;
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
  Remember(entries);
  if (!contents.Rows.empty()) {
    // The rows' values stand in the definitions' columns from now on.
    RowsContinued = true;
    LockDefinitions();
  }
  // Values measured from now on are written as the file's numbers are.
  if (!contents.DecimalSeparator.isNull()) DecimalSeparator = contents.DecimalSeparator;
  // Save writes the whole table back to this file, in the layout it has,
  // whatever file type the chooser showed.
  SetSaveTarget(name, contents.Separator == ',' ? rftCsv : rftTabbedText);
  FindMovedImages(firstImage);
}

void TForm1::FindMovedImages(int firstImage) {
  std::vector<TRecordEntry> moved;
  QStringList asked;
  for (int i = firstImage; i < ResultsTable.ImageCount; ++i) {
    const QString folder = ResultsTable.Cell(TResultsTable::colPath, i + 1);
    if (asked.contains(folder) || QFileInfo::exists(ResultsTable.ImageFilePath(i))) continue;
    asked << folder;
    QString now = QFileInfo(OpenDialog3.FileName).absolutePath();
    if (!Prompt_.ChooseFolder(QStringLiteral("Where are the images of %1 now?").arg(folder), now)) continue;
    now = QDir::cleanPath(now);
    // Every row of that folder whose file is in the new one moves there;
    // the rest keep their Path.
    for (int j = i; j < ResultsTable.ImageCount; ++j) {
      if (ResultsTable.Cell(TResultsTable::colPath, j + 1) != folder) continue;
      if (!QFileInfo::exists(QDir(now).filePath(ResultsTable.Cell(TResultsTable::colFileName, j + 1)))) continue;
      TRecordEntry e;
      e.Kind = TRecordEntry::Path;
      e.Image = j;
      e.Folder = QDir::toNativeSeparators(now);
      ResultsTable.SetImageCell(j, TResultsTable::colPath, e.Folder);
      moved.push_back(e);
    }
  }
  if (!moved.empty()) Remember(moved);
}
