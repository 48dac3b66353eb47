#pragma once

#include <QImage>
#include <QMainWindow>
#include <QLineF>
#include <QPoint>
#include <memory>
#include <optional>
#include <vector>

#include "common/Prompter.h"
#include "definitions/DefinitionList.h"
#include "measuring/ValueText.h"
#include "results/Journal.h"
#include "results/Record.h"
#include "results/ResultsTable.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QScrollArea;
class QSplitter;
class QTableView;
class QToolButton;
class QWidget;
class TImageView;
class TLoupe;
class TValueLabel;
class TReadAhead;
struct TReducedPart;
class TOverlay;
class TResultsGridModel;

// The main window. It owns everything that lives longer than one command: the
// definitions, the results table, the run state, the current image and the
// state of a drag on the overlay. Each command's handler is defined with the
// subsystem that owns the command.
class TForm1 : public QMainWindow {
  Q_OBJECT

public:
  // `prompter` is how every handler talks to the person; it must outlive the window.
  explicit TForm1(Prompter &prompter, QWidget *parent = nullptr);
  ~TForm1() override;

  // ---- Run state -----------------------------------------------------------
  TDefinitionList DefinitionList;
  TResultsTable ResultsTable;
  int CurrentImage = -1;
  // The image whose picture the view shows: it falls behind CurrentImage
  // when the current image's file could not be shown. -1 before any.
  int ShownImage = -1;
  bool RunStarted = false;
  // Image rows came from a saved results file (Continue Results): their
  // values stand in the definitions' columns, which must no longer move.
  bool RowsContinued = false;
  bool ScaleArmed = false;
  bool MeasureArmed = false;
  int MeasureStep = 0;
  double Zoom = 1.0;
  QImage ImageBitmap;
  // Reads the next picture in the direction of travel while the user works
  // on this one, and keeps the one before it for going back.
  std::unique_ptr<TReadAhead> ReadAhead;
  double DotsPerCm = 0.0;
  int KnownLengthCm = 10;
  // The decimal separator of every value written into the table: the user's
  // regional one, or the one a continued results file's numbers use, so that
  // one file never mixes the two.
  QChar DecimalSeparator = u'.';

  // ---- The record of the sitting -------------------------------------------
  // How every value came about, per image, and its journal on the disk.
  TRecord Record;
  TJournal Journal;
  bool JournalFailed = false;  // reported once; the sitting goes on

  // ---- State of a drag on the overlay --------------------------------------
  bool Dragging = false;
  bool AngleFirstArm = false;
  bool AngleSecondArm = false;
  QPoint StartPoint;
  QPoint LastPoint;
  QPoint ArmEnd1;
  QPoint ArmEnd2;

  // ---- File choosers, remembered for the whole run -------------------------
  FileDialogState OpenDialog1;  // image files
  FileDialogState SaveDialog1;  // results file
  FileDialogState OpenDialog2;  // definition file, load
  FileDialogState OpenDialog3;  // results file to continue
  FileDialogState SaveDialog2;  // definition file, save

  // ---- Controls -------------------------------------------------------------
  QWidget *ToolBar1 = nullptr;
  QToolButton *btOpenImages = nullptr;
  QToolButton *btNext = nullptr;
  QToolButton *btMeasure = nullptr;
  QToolButton *btBack = nullptr;
  QComboBox *ComboBox1 = nullptr;
  QToolButton *bbSave = nullptr;
  QWidget *Splitter1 = nullptr;
  QLabel *pnScale = nullptr;
  QLabel *pnMeasure = nullptr;
  QLabel *lbMeasureNo = nullptr;
  QLabel *lbMeasureName = nullptr;
  QLabel *lbMeasureType = nullptr;
  QScrollArea *ScrollBox1 = nullptr;
  QWidget *ScrollContent = nullptr;
  TImageView *Image1 = nullptr;
  TOverlay *PaintBox1 = nullptr;
  // Aids beside the pointer while a figure is drawn.
  QWidget *AidLayer = nullptr;
  TValueLabel *LiveValue = nullptr;
  TLoupe *Loupe = nullptr;
  bool LoupeOn = true;
  QTableView *StringGrid1 = nullptr;
  QSplitter *Splitter2 = nullptr;  // between the picture and the table
  static constexpr int kGridHeight = 127;
  TResultsGridModel *GridModel = nullptr;
  QLabel *StatusPanel0 = nullptr;
  QLabel *StatusPanel1 = nullptr;

  QMenu *Files1 = nullptr;
  QAction *OpenImages1 = nullptr;
  QAction *ContinueResults1 = nullptr;
  QAction *SaveData1 = nullptr;
  QAction *Saveas1 = nullptr;
  QAction *ExportAnnotated1 = nullptr;
  QAction *Exit1 = nullptr;
  QMenu *Define1 = nullptr;
  QAction *AddDef1 = nullptr;
  QAction *DeleteDef1 = nullptr;
  QAction *SaveDef1 = nullptr;
  QAction *LoadDef1 = nullptr;
  QMenu *Help1 = nullptr;
  QAction *AboutScaliper1 = nullptr;
  QMenu *PopupMenu1 = nullptr;
  QAction *Next1 = nullptr;
  QAction *Measure1 = nullptr;
  QAction *Back1 = nullptr;
  QAction *Loupe1 = nullptr;
  QAction *FitImage1 = nullptr;
  QAction *ActualSize1 = nullptr;

  Prompter &Prompt() { return Prompt_; }

  // ---- Shell -----------------------------------------------------------------
  void FormCreate();
  void FormDestroy();
  void Exit1Click();
  void AboutScaliper1Click();
  // The close question; returns whether the window may close.
  void FormCloseQuery(bool &CanClose);

  // ---- Workflow --------------------------------------------------------------
  void btNextClick();
  void btBackClick();
  void btMeasureClick();
  // Arms the scale step on the current image; false (with a beep) when the
  // view does not show it.
  bool btScaleClick();
  // Goes to the image of a row chosen in the results table.
  void StringGrid1DblClick(int image);
  void UpdateStepDisplay();
  // Whether the view shows the current image, so that what is measured on
  // the screen belongs to the current row.
  bool CurrentImageShown() const { return CurrentImage >= 0 && ShownImage == CurrentImage; }
  void HighlightPanel(QLabel *panel, bool on);

  // ---- Images ----------------------------------------------------------------
  void btOpenImagesClick();
  // Shows image `index` once its picture is read (at once when it was read
  // ahead); meanwhile events go on, and a move to another image meanwhile
  // shows that one instead.
  void ShowImage(int index);
  void DisplayBitmap(const QImage &bitmap, const TReducedPart *prepared = nullptr);
  void ComboBox1Change();
  // Editing of the zoom box ended: a text that is no item gives way to the
  // item of the zoom in force, so the box always says what the view shows.
  void ComboBox1Exit();
  // The zoom becomes `zoom`, the picture point under `anchor` (in the view)
  // staying where it is.
  void SetZoom(double zoom, QPoint anchor);
  // The zoom item `steps` above (or below) the zoom in force, about `anchor`.
  void ZoomStep(int steps, QPoint anchor);
  // The whole picture in the view (the largest zoom that fits, which may be
  // no item of the box), and back to 100 %.
  void FitImage1Click();
  void ActualSize1Click();
  // The zoom box shows the zoom in force: its item, or its percentage.
  void ShowZoomInBox();

  // ---- Definitions -----------------------------------------------------------
  void AddDef1Click();
  void DeleteDef1Click();
  void SaveDef1Click();
  void LoadDef1Click();
  // Whether the definitions, and with them the results table's columns, are
  // fixed: after Start, or once a continued file brought rows with values.
  bool DefinitionsLocked() const { return RunStarted || RowsContinued; }
  // Disables the commands that add, delete and load definitions, for good.
  void LockDefinitions();

  // ---- Results file ----------------------------------------------------------
  // Both return whether the results were written.
  bool bbSaveClick();
  bool Saveas1Click();
  // Writes the results file; true on success. Reports its own failures.
  bool WriteResultsFile(const QString &fileName, char separator);
  // Save writes to this file with this file type from now on, without asking.
  void SetSaveTarget(const QString &fileName, int filterIndex);
  // Reads a saved results file back as image rows, to go on measuring.
  void ContinueResults1Click();

  // The text of a value for the results table, with DecimalSeparator.
  QString ValueText(double value) const { return FormatValue(value, DecimalSeparator); }

  // ---- The record ------------------------------------------------------------
  // Takes entries into the record and appends them to the journal, on the
  // disk before this returns; the definitions go first when they changed
  // since they were last recorded.
  void Remember(const std::vector<TRecordEntry> &entries);
  // At start: offers back the sitting of a journal left by one that did not
  // end normally. True when one was brought back.
  bool OfferLeftOverJournal();
  // Builds the definitions, the table and the record again from entries.
  void RestoreEntries(const std::vector<TRecordEntry> &entries);
  // Draws the image's own scale line and confirmed figures on the overlay,
  // as they were after OK, when the view shows that image.
  void DrawRecordedFigures(int image);
  // A PNG for every image with a scale or a figure, with them drawn on it.
  void ExportAnnotated1Click();
  // Rows continued whose image files are not where they say: asks once per
  // folder where the files are now and changes the Path cells found there.
  void FindMovedImages(int firstImage);
  QPointF ImagePoint(QPoint overlay) const { return QPointF(overlay) / Zoom; }

  // ---- Overlay ---------------------------------------------------------------
  void PaintBox1MouseDown(Qt::MouseButton button, int X, int Y);
  void PaintBox1MouseMove(int X, int Y);
  void PaintBox1MouseUp(Qt::MouseButton button, int X, int Y);
  // The angle between the arms in degrees, 0 to 180; none when an arm has
  // zero length.
  std::optional<double> AngleDegrees(QPoint vertex, QPoint arm1, QPoint arm2) const;
  // The figure being drawn with its moving end at `p`: the text of the
  // value it would give on OK with its unit (empty while it has none), and
  // its lines in picture coordinates. False when no figure is being drawn.
  bool FigureBeingDrawn(QPoint p, QString &value, std::vector<QLineF> &lines) const;

  // Whether the secondary mouse button belongs to the overlay's measuring
  // right now (a step is armed), rather than opening the pop-up menu.
  bool OverlayTakesSecondaryButton() const;

  // ---- Keyboard --------------------------------------------------------------
  // Gives the menu items and the workflow commands their keys (each key runs
  // the handler of its menu item or button) and names the keys in the
  // tool-bar buttons' tool-tips.
  void BindKeys();

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void BuildToolBar();
  void BuildMenus();
  void BuildWorkArea();
  void BuildGrid();
  void BuildStatusBar();
  void ConnectCommands();
  // Makes image i the current one: its row selected, its picture shown, the
  // scale its row holds in force.
  void GoToImage(int i);
  void TakeScaleOfRow(int i);
  // Tells the read-ahead what is shown, what to keep and what to read next.
  void PlanReadAhead();
  // The image file of image `i` when it is one the program reads; else empty.
  QString ReadablePath(int i) const;
  // Hides the overlay, gives it the image view's size and shows it again,
  // which erases everything drawn on it.
  void ResetOverlay();
  // Sizes the scroll box's content to cover the image view and the overlay.
  void FitScrollContent();
  // Hides and shows the overlay, which erases everything drawn on it.
  void EraseOverlay();
  // The two kinds of release on the overlay, and what they share.
  void ScaleRelease(QPoint end);
  void MeasureRelease(QPoint end);
  void SkipUnmeasurableSteps();
  // A new scale of `dotsPerCm` accepted on the current image: appends the
  // row's figures with their values computed again from their points, and
  // the clearing of values that have no recorded figure after asking
  // whether they may go. False when the person keeps the old scale.
  bool RescaleRow(double dotsPerCm, std::vector<TRecordEntry> &entries);
  int RunOkRetry(QPoint overlayPoint);
  // The rubber band from StartPoint, moved from LastPoint to `to`.
  void MoveBand(TMeasureKind kind, QPoint to);
  // A figure from its points: a rectangle's two corners, or lines from the
  // first point to each other one.
  void DrawFigure(TMeasureKind kind, const std::vector<QPoint> &points);
  // A figure kept for good: in yellow, with its name beside its first point.
  void DrawMark(TMeasureKind kind, const std::vector<QPoint> &points, const QString &name);
  // The cell texts of the figure of `def` whose moving end is at `end`;
  // none for an angle whose arm has no length, or a kind that is measured
  // by no figure.
  std::optional<QStringList> FigureValues(const TMeasureType &def, QPoint end) const;
  // Asks OK or Retry for a figure drawn as a band. OK draws it for good with
  // its name and writes its values into the current image's row, the next
  // measurement becoming due; Retry, or a figure without a value, erases it.
  void ConfirmFigure(const TMeasureType &def, const std::vector<QPoint> &points, QPoint release,
                     const std::optional<QStringList> &values);
  // Ends a figure or scale line not yet released: band erased, drag over.
  void EndUnfinishedFigure();
  // The live value and the loupe for the figure being drawn with its moving
  // end at `p`, or hidden when no figure is being drawn.
  void UpdateDrawingAids(QPoint p);
  void HideDrawingAids();
  void Loupe1Click();

  Prompter &Prompt_;
  int WheelSteps_ = 0;  // wheel turn not yet a whole step
  int Direction_ = 1;                // of the last move: +1 onwards, -1 back
  int WantedImage_ = -1;             // the image whose picture is awaited
  bool WaitingForPicture_ = false;   // ShowImage is waiting for it
};

