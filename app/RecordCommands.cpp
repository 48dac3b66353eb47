#include <QDateTime>
#include <QFile>
#include <QLocale>

#include "app/Form1.h"
#include "common/WholeFile.h"
#include "definitions/DefinitionList.h"
#include "results/ResultsFileWriter.h"

namespace {
// A journal of 10,000 images holds a few megabytes.
constexpr qint64 kLargestJournal = qint64(512) << 20;

std::vector<TRecordedDefinition> RecordedDefinitions(const TDefinitionList &list) {
  std::vector<TRecordedDefinition> out;
  for (int p = 0; p < list.Count(); ++p) {
    const TMeasureType &d = list.At(p);
    out.push_back({d.Name, int(d.Kind), d.Height, d.Width, d.Perimeter, d.Area});
  }
  return out;
}
}  // namespace

void TForm1::Remember(const std::vector<TRecordEntry> &entries) {
  QByteArray lines;
  const std::vector<TRecordedDefinition> defs = RecordedDefinitions(DefinitionList);
  if (defs != Record.Defs) {
    TRecordEntry d;
    d.Kind = TRecordEntry::Definitions;
    d.Defs = defs;
    Record.Apply(d);
    lines += JournalLine(d);
  }
  for (const TRecordEntry &e : entries) {
    Record.Apply(e);
    lines += JournalLine(e);
  }
  if (lines.isEmpty() || Journal.Append(JournalHeader(QDateTime::currentDateTime()), lines)) return;
  // The sitting goes on; the person learns once that it is not being kept.
  if (JournalFailed) return;
  JournalFailed = true;
  Prompt_.ShowMessage(QStringLiteral("Cannot write ") +
                          (Journal.Path().isEmpty() ? TJournal::Folder() : Journal.Path()),
                      QStringLiteral("File Error"));
}

bool TForm1::OfferLeftOverJournal() {
  for (const QString &path : TJournal::LeftOver()) {
    QByteArray bytes;
    if (!ReadWholeFile(Prompt_, path, kLargestJournal, bytes)) continue;
    const JournalContents contents = ReadJournal(bytes);
    if (!contents.Readable) {
      const QString kept = TJournal::SetAside(path);
      Prompt_.ShowMessage(QStringLiteral("Cannot read %1: it %2. It is kept as it is.")
                              .arg(kept.isEmpty() ? path : kept, contents.Problem),
                          QStringLiteral("File Error"));
      continue;
    }
    TRecord probe;
    for (const TRecordEntry &e : contents.Entries) probe.Apply(e);
    const QString when = QLocale().toString(contents.Started.toLocalTime(), QLocale::ShortFormat);
    const QString question =
        QStringLiteral("The sitting of %1 did not end normally. It had %2 images and %3 values that may not "
                       "have been saved. Bring them back?")
            .arg(when)
            .arg(probe.Images.size())
            .arg(probe.ValueCount());
    if (Prompt_.Ask(question, QStringLiteral("Confirm"), false) != mrYes) {
      TJournal::SetAside(path);
      continue;
    }
    RestoreEntries(contents.Entries);
    // The entries go on in this sitting's own journal, on the disk before the
    // old one is removed.
    QByteArray lines;
    for (const TRecordEntry &e : contents.Entries) lines += JournalLine(e);
    if (Journal.Append(JournalHeader(contents.Started), lines))
      QFile::remove(path);
    else
      TJournal::SetAside(path);
    return true;
  }
  return false;
}

void TForm1::RestoreEntries(const std::vector<TRecordEntry> &entries) {
  bool values = false;
  for (const TRecordEntry &e : entries) {
    switch (e.Kind) {
      case TRecordEntry::Definitions:
        if (DefinitionsLocked()) break;
        while (!DefinitionList.IsEmpty()) DeleteDefinition(DefinitionList, ResultsTable, DefinitionList.Count() - 1);
        for (const TRecordedDefinition &d : e.Defs)
          AddDefinition(DefinitionList, ResultsTable, d.Name, TMeasureKind(d.Kind), d.Height, d.Width, d.Perimeter,
                        d.Area);
        break;
      case TRecordEntry::Images: ResultsTable.AppendImageRows(e.Files); break;
      case TRecordEntry::Continued:
        ResultsTable.AppendSavedRows(e.Rows);
        values = values || !e.Rows.empty();
        if (!e.Decimal.isNull()) DecimalSeparator = e.Decimal;
        SetSaveTarget(e.File, e.Separator == ',' ? rftCsv : rftTabbedText);
        break;
      case TRecordEntry::Scale:
        if (e.RecordOnly || e.Image >= ResultsTable.ImageCount) break;
        ResultsTable.SetImageCell(e.Image, TResultsTable::colDotsPerCm, e.ScaleValue.Text);
        DotsPerCm = e.ScaleValue.DotsPerCm;
        if (e.ScaleValue.KnownCm > 0) KnownLengthCm = e.ScaleValue.KnownCm;
        values = true;
        break;
      case TRecordEntry::Figure:
        if (e.RecordOnly || e.Image >= ResultsTable.ImageCount) break;
        if (!e.DotsPerCmCell.isEmpty())
          ResultsTable.SetImageCell(e.Image, TResultsTable::colDotsPerCm, e.DotsPerCmCell);
        ResultsTable.SetImageCells(e.Image, e.FigureValue.FirstColumn, e.FigureValue.Cells);
        values = true;
        break;
      case TRecordEntry::Path:
        if (e.Image < ResultsTable.ImageCount) ResultsTable.SetImageCell(e.Image, TResultsTable::colPath, e.Folder);
        break;
      case TRecordEntry::Saved:
        SetSaveTarget(e.File, e.FilterIndex);
        break;
      case TRecordEntry::Cells:
        if (e.Image < ResultsTable.ImageCount) ResultsTable.SetImageCells(e.Image, e.Column, e.Texts);
        break;
    }
    Record.Apply(e);
  }
  // Values stand in the definitions' columns: they must no longer move.
  if (values) {
    RowsContinued = true;
    LockDefinitions();
  }
  // Nothing brought back has been saved since.
  ResultsTable.MarkChanged();
}
