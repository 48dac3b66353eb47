#pragma once

#include <QByteArray>
#include <vector>

class TResultsTable;

// Turns the results table into the bytes of the results file: one line per
// table row, one field per column, fields separated by one separator byte,
// every line ending in CR LF, text in the local 8-bit encoding. In the
// comma-separated layout a field holding a comma, a double quote, a CR or an
// LF is quoted with inner quotes doubled, so that spreadsheets read the same
// cells back; every other field is written as it is.
//
// The writer keeps the bytes it made last, with where each row's line ends,
// so that saving a large table again after a few new values encodes only the
// rows that changed and copies the rest. The first time, a large table is
// written in two halves at once.
class TResultsFileWriter {
public:
  QByteArray Bytes(const TResultsTable &table, char separator);

private:
  char Separator_ = 0;           // the separator of Bytes_
  QByteArray Bytes_;             // what Bytes returned last
  QByteArray Spare_;             // what it returned the time before, to write over
  std::vector<quint64> Stamps_;  // each row's stamp when its line was encoded
  std::vector<qsizetype> Ends_;  // where each row's line ends in Bytes_
};

// The whole file, encoded afresh.
QByteArray ResultsFileBytes(const TResultsTable &table, char separator);
