#pragma once

#include <QString>
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

// Export Annotated Images: for every image with a scale or a figure, the
// picture at full resolution with them drawn on it, as
// "<name>_annotated.png" in a chosen folder. An existing file is replaced
// only when the person says so; a file that cannot be read or written is
// reported at the end, and the rest go on. `starting` runs once the folder
// is chosen, before the first picture is read.
void ExportAnnotatedImages(QWidget *owner, Prompter &prompter, const TExportSources &from,
                           const std::function<void()> &starting);
