#include "definitions/DefinitionList.h"

#include "results/ResultsTable.h"

TMeasureType &TDefinitionList::Append(std::unique_ptr<TMeasureType> def) {
  Items_.push_back(std::move(def));
  return *Items_.back();
}

void TDefinitionList::RemoveAt(int position) { Items_.erase(Items_.begin() + position); }

void AppendDefinition(TDefinitionList &list, TResultsTable &table, const TMeasureType &def) {
  TMeasureType &added = list.Append(std::make_unique<TMeasureType>(def));
  AppendDefinitionColumns(table, added);
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
  RemoveDefinitionColumns(table, list, position);
  list.RemoveAt(position);
}

void AppendDefinitionColumns(TResultsTable &table, TMeasureType &def) {
  def.FirstCol = table.ColumnCount();
  table.InsertColumns(def.FirstCol, ColumnCount(def));
  WriteDefinitionHeadings(table, def);
}

void WriteDefinitionHeadings(TResultsTable &table, const TMeasureType &def) {
  if (QuantityCount(def) == 0) {
    table.SetHeading(def.FirstCol, def.Name);
    return;
  }
  int col = def.FirstCol;
  for (const QuantityFlag &q : kQuantityFlags)
    if (def.*q.Flag) table.SetHeading(col++, def.Name + QLatin1String(q.Suffix));
}

void RemoveDefinitionColumns(TResultsTable &table, TDefinitionList &list, int position) {
  const TMeasureType &gone = list.At(position);
  const int width = ColumnCount(gone);
  table.RemoveColumns(gone.FirstCol, width);
  for (int p = position + 1; p < list.Count(); ++p) list.At(p).FirstCol -= width;
}
