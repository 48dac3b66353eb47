#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "app/Form1.h"
#include "definitions/DefinitionFile.h"
#include "definitions/DefinitionList.h"
#include "tests/support/ScriptedPrompter.h"
#include "tests/support/TestFiles.h"

namespace {
const QByteArray kWorkedExample = QByteArray::fromHex(
    "320D0A4C696E6531093009300930093009300D0A"
    "5265637432093209310930093009310D0A");

QStringList Headings(const TResultsTable &t) {
  QStringList out;
  for (int c = 4; c < t.ColumnCount(); ++c) out << t.Cell(c, 0);
  return out;
}

}  // namespace

TEST(DefinitionFile, WriterBytes) {
  TDefinitionList list;
  TResultsTable table(PathRules::Posix);
  AddDefinition(list, table, "Line1", mkLine, false, false, false, false);
  AddDefinition(list, table, "Rect2", mkRectangle, true, false, false, true);
  ASSERT_EQ(kWorkedExample.size(), 37);
  EXPECT_EQ(DefinitionFileBytes(list), kWorkedExample);

  TDefinitionList other;
  AddDefinition(other, table, "", TMeasureKind(-1), false, false, false, false);
  AddDefinition(other, table, "leaf length", mkRectangle, true, true, true, true);
  EXPECT_EQ(DefinitionFileBytes(other), QByteArray("2\r\n\t-1\t0\t0\t0\t0\r\nleaf length\t2\t1\t1\t1\t1\r\n"));
}

// Lenient reading: each input gives these definitions (name, kind, flags).
TEST(DefinitionFile, ReaderAcceptsWhatItShould) {
  struct Case {
    const char *Label;
    QByteArray Bytes;
    std::vector<std::tuple<QString, int, int>> Expected;  // name, kind, flag bits HWPA
  };
  const std::vector<Case> cases = {
      {"worked example", kWorkedExample, {{"Line1", 0, 0}, {"Rect2", 2, 0b1001}}},
      {"LF only", "2\nLine1\t0\t0\t0\t0\t0\nRect2\t2\t1\t0\t0\t1\n", {{"Line1", 0, 0}, {"Rect2", 2, 0b1001}}},
      {"blanks for tabs", "1\nA\t 2 1  0 0\n 1\n", {{"A", 2, 0b1001}}},
      {"flag 2, kind 258", "1\r\nX\t258\t2\t0\t0\t0\r\n", {{"X", 2, 0b1000}}},
      {"kind -1 and 255", "2\nA\t-1\t0\t0\t0\t0\nB\t255\t0\t0\t0\t0\n", {{"A", -1, 0}, {"B", -1, 0}}},
      {"count 0", "0\r\nA\t0\t0\t0\t0\t0\r\n", {}},
      {"negative count", "-3\r\n", {}},
      {"extra lines", "1\nA\t0\t0\t0\t0\t0\nB\t0\t0\t0\t0\t0\ngarbage", {{"A", 0, 0}}},
      {"leading blanks", "1\n  spaced name\t1\t0\t0\t0\t0\n", {{"  spaced name", 1, 0}}},
      {"LF inside name", "1\nab\ncd\t0\t0\t0\t0\t0\n", {{"abcd", 0, 0}}},
      {"empty name", "1\r\n\t0\t0\t0\t0\t0\r\n", {{"", 0, 0}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Label);
    DefinitionFileContents r = ReadDefinitionFile(c.Bytes);
    ASSERT_TRUE(r.Ok);
    ASSERT_EQ(r.Definitions.size(), c.Expected.size());
    for (size_t i = 0; i < c.Expected.size(); ++i) {
      const TMeasureType &d = r.Definitions[i];
      EXPECT_EQ(d.Name, std::get<0>(c.Expected[i]));
      EXPECT_EQ(int(d.Kind), std::get<1>(c.Expected[i]));
      int bits = (d.Height << 3) | (d.Width << 2) | (d.Perimeter << 1) | int(d.Area);
      EXPECT_EQ(bits, std::get<2>(c.Expected[i]));
    }
  }
}

TEST(DefinitionFile, DamagedFilesGiveNothing) {
  QByteArray random(1 << 20, '\0');
  QRandomGenerator gen(7);
  for (char &c : random) c = char(gen.generate() & 0xFF);
  const std::pair<const char *, QByteArray> cases[] = {
      {"empty", ""},
      {"ends early", "2\nLine1\t0\t0\t0\t0\t0\nRect2\t2\t1"},
      {"fewer records", "3\nA\t0\t0\t0\t0\t0\n"},
      {"not a number", "1\nA\tx\t0\t0\t0\t0\n"},
      {"ends inside a name", "1\nno tab here"},
      {"beyond 32 bits", "1\nA\t4294967296\t0\t0\t0\t0\n"},
      {"huge count", "2147483647"},
      {"name with a TAB", "1\na\tb\t0\t0\t0\t0\t0\n"},
      {"random bytes", random},
  };
  for (const auto &[label, bytes] : cases) {
    SCOPED_TRACE(label);
    DefinitionFileContents r = ReadDefinitionFile(bytes);
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Definitions.empty());
  }
}

TEST(DefinitionCommands, SaveAndLoadThroughTheWindow) {
  QTemporaryDir dir;
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  form.Menus().SaveDef1->trigger();  // nothing to save
  EXPECT_EQ(prompt.Beeps, 1);

  AddDefinition(form.DefinitionList, form.ResultsTable, "One", mkLine, false, false, false, false);
  const QString path = dir.filePath("set.dfn");
  WriteBytes(path, QByteArray(200, 'x'));  // a longer old file is replaced whole
  prompt.AnswerFile(path);
  form.Menus().SaveDef1->trigger();
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(saved.readAll(), QByteArray("1\r\nOne\t0\t0\t0\t0\t0\r\n"));

  // Loading appends after what is there: columns 5, 6, 7 and count 8.
  WriteBytes(path, kWorkedExample);
  prompt.AnswerFile(path);
  form.Menus().LoadDef1->trigger();
  EXPECT_EQ(Headings(form.ResultsTable), (QStringList{"One", "Line1", "Rect2_H", "Rect2_A"}));
  EXPECT_EQ(form.ResultsTable.ColumnCount(), 8);
  EXPECT_EQ(form.DefinitionList.At(2).FirstCol, 6);
  EXPECT_FALSE(form.ResultsTable.DataChanged());
  EXPECT_TRUE(prompt.Messages.empty());

  // A damaged file or a missing one changes nothing and says so.
  const QString damaged = dir.filePath("bad.dfn");
  WriteBytes(damaged, "2147483647\nA\t0");
  prompt.AnswerFile(damaged);
  form.Menus().LoadDef1->trigger();
  const QString missing = dir.filePath("none.dfn");
  prompt.AnswerFile(missing);
  form.Menus().LoadDef1->trigger();
  prompt.CancelFile();
  form.Menus().LoadDef1->trigger();
  ASSERT_EQ(prompt.Messages.size(), 2u);
  EXPECT_EQ(prompt.Messages[0], (ScriptedPrompter::Shown{"Cannot read " + damaged, "File Error"}));
  EXPECT_EQ(prompt.Messages[1], (ScriptedPrompter::Shown{"Cannot open " + missing, "File Error"}));
  EXPECT_EQ(form.DefinitionList.Count(), 3);
  EXPECT_EQ(form.ResultsTable.ColumnCount(), 8);

  // Saving into a folder that does not exist reports it.
  const QString nowhere = dir.filePath("no/such.dfn");
  prompt.AnswerFile(nowhere);
  form.Menus().SaveDef1->trigger();
  EXPECT_EQ(prompt.Messages.back(), (ScriptedPrompter::Shown{"Cannot open " + nowhere, "File Error"}));
}
