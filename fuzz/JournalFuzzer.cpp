// Feeds arbitrary bytes to the journal reader, as the start of the program
// does with a journal left by a sitting that did not end, and takes what it
// read into a record.
#include <QByteArray>

#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "results/Record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const JournalContents read = ReadJournal(bytes);
  FUZZ_CHECK(read.Readable == read.Problem.isEmpty());
  if (!read.Readable) {
    FUZZ_CHECK(read.Entries.empty());
    return 0;
  }
  TRecord record;
  for (const TRecordEntry &e : read.Entries) record.Apply(e);
  FUZZ_CHECK(record.ValueCount() >= 0);
  // What was read is written back the same and read again whole.
  QByteArray lines;
  for (const TRecordEntry &e : read.Entries) lines += JournalLine(e);
  const JournalContents again = ReadJournal(JournalHeader(read.Started) + lines);
  FUZZ_CHECK(again.Readable && !again.LastLineDropped);
  FUZZ_CHECK(again.Entries.size() == read.Entries.size());
  QByteArray linesAgain;
  for (const TRecordEntry &e : again.Entries) linesAgain += JournalLine(e);
  FUZZ_CHECK(linesAgain == lines);
  return 0;
}
