#include "definitions/MeasureType.h"

namespace {
struct KindEntry {
  TMeasureKind Kind;
  const char *Item;
  const char *Display;
  const char *Prefix;
};
const KindEntry kKinds[] = {
    {mkLine, "Straight Line", "Line", "Line"},
    {mkAngle, "Angle", "Angle", "Angl"},
    {mkRectangle, "Rectangle", "Rectangle", "Rect"},
};

const KindEntry *Find(TMeasureKind kind) {
  for (const KindEntry &e : kKinds)
    if (e.Kind == kind) return &e;
  return nullptr;
}
}  // namespace

const QuantityFlag kQuantityFlags[4] = {
    {&TMeasureType::Height, "_H"},
    {&TMeasureType::Width, "_W"},
    {&TMeasureType::Perimeter, "_P"},
    {&TMeasureType::Area, "_A"},
};

namespace MeasureKinds {
QString DisplayName(TMeasureKind kind) {
  const KindEntry *e = Find(kind);
  return QString::fromLatin1(e ? e->Display : "Unknown");
}

QString NamePrefix(TMeasureKind kind) {
  const KindEntry *e = Find(kind);
  return QString::fromLatin1(e ? e->Prefix : "M");
}

QStringList TypeListItems() {
  QStringList items;
  for (const KindEntry &e : kKinds) items << QString::fromLatin1(e.Item);
  return items;
}

bool IsKnown(TMeasureKind kind) { return Find(kind) != nullptr; }
}  // namespace MeasureKinds

int QuantityCount(const TMeasureType &def) {
  int n = 0;
  for (const QuantityFlag &q : kQuantityFlags) n += (def.*q.Flag) ? 1 : 0;
  return n;
}

int ColumnCount(const TMeasureType &def) {
  int n = QuantityCount(def);
  return n == 0 ? 1 : n;
}
