#pragma once

#include <QByteArray>

class TResultsTable;

// The file types that the results file's save dialog offers, numbered as its
// filter list counts them.
enum ResultsFileType { rftTabbedText = 1, rftCsv = 2, rftAllFiles = 3 };

// The bytes of the results file: one line per table row, one field per
// column, fields separated by one separator byte, every line ending in CR LF,
// text in the local 8-bit encoding. In the comma-separated layout a field
// holding a comma, a double quote, a CR or an LF is quoted with inner quotes
// doubled, so that spreadsheets read the same cells back; every other field
// is written as it is.
QByteArray ResultsFileBytes(const TResultsTable &table, char separator);
