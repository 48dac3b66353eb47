// Damaged definition files met through Load Definitions: each is answered
// with the damaged-file message and leaves the list and the table as they were.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "app/Form1.h"
#include "tests/support/ScriptedPrompter.h"

namespace {

QByteArray RandomBytes(qsizetype n, quint32 seed) {
  QByteArray out(n, '\0');
  QRandomGenerator gen(seed);
  for (char &c : out) c = char(gen.generate() & 0xFF);
  return out;
}

TEST(HostileDefinitionFile, AnsweredWithTheMessageAndNothingChanges) {
  // A count far beyond what the file holds, followed by many sound records:
  // every record is read before the end shows the file is short.
  QByteArray manyRecords = "2147483647\r\n";
  for (int i = 0; i < 20000; ++i) manyRecords += "Name" + QByteArray::number(i) + "\t2\t1\t1\t1\t1\r\n";

  const struct {
    const char *Name;
    QByteArray Bytes;
  } cases[] = {
      {"random.dfn", RandomBytes(1 << 20, 11)},
      {"random-digit-first.dfn", "3\r\n" + RandomBytes(1 << 20, 12)},
      {"ends-in-name.dfn", "2\r\nLine1\t0\t0\t0\t0\t0\r\nRec"},
      {"ends-after-count.dfn", "1\r\n"},
      {"count-max.dfn", "2147483647\r\nA\t0\t0\t0\t0\t0\r\n"},
      {"count-max-many.dfn", manyRecords},
      {"count-beyond-32-bits.dfn", "2147483648\r\nA\t0\t0\t0\t0\t0\r\n"},
      {"empty.dfn", ""},
      {"nul-bytes.dfn", QByteArray(4096, '\0')},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    QTemporaryDir dir;
    ScriptedPrompter prompt;
    TForm1 form(prompt);
    AddDefinition(form.DefinitionList, form.ResultsTable, "Keep", mkRectangle, true, false, false, true);
    const int columns = form.ResultsTable.ColumnCount();
    const QString path = dir.filePath(QString::fromLatin1(c.Name));
    {
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      ASSERT_EQ(f.write(c.Bytes), c.Bytes.size());
    }
    prompt.AnswerFile(path);
    form.Menus().LoadDef1->trigger();
    ASSERT_EQ(prompt.Messages.size(), 1u);
    EXPECT_EQ(prompt.Messages[0], (ScriptedPrompter::Shown{"Cannot read " + path, "File Error"}));
    EXPECT_EQ(prompt.Beeps, 0);
    ASSERT_EQ(form.DefinitionList.Count(), 1);
    EXPECT_EQ(form.DefinitionList.At(0).Name, "Keep");
    EXPECT_EQ(form.ResultsTable.ColumnCount(), columns);
    EXPECT_FALSE(form.ResultsTable.DataChanged());
  }
}

TEST(HostileDefinitionFile, FolderNamedLikeADefinitionFile) {
  QTemporaryDir dir;
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  AddDefinition(form.DefinitionList, form.ResultsTable, "Keep", mkLine, false, false, false, false);
  ASSERT_TRUE(QDir(dir.path()).mkdir("set.dfn"));
  const QString path = dir.filePath("set.dfn");
  prompt.AnswerFile(path);
  form.Menus().LoadDef1->trigger();
  ASSERT_EQ(prompt.Messages.size(), 1u);
  EXPECT_EQ(prompt.Messages[0].Title, "File Error");
  EXPECT_TRUE(prompt.Messages[0].Text.endsWith(path));
  EXPECT_EQ(form.DefinitionList.Count(), 1);
}

}  // namespace
