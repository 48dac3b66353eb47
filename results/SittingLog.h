#pragma once

#include <functional>
#include <vector>

#include "results/Journal.h"
#include "results/Record.h"

class Prompter;
class TResultsTable;

// The record of a sitting with its journal: every entry taken into the
// record is appended to the journal, and on the disk, before the program
// goes on. The definitions in force go first whenever they changed since
// they were last recorded.
class TSittingLog {
public:
  explicit TSittingLog(Prompter &prompter) : Prompt_(prompter) {}

  TRecord Record;
  TJournal Journal;
  // The definitions in force, as the record keeps them.
  std::function<std::vector<TRecordedDefinition>()> Definitions;

  // Takes entries into the record and appends them to the journal. A
  // journal that cannot be written is reported once; the sitting goes on.
  void Remember(const std::vector<TRecordEntry> &entries);

private:
  Prompter &Prompt_;
  bool Failed_ = false;
};

// What an entry of a journal brought back writes into the table: image rows,
// continued rows, cells of a scale, a figure (the first of a further object
// making its row), cleared values, an image's rows as undo left them, a new
// folder. True when it brought values.
bool RestoreIntoTable(TResultsTable &table, const TRecordEntry &entry);
