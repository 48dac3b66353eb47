// What the desktop shows of the real program: titles, frames and positions as
// the window manager reports them, and what real keys and pointer events do.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/AboutBox.h"
#include "app/Form1.h"
#include "app/QtPrompter.h"
#include "app/ProgramInfo.h"
#include "app/ScaliperApplication.h"
#include "definitions/DefinitionList.h"
#include "definitions/DeleteDefDlg.h"
#include "definitions/MDDlg.h"
#include "images/ImageView.h"
#include "images/ReadAhead.h"
#include "measuring/ConvDlg.h"
#include "measuring/OkRetryDlg.h"
#include "measuring/DrawingAids.h"
#include "measuring/Overlay.h"
#include "results/Record.h"
#include "results/ResultsTable.h"
#include "tests/desktop/Desktop.h"
#include "tests/support/FormDriver.h"
#include "tests/support/SampleImages.h"
#include "tests/support/TestFiles.h"

namespace {

const QString kMainTitle = QString::fromLatin1(ProgramInfo::Title);

// The real main window with the real prompter, shown on the desktop.
struct Program : ::testing::Test {
  QTemporaryDir Dir;
  TQtPrompter Prompt;
  std::unique_ptr<TForm1> Form;

  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Form = std::make_unique<TForm1>(Prompt);
    Prompt.SetOwner(Form.get());
    // As in the program: errors escaping a command go to the standard report.
    static_cast<TScaliperApplication *>(qApp)->SetPrompter(&Prompt);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get(), 30000));
  }
  void TearDown() override {
    static_cast<TScaliperApplication *>(qApp)->SetPrompter(nullptr);
    Form.reset();
  }

  XWindow MainWindow() { return XWindow(Form->winId()); }
  // Images opened as Open Images opens them: rows of the table and of the
  // sitting's record.
  void OpenImages(const QStringList &files) {
    Form->ResultsTable.AppendImageRows(files);
    TRecordEntry opened;
    opened.Kind = TRecordEntry::Images;
    opened.Files = files;
    Form->Log().Remember({opened});
  }
  // The run started on one dark green picture of `size` with one line
  // definition, the Start question answered Yes with the real keys.
  void StartOn(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(Dir.filePath("leaf.bmp"), "BMP"));
    AddLine();
    OpenImages({Dir.filePath("leaf.bmp")});
    const XWindow main = MainWindow();
    AsUser([&] { Next(*Form); },
           [&](XDesktop &d) {
             ASSERT_TRUE(d.WaitForKeys(d.WaitForNewClient({main})));
             d.Key(XK_Return);  // Yes
           });
    ASSERT_EQ(Form->CurrentImage(), 0);
  }
  // The live value's place on the screen, while a figure's pop-up is open.
  QRect LiveValueOnScreen() {
    QRect label;
    WaitForProgram([&] {
      label = QRect(Form->Pane().LiveValue()->mapToGlobal(QPoint(0, 0)), Form->Pane().LiveValue()->size());
      return Form->Pane().LiveValue()->isVisible();
    });
    return label;
  }
  void AddLine() { AddDefinition(Form->DefinitionList, Form->ResultsTable, "L", mkLine, false, false, false, false); }
};

// Whether the keyboard focus is in a control of the given kind (or in the
// text field of one), as it is once a click into the control has arrived.
template <typename Control> bool FocusIn() {
  const QWidget *f = QApplication::focusWidget();
  return f && (qobject_cast<const Control *>(f) || qobject_cast<const Control *>(f->parentWidget()));
}

// Centres as the desktop reports them, for comparing window placements.
QPoint Centre(const QRect &r) { return QPoint(r.left() + r.width() / 2, r.top() + r.height() / 2); }

// The OK/Retry pop-up as the person sees it: beside the live value, which
// it leaves in sight, clear of the pointer and near it.
void ExpectBesideTheValue(const QRect &popup, const QRect &value, QPoint pointer) {
  EXPECT_TRUE(value.isValid());
  EXPECT_FALSE(popup.intersects(value)) << "the pop-up covers the value";
  EXPECT_FALSE(popup.contains(pointer));
  EXPECT_LE((Centre(popup) - pointer).manhattanLength(), 200);
}

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
      {"Definition Error", Anywhere, [&] { Next(*Form); },
       [](XDesktop &d, XWindow) { d.Key(XK_Return); }},
      {"Add Definition", OverMainWindow, [&] { Form->AddDef1Click(); },
       [](XDesktop &d, XWindow w) { d.CloseWindow(w); }},
      {"Confirm", Anywhere, [&] { Next(*Form); },  // a definition exists from here on
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
         Form->ResultsTable.AppendImageRows({Dir.filePath("photo.gif")});
         ShowImageAndWait(*Form, 0);
       },
       [](XDesktop &d, XWindow) { d.Key(XK_Return); }},
      {"File Error", Anywhere,
       [&] {
         Form->Choosers().SaveDialog1.FileName = Dir.filePath("no-such-folder/results.txt");
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
      ASSERT_TRUE(d.WaitForKeys(w));
      if (expected.Where != Anywhere) {
        // Frames as the window manager reports them; the dialog may still
        // be on its way to its place.
        const auto offset = [&] {
          const QRect area = expected.Where == OverMainWindow ? d.FrameRect(main) : d.ScreenRect();
          return Centre(d.FrameRect(w)) - Centre(area);
        };
        d.WaitUntil([&] { return offset().manhattanLength() <= 1; });
        EXPECT_LE(offset().manhattanLength(), 1) << "frame centre off by " << offset().x() << ", " << offset().y();
      }
      expected.Close(d, w);
      EXPECT_TRUE(d.WaitForGone(w));
    });
  }
}

// A whole calibration and one line measured with the real pointer and keys:
// where the scale dialog opens, what Enter and typing do in it, where its
// messages appear, and where the OK/Retry pop-up opens for the release.
TEST_F(Program, ScaleDialogAndPopUpUnderThePointer) {
  QImage picture(400, 300, QImage::Format_RGB32);
  picture.fill(Qt::darkGreen);
  ASSERT_TRUE(picture.save(Dir.filePath("leaf.bmp"), "BMP"));
  AddLine();
  OpenImages({Dir.filePath("leaf.bmp")});
  const XWindow main = MainWindow();
  AsUser([&] { Next(*Form); },
         [&](XDesktop &d) {
           const XWindow confirm = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(confirm));
           d.Key(XK_Return);  // Yes
         });
  ASSERT_EQ(Form->CurrentImage(), 0);
  Form->btMeasureClick();
  ASSERT_TRUE(Form->Session().ScaleArmed());
  // Where the overlay lies in the window.
  const QPoint overlayInWindow = Form->Pane().Overlay()->mapTo(Form.get(), QPoint(0, 0));

  QPoint release;
  AsUser([] {},
         [&](XDesktop &d) {
           const QPoint overlay = d.ClientRect(main).topLeft() + overlayInWindow;
           // The scale: 100 image pixels.
           const auto dragScale = [&] {
             d.MoveTo(overlay + QPoint(20, 40));
             d.Press();
             d.MoveTo(overlay + QPoint(70, 40));
             d.MoveTo(overlay + QPoint(120, 40));
             d.Release();
             const XWindow conv = d.WaitForNewClient({main});
             EXPECT_NE(conv, 0u);
             EXPECT_EQ(d.NetWmName(conv), "ConvDlg");
             d.WaitUntil([&] { return (Centre(d.FrameRect(conv)) - Centre(d.FrameRect(main))).manhattanLength() <= 1; });
             EXPECT_LE((Centre(d.FrameRect(conv)) - Centre(d.FrameRect(main))).manhattanLength(), 1);
             EXPECT_TRUE(d.WaitForKeys(conv));
             return conv;
           };
           // A length typed at once replaces the one offered, and Enter
           // takes it: 4 cm, 25 dots/cm.
           XWindow conv = dragScale();
           ASSERT_NE(conv, 0u);
           d.Type("4");
           d.Key(XK_Return);
           ASSERT_TRUE(d.WaitForGone(conv)) << "Enter left the scale dialog open";
           ASSERT_TRUE(WaitForProgram([&] { return Form->Session().MeasureArmed(); }));
           EXPECT_TRUE(WaitForProgram([&] { return Form->ResultsTable.Cell(TResultsTable::colDotsPerCm, 1) == "25"; }));
           // Measure again (Ctrl+M) for the dialog's messages.
           d.HoldModifiers(XDesktop::Control, true);
           d.Key(XK_m);
           d.HoldModifiers(XDesktop::Control, false);
           ASSERT_TRUE(WaitForProgram([&] { return Form->Session().ScaleArmed(); }));
           conv = dragScale();
           ASSERT_NE(conv, 0u);

           // A message the dialog raises opens above it and takes the keys.
           const auto expectMessageAbove = [&](const QString &title) {
             const XWindow box = d.WaitForNewClient({main, conv});
             ASSERT_NE(box, 0u) << "no message for " << title.toStdString();
             EXPECT_EQ(d.NetWmName(box), title);
             ASSERT_TRUE(d.WaitForKeys(box)) << "the message does not take the keys";
             const std::vector<XWindow> stack = d.Stacking();
             const auto at = [&](XWindow w) { return std::find(stack.begin(), stack.end(), w) - stack.begin(); };
             EXPECT_GT(at(box), at(conv)) << title.toStdString() << " is hidden behind the scale dialog";
             d.Key(XK_Return);
             EXPECT_TRUE(d.WaitForGone(box));
             ASSERT_TRUE(d.WaitForKeys(conv));
           };
           // Into the centimetre box, which shows 10.
           d.Click(d.ClientRect(conv).topLeft() + QPoint(112 + 20, 8 + 11));
           ASSERT_TRUE(WaitForProgram([] { return FocusIn<QLineEdit>(); }));
           d.ClearField();
           d.Type("x");  // not a whole number
           expectMessageAbove(kMainTitle);
           d.ClearField();
           d.Key(XK_Return);  // OK with an empty box
           expectMessageAbove("Scale Size Error");
           d.Type("5");
           d.Key(XK_Return);  // OK
           ASSERT_TRUE(d.WaitForGone(conv)) << "Enter left the scale dialog open";

           // A line of 100 image pixels; the pop-up opens beside its value.
           release = overlay + QPoint(130, 90);
           d.MoveTo(overlay + QPoint(30, 90));
           d.Press();
           d.MoveTo(overlay + QPoint(80, 90));
           d.MoveTo(release);
           d.Release();
           const XWindow popup = d.WaitForNewClient({main});
           ASSERT_NE(popup, 0u);
           ExpectBesideTheValue(d.ClientRect(popup), LiveValueOnScreen(), release);
           ASSERT_TRUE(d.WaitForKeys(popup));
           d.Key(XK_Return);  // OK
           EXPECT_TRUE(d.WaitForGone(popup));
         });
  EXPECT_EQ(Form->Session().KnownLengthCm(), 5);
  EXPECT_EQ(Form->ResultsTable.Cell(TResultsTable::colDotsPerCm, 1), "20");
  EXPECT_EQ(Form->ResultsTable.Cell(Form->DefinitionList.At(0).FirstCol, 1), "5");
  EXPECT_FALSE(Form->Session().ScaleArmed() || Form->Session().MeasureArmed());

  // With no step armed the secondary button opens the image area's menu,
  // its corner on the pointer.
  AsUser([] {},
         [&](XDesktop &d) {
           const std::vector<XWindow> before = d.Popups();
           const QPoint at = release + QPoint(-40, 30);
           d.Click(at, 3);
           const XWindow menu = d.WaitForNewPopup(before);
           ASSERT_NE(menu, 0u);
           EXPECT_EQ(d.ClientRect(menu).topLeft(), at);
           d.Key(XK_Escape);
           EXPECT_TRUE(d.WaitForGone(menu));
         });
}

// In a view zoomed to 400 % and scrolled, the OK/Retry pop-up still opens
// beside the live value by the release, and a calibration and a line
// dragged there measure what the pointer covered.
TEST_F(Program, PopUpBesideThePointerInAScrolledView) {
  StartOn(QSize(400, 300));
  const XWindow main = MainWindow();
  Form->Tools().ComboBox1->setCurrentIndex(6);  // 400 %
  ASSERT_EQ(Form->Pane().Zoom(), 4.0);
  Form->btMeasureClick();
  ASSERT_TRUE(Form->Session().ScaleArmed());
  Form->Pane().horizontalScrollBar()->setValue(700);
  Form->Pane().verticalScrollBar()->setValue(500);
  QApplication::processEvents();
  ASSERT_EQ(Form->Pane().Overlay()->mapTo(Form->Pane().viewport(), QPoint(0, 0)), QPoint(-700, -500));
  const QPoint viewInWindow = Form->Pane().viewport()->mapTo(Form.get(), QPoint(0, 0));

  AsUser([] {},
         [&](XDesktop &d) {
           const QPoint view = d.ClientRect(main).topLeft() + viewInWindow;
           const auto drag = [&](QPoint from, QPoint to) {
             d.MoveTo(view + from);
             d.Press();
             d.MoveTo(view + (from + to) / 2);
             d.MoveTo(view + to);
             d.Release();
           };
           drag({20, 40}, {420, 40});  // 400 screen pixels: 100 image pixels
           const XWindow conv = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(conv));
           d.Key(XK_Return);  // OK: 10 cm
           ASSERT_TRUE(d.WaitForGone(conv));

           drag({100, 150}, {300, 150});  // 50 image pixels
           const XWindow popup = d.WaitForNewClient({main});
           ASSERT_NE(popup, 0u);
           ExpectBesideTheValue(d.ClientRect(popup), LiveValueOnScreen(), view + QPoint(300, 150));
           ASSERT_TRUE(d.WaitForKeys(popup));
           d.Key(XK_Return);  // OK
           EXPECT_TRUE(d.WaitForGone(popup));
         });
  EXPECT_EQ(Form->ResultsTable.Cell(TResultsTable::colDotsPerCm, 1), "10");
  EXPECT_EQ(Form->ResultsTable.Cell(Form->DefinitionList.At(0).FirstCol, 1), "5");
}

// Real drags with the loupe on and, after Ctrl+L, off give the same values;
// Ctrl + the wheel over the picture zooms about the pointer.
TEST_F(Program, DrawingAidsChangeNoValueAndTheWheelZoomsAtThePointer) {
  StartOn(QSize(900, 700));
  const XWindow main = MainWindow();
  const QPoint viewInWindow = Form->Pane().viewport()->mapTo(Form.get(), QPoint(0, 0));
  QStringList values;
  for (bool loupe : {true, false}) {
    Form->btMeasureClick();
    bool loupeShown = false;
    QMetaObject::Connection watch = QObject::connect(Form->Pane().Overlay(), &TOverlay::MouseMove, Form.get(), [&] {
      loupeShown = loupeShown || Form->Pane().Loupe()->isVisible();
    });
    AsUser([] {},
           [&](XDesktop &d) {
             const QPoint view = d.ClientRect(main).topLeft() + viewInWindow;
             const auto drag = [&](QPoint from, QPoint to) {
               d.MoveTo(view + from);
               d.Press();
               for (int k = 1; k <= 8; ++k) d.MoveTo(view + from + (to - from) * k / 8);
               d.Release();
             };
             drag({20, 40}, {123, 40});  // 103 dots over 10 cm
             const XWindow conv = d.WaitForNewClient({main});
             ASSERT_TRUE(d.WaitForKeys(conv));
             d.Key(XK_Return);
             ASSERT_TRUE(d.WaitForGone(conv));
             drag({37, 151}, {298, 243});
             const XWindow popup = d.WaitForNewClient({main});
             ASSERT_TRUE(d.WaitForKeys(popup));
             d.Key(XK_Return);
             ASSERT_TRUE(d.WaitForGone(popup));
             if (loupe) {
               ASSERT_TRUE(d.WaitForKeys(main));
               d.HoldModifiers(XDesktop::Control, true);
               d.Key(XK_l);
               d.HoldModifiers(XDesktop::Control, false);
             }
           });
    QObject::disconnect(watch);
    EXPECT_EQ(loupeShown, loupe);
    values << Form->ResultsTable.Cell(Form->DefinitionList.At(0).FirstCol, 1);
  }
  EXPECT_FALSE(Form->Pane().LoupeOn());
  ASSERT_FALSE(values.at(0).isEmpty());
  EXPECT_EQ(values.at(0), values.at(1));

  const QPoint pointer(200, 120);
  const QPointF before = (QPointF(pointer) + QPointF(Form->Pane().horizontalScrollBar()->value(),
                                                    Form->Pane().verticalScrollBar()->value())) /
                         Form->Pane().Zoom();
  AsUser([] {},
         [&](XDesktop &d) {
           d.MoveTo(d.ClientRect(main).topLeft() + viewInWindow + pointer);
           d.HoldModifiers(XDesktop::Control, true);
           d.Click(d.ClientRect(main).topLeft() + viewInWindow + pointer, 4);  // the wheel turned away
           d.HoldModifiers(XDesktop::Control, false);
         });
  XDesktop::WaitUntil([&] { QApplication::processEvents(); return Form->Pane().Zoom() != 1.0; }, 5);
  EXPECT_EQ(Form->Pane().Zoom(), 1.5);
  const QPointF after = (QPointF(pointer) + QPointF(Form->Pane().horizontalScrollBar()->value(),
                                                   Form->Pane().verticalScrollBar()->value())) /
                        Form->Pane().Zoom();
  EXPECT_LE((after - before).manhattanLength(), 1.0);
}

namespace {
// What a screen reader reads, over AT-SPI from another process, as the name
// of the shown object that this program describes as `description`.
QString ReadAloud(const QString &description) {
  const QString command = QStringLiteral("%1/read-accessible-name.py %2 '%3'")
                              .arg(QStringLiteral(SCALIPER_DESKTOP_TESTS))
                              .arg(QCoreApplication::applicationPid())
                              .arg(description);
  FILE *reader = ::popen(command.toLocal8Bit().constData(), "r");
  if (!reader) return QStringLiteral("<no reader>");
  QByteArray out;
  char buffer[256];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, reader)) out.append(buffer, qsizetype(n));
  ::pclose(reader);
  return QString::fromUtf8(out).trimmed();
}
}  // namespace

// A screen reader hears the live value while the button is held: the label
// beside the pointer is read over AT-SPI as the value with its unit, for
// the scale line in dots and for a line in centimetres, and each change of
// value is announced as a change of its name.
TEST_F(Program, ScreenReaderHearsTheLiveValue) {
  // The toolkit joins the accessibility bus once its event loop has turned.
  ASSERT_TRUE(XDesktop::WaitUntil([] {
    QApplication::processEvents();
    return QAccessible::isActive();
  }, 10)) << "no accessibility bus";
  StartOn(QSize(600, 400));
  const XWindow main = MainWindow();
  Form->btMeasureClick();
  const QPoint viewInWindow = Form->Pane().Overlay()->mapTo(Form.get(), QPoint(0, 0));
  static int announced = 0;
  static QObject *live = nullptr;
  live = Form->Pane().LiveValue();
  const QString what = QStringLiteral("Value of the figure being drawn");
  QStringList heard;
  AsUser([] {},
         [&](XDesktop &d) {
           const QPoint view = d.ClientRect(main).topLeft() + viewInWindow;
           d.MoveTo(view + QPoint(20, 40));
           d.Press();
           d.MoveTo(view + QPoint(150, 40));
           d.MoveTo(view + QPoint(274, 40));  // 254 dots
           ASSERT_TRUE(WaitForProgram([&] { return Form->Pane().LiveValue()->text() == "254 dots"; }));
           heard << ReadAloud(what);
           d.Release();
           const XWindow conv = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(conv));
           d.Key(XK_Return);  // 10 cm: 25.4 dots/cm
           ASSERT_TRUE(d.WaitForGone(conv));
           d.MoveTo(view + QPoint(30, 100));
           d.Press();
           d.MoveTo(view + QPoint(60, 100));
           WaitForProgram([&] {
             QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
               if (event->type() == QAccessible::NameChanged && event->object() == live) ++announced;
             });
             return true;
           });
           d.MoveTo(view + QPoint(105, 100));  // 75 dots: 2.9528 cm
           ASSERT_TRUE(WaitForProgram([&] { return Form->Pane().LiveValue()->text() == "2.9528 cm"; }));
           WaitForProgram([&] {
             QAccessible::installUpdateHandler(nullptr);
             return true;
           });
           heard << ReadAloud(what);
           d.Release();
           const XWindow popup = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(popup));
           d.Key(XK_Return);
           ASSERT_TRUE(d.WaitForGone(popup));
         });
  EXPECT_EQ(heard, (QStringList{"254 dots", "2.9528 cm"}));
  EXPECT_GE(announced, 1);
  EXPECT_EQ(Form->ResultsTable.Cell(Form->DefinitionList.At(0).FirstCol, 1), "2.9528");
}

// After Save Data as over a file that exists and Yes to the question whether
// to replace it, typed with real keys, the keys go to the main window again.
TEST_F(Program, KeysReturnToTheMainWindowAfterTheReplaceQuestion) {
  const QString existing = Dir.filePath("results.txt");
  {
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old\n");
  }
  Form->Choosers().SaveDialog1.FileName = existing;
  const XWindow main = MainWindow();
  AsUser([] {},
         [&](XDesktop &d) {
           ASSERT_TRUE(d.WaitForKeys(main));
           d.HoldModifiers(XDesktop::Control | XDesktop::Shift, true);
           d.Key(XK_s);
           d.HoldModifiers(XDesktop::Control | XDesktop::Shift, false);
           const XWindow chooser = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(chooser));
           d.Key(XK_Return);  // Save, under the name already chosen
           const XWindow question = d.WaitForNewClient({main, chooser});
           ASSERT_NE(question, 0u);
           ASSERT_TRUE(d.WaitForKeys(question));
           d.Key(XK_y);  // Yes
           EXPECT_TRUE(d.WaitForGone(question));
           EXPECT_TRUE(d.WaitForGone(chooser));
         });
  AsUser([] {},
         [&](XDesktop &d) {
           EXPECT_TRUE(d.WaitForKeys(main, 5));
           d.HoldModifiers(XDesktop::Control, true);
           d.Key(XK_q);
           d.HoldModifiers(XDesktop::Control, false);
           EXPECT_TRUE(d.WaitForGone(main, 5)) << "Ctrl+Q did not reach the main window";
         });
}

// Keys typed into the boxes that also accept typing: a typed kind is none
// of the list's, and a typed zoom that is no item gives way to the zoom in
// force once editing ends.
TEST_F(Program, TypingIntoTheTypeAndZoomBoxes) {
  const XWindow main = MainWindow();
  AsUser([&] { Form->AddDef1Click(); },
         [&](XDesktop &d) {
           const XWindow add = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(add));
           d.Key(XK_Tab);  // from the name to the type box
           ASSERT_TRUE(WaitForProgram([] { return FocusIn<QComboBox>(); }));
           d.ClearField();
           d.Type("R");
           d.Click(d.ClientRect(add).topLeft() + QPoint(80 + 37, 168 + 12));  // OK
           EXPECT_TRUE(d.WaitForGone(add));
         });
  ASSERT_EQ(Form->DefinitionList.Count(), 1);
  const TMeasureType &typed = Form->DefinitionList.At(0);
  EXPECT_EQ(int(typed.Kind), -1);
  EXPECT_EQ(typed.Name, "M1");
  EXPECT_FALSE(typed.Height || typed.Width || typed.Perimeter || typed.Area);

  Form->Tools().ComboBox1->setCurrentIndex(5);  // 200 %
  const QPoint zoomBox = Form->Tools().ComboBox1->mapTo(Form.get(), QPoint(20, Form->Tools().ComboBox1->height() / 2));
  AsUser([] {},
         [&](XDesktop &d) {
           ASSERT_TRUE(d.WaitForKeys(main));
           d.Click(d.ClientRect(main).topLeft() + zoomBox);
           ASSERT_TRUE(WaitForProgram([] { return FocusIn<QComboBox>(); }));
           d.ClearField();
           d.Type("12%");
           d.Key(XK_Tab);  // editing ends
           EXPECT_TRUE(WaitForProgram([&] { return !Form->Tools().ComboBox1->lineEdit()->hasFocus(); }));
         });
  EXPECT_EQ(Form->Pane().Zoom(), 1.0);
  EXPECT_EQ(Form->Tools().ComboBox1->currentText(), "100%");
}

// Files chosen one after the other in the real open-file dialog become rows
// in that order.
TEST_F(Program, ImagesOpenInTheOrderChosenInTheFileDialog) {
  const QStringList names{"01.bmp", "02.bmp", "03.bmp"};
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(Qt::gray);
  for (const QString &name : names) ASSERT_TRUE(picture.save(Dir.filePath(name), "BMP"));
  Form->Choosers().OpenDialog1.FileName = Dir.filePath("none-chosen-yet.bmp");  // opens in that folder
  const XWindow main = MainWindow();
  AsUser([&] { Form->btOpenImagesClick(); },
         [&](XDesktop &d) {
           const XWindow dialog = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(dialog));
           // Where the dialog shows each file, once it has listed them all.
           QList<QPoint> where;
           ASSERT_TRUE(WaitForProgram([&] {
             where.clear();
             auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
             if (!fileDialog) return false;
             for (QAbstractItemView *view : fileDialog->findChildren<QAbstractItemView *>()) {
               if (!view->isVisible() || !view->model()) continue;
               for (const QString &name : names) {
                 const QModelIndexList found = view->model()->match(view->model()->index(0, 0, view->rootIndex()),
                                                                    Qt::DisplayRole, name, 1, Qt::MatchExactly);
                 if (found.isEmpty()) break;
                 const QRect r = view->visualRect(found.first());
                 where << view->viewport()->mapToGlobal(QPoint(r.left() + 8, r.center().y()));
               }
               if (where.size() == names.size()) return true;
               where.clear();
             }
             return false;
           }));
           // A click, then two more with Control held down, each once the
           // dialog shows what the one before chose.
           const auto chosen = [&](int count) {
             return WaitForProgram([&] {
               auto *fileDialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
               return fileDialog && fileDialog->selectedFiles().size() == count;
             });
           };
           d.Click(where[0]);
           ASSERT_TRUE(chosen(1));
           d.HoldModifiers(XDesktop::Control, true);
           d.Click(where[1]);
           EXPECT_TRUE(chosen(2));
           d.Click(where[2]);
           EXPECT_TRUE(chosen(3));
           d.HoldModifiers(XDesktop::Control, false);
           d.Key(XK_Return);  // Open
           EXPECT_TRUE(d.WaitForGone(dialog));
         });
  QStringList rows;
  for (int i = 0; i < Form->ResultsTable.ImageCount; ++i) rows << Form->ResultsTable.Cell(TResultsTable::colFileName, i + 1);
  EXPECT_EQ(rows, names);
}

// A photograph from a phone held upright, stored lying on its side with
// the EXIF orientation 6, shows upright: its status bar gives the upright
// size, the object standing in it stands on the screen, and a rectangle
// drawn round it with the real pointer gives its height as what stands up
// and its width as what lies across.
TEST_F(Program, PortraitPhonePhotoShowsUprightAndMeasuresUpright) {
  // Upright: 240 x 320, a dark object 100 wide and 200 tall from (40, 60).
  QImage upright(240, 320, QImage::Format_RGB32);
  upright.fill(qRgb(220, 220, 200));
  for (int y = 60; y < 260; ++y)
    for (int x = 40; x < 140; ++x) upright.setPixel(x, y, qRgb(30, 40, 120));
  const QImage stored = upright.transformed(QTransform().rotate(-90));
  ASSERT_EQ(stored.size(), QSize(320, 240));
  WriteBytes(Dir.filePath("phone.jpg"), WithExifOrientation(JpegOf(stored, 95, false), 6));
  AddDefinition(Form->DefinitionList, Form->ResultsTable, "Leaf", mkRectangle, true, true, false, false);
  OpenImages({Dir.filePath("phone.jpg")});
  const XWindow main = MainWindow();
  AsUser([&] { Next(*Form); },
         [&](XDesktop &d) {
           ASSERT_TRUE(d.WaitForKeys(d.WaitForNewClient({main})));
           d.Key(XK_Return);  // Yes
         });
  ASSERT_TRUE(Form->CurrentImageShown());
  EXPECT_EQ(Form->Frame().StatusPanel0->text(), "240x320");
  Form->btMeasureClick();
  const QPoint overlayInWindow = Form->Pane().Overlay()->mapTo(Form.get(), QPoint(0, 0));
  AsUser([] {},
         [&](XDesktop &d) {
           const QPoint overlay = d.ClientRect(main).topLeft() + overlayInWindow;
           // What the screen shows: the object where it stands upright.
           const QImage screen = d.Grab(QRect(overlay, QSize(240, 320)));
           for (QPoint inside : {QPoint(45, 65), QPoint(135, 255), QPoint(90, 160)})
             EXPECT_LT(qGray(screen.pixel(inside)), 90) << inside.x() << "," << inside.y();
           for (QPoint outside : {QPoint(200, 65), QPoint(45, 300), QPoint(200, 160), QPoint(90, 30)})
             EXPECT_GT(qGray(screen.pixel(outside)), 180) << outside.x() << "," << outside.y();
           const auto drag = [&](QPoint from, QPoint to) {
             d.MoveTo(overlay + from);
             d.Press();
             d.MoveTo(overlay + (from + to) / 2);
             d.MoveTo(overlay + to);
             d.Release();
           };
           drag({20, 290}, {220, 290});  // 200 dots over 10 cm
           const XWindow conv = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(conv));
           d.Key(XK_Return);
           ASSERT_TRUE(d.WaitForGone(conv));
           drag({40, 60}, {140, 260});  // round the object
           const XWindow popup = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(popup));
           d.Key(XK_Return);  // OK
           ASSERT_TRUE(d.WaitForGone(popup));
         });
  const int first = Form->DefinitionList.At(0).FirstCol;
  EXPECT_EQ(Form->ResultsTable.Cell(TResultsTable::colDotsPerCm, 1), "20");
  EXPECT_EQ(Form->ResultsTable.Cell(first, 1), "10");     // height: 200 dots
  EXPECT_EQ(Form->ResultsTable.Cell(first + 1, 1), "5");  // width: 100 dots
}

// Thirty images walked with Page Down and back with Page Up, the next picture
// read ahead all along: every row shows its own picture, a file that does
// not decode beeps and one of another kind gets its message when reached,
// the picture before staying in both cases, and no more than three pictures
// are held. A burst of keys ends on the image it reaches.
TEST_F(Program, PageDownAndUpShowEveryRowsOwnPicture) {
  constexpr int kImages = 30, kBroken = 9, kOtherKind = 19;
  const auto colour = [](int i) { return qRgb(8 * i, 255 - 8 * i, (i * 70) % 256); };
  QStringList files;
  for (int i = 0; i < kImages; ++i) {
    const QString name = i == kBroken ? "09-broken.jpg" : i == kOtherKind ? "19-notes.gif" : QStringLiteral("%1.bmp").arg(i, 2, 10, QChar('0'));
    files << Dir.filePath(name);
    if (i == kBroken || i == kOtherKind) {
      QFile f(files.last());
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write("not a picture");
      continue;
    }
    QImage picture(120, 90, QImage::Format_RGB32);
    picture.fill(colour(i));
    ASSERT_TRUE(picture.save(files.last(), "BMP"));
  }
  AddLine();
  OpenImages(files);
  int mostHeld = 0;
  // The image a row should show now: itself, or for a file that cannot be
  // shown, the one shown before it.
  const auto shows = [&](int row, int picture) {
    return WaitForProgram([&] {
      mostHeld = std::max(mostHeld, Form->ReadAhead().HeldPictures());
      return Form->CurrentImage() == row && Form->Frame().StatusPanel1->text() == files[picture] &&
             Form->Pane().View()->grab().toImage().pixel(5, 5) == colour(picture);
    }, 10);
  };
  const XWindow main = MainWindow();
  AsUser([&] { Next(*Form); },
         [&](XDesktop &d) {
           const XWindow confirm = d.WaitForNewClient({main});
           ASSERT_TRUE(d.WaitForKeys(confirm));
           d.Key(XK_y);
           ASSERT_TRUE(d.WaitForGone(confirm));
         });
  AsUser([] {},
         [&](XDesktop &d) {
           ASSERT_TRUE(shows(0, 0));
           ASSERT_TRUE(d.WaitForKeys(main));
           int last = 0;
           auto step = [&](unsigned long key, int row) {
             d.Key(key);
             if (row == kOtherKind) {
               const XWindow message = d.WaitForNewClient({main});
               ASSERT_NE(message, 0u);
               EXPECT_EQ(d.NetWmName(message), "Wrong Image Format");
               ASSERT_TRUE(d.WaitForKeys(message));
               d.Key(XK_Return);
               ASSERT_TRUE(d.WaitForGone(message));
               ASSERT_TRUE(d.WaitForKeys(main));
             }
             const bool shown = row != kBroken && row != kOtherKind;
             EXPECT_TRUE(shows(row, shown ? row : last)) << "row " << row;
             if (shown) last = row;
           };
           for (int row = 1; row < kImages; ++row) step(XK_Next, row);
           for (int row = kImages - 2; row >= 0; --row) step(XK_Prior, row);
           for (int i = 0; i < 8; ++i) d.Key(XK_Next);  // held down
           EXPECT_TRUE(shows(8, 8));
         });
  EXPECT_EQ(Form->CurrentImage(), 8);
  EXPECT_LE(mostHeld, 3);
  EXPECT_GE(mostHeld, 2);
}

// The width a control needs to show its caption whole with the fonts this
// desktop has; 0 for a control without one.
int CaptionWidth(QWidget *w) {
  if (qobject_cast<QCheckBox *>(w) || qobject_cast<QLabel *>(w))
    return w->property("text").toString().isEmpty() ? 0 : w->sizeHint().width();
  if (auto *button = qobject_cast<QAbstractButton *>(w)) {
    if (button->text().isEmpty()) return 0;
    const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    return button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&')) + icon + 4;
  }
  return 0;
}

// Every caption fits its control, and every control its window, with the
// fonts of this desktop: the values of a calibration as large as the program
// can meet included.
TEST_F(Program, CaptionsAreShownWhole) {
  TMDDlg add(Form.get());
  TDeleteDefDlg del(Form.get());
  TConvDlg conv(Form.get(), Prompt);
  conv.SetLengthDots(23170);  // the diagonal of the largest picture
  conv.SetDotsPerCm(23170 / 3.0);
  TAboutBox about(Form.get());
  TOkRetryDlg popup(Form.get());
  for (QWidget *window : std::initializer_list<QWidget *>{Form.get(), &add, &del, &conv, &about, &popup}) {
    for (QWidget *w : window->findChildren<QWidget *>()) {
      const int needed = CaptionWidth(w);
      if (needed == 0 || !w->isVisibleTo(window)) continue;
      SCOPED_TRACE(w->property("text").toString().toStdString());
      EXPECT_GE(w->width(), needed);
      EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry()));
      // Captions drawn without a frame of their own must not run into each
      // other (the pop-up's two buttons overlap by a pixel of frame).
      if (qobject_cast<QPushButton *>(w)) continue;
      for (QWidget *sibling : w->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (sibling != w && CaptionWidth(sibling) > 0 && sibling->isVisibleTo(window) &&
            !qobject_cast<QPushButton *>(sibling))
          EXPECT_FALSE(sibling->geometry().intersects(w->geometry()))
              << "overlaps " << sibling->property("text").toString().toStdString();
    }
  }
}

}  // namespace
