// The sitting brought back: the start-up offer of a journal left by a
// sitting that did not end normally, and the replay of its entries.
#include <QFile>
#include <QLocale>

#include "app/Form1.h"
#include "common/WholeFile.h"
#include "definitions/DefinitionCommands.h"
#include "results/ResultsFileWriter.h"
#include "results/SaveCommands.h"

namespace {
// A journal of 10,000 images holds a few megabytes.
constexpr qint64 kLargestJournal = qint64(512) << 20;
}  // namespace

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
    if (Log_.Journal.Append(JournalHeader(contents.Started), lines))
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
    if (e.Kind == TRecordEntry::Definitions && !DefinitionsLocked())
      ReplaceDefinitions(DefinitionList, ResultsTable, e.Defs);
    if (e.Kind == TRecordEntry::Continued) {
      if (!e.Decimal.isNull()) DecimalSeparator_ = e.Decimal;
      SetSaveTarget(Choosers_.SaveDialog1, e.File, e.Separator == ',' ? rftCsv : rftTabbedText);
    }
    if (e.Kind == TRecordEntry::Saved) SetSaveTarget(Choosers_.SaveDialog1, e.File, e.FilterIndex);
    if (e.Kind == TRecordEntry::Scale && !e.RecordOnly) Session_->TakeScale(e.ScaleValue.DotsPerCm, e.ScaleValue.KnownCm);
    values = RestoreIntoTable(ResultsTable, e) || values;
    Log_.Record.Apply(e);
  }
  // Values stand in the definitions' columns: they must no longer move.
  if (values) {
    RowsContinued_ = true;
    LockDefinitions();
  }
  // Nothing brought back has been saved since.
  ResultsTable.MarkChanged();
  PlanReadAhead();
}
