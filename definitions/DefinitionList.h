#pragma once

#include <memory>
#include <vector>

#include "definitions/MeasureType.h"

class TResultsTable;

// The ordered, owning list of measurement definitions. A definition's number
// is its position plus one. Definitions are appended at the end or removed at
// any position; they are never reordered or edited in place.
class TDefinitionList {
public:
  int Count() const { return int(Items_.size()); }
  bool IsEmpty() const { return Items_.empty(); }
  TMeasureType &At(int position) { return *Items_.at(position); }
  const TMeasureType &At(int position) const { return *Items_.at(position); }

  TMeasureType &Append(std::unique_ptr<TMeasureType> def);
  void RemoveAt(int position);

private:
  std::vector<std::unique_ptr<TMeasureType>> Items_;
};

// Appends a definition with these values and gives it its columns.
void AddDefinition(TDefinitionList &list, TResultsTable &table, const QString &name,
                   TMeasureKind kind, bool height, bool width, bool perimeter, bool area);

// Appends an already filled definition and gives it its columns; the loader of
// definition files and AddDefinition share it.
void AppendDefinition(TDefinitionList &list, TResultsTable &table, const TMeasureType &def);

// Removes the definition at a 0-based position and its columns.
void DeleteDefinition(TDefinitionList &list, TResultsTable &table, int position);

// The columns a definition occupies in the results table: appended after the
// last column, with FirstCol set to the first of them and their headings
// written; and removed again, the later definitions' FirstCol moving left.
void AppendDefinitionColumns(TResultsTable &table, TMeasureType &def);
void WriteDefinitionHeadings(TResultsTable &table, const TMeasureType &def);
void RemoveDefinitionColumns(TResultsTable &table, TDefinitionList &list, int position);
