#pragma once

#include <QString>
#include <functional>

#include "common/Prompter.h"

class TResultsTable;
class TSittingLog;

// Save Data: writes the whole table to the file and file type Save was last
// given, asking for them first when there are none, with the figures file
// beside it; the save is recorded. True when the results were written.
bool SaveResults(Prompter &prompter, FileDialogState &saveDialog, TResultsTable &table, TSittingLog &log);

// Save Data as: asks for a file and file type, then saves as Save Data.
bool SaveResultsAs(Prompter &prompter, FileDialogState &saveDialog, TResultsTable &table, TSittingLog &log);

// Save writes to this file with this file type from now on, without asking.
void SetSaveTarget(FileDialogState &saveDialog, const QString &fileName, int filterIndex);

// Before the window closes with unsaved results, asks whether to save them.
// True when the window may close: after Yes only when `save` succeeded, so
// that a cancelled dialog or a failed write never throws the results away.
bool MayClose(Prompter &prompter, const TResultsTable &table, const std::function<bool()> &save);
