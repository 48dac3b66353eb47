// The measuring session on its own, with a host of the test's in place of
// the main window: what it asks, writes and records for each step.
#include <gtest/gtest.h>

#include <deque>

#include "common/Prompter.h"
#include "measuring/MeasureSession.h"
#include "measuring/Overlay.h"
#include "results/ResultsTable.h"

namespace {
struct Host : TMeasureHost {
  TResultsTable Table;
  TRecord Record;
  std::deque<int> Answers;  // to the pop-up and the scale dialog, in turn
  int KnownCm = 10;         // typed into the scale dialog
  std::vector<QString> Asked;
  bool Yes = true;
  int Beeps = 0;
  double ZoomFactor = 2.0;
  bool Shown = true;

  Host() {
    TRecordEntry images;
    images.Kind = TRecordEntry::Images;
    images.Files = {"/p/a.jpg"};
    Table.AppendImageRows(images.Files);
    Record.Apply(images);
  }
  int Next() {
    if (Answers.empty()) return mrCancel;
    const int a = Answers.front();
    Answers.pop_front();
    return a;
  }
  void Beep() override { ++Beeps; }
  int AskOkRetry(QPoint) override { return Next(); }
  int AskScale(int dots, int &knownCm, double &dotsPerCm) override {
    knownCm = KnownCm;
    dotsPerCm = double(dots) / KnownCm;
    return Next();
  }
  bool AskYes(const QString &question) override {
    Asked.push_back(question);
    return Yes;
  }
  bool PictureShown() const override { return Shown; }
  int Image() const override { return 0; }
  QString Cell(int column) const { return Table.Cell(column, 1); }
  std::vector<QStringList> Rows(int image) const override { return Table.ImageRows(image); }
  void SetRows(int image, const std::vector<QStringList> &rows) override { Table.SetImageRows(image, rows); }
  void WriteCells(int object, int column, const QStringList &texts) override {
    if (object > Table.ObjectCount(0)) Table.AddObject(0);
    Table.SetObjectCells(0, object, column, texts);
  }
  QChar Decimal() const override { return u'.'; }
  const TRecordedImage *Recorded(int image) const override { return Record.Image(image); }
  void Remember(const std::vector<TRecordEntry> &entries) override {
    for (const TRecordEntry &e : entries) Record.Apply(e);
  }
  double Zoom() const override { return ZoomFactor; }
  void EraseOverlay() override {}
  void ResetOverlay() override {}
  void DrawRecord() override {}
  void ShowAids(QPoint) override {}
  void HideAids() override {}
};

void Drag(TMeasureSession &s, QPoint from, QPoint to) {
  s.Press(from);
  s.Move((from + to) / 2);
  s.Move(to);
  s.Release(to);
}
}  // namespace

// A whole image at 200 %: the scale, a line (Retry, then OK), an angle whose
// second-arm press is ignored, a definition of no known kind skipped, and a
// rectangle; each value in its cells, each figure recorded with its points
// in image pixels. Then a new scale computes the row's values again.
TEST(MeasureSession, StepsWriteAndRecordEachFigure) {
  Host host;
  TDefinitionList defs;
  AddDefinition(defs, host.Table, "L", mkLine, false, false, false, false);
  AddDefinition(defs, host.Table, "A", mkAngle, false, false, false, false);
  AddDefinition(defs, host.Table, "", TMeasureKind(7), false, false, false, false);
  AddDefinition(defs, host.Table, "R", mkRectangle, true, true, false, true);
  TOverlay overlay;
  TMeasureSession session(host, overlay, defs);

  // Nothing armed: a drag draws and writes nothing.
  Drag(session, {10, 10}, {90, 10});
  EXPECT_TRUE(overlay.DisplayList().empty());
  ASSERT_TRUE(session.ArmScale());
  host.Answers = {mrOk};
  Drag(session, {0, 0}, {200, 0});  // 100 dots over 10 cm
  EXPECT_EQ(host.Cell(3), "10");
  EXPECT_TRUE(session.MeasureArmed() && !session.ScaleArmed());

  host.Answers = {mrRetry, mrOk};
  Drag(session, {20, 20}, {120, 20});
  EXPECT_EQ(host.Cell(4), "");
  Drag(session, {20, 20}, {120, 20});  // 50 dots
  EXPECT_EQ(host.Cell(4), "5");

  Drag(session, {100, 100}, {200, 100});  // the first arm
  session.Move({100, 10});
  session.Press({5, 5});  // ignored: the second arm follows the pointer
  host.Answers = {mrOk};
  session.Release({100, 20});
  EXPECT_EQ(host.Cell(5), "90");
  EXPECT_EQ(session.Step(), 3);  // the unknown kind skipped

  host.Answers = {mrOk};
  Drag(session, {60, 60}, {0, 20});  // 30 x 20 dots
  EXPECT_EQ(QStringList({host.Cell(7), host.Cell(8), host.Cell(9)}), (QStringList{"2", "3", "6"}));
  EXPECT_FALSE(session.MeasureArmed());

  const TRecordedImage &image = *host.Record.Image(0);
  ASSERT_EQ(image.Figures.size(), 3u);
  EXPECT_EQ(image.Scale->P2, QPointF(100, 0));
  EXPECT_EQ(image.Figures[1].Points, (std::vector<QPointF>{{50, 50}, {50, 10}, {100, 50}}));
  EXPECT_EQ(image.Figures[2].Units, (QStringList{"cm", "cm", "cm\u00b2"}));

  // A new scale: 100 dots over 5 cm. The line and the rectangle are computed
  // again; the angle stays; nothing is asked.
  ASSERT_TRUE(session.ArmScale());
  host.KnownCm = 5;
  host.Answers = {mrOk};
  Drag(session, {0, 0}, {200, 0});
  EXPECT_EQ(QStringList({host.Cell(3), host.Cell(4), host.Cell(5), host.Cell(7), host.Cell(8), host.Cell(9)}),
            (QStringList{"20", "2.5", "90", "1", "1.5", "1.5"}));
  EXPECT_TRUE(host.Asked.empty());
  EXPECT_EQ(host.Beeps, 0);

  // With the picture of another row on screen, nothing is measured.
  host.Shown = false;
  session.Press({1, 1});
  EXPECT_EQ(host.Beeps, 1);
  EXPECT_FALSE(session.ArmScale());
}

// Objects one after another on one image, each a row of its own, and every
// confirmed scale and figure taken back and done again: the rows, the
// record and the step due return each time to what they were, an object
// whose first figure is undone goes with its row, and deleting an object
// numbers the ones after it one less (and can itself be undone).
TEST(MeasureSession, ObjectsUndoRedoAndDelete) {
  Host host;
  TDefinitionList defs;
  AddDefinition(defs, host.Table, "L", mkLine, false, false, false, false);
  AddDefinition(defs, host.Table, "W", mkLine, false, false, false, false);
  TOverlay overlay;
  TMeasureSession session(host, overlay, defs);
  host.ZoomFactor = 1;
  EXPECT_FALSE(session.NextObject());  // no scale yet
  ASSERT_TRUE(session.ArmScale());
  host.Answers = {mrOk};
  Drag(session, {0, 0}, {100, 0});  // 10 dots/cm
  // Three objects of two lines each: object k's lines are k and k + 10 cm.
  for (int k = 1; k <= 3; ++k) {
    if (k > 1) ASSERT_TRUE(session.NextObject());
    EXPECT_EQ(session.Object(), k);
    host.Answers = {mrOk, mrOk};
    Drag(session, {0, 10}, {10 * k, 10});
    Drag(session, {0, 20}, {10 * k + 100, 20});
  }
  const auto values = [&] {
    QStringList out;
    for (const QStringList &row : host.Table.ImageRows(0)) out << row.mid(4).join(u'/');
    return out;
  };
  ASSERT_EQ(values(), (QStringList{"1/11", "2/12", "3/13"}));
  EXPECT_EQ(host.Record.Image(0)->Figures.size(), 6u);

  // Undo the third object's second line, then its first: the row goes.
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(values(), (QStringList{"1/11", "2/12", "3/"}));
  EXPECT_TRUE(session.MeasureArmed());
  EXPECT_EQ(session.Step(), 1);
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(values(), (QStringList{"1/11", "2/12"}));
  EXPECT_EQ(session.Object(), 3);
  EXPECT_EQ(session.Step(), 0);
  EXPECT_EQ(host.Record.Image(0)->Figures.size(), 4u);
  ASSERT_TRUE(session.Redo());
  ASSERT_TRUE(session.Redo());
  EXPECT_FALSE(session.Redo());
  EXPECT_EQ(values(), (QStringList{"1/11", "2/12", "3/13"}));
  EXPECT_EQ(host.Record.Image(0)->Figures.size(), 6u);
  // Doing something new forgets what could be done again.
  ASSERT_TRUE(session.Undo());
  host.Answers = {mrOk};
  Drag(session, {0, 20}, {150, 20});
  EXPECT_FALSE(session.Redo());
  EXPECT_EQ(values(), (QStringList{"1/11", "2/12", "3/15"}));

  // Deleting object 2: object 3 becomes 2, its figures with it.
  session.DeleteObject(0, 2);
  EXPECT_EQ(values(), (QStringList{"1/11", "3/15"}));
  const TRecordedImage &image = *host.Record.Image(0);
  ASSERT_EQ(image.Figures.size(), 4u);
  EXPECT_EQ(image.Figures[2].Object, 2);
  EXPECT_EQ(image.Figures[3].Cells, QStringList{"15"});
  ASSERT_TRUE(session.Undo());
  EXPECT_EQ(values(), (QStringList{"1/11", "2/12", "3/15"}));
  // Back to before the scale: no values, the scale step due again.
  while (session.Undo()) {
  }
  EXPECT_EQ(values(), (QStringList{"/"}));
  EXPECT_TRUE(session.ScaleArmed());
  EXPECT_FALSE(host.Record.Image(0)->Scale);
  EXPECT_EQ(host.Beeps, 4);  // Next Object before the scale, two Redos and an Undo with nothing left
}
