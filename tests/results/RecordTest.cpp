// The journal of a sitting read back: whole entries come back exactly, a
// last entry cut short is dropped, anything else damaged is refused whole.
#include <gtest/gtest.h>

#include "results/Record.h"

namespace {
std::vector<TRecordEntry> SampleEntries() {
  std::vector<TRecordEntry> out(10);
  out[0].Kind = TRecordEntry::Definitions;
  out[0].Defs = {{"Stem", 0, false, false, false, false}, {"Leaf", 2, true, false, false, true}};
  out[1].Kind = TRecordEntry::Images;
  out[1].Files = {"/p/a b.jpg", "/p/\u00e9t\u00e9.bmp"};
  out[2].Kind = TRecordEntry::Continued;
  out[2].File = "/p/r.csv";
  out[2].Separator = ',';
  out[2].Decimal = u',';
  out[2].Rows = {{"1", "/p", "c.jpg", "25,3", "\"1,5\""}};
  out[3].Kind = TRecordEntry::Scale;
  out[3].Image = 1;
  out[3].ScaleValue = {{1.5, 2}, {254.25, 2}, 10, 25.2750000001, "25.275"};
  out[3].RecordOnly = true;
  out[4].Kind = TRecordEntry::Figure;
  out[4].Image = 1;
  out[4].DotsPerCmCell = "25.275";
  out[4].FigureValue = {2, "Leaf", 2, {{10, 10}, {-40, 80.75}}, 5, {"2.1", "0.5"}, {"cm", "cm\u00b2"}};
  out[5].Kind = TRecordEntry::Path;
  out[5].Image = 2;
  out[5].Folder = "/q";
  out[6].Kind = TRecordEntry::Saved;
  out[6].File = "/p/r.csv";
  out[6].FilterIndex = 2;
  out[7].Kind = TRecordEntry::Cells;
  out[7].Image = 1;
  out[7].Column = 4;
  out[7].Texts = {"", ""};
  out[8] = out[4];  // a further object's figure
  out[8].FigureValue.Object = 3;
  out[8].DotsPerCmCell.clear();
  out[9].Kind = TRecordEntry::State;  // an image as an undo left it
  out[9].Image = 2;
  out[9].Rows = {{"3", "/p", "c.jpg", "25.275", "", "", ""}, {"3", "/p", "c.jpg", "25.275", "", "2.1", "0.5"}};
  out[9].ImageValue.Figures = {out[8].FigureValue};
  out[9].ImageValue.Figures[0].Object = 2;
  return out;
}

QByteArray Lines(const std::vector<TRecordEntry> &entries) {
  QByteArray out;
  for (const TRecordEntry &e : entries) out += JournalLine(e);
  return out;
}
}  // namespace

TEST(Record, JournalGivesBackEveryWholeEntry) {
  const QByteArray header = JournalHeader(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC));
  const std::vector<TRecordEntry> all = SampleEntries();
  const std::vector<TRecordEntry> allButLast(all.begin(), all.end() - 1);
  const QByteArray whole = header + Lines(all);
  struct Case {
    const char *Name;
    QByteArray Bytes;
    bool Readable;
    std::vector<TRecordEntry> Entries;
    bool Dropped;
  };
  const Case cases[] = {
      {"whole", whole, true, all, false},
      {"cut in the last entry", whole.left(whole.size() - 9), true, allButLast, true},
      {"cut after the last entry's brace", whole.left(whole.size() - 1), true, allButLast, true},
      {"damaged last entry", header + Lines(allButLast) + "{\"t\":\"figure\",\"i\":\"x\"}\n", true, allButLast, true},
      {"header only", header, true, {}, false},
      {"damaged middle entry", header + JournalLine(all[0]) + "{]\n" + Lines(allButLast), false, {}, false},
      {"not a journal", "{\"format\":\"other\",\"version\":1}\n" + Lines(all), false, {}, false},
      {"another version", QByteArray(header).replace("\"version\":1", "\"version\":9") + Lines(all), false, {}, false},
      {"empty", "", false, {}, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    const JournalContents read = ReadJournal(c.Bytes);
    EXPECT_EQ(read.Readable, c.Readable);
    EXPECT_EQ(read.Problem.isEmpty(), c.Readable);
    EXPECT_EQ(read.LastLineDropped, c.Dropped);
    EXPECT_EQ(Lines(read.Entries), Lines(c.Entries));
    if (c.Readable) EXPECT_EQ(read.Started, QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC));
  }
}

// The record per image: a figure measured again replaces the earlier one of
// its definition, and the figures file brings back what was saved only for
// the rows it was written for.
TEST(Record, FiguresFileBringsBackEachImage) {
  TRecord record;
  for (const TRecordEntry &e : SampleEntries()) record.Apply(e);
  TRecordEntry again = SampleEntries()[4];
  again.FigureValue.Cells = {"9", "8"};
  record.Apply(again);
  TRecordEntry first = again;
  first.FigureValue.Definition = 1;
  record.Apply(first);
  TRecordEntry further = again;  // another object's figure of the same definition
  further.FigureValue.Object = 2;
  record.Apply(further);
  ASSERT_EQ(record.Images.size(), 3u);
  // By object and then definition: the first object's two, then the
  // second's and the third's.
  ASSERT_EQ(record.Images[1].Figures.size(), 4u);
  EXPECT_EQ(record.Images[1].Figures[0].Definition, 1);
  EXPECT_EQ(record.Images[1].Figures[1].Cells, (QStringList{"9", "8"}));
  EXPECT_EQ(record.Images[1].Figures[2].Object, 2);
  EXPECT_EQ(record.Images[1].Figures[3].Object, 3);
  EXPECT_EQ(record.Images[1].Label(record.Images[1].Figures[2]), "Leaf 2");
  EXPECT_EQ(record.Images[2].Figures.at(0).Object, 2);  // as the state left it
  EXPECT_EQ(record.ValueCount(), 11);

  const QStringList names{"a b.jpg", "\u00e9t\u00e9.bmp", "c.jpg"};
  const QByteArray bytes = FiguresFileBytes(record, names);
  const FiguresFileContents read = ReadFiguresFile(bytes, names);
  ASSERT_TRUE(read.Ok) << read.Problem.toStdString();
  TRecord back;
  back.Images = read.Images;
  back.Defs = read.Definitions;
  EXPECT_EQ(FiguresFileDefinitions(bytes), record.Defs);
  EXPECT_EQ(FiguresFileBytes(back, names), bytes);
  EXPECT_FALSE(ReadFiguresFile(bytes, {"a b.jpg", "other.bmp", "c.jpg"}).Ok);
  EXPECT_FALSE(ReadFiguresFile(bytes, {"a b.jpg"}).Ok);
  EXPECT_FALSE(ReadFiguresFile(QByteArray(bytes).replace("\"dpc\"", "\"dpx\""), names).Ok);
  EXPECT_FALSE(ReadFiguresFile(bytes.left(bytes.size() / 2), names).Ok);
  // A file of the first version, of one object an image, is read as it is.
  TRecord single;
  for (const TRecordEntry &e : SampleEntries())
    if (e.Kind != TRecordEntry::State && e.FigureValue.Object == 1) single.Apply(e);
  const QByteArray firstVersion = FiguresFileBytes(single, names).replace("\"version\": 2", "\"version\": 1");
  const FiguresFileContents old = ReadFiguresFile(firstVersion, names);
  ASSERT_TRUE(old.Ok) << old.Problem.toStdString();
  EXPECT_EQ(old.Images[1].Figures.size(), 1u);
  EXPECT_EQ(old.Images[1].Objects(), 1);
  EXPECT_FALSE(ReadFiguresFile(QByteArray(firstVersion).replace("\"version\": 1", "\"version\": 3"), names).Ok);
}
