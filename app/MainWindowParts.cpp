#include "app/MainWindowParts.h"

#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QHBoxLayout>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QStyle>
#include <QToolButton>

#include "app/ImagePane.h"
#include "results/ResultsFileWriter.h"

TToolBarParts BuildToolBar(QWidget *window) {
  TToolBarParts t;
  t.ToolBar1 = new QWidget(window);
  t.ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  t.ToolBar1->setFixedHeight(29);
  auto button = [&](const char *name, const QString &caption, QStyle::StandardPixmap glyph, int left, int width) {
    auto *b = new QToolButton(t.ToolBar1);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setIcon(window->style()->standardIcon(glyph));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    b->setGeometry(left, 2, width, 25);
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
  };
  t.btOpenImages = button("btOpenImages", QStringLiteral("Open Images"), QStyle::SP_DialogOpenButton, 0, 121);
  t.btNext = button("btNext", QStringLiteral("Start"), QStyle::SP_MediaPlay, 121, 80);
  t.btMeasure = button("btMeasure", QStringLiteral("Measure"), QStyle::SP_FileDialogDetailedView, 201, 80);
  t.btBack = button("btBack", QStringLiteral("Back"), QStyle::SP_ArrowBack, 281, 80);
  t.ComboBox1 = new QComboBox(t.ToolBar1);
  t.ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ZoomBox::Fill(t.ComboBox1);
  t.ComboBox1->setGeometry(361, 3, 93, 23);
  t.bbSave = button("bbSave", QStringLiteral("Save"), QStyle::SP_DialogSaveButton, 454, 83);
  t.btNextObject = button("btNextObject", QStringLiteral("Next Object"), QStyle::SP_FileDialogNewFolder, 537, 110);
  // The keyboard order differs from the visual one.
  QWidget::setTabOrder(t.btOpenImages, t.btNext);
  QWidget::setTabOrder(t.btNext, t.btBack);
  QWidget::setTabOrder(t.btBack, t.bbSave);
  QWidget::setTabOrder(t.bbSave, t.ComboBox1);
  QWidget::setTabOrder(t.ComboBox1, t.btMeasure);
  QWidget::setTabOrder(t.btMeasure, t.btNextObject);
  return t;
}

TMenuParts BuildMenus(QMainWindow *window) {
  TMenuParts m;
  QMenuBar *bar = window->menuBar();
  m.Files1 = bar->addMenu(QStringLiteral("&Files"));
  m.OpenImages1 = m.Files1->addAction(QStringLiteral("Open &Images"));
  m.ContinueResults1 = m.Files1->addAction(QStringLiteral("&Continue Results\u2026"));
  m.Files1->addSeparator();
  m.SaveData1 = m.Files1->addAction(QStringLiteral("&Save Data"));
  m.Saveas1 = m.Files1->addAction(QStringLiteral("Save Data &as"));
  m.ExportAnnotated1 = m.Files1->addAction(QStringLiteral("&Export Annotated Images\u2026"));
  m.Files1->addSeparator();
  m.Exit1 = m.Files1->addAction(QStringLiteral("E&xit"));

  m.Define1 = bar->addMenu(QStringLiteral("&Define Measurements"));
  m.AddDef1 = m.Define1->addAction(QStringLiteral("&Add Definition"));
  m.DeleteDef1 = m.Define1->addAction(QStringLiteral("&Delete Definition"));
  m.Define1->addSeparator();
  m.SaveDef1 = m.Define1->addAction(QStringLiteral("&Save Definitions"));
  m.LoadDef1 = m.Define1->addAction(QStringLiteral("&Load Definitions"));

  m.Help1 = bar->addMenu(QStringLiteral("&About"));
  m.AboutScaliper1 = m.Help1->addAction(QStringLiteral("&About SCALIPER"));

  m.PopupMenu1 = new QMenu(window);
  m.Next1 = m.PopupMenu1->addAction(QStringLiteral("Start"));
  m.Measure1 = m.PopupMenu1->addAction(QStringLiteral("Measure"));
  m.Back1 = m.PopupMenu1->addAction(QStringLiteral("Back"));
  m.PopupMenu1->addSeparator();
  m.NextObject1 = m.PopupMenu1->addAction(QStringLiteral("Next Object"));
  m.Undo1 = m.PopupMenu1->addAction(QStringLiteral("Undo"));
  m.Redo1 = m.PopupMenu1->addAction(QStringLiteral("Redo"));
  m.Loupe1 = new QAction(QStringLiteral("Loupe"), window);
  m.Loupe1->setCheckable(true);
  m.Loupe1->setChecked(true);
  m.FitImage1 = new QAction(QStringLiteral("Fit Image"), window);
  m.ActualSize1 = new QAction(QStringLiteral("Actual Size"), window);
  return m;
}

void BindKeys(QMainWindow *window, const TMenuParts &m, const TToolBarParts &t) {
  m.OpenImages1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  m.ContinueResults1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  m.SaveData1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  m.Saveas1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  m.Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  m.Next1->setShortcut(QKeySequence(Qt::Key_PageDown));
  m.Measure1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  m.Back1->setShortcut(QKeySequence(Qt::Key_PageUp));
  m.Loupe1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  m.FitImage1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  m.ActualSize1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  m.NextObject1->setShortcut(QKeySequence(Qt::Key_Insert));
  m.Undo1->setShortcut(QKeySequence::Undo);
  m.Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  // The pop-up menu's items act from anywhere in the window, not only while
  // the pop-up is open.
  window->addActions({m.Next1, m.Measure1, m.Back1, m.Loupe1, m.FitImage1, m.ActualSize1, m.NextObject1, m.Undo1,
                      m.Redo1});

  auto key = [](QAction *a) { return a->shortcut().toString(QKeySequence::NativeText); };
  const struct {
    QToolButton *Button;
    QString Command;
    QAction *Keyed;
  } tips[] = {{t.btOpenImages, QStringLiteral("Open Images"), m.OpenImages1},
              {t.btNext, QStringLiteral("Start / Next"), m.Next1},
              {t.btMeasure, QStringLiteral("Measure"), m.Measure1},
              {t.btBack, QStringLiteral("Back"), m.Back1},
              {t.bbSave, QStringLiteral("Save Data"), m.SaveData1},
              {t.btNextObject, QStringLiteral("Next Object"), m.NextObject1}};
  for (const auto &tip : tips) tip.Button->setToolTip(tip.Command + QStringLiteral(" (") + key(tip.Keyed) + u')');
  t.btNextObject->setToolTip(t.btNextObject->toolTip() +
                             QStringLiteral("\nUndo: %1, Redo: %2").arg(key(m.Undo1), key(m.Redo1)) +
                             QStringLiteral(" or ") + m.Redo1->shortcuts().value(1).toString(QKeySequence::NativeText));
  t.ComboBox1->setToolTip(QStringLiteral("Zoom (Ctrl+mouse wheel over the picture)\nWhole picture: %1, 100 %: %2\n"
                                         "Loupe while drawing: %3")
                              .arg(key(m.FitImage1), key(m.ActualSize1), key(m.Loupe1)));
}

namespace {
void HighlightPanel(QLabel *panel, bool on) {
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(on ? QFrame::Sunken : QFrame::Raised);
  panel->setLineWidth(1);
  panel->setBackgroundRole(on ? QPalette::Light : QPalette::Button);
}
}  // namespace

TStepPanel BuildStepPanel(QWidget *window) {
  TStepPanel s;
  s.Splitter1 = new QWidget(window);
  s.Splitter1->setObjectName(QStringLiteral("Splitter1"));
  s.Splitter1->setFixedWidth(121);
  s.Splitter1->setCursor(Qt::SplitHCursor);
  auto panel = [&](const char *name, const QString &caption, int top) {
    auto *p = new QLabel(caption, s.Splitter1);
    p->setObjectName(QString::fromLatin1(name));
    p->setAlignment(Qt::AlignCenter);
    p->setGeometry(16, top, 89, 25);
    p->setAutoFillBackground(true);
    p->setBackgroundRole(QPalette::Button);
    p->setFrameShape(QFrame::NoFrame);
    p->setCursor(Qt::ArrowCursor);
    return p;
  };
  s.pnScale = panel("pnScale", QStringLiteral("Scale"), 40);
  s.pnMeasure = panel("pnMeasure", QStringLiteral("Measure"), 72);
  auto label = [&](const char *name, int top) {
    auto *l = new QLabel(s.Splitter1);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(16, top, 100, 17);
    return l;
  };
  s.lbMeasureNo = label("lbMeasureNo", 104);
  s.lbMeasureName = label("lbMeasureName", 128);
  s.lbMeasureType = label("lbMeasureType", 152);
  s.lbObject = label("lbObject", 176);
  return s;
}

void TStepPanel::Show(bool scale, bool measure, const QString &number, const QString &name, const QString &kind,
                      const QString &object) {
  HighlightPanel(pnScale, scale);
  HighlightPanel(pnMeasure, measure);
  lbMeasureNo->setText(number);
  lbMeasureName->setText(name);
  lbMeasureType->setText(kind);
  lbObject->setText(object);
}

TWindowFrame LayOutWindow(QMainWindow *window, QWidget *toolBar, QWidget *steps, QWidget *picture, QWidget *grid) {
  TWindowFrame f;
  auto *central = new QWidget(window);
  auto *column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(toolBar);
  auto *middle = new QWidget(central);
  auto *row = new QHBoxLayout(middle);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(steps);
  row->addWidget(picture, 1);
  f.Splitter2 = new QSplitter(Qt::Vertical, central);
  f.Splitter2->setObjectName(QStringLiteral("Splitter2"));
  f.Splitter2->setChildrenCollapsible(false);
  f.Splitter2->setHandleWidth(4);
  f.Splitter2->addWidget(middle);
  f.Splitter2->addWidget(grid);
  f.Splitter2->setStretchFactor(0, 1);
  f.Splitter2->setStretchFactor(1, 0);
  f.Splitter2->setSizes({1 << 16, 127});
  column->addWidget(f.Splitter2, 1);
  window->setCentralWidget(central);
  // As high as its font needs (no fixed height): underscores and descenders
  // must not be cut off at any font size or scale.
  window->statusBar()->setSizeGripEnabled(true);
  f.StatusPanel0 = new QLabel(window);
  f.StatusPanel0->setFixedWidth(100);
  f.StatusPanel1 = new QLabel(window);
  f.StatusPanel1->setMinimumWidth(50);
  window->statusBar()->addWidget(f.StatusPanel0);
  window->statusBar()->addWidget(f.StatusPanel1, 1);
  return f;
}

TFileChoosers MakeFileChoosers() {
  TFileChoosers c;
  c.OpenDialog1.Mode = FileDialogState::Open;
  c.OpenDialog1.Title = QStringLiteral("Open files");
  c.OpenDialog1.Filter = QStringLiteral(
      "All files (*.*)|*.*|"
      "All image files (*.jpeg, *.jpg, *.bmp, *.png, *.tif, *.tiff, *.webp)|*.jpeg;*.jpg;*.bmp;*.png;*.tif;*.tiff;*.webp|"
      "JPEG files (*.jpeg, *.jpg)|*.jpeg;*.jpg|Bitmap files (*.bmp)|*.bmp|PNG files (*.png)|*.png|"
      "TIFF files (*.tif, *.tiff)|*.tif;*.tiff|WebP files (*.webp)|*.webp");
  c.OpenDialog1.FilterIndex = 2;
  c.OpenDialog1.MultiSelect = true;

  c.SaveDialog1.Mode = FileDialogState::Save;
  c.SaveDialog1.Title = QStringLiteral("Save files");
  c.SaveDialog1.Filter = QStringLiteral("Tabbed Text (*.txt)|*.txt|CSV (*.csv)|*.csv|All Files (*.*)|*.*");
  c.SaveDialog1.FilterIndex = rftTabbedText;
  c.SaveDialog1.DefaultExt = QStringLiteral("*.txt");
  c.SaveDialog1.OverwritePrompt = true;

  c.OpenDialog3.Mode = FileDialogState::Open;
  c.OpenDialog3.Title = QStringLiteral("Continue Results");
  // Both layouts are listed at first: the layout is read from the file.
  c.OpenDialog3.Filter = QStringLiteral("Results files (*.txt, *.csv)|*.txt;*.csv|") + c.SaveDialog1.Filter;
  c.OpenDialog3.FilterIndex = 1;
  c.OpenDialog3.DefaultExt = c.SaveDialog1.DefaultExt;

  for (FileDialogState *d : {&c.OpenDialog2, &c.SaveDialog2}) {
    d->Filter = QStringLiteral("Definition File (*.dfn)|*.dfn");
    d->FilterIndex = 1;
    d->DefaultExt = QStringLiteral("*.dfn");
  }
  c.OpenDialog2.Mode = FileDialogState::Open;
  c.SaveDialog2.Mode = FileDialogState::Save;
  return c;
}

QFont MainFont() {
  const QString wanted = QStringLiteral("Microsoft Sans Serif");
  QFont font = QFontDatabase::hasFamily(wanted) ? QFont(wanted) : QFont(QStringLiteral("Sans Serif"));
  if (!QFontDatabase::hasFamily(wanted)) font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

void StartInsideScreen(QWidget &window) {
  QScreen *screen = QGuiApplication::screenAt(window.geometry().center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  // The frame the window manager adds is not known before the window is
  // shown; leave room for a title bar, borders and a resize handle below.
  const int border = window.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &window) + 2;
  const QMargins frame(border, window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window) + border,
                       border, 2 * border + 4);
  const QRect room = area - frame;
  if (room.contains(window.geometry()) || room.isEmpty()) return;
  QRect placed(window.pos(), window.size().boundedTo(room.size()));
  placed.moveLeft(qBound(room.left(), placed.left(), room.right() - placed.width() + 1));
  placed.moveTop(qBound(room.top(), placed.top(), room.bottom() - placed.height() + 1));
  window.setGeometry(placed);
}

TEventFilter::TEventFilter(QObject *watched, int type, std::function<bool(QEvent *)> take)
    : QObject(watched), Type_(type), Take_(std::move(take)) {
  watched->installEventFilter(this);
}

bool TEventFilter::eventFilter(QObject *, QEvent *event) { return event->type() == Type_ && Take_(event); }
