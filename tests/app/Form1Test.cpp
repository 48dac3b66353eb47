#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QStatusBar>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>

#include "app/AboutBox.h"
#include "app/Form1.h"
#include "images/ImageView.h"
#include "app/ScaliperApplication.h"
#include "app/ScaliperIcon.h"
#include "common/ErrorReport.h"
#include "definitions/DefinitionList.h"
#include "measuring/Overlay.h"
#include "tests/support/ScriptedPrompter.h"

namespace {
QStringList Captions(const QMenu *menu) {
  QStringList out;
  for (QAction *a : menu->actions()) out << (a->isSeparator() ? QString("-") : a->text());
  return out;
}
}  // namespace

TEST(Form1, CreationState) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  EXPECT_EQ(form.windowTitle(), "SCALIPER (Measuring Tape)");
  EXPECT_EQ(form.CurrentImage(), -1);
  EXPECT_EQ(form.Pane().Zoom(), 1.0);
  EXPECT_EQ(form.Session().KnownLengthCm(), 10);
  EXPECT_FALSE(form.RunStarted() || form.Session().ScaleArmed() || form.Session().MeasureArmed() || form.Session().Drawing());
  EXPECT_EQ(form.Session().Step(), 0);
  EXPECT_EQ(form.Session().DotsPerCm(), 0.0);
  EXPECT_TRUE(form.DefinitionList.IsEmpty());
  EXPECT_TRUE(form.ImageBitmap().isNull());
  EXPECT_FALSE(form.ResultsTable.DataChanged());
  EXPECT_EQ(form.ResultsTable.ImageCount, 0);
  EXPECT_TRUE(form.Steps().lbMeasureNo->text().isEmpty());
  EXPECT_TRUE(form.Steps().lbMeasureName->text().isEmpty());
  EXPECT_TRUE(form.Steps().lbMeasureType->text().isEmpty());
  EXPECT_EQ(form.Pane().View()->size(), QSize(317, 349));
  EXPECT_EQ(form.Pane().Overlay()->size(), QSize(217, 201));
  EXPECT_TRUE(form.Pane().Overlay()->isHidden());
  EXPECT_EQ(form.Steps().pnScale->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(form.Choosers().SaveDialog1.FilterIndex, 1);
  EXPECT_TRUE(form.Choosers().SaveDialog1.FileName.isEmpty());
  EXPECT_EQ(form.Choosers().OpenDialog1.FilterIndex, 2);
}

TEST(Form1, ToolBarAndMenus) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  struct B {
    QToolButton *Button;
    const char *Caption;
    int Left, Width;
  };
  const B buttons[] = {{form.Tools().btOpenImages, "Open Images", 0, 121}, {form.Tools().btNext, "Start", 121, 80},
                       {form.Tools().btMeasure, "Measure", 201, 80},      {form.Tools().btBack, "Back", 281, 80},
                       {form.Tools().bbSave, "Save", 454, 83}, {form.Tools().btNextObject, "Next Object", 537, 110}};
  for (const B &b : buttons) {
    EXPECT_EQ(b.Button->text(), b.Caption);
    EXPECT_EQ(b.Button->x(), b.Left) << b.Caption;
    EXPECT_EQ(b.Button->width(), b.Width) << b.Caption;
    EXPECT_FALSE(b.Button->icon().isNull());
  }
  EXPECT_EQ(form.Tools().ComboBox1->x(), 361);
  EXPECT_EQ(form.Tools().ComboBox1->width(), 93);
  EXPECT_EQ(form.Tools().ComboBox1->currentText(), "100%");
  EXPECT_EQ(form.Tools().ComboBox1->count(), 7);
  EXPECT_EQ(form.Tools().btOpenImages->nextInFocusChain(), form.Tools().btNext);

  QStringList top;
  for (QAction *a : form.menuBar()->actions()) top << a->text();
  EXPECT_EQ(top, (QStringList{"&Files", "&Define Measurements", "&About"}));
  EXPECT_EQ(Captions(form.Menus().Files1),
            (QStringList{"Open &Images", "&Continue Results\u2026", "-", "&Save Data", "Save Data &as",
                         "&Export Annotated Images\u2026", "-", "E&xit"}));
  EXPECT_EQ(Captions(form.Menus().Define1), (QStringList{"&Add Definition", "&Delete Definition", "-",
                                                 "&Save Definitions", "&Load Definitions"}));
  EXPECT_EQ(Captions(form.Menus().Help1), (QStringList{"&About SCALIPER"}));
  EXPECT_EQ(Captions(form.Menus().PopupMenu1),
            (QStringList{"Start", "Measure", "Back", "-", "Next Object", "Undo", "Redo"}));
}

TEST(Form1, GridShowsTheTableThroughHeaders) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  QTableView *grid = form.Grid();
  // The table starts 127 pixels high; the boundary above it can be dragged.
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(grid->height(), 127);
  QAbstractItemModel *m = grid->model();
  EXPECT_EQ(m->rowCount(), 10);
  EXPECT_EQ(m->columnCount(), 3);
  EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), "Path");
  EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), "Dots/cm");
  EXPECT_EQ(grid->verticalHeader()->width(), 100);
  EXPECT_EQ(grid->horizontalHeader()->sectionSize(0), 204);
  EXPECT_EQ(grid->horizontalHeader()->sectionSize(1), 173);
  EXPECT_EQ(grid->verticalHeader()->sectionSize(0), 20);

  AddDefinition(form.DefinitionList, form.ResultsTable, "Leaf", mkRectangle, true, true, false, false);
  EXPECT_EQ(m->columnCount(), 5);
  EXPECT_EQ(m->headerData(4, Qt::Horizontal).toString(), "Leaf_W");
  EXPECT_EQ(grid->horizontalHeader()->sectionSize(4), 100);

  QStringList files;
  for (int i = 0; i < 12; ++i) files << QString("/photos/p%1.jpg").arg(i);
  form.ResultsTable.AppendImageRows(files);
  EXPECT_EQ(m->rowCount(), 12);
  EXPECT_EQ(m->headerData(11, Qt::Vertical).toString(), "12");
  EXPECT_EQ(m->data(m->index(11, 1)).toString(), "p11.jpg");

  form.ResultsTable.ShowImageRow(8);
  QModelIndexList sel = grid->selectionModel()->selectedIndexes();
  ASSERT_EQ(sel.size(), 2);
  for (const QModelIndex &i : sel) {
    EXPECT_EQ(i.row(), 8);
    EXPECT_TRUE(i.column() == 0 || i.column() == 1);
  }
  // The row shown is in sight whatever the grid's height: with room for it
  // the top data row is 5 (image 8 - 3); with four rows in sight, as at
  // first, the grid scrolls on as far as the row needs.
  const auto inSight = [&](int row) {
    return grid->viewport()->rect().contains(grid->visualRect(m->index(row, 1)));
  };
  for (int image : {8, 11, 0, 6, 2}) {
    form.ResultsTable.ShowImageRow(image);
    EXPECT_TRUE(inSight(image)) << image;
  }
  form.Frame().Splitter2->setSizes({100, 300});
  EXPECT_GT(grid->height(), 127);
  form.ResultsTable.ShowImageRow(8);
  EXPECT_EQ(grid->verticalScrollBar()->value(), qMin(4, grid->verticalScrollBar()->maximum()));
  EXPECT_TRUE(inSight(8));
  // The user cannot type into the grid.
  EXPECT_FALSE(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
}

TEST(Form1, AboutBoxOpensFromItsMenuItem) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  QString product, version;
  QSize size;
  bool isDefault = false;
  QImage icon;
  prompt.Dialogs.push_back([&](QDialog &d) {
    auto &box = dynamic_cast<TAboutBox &>(d);
    icon = box.ProgramIcon->pixmap().toImage();
    product = box.ProductName->text();
    version = box.Version->text();
    size = box.size();
    isDefault = box.OKButton->isDefault();
    box.OKButton->click();
    return box.result();
  });
  form.Menus().AboutScaliper1->trigger();
  EXPECT_EQ(prompt.DialogsRun, (std::vector<QString>{"About SCALIPER"}));
  EXPECT_EQ(product, "SCALIPER (Measuring Tape)");
  EXPECT_EQ(version, "v. 1.1.0");
  EXPECT_EQ(size, QSize(298, 213));
  EXPECT_TRUE(isDefault);
  // The program's own icon, in every size the program carries, is the
  // window's icon and the About box's picture.
  EXPECT_EQ(ScaliperIcon().availableSizes().size(), 7);
  EXPECT_EQ(form.windowIcon().availableSizes(), ScaliperIcon().availableSizes());
  EXPECT_EQ(icon, ScaliperIcon().pixmap(33, 33).toImage());
}

// The window starts at its fixed rectangle when the screen has room for it,
// and inside the screen's available area, with room for the frame, when not.
// Run on X servers of both sizes as well as offscreen.
TEST(Form1, StartsInsideTheScreen) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const QRect area = form.screen()->availableGeometry();
  const QRect wanted(236, 159, 884, 640);
  if (area.adjusted(8, 40, -8, -8).contains(wanted))
    EXPECT_EQ(form.geometry(), wanted);
  else
    EXPECT_TRUE(area.contains(form.geometry())) << area.width() << "x" << area.height();
  EXPECT_TRUE(area.contains(form.frameGeometry()));
}

// Drawn details: the grid's "No." heading in the text colour of the other
// headings, not greyed out; the About box's panel with a lowered outer and a
// raised inner bevel.
TEST(Form1, CornerHeadingAndAboutBevel) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  form.show();
  auto *corner = form.Grid()->findChild<QAbstractButton *>();
  ASSERT_TRUE(corner);
  const QImage heading = corner->grab().toImage();
  int darkest = 255;
  for (int y = 0; y < heading.height(); ++y)
    for (int x = 0; x < heading.width(); ++x) darkest = qMin(darkest, qGray(heading.pixel(x, y)));
  EXPECT_LT(darkest, qGray(form.palette().color(QPalette::Disabled, QPalette::ButtonText).rgb()) - 60);

  TAboutBox box(&form);
  const QImage panel = box.Panel1->grab().toImage();
  const int w = panel.width(), h = panel.height();
  const auto grey = [&](int x, int y) { return qGray(panel.pixel(x, y)); };
  EXPECT_LT(grey(0, 0), grey(1, 1));              // top-left: dark outside, light inside
  EXPECT_GT(grey(w - 1, h - 1), grey(w - 2, h - 2));  // bottom-right: light outside, dark inside
}

// A command runs inside an event; whatever escapes it is reported by the
// application object and the next event is handled as usual.
TEST(Form1, ErrorsEscapingACommandAreReportedAndTheProgramGoesOn) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  auto &app = static_cast<TScaliperApplication &>(*qApp);
  app.SetPrompter(&prompt);
  int after = 0;
  QTimer::singleShot(0, &form, [] { throw std::runtime_error("'x' is not a valid integer value"); });
  QTimer::singleShot(0, &form, [] { throw 42; });
  QTimer::singleShot(0, &form, [&] { ++after; });
  QTest::qWait(50);
  app.SetPrompter(nullptr);
  EXPECT_EQ(prompt.Errors, (std::vector<QString>{"'x' is not a valid integer value", ""}));
  EXPECT_EQ(after, 1);
}

// The status bar shows its texts whole, underscores and descenders included,
// with the window's own font and larger ones. Run on X servers, at several
// scale factors, as well as offscreen.
TEST(Form1, StatusBarTextIsWhole) {
  ScriptedPrompter prompt;
  TForm1 form(prompt);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  for (int pixels : {12, 16, 24}) {
    SCOPED_TRACE(pixels);
    QFont font = form.font();
    font.setPixelSize(pixels);
    form.setFont(font);
    form.Frame().StatusPanel0->setText("___");
    form.Frame().StatusPanel1->setText("Blatt_Gr\u00f6\u00dfe");
    const auto whole = [](const QLabel *panel) {
      const QFontMetrics metrics(panel->font());
      return panel->contentsRect().height() >= metrics.ascent() + metrics.descent();
    };
    // The layouts settle over a few turns of the event loop.
    (void)QTest::qWaitFor([&] { return whole(form.Frame().StatusPanel0) && whole(form.Frame().StatusPanel1); }, 2000);
    for (QLabel *panel : {form.Frame().StatusPanel0, form.Frame().StatusPanel1}) {
      EXPECT_TRUE(whole(panel)) << panel->contentsRect().height();
      EXPECT_TRUE(form.statusBar()->rect().contains(panel->geometry()));
    }
    // The underscores are drawn: some pixel of the panel is much darker than
    // its background.
    const QImage grabbed = form.Frame().StatusPanel0->grab().toImage();
    const int background = qGray(grabbed.pixel(grabbed.width() - 1, 0));
    int darkest = 255;
    for (int y = 0; y < grabbed.height(); ++y)
      for (int x = 0; x < grabbed.width(); ++x) darkest = qMin(darkest, qGray(grabbed.pixel(x, y)));
    EXPECT_LT(darkest, background - 80);
  }
}
