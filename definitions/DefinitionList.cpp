#include "definitions/DefinitionList.h"

#include "results/ResultsTable.h"

TMeasureType &TDefinitionList::Append(std::unique_ptr<TMeasureType> def) {
  Items_.push_back(std::move(def));
  return *Items_.back();
}

void TDefinitionList::RemoveAt(int position) { Items_.erase(Items_.begin() + position); }

void AppendDefinition(TDefinitionList &list, TResultsTable &table, const TMeasureType &def) {
  TMeasureType &added = list.Append(std::make_unique<TMeasureType>(def));
  table.AppendDefinitionColumns(added);
}

void AddDefinition(TDefinitionList &list, TResultsTable &table, const QString &name,
                   TMeasureKind kind, bool height, bool width, bool perimeter, bool area) {
  TMeasureType def;
  def.Name = name;
  def.Kind = kind;
  def.Height = height;
  def.Width = width;
  def.Perimeter = perimeter;
  def.Area = area;
  AppendDefinition(list, table, def);
}

void DeleteDefinition(TDefinitionList &list, TResultsTable &table, int position) {
  if (position < 0 || position >= list.Count()) return;
  table.RemoveDefinitionColumns(list, position);
  list.RemoveAt(position);
}
