#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Prompter;
class QWidget;
class TDefinitionList;
class TRecord;
class TResultsTable;

// What Export Annotated Images draws from.
struct TExportSources {
  const TResultsTable &Table;
  const TRecord &Record;
  const TDefinitionList &Definitions;
  QString ResultsFile;  // the folder chooser opens beside it
};

// The kinds of file Export Annotated Images writes, as the folder step
// offers them (ExportKindNames, in the order of ExportKind).
enum class ExportKind { Jpeg, Png };
constexpr int kExportJpegQuality = 92;
const QStringList &ExportKindNames();

// Export Annotated Images: for every image with a scale or a figure, the
// picture at full resolution with them drawn on it, as
// "<name>_annotated.jpg" or "<name>_annotated.png" in a chosen folder, the
// kind of file chosen with the folder (JPEG at first when every picture is
// a JPEG, else PNG). An existing file is replaced only when the person says
// so; a file that cannot be read or written is reported at the end, and the
// rest go on. Each picture is read on a thread of its own while the one
// before is drawn and written. `starting` runs once the folder is chosen,
// before the first picture is read.
void ExportAnnotatedImages(QWidget *owner, Prompter &prompter, const TExportSources &from,
                           const std::function<void()> &starting);
