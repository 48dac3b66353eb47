#include "app/Form1.h"

#include <QApplication>
#include <QGuiApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <functional>

#include "app/AboutBox.h"
#include "images/ImageView.h"
#include "images/ReadAhead.h"
#include "app/ProgramInfo.h"
#include "app/ScaliperIcon.h"
#include "measuring/DrawingAids.h"
#include "measuring/Overlay.h"
#include "results/ResultsFileWriter.h"
#include "results/ResultsGridModel.h"

namespace {
QFont MainFont() {
  const QString wanted = QStringLiteral("Microsoft Sans Serif");
  QFont font = QFontDatabase::hasFamily(wanted) ? QFont(wanted) : QFont(QStringLiteral("Sans Serif"));
  if (!QFontDatabase::hasFamily(wanted)) font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

// Hands the key presses that reach a widget to `take`, which says whether it
// took the key.
// Takes the events of one type that `take` answers true for, before the
// widget it watches sees them.
template <typename Event> class EventFilter : public QObject {
public:
  EventFilter(QObject *parent, QEvent::Type type, std::function<bool(Event *)> take)
      : QObject(parent), Type_(type), Take_(std::move(take)) {}
  bool eventFilter(QObject *, QEvent *event) override {
    return event->type() == Type_ && Take_(static_cast<Event *>(event));
  }

private:
  QEvent::Type Type_;
  std::function<bool(Event *)> Take_;
};

// Keeps the window's starting rectangle inside the screen's available area,
// shrunk and moved as little as needed on a screen smaller than it.
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
}  // namespace

TForm1::TForm1(Prompter &prompter, QWidget *parent)
    : QMainWindow(parent), ReadAhead(std::make_unique<TReadAhead>()), Prompt_(prompter) {
  setWindowTitle(QString::fromLatin1(ProgramInfo::Title));
  setWindowIcon(ScaliperIcon());
  setFont(MainFont());
  move(236, 159);
  resize(884, 640);
  StartInsideScreen(*this);

  BuildMenus();
  auto *central = new QWidget(this);
  auto *column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  BuildToolBar();
  column->addWidget(ToolBar1);
  BuildWorkArea();
  auto *middle = new QWidget(central);
  auto *row = new QHBoxLayout(middle);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(Splitter1);
  row->addWidget(ScrollBox1, 1);
  BuildGrid();
  // The boundary between the picture and the table can be dragged; the
  // table starts 127 pixels high and keeps its height as the window grows.
  Splitter2 = new QSplitter(Qt::Vertical, central);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Splitter2->setChildrenCollapsible(false);
  Splitter2->setHandleWidth(4);
  Splitter2->addWidget(middle);
  Splitter2->addWidget(StringGrid1);
  Splitter2->setStretchFactor(0, 1);
  Splitter2->setStretchFactor(1, 0);
  Splitter2->setSizes({1 << 16, kGridHeight});
  column->addWidget(Splitter2, 1);
  setCentralWidget(central);
  BuildStatusBar();
  ConnectCommands();
  BindKeys();
  FormCreate();
}

TForm1::~TForm1() {
  FormDestroy();
  // Child widgets are deleted only after this object's members; the grid and
  // its model read the results table, so they go while it still exists, and
  // the window is hidden while everything its children show is alive.
  hide();
  delete StringGrid1;
  StringGrid1 = nullptr;
  delete GridModel;
  GridModel = nullptr;
}

void TForm1::BuildToolBar() {
  ToolBar1 = new QWidget(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setFixedHeight(29);
  auto button = [this](const char *name, const QString &caption, QStyle::StandardPixmap glyph,
                       int left, int width) {
    auto *b = new QToolButton(ToolBar1);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);
    b->setIcon(style()->standardIcon(glyph));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setAutoRaise(true);
    b->setGeometry(left, 2, width, 25);
    return b;
  };
  btOpenImages = button("btOpenImages", QStringLiteral("Open Images"), QStyle::SP_DialogOpenButton, 0, 121);
  btNext = button("btNext", QStringLiteral("Start"), QStyle::SP_MediaPlay, 121, 80);
  btMeasure = button("btMeasure", QStringLiteral("Measure"), QStyle::SP_FileDialogDetailedView, 201, 80);
  btBack = button("btBack", QStringLiteral("Back"), QStyle::SP_ArrowBack, 281, 80);
  ComboBox1 = new QComboBox(ToolBar1);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->addItems({QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("75%"),
                       QStringLiteral("100%"), QStringLiteral("150%"), QStringLiteral("200%"),
                       QStringLiteral("400%")});
  ComboBox1->setCurrentIndex(3);
  ComboBox1->setGeometry(361, 3, 93, 23);
  bbSave = button("bbSave", QStringLiteral("Save"), QStyle::SP_DialogSaveButton, 454, 83);

  // The keyboard order differs from the visual one.
  QWidget::setTabOrder(btOpenImages, btNext);
  QWidget::setTabOrder(btNext, btBack);
  QWidget::setTabOrder(btBack, bbSave);
  QWidget::setTabOrder(bbSave, ComboBox1);
  QWidget::setTabOrder(ComboBox1, btMeasure);
  for (QToolButton *b : {btOpenImages, btNext, btMeasure, btBack, bbSave})
    b->setFocusPolicy(Qt::StrongFocus);
}

void TForm1::BuildMenus() {
  Files1 = menuBar()->addMenu(QStringLiteral("&Files"));
  OpenImages1 = Files1->addAction(QStringLiteral("Open &Images"));
  ContinueResults1 = Files1->addAction(QStringLiteral("&Continue Results\u2026"));
  Files1->addSeparator();
  SaveData1 = Files1->addAction(QStringLiteral("&Save Data"));
  Saveas1 = Files1->addAction(QStringLiteral("Save Data &as"));
  ExportAnnotated1 = Files1->addAction(QStringLiteral("&Export Annotated Images\u2026"));
  Files1->addSeparator();
  Exit1 = Files1->addAction(QStringLiteral("E&xit"));

  Define1 = menuBar()->addMenu(QStringLiteral("&Define Measurements"));
  AddDef1 = Define1->addAction(QStringLiteral("&Add Definition"));
  DeleteDef1 = Define1->addAction(QStringLiteral("&Delete Definition"));
  Define1->addSeparator();
  SaveDef1 = Define1->addAction(QStringLiteral("&Save Definitions"));
  LoadDef1 = Define1->addAction(QStringLiteral("&Load Definitions"));

  Help1 = menuBar()->addMenu(QStringLiteral("&About"));
  AboutScaliper1 = Help1->addAction(QStringLiteral("&About SCALIPER"));

  PopupMenu1 = new QMenu(this);
  Next1 = PopupMenu1->addAction(QStringLiteral("Start"));
  Measure1 = PopupMenu1->addAction(QStringLiteral("Measure"));
  Back1 = PopupMenu1->addAction(QStringLiteral("Back"));
  // The view's own keys belong to no menu, so that the menus stay as they
  // are; the zoom box's tool-tip names them.
  Loupe1 = new QAction(QStringLiteral("Loupe"), this);
  Loupe1->setCheckable(true);
  Loupe1->setChecked(true);
  FitImage1 = new QAction(QStringLiteral("Fit Image"), this);
  ActualSize1 = new QAction(QStringLiteral("Actual Size"), this);
}

void TForm1::BuildWorkArea() {
  Splitter1 = new QWidget(this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setFixedWidth(121);
  Splitter1->setCursor(Qt::SplitHCursor);
  auto panel = [this](const char *name, const QString &caption, int top) {
    auto *p = new QLabel(caption, Splitter1);
    p->setObjectName(QString::fromLatin1(name));
    p->setAlignment(Qt::AlignCenter);
    p->setGeometry(16, top, 89, 25);
    p->setAutoFillBackground(true);
    p->setBackgroundRole(QPalette::Button);
    p->setFrameShape(QFrame::NoFrame);
    p->setCursor(Qt::ArrowCursor);
    return p;
  };
  pnScale = panel("pnScale", QStringLiteral("Scale"), 40);
  pnMeasure = panel("pnMeasure", QStringLiteral("Measure"), 72);
  auto label = [this](const char *name, int top) {
    auto *l = new QLabel(Splitter1);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(16, top, 100, 17);
    return l;
  };
  lbMeasureNo = label("lbMeasureNo", 104);
  lbMeasureName = label("lbMeasureName", 128);
  lbMeasureType = label("lbMeasureType", 152);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ScrollContent = new QWidget;
  Image1 = new TImageView(ScrollContent);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(0, 0, 317, 349);
  PaintBox1 = new TOverlay(ScrollContent);
  PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1->setGeometry(0, 0, 217, 201);
  PaintBox1->raise();
  PaintBox1->hide();
  ScrollContent->resize(317, 349);
  ScrollBox1->setWidget(ScrollContent);
  // The aids lie on a layer of their own over the view: a label whose text
  // changes asks its parent to lay it out again, and the view's own answer
  // to that is to repaint its scroll bars at every pointer move.
  AidLayer = new QWidget(ScrollBox1->viewport());
  AidLayer->setAttribute(Qt::WA_TransparentForMouseEvents);
  AidLayer->hide();
  LiveValue = new TValueLabel(AidLayer);
  Loupe = new TLoupe(AidLayer);
  ScrollBox1->setContextMenuPolicy(Qt::CustomContextMenu);
  // A scroll box reports where its menu was asked for in its viewport.
  connect(ScrollBox1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { PopupMenu1->popup(ScrollBox1->viewport()->mapToGlobal(pos)); });
}

void TForm1::BuildGrid() {
  StringGrid1 = new QTableView(this);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setMinimumHeight(TResultsGridModel::kRowHeight * 2 + 4);
  GridModel = new TResultsGridModel(ResultsTable, this);
  GridModel->AttachView(StringGrid1);
}

void TForm1::BuildStatusBar() {
  // As high as its font needs (no fixed height): underscores and descenders
  // must not be cut off at any font size or scale.
  statusBar()->setSizeGripEnabled(true);
  StatusPanel0 = new QLabel(this);
  StatusPanel0->setFixedWidth(100);
  StatusPanel1 = new QLabel(this);
  StatusPanel1->setMinimumWidth(50);
  statusBar()->addWidget(StatusPanel0);
  statusBar()->addWidget(StatusPanel1, 1);
}

// Every command runs inside an event; an error that escapes one is caught by
// the application object and shown in its standard error report.
void TForm1::ConnectCommands() {
  auto bind = [this](QAction *action, auto handler) {
    connect(action, &QAction::triggered, this, [this, handler] { std::invoke(handler, *this); });
  };
  bind(Exit1, &TForm1::Exit1Click);
  bind(SaveData1, [](TForm1 &f) { f.bbSaveClick(); });
  bind(Saveas1, [](TForm1 &f) { f.Saveas1Click(); });
  connect(btOpenImages, &QToolButton::clicked, this, &TForm1::btOpenImagesClick);
  connect(btNext, &QToolButton::clicked, this, &TForm1::btNextClick);
  connect(btMeasure, &QToolButton::clicked, this, &TForm1::btMeasureClick);
  connect(btBack, &QToolButton::clicked, this, &TForm1::btBackClick);
  bind(OpenImages1, &TForm1::btOpenImagesClick);
  bind(ContinueResults1, &TForm1::ContinueResults1Click);
  bind(ExportAnnotated1, &TForm1::ExportAnnotated1Click);
  // Double-click, or Enter on the current row, goes to that row's image.
  // (Not the view's "activated", which some desktops give for a single click.)
  connect(StringGrid1, &QTableView::doubleClicked, this,
          [this](const QModelIndex &index) { StringGrid1DblClick(index.row()); });
  StringGrid1->installEventFilter(new EventFilter<QKeyEvent>(StringGrid1, QEvent::KeyPress, [this](QKeyEvent *key) {
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    const QModelIndex current = StringGrid1->currentIndex();
    if (current.isValid()) StringGrid1DblClick(current.row());
    return true;
  }));
  bind(Next1, &TForm1::btNextClick);
  bind(Measure1, &TForm1::btMeasureClick);
  bind(Back1, &TForm1::btBackClick);
  bind(Loupe1, &TForm1::Loupe1Click);
  bind(FitImage1, &TForm1::FitImage1Click);
  bind(ActualSize1, &TForm1::ActualSize1Click);
  // The zoom follows the box's text, once per change, whether an item was
  // chosen or text typed (text that is no item's text means 100 %).
  connect(ComboBox1, &QComboBox::currentTextChanged, this, &TForm1::ComboBox1Change);
  connect(ComboBox1->lineEdit(), &QLineEdit::editingFinished, this, &TForm1::ComboBox1Exit);
  bind(AddDef1, &TForm1::AddDef1Click);
  bind(DeleteDef1, &TForm1::DeleteDef1Click);
  bind(SaveDef1, &TForm1::SaveDef1Click);
  bind(LoadDef1, &TForm1::LoadDef1Click);
  connect(bbSave, &QToolButton::clicked, this, [this] { bbSaveClick(); });
  bind(AboutScaliper1, &TForm1::AboutScaliper1Click);
  connect(PaintBox1, &TOverlay::MouseDown, this, &TForm1::PaintBox1MouseDown);
  connect(PaintBox1, &TOverlay::MouseMove, this, &TForm1::PaintBox1MouseMove);
  // The aids follow the band, as a listener of their own.
  connect(PaintBox1, &TOverlay::MouseMove, this, [this](int x, int y) { UpdateDrawingAids(QPoint(x, y)); });
  connect(PaintBox1, &TOverlay::MouseUp, this, &TForm1::PaintBox1MouseUp);
  PaintBox1->TakesSecondaryButton = [this] { return OverlayTakesSecondaryButton(); };
  // Ctrl + wheel over the picture steps the zoom about the pointer; the
  // wheel alone scrolls as ever.
  ScrollBox1->viewport()->installEventFilter(
      new EventFilter<QWheelEvent>(ScrollBox1->viewport(), QEvent::Wheel, [this](QWheelEvent *wheel) {
        if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
        WheelSteps_ += wheel->angleDelta().y();
        const int steps = WheelSteps_ / QWheelEvent::DefaultDeltasPerStep;
        WheelSteps_ -= steps * QWheelEvent::DefaultDeltasPerStep;
        if (steps != 0) ZoomStep(steps, wheel->position().toPoint());
        return true;
      }));
}

void TForm1::FormCreate() {
  ImageBitmap = QImage();
  CurrentImage = -1;
  ShownImage = -1;
  RunStarted = ScaleArmed = MeasureArmed = false;
  RowsContinued = false;
  DecimalSeparator = UserDecimalSeparator();
  MeasureStep = 0;
  Zoom = 1.0;
  DotsPerCm = 0.0;
  Dragging = AngleFirstArm = AngleSecondArm = false;
  StartPoint = LastPoint = ArmEnd1 = ArmEnd2 = QPoint();
  lbMeasureNo->clear();
  lbMeasureName->clear();
  lbMeasureType->clear();
  KnownLengthCm = 10;

  OpenDialog1.Mode = FileDialogState::Open;
  OpenDialog1.Title = QStringLiteral("Open files");
  OpenDialog1.Filter = QStringLiteral(
      "All files (*.*)|*.*|All image files (*.jpeg, *.jpg, *.bmp)|*.jpeg;*.jpg;*.bmp|"
      "JPEG files (*.jpeg, *.jpg)|*.jpeg;*.jpg|Bitmap files (*.bmp)|*.bmp");
  OpenDialog1.FilterIndex = 2;
  OpenDialog1.MultiSelect = true;

  SaveDialog1.Mode = FileDialogState::Save;
  SaveDialog1.Title = QStringLiteral("Save files");
  SaveDialog1.Filter =
      QStringLiteral("Tabbed Text (*.txt)|*.txt|CSV (*.csv)|*.csv|All Files (*.*)|*.*");
  SaveDialog1.FilterIndex = rftTabbedText;
  SaveDialog1.DefaultExt = QStringLiteral("*.txt");
  SaveDialog1.OverwritePrompt = true;

  OpenDialog3.Mode = FileDialogState::Open;
  OpenDialog3.Title = QStringLiteral("Continue Results");
  // Both layouts are listed at first: the layout is read from the file.
  OpenDialog3.Filter = QStringLiteral("Results files (*.txt, *.csv)|*.txt;*.csv|") + SaveDialog1.Filter;
  OpenDialog3.FilterIndex = 1;
  OpenDialog3.DefaultExt = SaveDialog1.DefaultExt;

  for (FileDialogState *d : {&OpenDialog2, &SaveDialog2}) {
    d->Filter = QStringLiteral("Definition File (*.dfn)|*.dfn");
    d->FilterIndex = 1;
    d->DefaultExt = QStringLiteral("*.dfn");
  }
  OpenDialog2.Mode = FileDialogState::Open;
  SaveDialog2.Mode = FileDialogState::Save;
}

void TForm1::FormDestroy() {
  ImageBitmap = QImage();
}

void TForm1::Exit1Click() { close(); }

void TForm1::AboutScaliper1Click() {
  TAboutBox box(this);
  Prompt_.RunModal(box);
}

bool TForm1::OverlayTakesSecondaryButton() const { return ScaleArmed || MeasureArmed; }

void TForm1::closeEvent(QCloseEvent *event) {
  // Refused until the question is answered, so that an error escaping it
  // keeps the window and its results.
  event->ignore();
  bool canClose = true;
  FormCloseQuery(canClose);
  if (!canClose) return;
  event->accept();
  // The sitting ends normally: its results were saved, the person chose not
  // to save them, or nothing was measured. Its journal is no longer needed.
  Journal.Finish();
}

void TForm1::EraseOverlay() {
  PaintBox1->Clear();
  PaintBox1->hide();
  PaintBox1->show();
}

void TForm1::ResetOverlay() {
  PaintBox1->Clear();
  PaintBox1->hide();
  PaintBox1->resize(Image1->width(), Image1->height());
  PaintBox1->show();
  FitScrollContent();
}

void TForm1::FitScrollContent() {
  const bool overlay = PaintBox1->isVisible();
  ScrollContent->resize(qMax(Image1->width(), overlay ? PaintBox1->width() : 0),
                        qMax(Image1->height(), overlay ? PaintBox1->height() : 0));
}
