#pragma once

#include <QByteArray>
#include <vector>

class TResultsTable;

// The file types that the results file's dialogs (Save, Continue Results)
// offer, numbered as their filter lists count them.
enum ResultsFileType { rftTabbedText = 1, rftCsv = 2, rftAllFiles = 3 };

// Turns the results table into the bytes of the results file: one line per
// table row, one field per column, fields separated by one separator byte,
// every line ending in CR LF, text in the local 8-bit encoding. In the
// comma-separated layout a field holding a comma, a double quote, a CR or an
// LF is quoted with inner quotes doubled, so that spreadsheets read the same
// cells back; every other field is written as it is.
//
// The writer keeps the file in pieces, one for each block of 256 rows, with
// each row's change stamp as it was when its block was encoded. Saving a
// large table again after a few new values encodes only the blocks with a
// changed row; the rest go to the file as they are. Many blocks at once are
// encoded on two threads.
class TResultsFileWriter {
public:
  // The file, as pieces to be written one after another.
  const std::vector<QByteArray> &Pieces(const TResultsTable &table, char separator);
  // The file in one array.
  QByteArray Bytes(const TResultsTable &table, char separator);

private:
  static constexpr int kRowsPerBlock = 256;
  char Separator_ = 0;           // the separator of Blocks_
  std::vector<QByteArray> Blocks_;
  std::vector<quint64> Stamps_;  // each row's stamp when its block was encoded
};

// The whole file, encoded afresh.
QByteArray ResultsFileBytes(const TResultsTable &table, char separator);
