#pragma once

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The record of a sitting: how every value in the results table came about.
// Each accepted scale and confirmed figure is one entry, with its points in
// image pixels and the cell texts it wrote, and so is everything that builds
// the table (definitions, images opened, a results file continued, a path
// changed, a save). Entries are kept in memory, per image, and written one
// JSON object a line to the sitting's journal; saving results writes the
// record per image as the figures file beside them. Plain logic: bytes in,
// bytes out, no widgets and no files.

// A measurement definition as the record keeps it: what the definition list
// needs to build it again. The kind is its code (0 line, 1 angle, 2 rectangle).
struct TRecordedDefinition {
  QString Name;
  int Kind = 0;
  bool Height = false, Width = false, Perimeter = false, Area = false;
  bool operator==(const TRecordedDefinition &o) const {
    return Name == o.Name && Kind == o.Kind && Height == o.Height && Width == o.Width &&
           Perimeter == o.Perimeter && Area == o.Area;
  }
};

// A scale accepted on an image: the line dragged, the known length and the
// resulting dots per centimetre with the text written into Dots/cm.
struct TRecordedScale {
  QPointF P1, P2;  // image pixels
  int KnownCm = 0;
  double DotsPerCm = 0;
  QString Text;
};

// A confirmed figure: which object of its image and which definition (their
// numbers, from 1), its name and
// kind, its points in image pixels (a line's two ends, a rectangle's two
// corners, an angle's vertex and then its arms' ends), the first column
// written and the cell texts, each with its unit ("cm", "cm²", "°").
struct TRecordedFigure {
  int Definition = 0;
  QString Name;
  int Kind = 0;
  std::vector<QPointF> Points;
  int FirstColumn = 0;
  QStringList Cells;
  QStringList Units;
  int Object = 1;  // the object of its image it measures, from 1
};

// What the record knows of one image.
struct TRecordedImage {
  std::optional<TRecordedScale> Scale;
  // One per object and definition measured, by object and then definition.
  std::vector<TRecordedFigure> Figures;
  bool Empty() const { return !Scale && Figures.empty(); }
  // How many objects its figures name (1 at the least).
  int Objects() const;
  // The label drawn beside a figure: its name, with its object's number
  // when the image has more than one object ("Length 3").
  QString Label(const TRecordedFigure &figure) const;
};

struct TRecordEntry {
  enum Type { Definitions, Images, Continued, Scale, Figure, Path, Saved, Cells, State };
  Type Kind = Images;
  std::vector<TRecordedDefinition> Defs;  // Definitions
  QStringList Files;                      // Images: full names, in row order
  // Continued: the results file, its layout and its rows as read; Saved:
  // the file and the save dialog's file type.
  QString File;
  char Separator = '\t';
  QChar Decimal;  // null: the file's numbers had none
  // Continued: the rows of the file, and each row's object number (empty:
  // all 1). State: the rows of one image, one per object.
  std::vector<QStringList> Rows;
  std::vector<int> Objects;
  int FilterIndex = 1;
  int Image = -1;  // Scale, Figure, Path: image index (row - 1)
  TRecordedScale ScaleValue;
  TRecordedFigure FigureValue;
  QString DotsPerCmCell;  // Figure: the Dots/cm text written with it, if any
  QString Folder;         // Path: the image's new folder
  // Cells: texts written into the image's row from column `Column` on, with
  // no figure of their own (values cleared because a new scale cannot
  // give them again).
  int Column = 0;
  int Object = 1;  // Cells: the object whose row they are written into
  QStringList Texts;
  // State: an image's record as it is now, after an undo, a redo or an
  // object deleted (its rows are in Rows).
  TRecordedImage ImageValue;
  // Scale, Figure: brought in from a figures file with rows whose cells
  // already hold the values; it changes the record only, never a cell.
  bool RecordOnly = false;
};

// One entry as a journal line: compact JSON and "\n".
QByteArray JournalLine(const TRecordEntry &entry);
// The first line of a journal: what it is and when the sitting began.
QByteArray JournalHeader(const QDateTime &started);

struct JournalContents {
  bool Readable = false;  // false: not a journal at all (Problem says why)
  QString Problem;
  QDateTime Started;
  std::vector<TRecordEntry> Entries;
  // A last line cut short or damaged (a sitting killed while writing it) is
  // dropped; a damaged line with sound ones after it makes the journal
  // unreadable, since what follows may depend on it.
  bool LastLineDropped = false;
};
JournalContents ReadJournal(const QByteArray &bytes);

// The record of one sitting, per image.
class TRecord {
public:
  std::vector<TRecordedImage> Images;
  std::vector<TRecordedDefinition> Defs;  // as last recorded

  // Takes an entry into the record: rows grow with Images and Continued,
  // a scale replaces the image's scale, a figure replaces the image's figure
  // of the same definition. Entries naming an image the record does not
  // have change nothing.
  void Apply(const TRecordEntry &entry);
  // The number of values written by the record's figures and scales.
  int ValueCount() const;
  const TRecordedImage *Image(int i) const {
    return i >= 0 && i < int(Images.size()) ? &Images[size_t(i)] : nullptr;
  }
};

// The figures file: the record of every image row of a results file, as a
// versioned JSON document. `fileNames` are the rows' File Name cells, kept
// so that a figures file read back is checked against its results file.
QByteArray FiguresFileBytes(const TRecord &record, const QStringList &fileNames);

struct FiguresFileContents {
  bool Ok = false;
  QString Problem;
  std::vector<TRecordedImage> Images;  // one per row of the results file
  // The definitions the figures were measured with, when the file names
  // them (files of earlier versions of the program do not).
  std::vector<TRecordedDefinition> Definitions;
};
// Reads a figures file for a results file whose rows have these File Name
// cells. A file of another version, of other rows or damaged is refused whole.
FiguresFileContents ReadFiguresFile(const QByteArray &bytes, const QStringList &fileNames);

// The definitions a figures file names, whatever rows it has; none when it
// names none or is damaged.
std::vector<TRecordedDefinition> FiguresFileDefinitions(const QByteArray &bytes);

// Where the definitions in force put their values: for definition number
// k + 1, its kind code, its first column and how many columns it has.
struct TFigureColumns {
  int Kind = 0;
  int FirstColumn = 0;
  int Count = 1;
};

// Keeps of a figures file's record of one image only what the image's rows
// (one per object) say: its scale when its text is the Dots/cm cell, and
// each figure that `layout` places where it wrote, with the points of its
// kind and the cells it wrote equal to its object's row. Returns how many
// were left out.
int KeepWhatTheRowsSay(TRecordedImage &image, const std::vector<QStringList> &rows,
                       const std::vector<TFigureColumns> &layout);

// The name of the figures file beside a results file.
QString FiguresFileName(const QString &resultsFile);
