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
  // journal that cannot be written is reported, once until it can be
  // written again; the sitting goes on, and what it could not take is
  // written with the next entry.
  void Remember(const std::vector<TRecordEntry> &entries);
  // The sitting goes on in a journal left over, which these entries of it
  // (as read, with the time its sitting began) replace.
  void TakeOver(TJournalLock claimed, const QDateTime &started, const std::vector<TRecordEntry> &entries);

private:
  void Report(bool written);

  Prompter &Prompt_;
  bool Failed_ = false;
};

// What an entry of a journal brought back writes into the table: image rows,
// continued rows, cells of a scale, a figure (the first of a further object
// making its row), cleared values, an image's rows as undo left them, a new
// folder. True when it brought values.
bool RestoreIntoTable(TResultsTable &table, const TRecordEntry &entry);
// At start: offers back, under "Confirm", the sitting of a journal left by
// one that did not end normally, naming when it began and its numbers of
// images and values. Yes hands its entries to `restore` and the sitting
// goes on in that journal, held locked from the question on; No puts it
// aside, as is a journal that cannot be read (reported under "File
// Error"). True when a sitting was brought back.
bool OfferLeftOverSitting(Prompter &prompter, TSittingLog &log,
                          const std::function<void(const std::vector<TRecordEntry> &)> &restore);
