#include "app/Form1.h"
#include "common/WholeFile.h"
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
  QStringList headings;
  for (int c = 0; c < ResultsTable.ColumnCount(); ++c) headings << ResultsTable.Cell(c, 0);
  const ResultsFileContents contents = ReadResultsFile(bytes, headings);
  if (!contents.Ok) {
    Prompt_.ShowMessage(QStringLiteral("Line %1 of %2 %3.").arg(contents.BadLine).arg(name, contents.Problem),
                        QStringLiteral("File Error"));
    return;
  }
  ResultsTable.AppendSavedRows(contents.Rows);
  if (!contents.Rows.empty()) {
    // The rows' values stand in the definitions' columns from now on.
    RowsContinued = true;
    LockDefinitions();
  }
  // Values measured from now on are written as the file's numbers are.
  if (!contents.DecimalSeparator.isNull()) DecimalSeparator = contents.DecimalSeparator;
  // Save writes the whole table back to this file, in the layout it has,
  // whatever file type the chooser showed.
  SaveDialog1.FileName = name;
  SaveDialog1.Files = QStringList{name};
  SaveDialog1.FilterIndex = contents.Separator == ',' ? rftCsv : rftTabbedText;
}
