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
  std::vector<QStringList> Rows;
};

// Reads a results file in the tab-separated (`separator` '\t') or the
// comma-separated layout (','), or in whichever of the two its heading line
// shows (0). The heading line must be exactly `headings`; every later line
// must have one field per heading and hold its own number (1, 2, …) in the
// first field. Comma-separated fields may be quoted, with inner quotes
// doubled; lines may end in CR LF or LF; text is in the local 8-bit encoding.
ResultsFileContents ReadResultsFile(const QByteArray &bytes, char separator, const QStringList &headings);
