#include <gtest/gtest.h>

#include "definitions/DefinitionList.h"
#include "results/ResultsTable.h"

namespace {
QStringList Headings(const TResultsTable &t) {
  QStringList out;
  for (int c = 0; c < t.ColumnCount(); ++c) out << t.Cell(c, 0);
  return out;
}

struct Def {
  const char *Name;
  TMeasureKind Kind;
  bool H, W, P, A;
};

void Add(TDefinitionList &list, TResultsTable &table, const Def &d) {
  AddDefinition(list, table, QString::fromLatin1(d.Name), d.Kind, d.H, d.W, d.P, d.A);
}

const QStringList kFixed = {"No.", "Path", "File Name", "Dots/cm"};
}  // namespace

TEST(MeasureType, NewDefinitionHasDefaults) {
  TMeasureType d;
  EXPECT_TRUE(d.Name.isEmpty());
  EXPECT_EQ(d.Kind, mkLine);
  EXPECT_FALSE(d.Height || d.Width || d.Perimeter || d.Area);
  EXPECT_EQ(d.FirstCol, 0);
}

TEST(MeasureType, KindTextsAndUnknownCodes) {
  EXPECT_EQ(MeasureKinds::DisplayName(mkLine), "Line");
  EXPECT_EQ(MeasureKinds::DisplayName(mkAngle), "Angle");
  EXPECT_EQ(MeasureKinds::DisplayName(mkRectangle), "Rectangle");
  EXPECT_EQ(MeasureKinds::DisplayName(TMeasureKind(-1)), "Unknown");
  EXPECT_EQ(MeasureKinds::DisplayName(TMeasureKind(7)), "Unknown");
  EXPECT_EQ(MeasureKinds::NamePrefix(mkAngle), "Angl");
  EXPECT_EQ(MeasureKinds::NamePrefix(mkRectangle), "Rect");
  EXPECT_EQ(MeasureKinds::NamePrefix(TMeasureKind(-128)), "M");
  EXPECT_EQ(MeasureKinds::TypeListItems(), (QStringList{"Straight Line", "Angle", "Rectangle"}));
}

// Each case adds definitions to an empty list and checks the headings and
// every FirstCol; the column rule follows the flags, never the kind.
TEST(DefinitionColumns, AddingGivesColumnsByFlags) {
  struct Case {
    std::vector<Def> Defs;
    QStringList Expected;
    std::vector<int> FirstCols;
  };
  const std::vector<Case> cases = {
      {{{"Line1", mkLine, 0, 0, 0, 0}}, {"Line1"}, {4}},
      {{{"Line1", mkLine, 0, 0, 0, 0}, {"Rect2", mkRectangle, 1, 0, 0, 1}},
       {"Line1", "Rect2_H", "Rect2_A"},
       {4, 5}},
      {{{"R", mkRectangle, 1, 1, 1, 1}}, {"R_H", "R_W", "R_P", "R_A"}, {4}},
      {{{"R", mkRectangle, 0, 0, 1, 0}}, {"R_P"}, {4}},
      {{{"Bare", mkRectangle, 0, 0, 0, 0}, {"Ang", mkAngle, 0, 0, 0, 0}}, {"Bare", "Ang"}, {4, 5}},
      {{{"L", mkLine, 0, 1, 0, 1}}, {"L_W", "L_A"}, {4}},
      {{{"", mkLine, 0, 0, 0, 0}, {"", mkRectangle, 1, 1, 0, 0}}, {"", "_H", "_W"}, {4, 5}},
      {{{"Same", mkLine, 0, 0, 0, 0}, {"Same", mkLine, 0, 0, 0, 0}}, {"Same", "Same"}, {4, 5}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    TDefinitionList list;
    TResultsTable table(PathRules::Posix);
    for (const Def &d : cases[i].Defs) Add(list, table, d);
    EXPECT_EQ(Headings(table), kFixed + cases[i].Expected);
    ASSERT_EQ(list.Count(), int(cases[i].FirstCols.size()));
    for (int p = 0; p < list.Count(); ++p) EXPECT_EQ(list.At(p).FirstCol, cases[i].FirstCols[p]);
    EXPECT_FALSE(table.DataChanged());
  }
}

// A (1 column), B (rectangle, 2 columns), C (1 column); delete each in turn.
TEST(DefinitionColumns, DeletingMovesLaterHeadingsLeft) {
  struct Case {
    int Position;
    QStringList Expected;
    std::vector<int> FirstCols;
  };
  const std::vector<Case> cases = {
      {0, {"B_H", "B_A", "C"}, {4, 6}},
      {1, {"A", "C"}, {4, 5}},
      {2, {"A", "B_H", "B_A"}, {4, 5}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Position);
    TDefinitionList list;
    TResultsTable table(PathRules::Posix);
    Add(list, table, {"A", mkLine, 0, 0, 0, 0});
    Add(list, table, {"B", mkRectangle, 1, 0, 0, 1});
    Add(list, table, {"C", mkAngle, 0, 0, 0, 0});
    ASSERT_EQ(table.ColumnCount(), 8);
    DeleteDefinition(list, table, c.Position);
    EXPECT_EQ(Headings(table), kFixed + c.Expected);
    ASSERT_EQ(list.Count(), 2);
    for (int p = 0; p < 2; ++p) EXPECT_EQ(list.At(p).FirstCol, c.FirstCols[p]);
  }
}

TEST(DefinitionColumns, DeletingByPositionAmongEqualNames) {
  TDefinitionList list;
  TResultsTable table(PathRules::Posix);
  Add(list, table, {"Same", mkLine, 0, 0, 0, 0});
  Add(list, table, {"Same", mkRectangle, 1, 1, 0, 0});
  DeleteDefinition(list, table, 1);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.At(0).Kind, mkLine);
  EXPECT_EQ(Headings(table), kFixed + QStringList{"Same"});
  // Out-of-range positions change nothing.
  DeleteDefinition(list, table, 5);
  DeleteDefinition(list, table, -1);
  EXPECT_EQ(list.Count(), 1);
}

// Definitions deleted and added again in any order leave one heading and one
// cell for every column: a value written into each of a definition's columns
// reads back under that definition's own heading.
TEST(DefinitionColumns, DeletedAndAddedAgainKeepEveryColumn) {
  struct Step {
    int Delete;  // position to delete, or -1 to add `Add`
    Def Add;
  };
  struct Case {
    std::vector<Step> Steps;
    QStringList Expected;
  };
  const Def line1{"Line1", mkLine, 0, 0, 0, 0}, rect2{"Rect2", mkRectangle, 1, 1, 0, 0};
  const Def stem{"Stem", mkLine, 0, 0, 0, 0}, leaf{"Leaf", mkRectangle, 1, 0, 0, 1};
  const std::vector<Case> cases = {
      {{{-1, line1}, {-1, rect2}, {1, {}}, {-1, rect2}}, {"Line1", "Rect2_H", "Rect2_W"}},
      {{{-1, stem}, {-1, leaf}, {0, {}}, {0, {}}, {-1, stem}, {-1, rect2}}, {"Stem", "Rect2_H", "Rect2_W"}},
      {{{-1, rect2}, {-1, leaf}, {0, {}}, {-1, line1}, {-1, rect2}},
       {"Leaf_H", "Leaf_A", "Line1", "Rect2_H", "Rect2_W"}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    TDefinitionList list;
    TResultsTable table(PathRules::Posix);
    for (const Step &s : cases[i].Steps) {
      if (s.Delete < 0)
        Add(list, table, s.Add);
      else
        DeleteDefinition(list, table, s.Delete);
    }
    EXPECT_EQ(Headings(table), kFixed + cases[i].Expected);
    table.AppendImageRows({"/d/a.jpg"});
    for (int p = 0; p < list.Count(); ++p) {
      QStringList values;
      for (int k = 0; k < ColumnCount(list.At(p)); ++k) values << QString("%1.%2").arg(p).arg(k);
      table.SetImageCells(0, list.At(p).FirstCol, values);
    }
    QStringList byHeading;
    for (int c = TResultsTable::kFixedColumns; c < table.ColumnCount(); ++c)
      byHeading << table.Cell(c, 0) + "=" + table.Cell(c, 1);
    QStringList expected;
    for (int p = 0, c = 0; p < list.Count(); ++p)
      for (int k = 0; k < ColumnCount(list.At(p)); ++k, ++c)
        expected << cases[i].Expected.at(c) + QString("=%1.%2").arg(p).arg(k);
    EXPECT_EQ(byHeading, expected);
  }
}
