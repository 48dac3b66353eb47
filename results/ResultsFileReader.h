#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// A results file read back: its image rows, each with one cell per column,
// exactly as the file holds them; or the first line that is wrong and why.
struct ResultsFileContents {
  bool Ok = false;
  int BadLine = 0;   // counted from 1
  QString Problem;   // what is wrong with that line, said of it ("has …")
  char Separator = '\t';
  // '.' or ',' as the numbers in the rows' Dots/cm and definition columns
  // write their fractions (the first such number decides); null when none has one.
  QChar DecimalSeparator;
  std::vector<QStringList> Rows;
  // Each row's object number: 1 for an image's own row, 2, 3 … for the
  // further objects below it (all 1 in a file without an "Object" column).
  std::vector<int> Objects;
  int Images = 0;
};

// Reads a results file in the tab-separated or the comma-separated layout,
// whichever its heading line shows: tabs, or commas where there is no tab.
// The heading line must be exactly `headings`, or `headings` with "Object"
// after "File Name" (its values 1 for an image's own row, then 2, 3 … on the
// rows of further objects, which repeat their image's No., Path and File
// Name); every image's own row holds its number (1, 2, …) in the first field.
// Lines that are empty (nothing, or only separators) end the rows, as in a
// table saved before all its rows were filled; only such lines may follow.
// Comma-separated fields may be quoted, with inner quotes doubled; lines may
// end in CR LF or LF; text is in the local 8-bit encoding.
ResultsFileContents ReadResultsFile(const QByteArray &bytes, const QStringList &headings);
