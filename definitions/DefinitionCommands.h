#pragma once

#include <vector>

#include "common/Prompter.h"
#include "definitions/DefinitionList.h"
#include "results/ContinueCommands.h"
#include "results/Record.h"

class QWidget;

// The commands of the Define Measurements menu. Each beeps and does nothing
// while the definitions are `locked` (their columns hold values).

// Add Definition: the Add Definition dialog; OK appends the definition it
// describes, with its columns.
void AddDefinitionCommand(QWidget *owner, Prompter &prompter, TDefinitionList &list, TResultsTable &table,
                          bool locked);
// Delete Definition: the dialog listing the definitions by name; OK with one
// chosen removes it and its columns. With none defined it beeps.
void DeleteDefinitionCommand(QWidget *owner, Prompter &prompter, TDefinitionList &list, TResultsTable &table,
                             bool locked);
// Save Definitions: the definitions written to a file chosen with `dialog`.
// With none defined it beeps.
void SaveDefinitionsCommand(Prompter &prompter, FileDialogState &dialog, const TDefinitionList &list);
// Load Definitions: the definitions of a file chosen with `dialog` appended,
// with their columns; a damaged file is refused whole.
void LoadDefinitionsCommand(Prompter &prompter, FileDialogState &dialog, TDefinitionList &list,
                            TResultsTable &table, bool locked);

// The definitions as the record keeps them, and made again from it.
std::vector<TRecordedDefinition> RecordedDefinitions(const TDefinitionList &list);
void ReplaceDefinitions(TDefinitionList &list, TResultsTable &table, const std::vector<TRecordedDefinition> &defs);

// The definitions' columns as Continue Results needs them.
class TDefinitionListColumns : public TDefinitionColumns {
public:
  TDefinitionListColumns(TDefinitionList &list, TResultsTable &table) : List_(list), Table_(table) {}
  std::vector<TFigureColumns> Layout() const override;
  bool None() const override { return List_.IsEmpty(); }
  void Take(const std::vector<TRecordedDefinition> &definitions) override;
  void DropAll() override { ReplaceDefinitions(List_, Table_, {}); }

private:
  TDefinitionList &List_;
  TResultsTable &Table_;
};
