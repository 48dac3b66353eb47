// What the desktop shows of the real program: titles, frames and positions as
// the window manager reports them, and what real keys and pointer events do.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <X11/keysym.h>

#include <functional>
#include <memory>

#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "app/ScaliperApplication.h"
#include "definitions/DefinitionList.h"
#include "tests/desktop/Desktop.h"

namespace {

const QString kMainTitle = QString::fromLatin1(TScaliperApplication::Title);

// The real main window with the real prompter, shown on the desktop.
struct Program : ::testing::Test {
  QTemporaryDir Dir;
  TQtPrompter Prompt;
  std::unique_ptr<TForm1> Form;

  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Form = std::make_unique<TForm1>(Prompt);
    Prompt.SetOwner(Form.get());
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
  }
  void TearDown() override { Form.reset(); }

  XWindow MainWindow() { return XWindow(Form->winId()); }
  void AddLine(const QString &name = QStringLiteral("L")) {
    AddDefinition(Form->DefinitionList, Form->ResultsTable, name, mkLine, false, false, false, false);
  }
};

// Centres as the desktop reports them, for comparing window placements.
QPoint Centre(const QRect &r) { return QPoint(r.left() + r.width() / 2, r.top() + r.height() / 2); }

TEST_F(Program, EveryWindowCarriesItsOwnTitleAndOpensWhereItBelongs) {
  {
    XDesktop desktop;
    EXPECT_EQ(desktop.NetWmName(MainWindow()), kMainTitle);
    EXPECT_EQ(desktop.WmName(MainWindow()), kMainTitle);
    EXPECT_EQ(desktop.WmClassName(MainWindow()), kMainTitle);
  }
  enum Place { Anywhere, OverMainWindow, ScreenCentre };
  const struct {
    QString Title;
    Place Where;
    std::function<void()> Command;
    std::function<void(XDesktop &, XWindow)> Close;
  } windows[] = {
      {"Definition Error", Anywhere, [&] { Form->btNextClick(); },
       [](XDesktop &d, XWindow) { d.Key(XK_Return); }},
      {"Add Definition", OverMainWindow, [&] { Form->AddDef1Click(); },
       [](XDesktop &d, XWindow w) { d.CloseWindow(w); }},
      {"Confirm", Anywhere, [&] { Form->btNextClick(); },  // a definition exists from here on
       [](XDesktop &d, XWindow) { d.Key(XK_Escape); }},
      {"DeleteDefDlg", OverMainWindow, [&] { Form->DeleteDef1Click(); },
       [](XDesktop &d, XWindow) { d.Key(XK_Escape); }},
      {"About SCALIPER", ScreenCentre, [&] { Form->AboutScaliper1Click(); },
       [](XDesktop &d, XWindow) { d.Key(XK_Return); }},
      {"Open files", Anywhere, [&] { Form->btOpenImagesClick(); },
       [](XDesktop &d, XWindow) { d.Key(XK_Escape); }},
      {"Save files", Anywhere, [&] { Form->Saveas1Click(); },
       [](XDesktop &d, XWindow) { d.Key(XK_Escape); }},
      {"Wrong Image Format", Anywhere,
       [&] {
         Form->ResultsTable.AppendImageRows({Dir.filePath("photo.png")});
         Form->ShowImage(0);
       },
       [](XDesktop &d, XWindow) { d.Key(XK_Return); }},
      {"File Error", Anywhere,
       [&] {
         Form->SaveDialog1.FileName = Dir.filePath("no-such-folder/results.txt");
         Form->bbSaveClick();
       },
       [](XDesktop &d, XWindow) { d.Key(XK_Return); }},
  };
  for (const auto &expected : windows) {
    SCOPED_TRACE(expected.Title.toStdString());
    if (expected.Title == "Confirm") AddLine();
    const XWindow main = MainWindow();
    AsUser(expected.Command, [&](XDesktop &d) {
      const XWindow w = d.WaitForNewClient({main});
      ASSERT_NE(w, 0u) << "no window opened";
      EXPECT_EQ(d.NetWmName(w), expected.Title);
      EXPECT_EQ(d.WmName(w), expected.Title);
      ASSERT_TRUE(d.WaitForFocus(w));
      if (expected.Where != Anywhere) {
        // Frames as the window manager reports them; the dialog may still
        // be on its way to its place.
        const auto offset = [&] {
          const QRect area = expected.Where == OverMainWindow ? d.FrameRect(main) : d.ScreenRect();
          return Centre(d.FrameRect(w)) - Centre(area);
        };
        d.WaitUntil([&] { return offset().manhattanLength() <= 1; }, 5);
        EXPECT_LE(offset().manhattanLength(), 1) << "frame centre off by " << offset().x() << ", " << offset().y();
      }
      expected.Close(d, w);
      EXPECT_TRUE(d.WaitForGone(w));
    });
  }
}

}  // namespace
