#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// The kind of a measurement. Stored as a signed 8-bit code; codes other than
// the three known ones can arrive from the Add Definition dialog or from a
// definition file and are kept unchanged.
enum TMeasureKind : std::int8_t { mkLine = 0, mkAngle = 1, mkRectangle = 2 };

// One measurement definition: what is measured on every image of a batch.
class TMeasureType {
public:
  QString Name;
  TMeasureKind Kind = mkLine;
  bool Height = false;
  bool Width = false;
  bool Perimeter = false;
  bool Area = false;
  std::int32_t FirstCol = 0;
};

// Everything that depends on the kind code, in one place.
namespace MeasureKinds {
// "Line", "Angle", "Rectangle", or "Unknown" for any other code.
QString DisplayName(TMeasureKind kind);
// "Line", "Angl", "Rect", or "M" for any other code.
QString NamePrefix(TMeasureKind kind);
// The items of the Add Definition dialog's type list; item index = code.
QStringList TypeListItems();
// True for the three codes that can be measured.
bool IsKnown(TMeasureKind kind);
}  // namespace MeasureKinds

// The quantity flags in their fixed order with their heading suffixes.
struct QuantityFlag {
  bool TMeasureType::*Flag;
  const char *Suffix;
};
extern const QuantityFlag kQuantityFlags[4];

// Number of quantity flags set (0 to 4).
int QuantityCount(const TMeasureType &def);
// Number of results-table columns the definition occupies: QuantityCount, or 1.
int ColumnCount(const TMeasureType &def);
