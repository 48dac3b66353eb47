#pragma once

#include <QChar>
#include <vector>

#include "common/Prompter.h"
#include "results/Record.h"

class TResultsTable;
class TSittingLog;

// What Continue Results needs of the definitions in force, which the
// results room does not know: where their values go, and, when there are
// none, taking those that a figures file names (and taking them away again).
class TDefinitionColumns {
public:
  virtual ~TDefinitionColumns() = default;
  virtual std::vector<TFigureColumns> Layout() const = 0;
  virtual bool None() const = 0;
  virtual void Take(const std::vector<TRecordedDefinition> &definitions) = 0;
  virtual void DropAll() = 0;
};

// Continue Results: reads a results file saved earlier, `file` or, when
// that is empty, one chosen with `openDialog`, and appends its image rows, so that a batch measured over
// several sittings goes on where it stopped; its figures come back where
// the rows still hold what they wrote, and images no longer where the rows
// say are looked for in a folder the person points to. The file must have
// been made with the definitions now in force; anything else is refused
// with the line that is wrong, and nothing changes. Save then writes to
// that file in its layout (`saveDialog`), and values are written with its
// decimal separator (`decimal`). True when rows came back: their values
// stand in the definitions' columns, which must no longer move.
bool ContinueResults(Prompter &prompter, FileDialogState &openDialog, FileDialogState &saveDialog,
                     TResultsTable &table, TSittingLog &log, TDefinitionColumns &definitions, QChar &decimal,
                     const QString &file = QString());
