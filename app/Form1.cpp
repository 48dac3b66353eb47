#include "app/Form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTableView>
#include <QToolButton>
#include <functional>

#include "app/AboutBox.h"
#include "app/ExportCommands.h"
#include "app/ImagePane.h"
#include "app/ProgramInfo.h"
#include "app/ScaliperIcon.h"
#include "definitions/DefinitionCommands.h"
#include "images/ReadAhead.h"
#include "measuring/ConvDlg.h"
#include "measuring/OkRetryDlg.h"
#include "measuring/Overlay.h"
#include "measuring/ValueText.h"
#include "results/ContinueCommands.h"
#include "results/ResultsGridModel.h"
#include "results/SaveCommands.h"

TForm1::TForm1(Prompter &prompter, QWidget *parent)
    : QMainWindow(parent), Prompt_(prompter), Log_(prompter), Choosers_(MakeFileChoosers()),
      ReadAhead_(std::make_unique<TReadAhead>()), DecimalSeparator_(UserDecimalSeparator()) {
  setWindowTitle(QString::fromLatin1(ProgramInfo::Title));
  setWindowIcon(ScaliperIcon());
  setFont(MainFont());
  move(236, 159);
  resize(884, 640);
  StartInsideScreen(*this);

  Menus_ = BuildMenus(this);
  Tools_ = BuildToolBar(this);
  Steps_ = BuildStepPanel(this);
  Pane_ = new TImagePane(this, Prompt_);
  StringGrid1_ = new QTableView(this);
  StringGrid1_->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1_->setMinimumHeight(TResultsGridModel::kRowHeight * 2 + 4);
  GridModel_ = new TResultsGridModel(ResultsTable, this);
  GridModel_->AttachView(StringGrid1_);
  Frame_ = LayOutWindow(this, Tools_.ToolBar1, Steps_.Splitter1, Pane_, StringGrid1_);
  Session_ = std::make_unique<TMeasureSession>(static_cast<TMeasureHost &>(*this), *Pane_->Overlay(), DefinitionList);
  Log_.Definitions = [this] { return RecordedDefinitions(DefinitionList); };
  ConnectCommands();
  BindKeys(this, Menus_, Tools_);
}

TForm1::~TForm1() {
  // Child widgets are deleted only after this object's members; the grid and
  // its model read the results table, so they go while it still exists, and
  // the window is hidden while everything its children show is alive.
  hide();
  delete StringGrid1_;
  delete GridModel_;
}

// Every command runs inside an event; an error that escapes one is caught by
// the application object and shown in its standard error report.
void TForm1::ConnectCommands() {
  const auto bind = [this](QObject *sender, auto handler) {
    if (auto *action = qobject_cast<QAction *>(sender))
      connect(action, &QAction::triggered, this, [this, handler] { std::invoke(handler, *this); });
    else
      connect(static_cast<QToolButton *>(sender), &QToolButton::clicked, this,
              [this, handler] { std::invoke(handler, *this); });
  };
  const TMenuParts &m = Menus_;
  for (QObject *s : {static_cast<QObject *>(m.OpenImages1), static_cast<QObject *>(Tools_.btOpenImages)})
    bind(s, &TForm1::btOpenImagesClick);
  for (QObject *s : {static_cast<QObject *>(m.Next1), static_cast<QObject *>(Tools_.btNext)}) bind(s, &TForm1::btNextClick);
  for (QObject *s : {static_cast<QObject *>(m.Measure1), static_cast<QObject *>(Tools_.btMeasure)})
    bind(s, &TForm1::btMeasureClick);
  for (QObject *s : {static_cast<QObject *>(m.Back1), static_cast<QObject *>(Tools_.btBack)}) bind(s, &TForm1::btBackClick);
  for (QObject *s : {static_cast<QObject *>(m.SaveData1), static_cast<QObject *>(Tools_.bbSave)})
    bind(s, [](TForm1 &f) { f.bbSaveClick(); });
  bind(m.Saveas1, [](TForm1 &f) { f.Saveas1Click(); });
  bind(m.ContinueResults1, [](TForm1 &f) { f.ContinueResults1Click(); });
  bind(m.ExportAnnotated1, &TForm1::ExportAnnotated1Click);
  bind(m.Exit1, &TForm1::Exit1Click);
  bind(m.AddDef1, &TForm1::AddDef1Click);
  bind(m.DeleteDef1, &TForm1::DeleteDef1Click);
  bind(m.SaveDef1, &TForm1::SaveDef1Click);
  bind(m.LoadDef1, &TForm1::LoadDef1Click);
  bind(m.AboutScaliper1, &TForm1::AboutScaliper1Click);
  bind(m.Loupe1, &TForm1::Loupe1Click);
  bind(m.FitImage1, &TForm1::FitImage1Click);
  bind(m.ActualSize1, &TForm1::ActualSize1Click);
  for (QObject *s : {static_cast<QObject *>(m.NextObject1), static_cast<QObject *>(Tools_.btNextObject)})
    bind(s, &TForm1::NextObject1Click);
  bind(m.Undo1, &TForm1::Undo1Click);
  bind(m.Redo1, &TForm1::Redo1Click);
  // Double-click, or Enter on the current row, goes to that row's image.
  // (Not the view's "activated", which some desktops give for a single click.)
  // Grid row r is table row r + 1. Delete on an object's row deletes it.
  connect(StringGrid1_, &QTableView::doubleClicked, this,
          [this](const QModelIndex &index) { StringGrid1DblClick(ResultsTable.ImageOfRow(index.row() + 1)); });
  new TEventFilter(StringGrid1_, QEvent::KeyPress, [this](QEvent *event) {
    const int key = static_cast<QKeyEvent *>(event)->key(), row = StringGrid1_->currentIndex().row() + 1;
    if (key == Qt::Key_Delete && row > 0) DeleteObject(row);
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return key == Qt::Key_Delete;
    if (row > 0) StringGrid1DblClick(ResultsTable.ImageOfRow(row));
    return true;
  });
  Pane_->AttachZoomBox(Tools_.ComboBox1);
  Pane_->Busy = [this] { return Session_->Drawing(); };
  connect(Pane_, &TImagePane::Zoomed, this, &TForm1::DrawRecordedFigures);
  TOverlay *overlay = Pane_->Overlay();
  connect(overlay, &TOverlay::MouseDown, this, &TForm1::PaintBox1MouseDown);
  connect(overlay, &TOverlay::MouseMove, this, &TForm1::PaintBox1MouseMove);
  connect(overlay, &TOverlay::MouseUp, this, &TForm1::PaintBox1MouseUp);
  // The secondary button belongs to measuring while a step is armed, and
  // opens the image area's pop-up menu otherwise.
  overlay->TakesSecondaryButton = [this] { return Session_->ScaleArmed() || Session_->MeasureArmed(); };
  Pane_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Pane_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { Menus_.PopupMenu1->popup(Pane_->viewport()->mapToGlobal(pos)); });
  connect(ReadAhead_.get(), &TReadAhead::Arrived, this, &TForm1::PictureArrived);
}

void TForm1::ComboBox1Change() { Pane_->ZoomBoxChanged(); }
void TForm1::FitImage1Click() { Pane_->FitCommand(); }
void TForm1::ActualSize1Click() { Pane_->ActualSizeCommand(); }

void TForm1::AboutScaliper1Click() {
  TAboutBox box(this);
  Prompt_.RunModal(box);
}

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
  Log_.Journal.Finish();
}

void TForm1::FormCloseQuery(bool &CanClose) {
  CanClose = MayClose(Prompt_, ResultsTable, [this] { return bbSaveClick(); });
}

// ---- Definitions and results: the commands of their rooms ------------------------

void TForm1::AddDef1Click() { AddDefinitionCommand(this, Prompt_, DefinitionList, ResultsTable, DefinitionsLocked()); }
void TForm1::DeleteDef1Click() {
  DeleteDefinitionCommand(this, Prompt_, DefinitionList, ResultsTable, DefinitionsLocked());
}
void TForm1::SaveDef1Click() { SaveDefinitionsCommand(Prompt_, Choosers_.SaveDialog2, DefinitionList); }
void TForm1::LoadDef1Click() {
  LoadDefinitionsCommand(Prompt_, Choosers_.OpenDialog2, DefinitionList, ResultsTable, DefinitionsLocked());
}
bool TForm1::bbSaveClick() { return SaveResults(Prompt_, Choosers_.SaveDialog1, ResultsTable, Log_); }
bool TForm1::Saveas1Click() { return SaveResultsAs(Prompt_, Choosers_.SaveDialog1, ResultsTable, Log_); }

void TForm1::ContinueResults1Click(const QString &file) {
  if (RunStarted_) {  // reached otherwise than by its disabled menu item
    Prompt_.Beep();
    return;
  }
  TDefinitionListColumns columns(DefinitionList, ResultsTable);
  if (ContinueResults(Prompt_, Choosers_.OpenDialog3, Choosers_.SaveDialog1, ResultsTable, Log_, columns,
                      DecimalSeparator_, file)) {
    RowsContinued_ = true;
    LockDefinitions();
  }
  PlanReadAhead();
}

void TForm1::ExportAnnotated1Click() {
  // While the export draws its pictures the read-ahead holds only the one
  // shown; it reads ahead again afterwards.
  ExportAnnotatedImages(this, Prompt_, {ResultsTable, Log_.Record, DefinitionList, Choosers_.SaveDialog1.FileName},
                        [this] { ReadAhead_->Plan(ReadablePath(ShownImage_), {}, {}, Pane_->Place()); });
  PlanReadAhead();
}

void TForm1::LockDefinitions() {
  for (QAction *a : {Menus_.AddDef1, Menus_.DeleteDef1, Menus_.LoadDef1}) a->setEnabled(false);
}

// ---- How the measuring session reaches the window -------------------------------

int TForm1::AskOkRetry(QPoint release) {
  TOkRetryDlg popup(this);
  // From the overlay itself, so that the pop-up opens beside the pointer
  // wherever the view is scrolled to, and beside the live value, which
  // stays in sight while the person decides.
  const QPoint screenPoint = Pane_->Overlay()->mapToGlobal(release);
  QScreen *screen = QGuiApplication::screenAt(screenPoint);
  if (!screen) screen = QGuiApplication::primaryScreen();
  popup.move(PopupBeside(Pane_->LiveValueOnScreen(), screenPoint, popup.size(),
                         screen ? screen->geometry() : QRect(0, 0, 1 << 20, 1 << 20)));
  return Prompt_.RunModal(popup);
}

int TForm1::AskScale(int dots, int &knownCm, double &dotsPerCm) {
  TConvDlg dialog(this, Prompt_);
  dialog.SetLengthCm(knownCm);
  dialog.SetLengthDots(dots);
  dialog.SetDotsPerCm(dotsPerCm);
  const int result = Prompt_.RunModal(dialog);
  knownCm = dialog.LengthCm;
  dotsPerCm = dialog.DotsPerCm;
  return result;
}

bool TForm1::AskYes(const QString &question) {
  return Prompt_.Ask(question, QStringLiteral("Confirm"), false) == mrYes;
}

void TForm1::WriteCells(int object, int column, const QStringList &texts) {
  if (object > ResultsTable.ObjectCount(CurrentImage_)) ResultsTable.AddObject(CurrentImage_);
  ResultsTable.SetObjectCells(CurrentImage_, object, column, texts);
  ResultsTable.ShowImageRow(CurrentImage_, object);
}

void TForm1::DeleteObject(int row) {
  const int image = ResultsTable.ImageOfRow(row), object = ResultsTable.ObjectOfRow(row);
  // An image's own row stays: its values are undone or measured again.
  if (image < 0 || object < 2) return Prompt_.Beep();
  if (AskYes(QStringLiteral("Delete object %1 of %2, with its values and figures?")
                 .arg(object)
                 .arg(ResultsTable.Cell(TResultsTable::colFileName, row))))
    Session_->DeleteObject(image, object);
  UpdateStepDisplay();
}

double TForm1::Zoom() const { return Pane_->Zoom(); }
void TForm1::EraseOverlay() { Pane_->EraseOverlay(); }
void TForm1::ResetOverlay() { Pane_->ResetOverlay(); }
void TForm1::HideAids() { Pane_->HideAids(); }

void TForm1::ShowAids(QPoint p) {
  QString value;
  std::vector<QLineF> lines;
  if (Session_->FigureBeingDrawn(p, value, lines))
    Pane_->ShowAids(p, Session_->Start(), value, lines);
  else
    Pane_->HideAids();
}

void TForm1::PaintBox1MouseUp(Qt::MouseButton, int X, int Y) {
  Session_->Release({X, Y});
  UpdateStepDisplay();
}
