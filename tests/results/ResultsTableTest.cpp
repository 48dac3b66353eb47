#include <gtest/gtest.h>

#include "definitions/DefinitionList.h"
#include "results/FileNameSplit.h"
#include "results/ResultsTable.h"

TEST(ResultsTable, InitialTableAndImageRows) {
  TResultsTable t(PathRules::Posix);
  EXPECT_EQ(t.RowCount(), 11);
  EXPECT_EQ(t.ColumnCount(), 4);
  EXPECT_EQ(t.Cell(0, 0), "No.");
  EXPECT_EQ(t.Cell(3, 0), "Dots/cm");
  for (int r = 1; r < 11; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_TRUE(t.Cell(c, r).isEmpty());
  EXPECT_FALSE(t.DataChanged());

  t.AppendImageRows({"/d/a.jpg", "/d/b.jpg", "/e/c.bmp"});
  EXPECT_EQ(t.RowCount(), 4);
  EXPECT_EQ(t.ImageCount, 3);
  EXPECT_TRUE(t.DataChanged());
  t.AppendImageRows({"/x/d.jpg", "/x/e.jpg"});
  EXPECT_EQ(t.RowCount(), 6);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(t.Cell(0, i + 1), QString::number(i + 1));
  EXPECT_EQ(t.Cell(1, 3), "/e");
  EXPECT_EQ(t.Cell(2, 3), "c.bmp");
  EXPECT_EQ(t.ImageFilePath(2), "/e/c.bmp");
  EXPECT_EQ(t.Cell(3, 1), "");
}

TEST(ResultsTable, SetImageCellWritesTheImageRowAndMarksChange) {
  TDefinitionList list;
  TResultsTable t(PathRules::Posix);
  AddDefinition(list, t, "Leaf", mkRectangle, true, false, false, true);
  t.AppendImageRows({"/d/a.jpg", "/d/b.jpg"});
  t.MarkSaved();
  t.SetImageCell(1, list.At(0).FirstCol + 1, "6");
  EXPECT_EQ(t.Cell(5, 2), "6");
  EXPECT_EQ(t.Cell(5, 0), "Leaf_A");
  EXPECT_TRUE(t.DataChanged());
  t.SetImageCell(1, 5, "7");  // a later write replaces the earlier text
  EXPECT_EQ(t.Cell(5, 2), "7");
  // A measurement's values go into consecutive cells; one with no value
  // (a rectangle with no quantity wanted) still counts as a change.
  t.MarkSaved();
  t.SetImageCells(0, 4, {"2", "6"});
  EXPECT_EQ(t.Cell(4, 1) + t.Cell(5, 1), "26");
  t.MarkSaved();
  t.SetImageCells(0, 4, {});
  EXPECT_TRUE(t.DataChanged());
}

TEST(ResultsTable, ShowImageRowTopRow) {
  TResultsTable t(PathRules::Posix);
  QStringList files;
  for (int i = 0; i < 20; ++i) files << QString("/d/%1.jpg").arg(i);
  t.AppendImageRows(files);
  const std::pair<int, int> cases[] = {{0, 1}, {4, 1}, {5, 2}, {6, 3}, {19, 16}};
  for (auto [image, top] : cases) {
    t.ShowImageRow(image);
    EXPECT_EQ(t.CurrentRow(), image + 1);
    EXPECT_EQ(t.RequestedTopRow(), top) << image;
  }
}

TEST(FileNameSplit, BothRuleSets) {
  struct Case {
    PathRules Rules;
    const char *Full, *Path, *Name, *Rejoined;
  };
  const Case cases[] = {
      {PathRules::Windows, "D:\\Photos\\leaf01.jpg", "D:\\Photos", "leaf01.jpg", "D:\\Photos\\leaf01.jpg"},
      {PathRules::Windows, "C:\\leaf.jpg", "C:\\", "leaf.jpg", "C:\\\\leaf.jpg"},
      {PathRules::Windows, "C:leaf.jpg", "C:", "leaf.jpg", "C:\\leaf.jpg"},
      {PathRules::Windows, "\\\\srv\\share\\a.jpg", "\\\\srv\\share", "a.jpg", "\\\\srv\\share\\a.jpg"},
      {PathRules::Windows, "leaf.jpg", "", "leaf.jpg", "\\leaf.jpg"},
      {PathRules::Posix, "/data/12:30.jpg", "/data", "12:30.jpg", "/data/12:30.jpg"},
      {PathRules::Posix, "/leaf.jpg", "/", "leaf.jpg", "//leaf.jpg"},
      {PathRules::Posix, "/a/b\\c.jpg", "/a", "b\\c.jpg", "/a/b\\c.jpg"},
      {PathRules::Posix, "leaf.jpg", "", "leaf.jpg", "/leaf.jpg"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Full);
    SplitName s = SplitFileName(QString::fromLatin1(c.Full), c.Rules);
    EXPECT_EQ(s.Path, QString::fromLatin1(c.Path));
    EXPECT_EQ(s.FileName, QString::fromLatin1(c.Name));
    EXPECT_EQ(JoinFileName(s.Path, s.FileName, c.Rules), QString::fromLatin1(c.Rejoined));
  }
}
