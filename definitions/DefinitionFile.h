#pragma once

#include <QByteArray>
#include <vector>

#include "definitions/MeasureType.h"

class TDefinitionList;

// The definition file: the count on the first line, then one line per
// definition with name, kind code and the four quantity flags separated by
// TABs; CR LF after every line; text in the local 8-bit encoding.
QByteArray DefinitionFileBytes(const TDefinitionList &list);

// Reading is lenient: numbers after any white space, optionally signed; the
// name up to the first TAB with line feeds dropped; the kind the low 8 bits of
// its number; a flag true when non-zero; only the first `count` records.
// A damaged file (ends early, too few records, something other than a number
// where one belongs, a number beyond 32 bits) yields nothing at all.
struct DefinitionFileContents {
  bool Ok = false;
  std::vector<TMeasureType> Definitions;  // FirstCol not set
};
DefinitionFileContents ReadDefinitionFile(const QByteArray &bytes);
