#include "results/SittingLog.h"

#include <QDateTime>
#include <QLocale>

#include "common/Prompter.h"
#include "common/WholeFile.h"
#include "results/ResultsTable.h"

namespace {
// A journal of 10,000 images holds a few megabytes.
constexpr qint64 kLargestJournal = qint64(512) << 20;
}  // namespace

void TSittingLog::Remember(const std::vector<TRecordEntry> &entries) {
  QByteArray lines;
  const std::vector<TRecordedDefinition> defs = Definitions ? Definitions() : Record.Defs;
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
  if (!lines.isEmpty()) Report(Journal.Append(JournalHeader(QDateTime::currentDateTime()), lines));
}

void TSittingLog::TakeOver(TJournalLock claimed, const QDateTime &started, const std::vector<TRecordEntry> &entries) {
  QByteArray bytes = JournalHeader(started);
  for (const TRecordEntry &e : entries) bytes += JournalLine(e);
  Report(Journal.TakeOver(std::move(claimed), bytes));
}

void TSittingLog::Report(bool written) {
  // The person learns once that the sitting is not being kept, and again
  // if it fails anew after it could be written.
  if (written || Failed_) {
    Failed_ = !written;
    return;
  }
  Failed_ = true;
  Prompt_.ShowMessage(QStringLiteral("Cannot write ") + (Journal.Path().isEmpty() ? TJournal::Folder() : Journal.Path()),
                      QStringLiteral("File Error"));
}

bool RestoreIntoTable(TResultsTable &table, const TRecordEntry &e) {
  const bool row = e.Image >= 0 && e.Image < table.ImageCount;
  switch (e.Kind) {
    case TRecordEntry::Images: table.AppendImageRows(e.Files); return false;
    case TRecordEntry::Continued: table.AppendSavedRows(e.Rows, e.Objects); return !e.Rows.empty();
    case TRecordEntry::Scale:
      if (e.RecordOnly || !row) return false;
      table.SetImageCell(e.Image, TResultsTable::colDotsPerCm, e.ScaleValue.Text);
      return true;
    case TRecordEntry::Figure:
      if (e.RecordOnly || !row) return false;
      if (!e.DotsPerCmCell.isEmpty()) table.SetImageCell(e.Image, TResultsTable::colDotsPerCm, e.DotsPerCmCell);
      if (e.FigureValue.Object == table.ObjectCount(e.Image) + 1) table.AddObject(e.Image);
      table.SetObjectCells(e.Image, e.FigureValue.Object, e.FigureValue.FirstColumn, e.FigureValue.Cells);
      return true;
    case TRecordEntry::Cells:
      if (row) table.SetObjectCells(e.Image, e.Object, e.Column, e.Texts);
      return false;
    case TRecordEntry::State:
      if (row) table.SetImageRows(e.Image, e.Rows);
      return false;
    case TRecordEntry::Path:
      if (row) table.SetImageCell(e.Image, TResultsTable::colPath, e.Folder);
      return false;
    case TRecordEntry::Definitions:
    case TRecordEntry::Saved: return false;
  }
  return false;
}

bool OfferLeftOverSitting(Prompter &prompter, TSittingLog &log,
                          const std::function<void(const std::vector<TRecordEntry> &)> &restore) {
  if (!log.Journal.Empty()) return false;
  for (const QString &path : TJournal::LeftOver()) {
    // Held from here on: no other copy of the program offers it meanwhile.
    TJournalLock claimed = TJournal::Claim(path);
    if (!claimed.Held()) continue;
    QByteArray bytes;
    if (!ReadWholeFile(prompter, path, kLargestJournal, bytes)) continue;
    const JournalContents contents = ReadJournal(bytes);
    if (!contents.Readable) {
      const QString kept = TJournal::SetAside(claimed);
      prompter.ShowMessage(QStringLiteral("Cannot read %1: it %2. It is kept as it is.")
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
    if (prompter.Ask(question, QStringLiteral("Confirm"), false) != mrYes) {
      TJournal::SetAside(claimed);
      continue;
    }
    restore(contents.Entries);
    // The entries go on in this sitting's journal, which replaces the one
    // left over under its name once it is whole on the disk.
    log.TakeOver(std::move(claimed), contents.Started, contents.Entries);
    return true;
  }
  return false;
}
