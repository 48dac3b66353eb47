#include "results/SittingLog.h"

#include <QDateTime>

#include "common/Prompter.h"

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
  if (lines.isEmpty() || Journal.Append(JournalHeader(QDateTime::currentDateTime()), lines)) return;
  // The sitting goes on; the person learns once that it is not being kept.
  if (Failed_) return;
  Failed_ = true;
  Prompt_.ShowMessage(QStringLiteral("Cannot write ") + (Journal.Path().isEmpty() ? TJournal::Folder() : Journal.Path()),
                      QStringLiteral("File Error"));
}
