// Many objects on one image: their rows in the table, below their image's
// own; the "Object" column as the grid shows it and the file holds it; and
// the file read back.
#include <gtest/gtest.h>

#include <QTableView>

#include "definitions/DefinitionList.h"
#include "results/ResultsFileReader.h"
#include "results/ResultsFileWriter.h"
#include "results/ResultsGridModel.h"
#include "results/ResultsTable.h"

namespace {
QStringList ShownRow(const TResultsTable &t, int row) {
  QStringList cells;
  for (int c = 0; c < t.ShownColumnCount(); ++c) cells << t.ShownCell(c, row);
  return cells;
}
}  // namespace

// Objects are rows below their image's own, sharing its No., Path, File
// Name and Dots/cm; the "Object" column appears with the first second object
// and goes with the last; deleting an object renumbers those after it; the
// grid follows every change; a table of one object an image is written
// exactly as before.
TEST(Objects, RowsBelowTheirImageAndTheObjectColumn) {
  TDefinitionList defs;
  TResultsTable t(PathRules::Posix);
  AddDefinition(defs, t, "L", mkLine, false, false, false, false);
  TResultsGridModel model(t);
  QTableView grid;
  model.AttachView(&grid);
  t.AppendImageRows({"/d/a.jpg", "/d/b.jpg"});
  t.SetImageCell(0, TResultsTable::colDotsPerCm, "12");
  const QByteArray one = "No.\tPath\tFile Name\tDots/cm\tL\r\n1\t/d\ta.jpg\t12\t\r\n2\t/d\tb.jpg\t\t\r\n";
  EXPECT_EQ(ResultsFileBytes(t, '\t'), one);

  EXPECT_EQ(t.AddObject(0), 2);
  EXPECT_EQ(t.AddObject(0), 3);
  t.SetObjectCells(0, 2, 4, {"2.5"});
  t.SetObjectCells(0, 3, 4, {"3.5"});
  t.SetImageCell(0, TResultsTable::colDotsPerCm, "20");  // every row of the image says its scale
  ASSERT_EQ(t.RowCount(), 5);
  EXPECT_EQ(t.RowOf(1), 4);
  EXPECT_EQ(t.ImageOfRow(3), 0);
  EXPECT_EQ(t.ObjectOfRow(3), 3);
  EXPECT_EQ(ShownRow(t, 0), (QStringList{"No.", "Path", "File Name", "Object", "Dots/cm", "L"}));
  EXPECT_EQ(ShownRow(t, 3), (QStringList{"1", "/d", "a.jpg", "3", "20", "3.5"}));
  EXPECT_EQ(ShownRow(t, 4), (QStringList{"2", "/d", "b.jpg", "1", "", ""}));
  EXPECT_EQ(ResultsFileBytes(t, ','), "No.,Path,File Name,Object,Dots/cm,L\r\n1,/d,a.jpg,1,20,\r\n"
                                      "1,/d,a.jpg,2,20,2.5\r\n1,/d,a.jpg,3,20,3.5\r\n2,/d,b.jpg,1,,\r\n");
  EXPECT_EQ(model.rowCount(), 4);
  EXPECT_EQ(model.columnCount(), 5);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Object");
  EXPECT_EQ(model.data(model.index(2, 4), Qt::DisplayRole).toString(), "3.5");

  t.RemoveObject(0, 2);
  EXPECT_EQ(ShownRow(t, 2), (QStringList{"1", "/d", "a.jpg", "2", "20", "3.5"}));
  t.SetImageRows(0, {t.ImageRows(0).front()});  // back to one object: the column goes
  EXPECT_FALSE(t.HasObjects());
  EXPECT_EQ(model.columnCount(), 4);
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(ResultsFileBytes(t, '\t'), QByteArray(one).replace("\t12\t", "\t20\t"));
}

// A file with an "Object" column is read back with each row's object; one
// whose object rows are out of order, or name another image than the row
// above, is refused at that line.
TEST(Objects, ResultsFileReadBackWithItsObjects) {
  const QStringList headings{"No.", "Path", "File Name", "Dots/cm", "L"};
  const QByteArray head = "No.\tPath\tFile Name\tObject\tDots/cm\tL\r\n";
  const ResultsFileContents read =
      ReadResultsFile(head + "1\t/d\ta.jpg\t1\t20\t1\r\n1\t/d\ta.jpg\t2\t20\t2\r\n2\t/d\tb.jpg\t1\t\t\r\n", headings);
  ASSERT_TRUE(read.Ok) << read.Problem.toStdString();
  EXPECT_EQ(read.Objects, (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(read.Images, 2);
  EXPECT_EQ(read.Rows[1], (QStringList{"1", "/d", "a.jpg", "20", "2"}));
  TResultsTable t(PathRules::Posix);
  t.InsertColumns(4, 1);
  t.SetHeading(4, "L");
  t.AppendSavedRows(read.Rows, read.Objects);
  EXPECT_EQ(t.ImageCount, 2);
  EXPECT_EQ(t.ObjectCount(0), 2);
  EXPECT_EQ(ResultsFileBytes(t, '\t'),
            head + "1\t/d\ta.jpg\t1\t20\t1\r\n1\t/d\ta.jpg\t2\t20\t2\r\n2\t/d\tb.jpg\t1\t\t\r\n");

  const struct {
    const char *Rows;
    int Line;
    const char *Problem;
  } refused[] = {
      {"1\t/d\ta.jpg\t1\t\t\r\n1\t/d\ta.jpg\t3\t\t\r\n", 3, "has \"3\" under \"Object\" where 1 or 2 belongs"},
      {"1\t/d\ta.jpg\t2\t\t\r\n", 2, "has \"2\" under \"Object\" where 1 or 1 belongs"},
      {"1\t/d\ta.jpg\t1\t\t\r\n1\t/d\tc.jpg\t2\t\t\r\n", 3,
       "has \"c.jpg\" under \"File Name\" where its image's row above has \"a.jpg\""},
      {"1\t/d\ta.jpg\t1\t\t\r\n2\t/d\ta.jpg\t2\t\t\r\n", 3, "has \"2\" under \"No.\" where its image's row above has \"1\""},
      {"1\t/d\ta.jpg\tone\t\t\r\n", 2, "has \"one\" under \"Object\" where 1 or 1 belongs"},
  };
  for (const auto &r : refused) {
    SCOPED_TRACE(r.Rows);
    const ResultsFileContents c = ReadResultsFile(head + r.Rows, headings);
    EXPECT_FALSE(c.Ok);
    EXPECT_EQ(c.BadLine, r.Line);
    EXPECT_EQ(c.Problem, r.Problem);
  }
}
