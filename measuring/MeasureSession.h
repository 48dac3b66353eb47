#pragma once

#include <QLineF>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <vector>

#include "definitions/DefinitionList.h"
#include "results/Record.h"

class TOverlay;

// What the measuring session needs of the window it runs in: its questions
// to the person, the current image's row and record, and the aids beside
// the pointer. The window implements it in a few lines; a test can put in
// one of its own and drive the session without a window.
class TMeasureHost {
public:
  virtual ~TMeasureHost() = default;
  virtual void Beep() = 0;
  // The OK/Retry pop-up for a figure released at `release` (overlay pixels).
  virtual int AskOkRetry(QPoint release) = 0;
  // The scale dialog for a line of `dots` image pixels, offering `knownCm`;
  // after OK, `knownCm` and `dotsPerCm` are what it gives.
  virtual int AskScale(int dots, int &knownCm, double &dotsPerCm) = 0;
  // A question answered Yes or No.
  virtual bool AskYes(const QString &question) = 0;
  // Whether the view shows the current image's picture, so that what is
  // drawn on it belongs to that image's rows.
  virtual bool PictureShown() const = 0;
  // The current image.
  virtual int Image() const = 0;
  // An image's rows, one per object (its own row first), and putting them
  // back as they were (adding or taking away rows of further objects).
  virtual std::vector<QStringList> Rows(int image) const = 0;
  virtual void SetRows(int image, const std::vector<QStringList> &rows) = 0;
  // Cells of the current image's object (from 1; the next object's row is
  // made for it); a fixed column goes to all of the image's rows.
  virtual void WriteCells(int object, int column, const QStringList &texts) = 0;
  // The decimal separator of values written.
  virtual QChar Decimal() const = 0;
  // The record of an image, and taking entries into the record.
  virtual const TRecordedImage *Recorded(int image) const = 0;
  virtual void Remember(const std::vector<TRecordEntry> &entries) = 0;
  // Overlay pixels per image pixel.
  virtual double Zoom() const = 0;
  // The overlay emptied; emptied and given the view's size; and the current
  // image's record drawn on it afresh.
  virtual void EraseOverlay() = 0;
  virtual void ResetOverlay() = 0;
  virtual void DrawRecord() = 0;
  // The aids beside the pointer for the figure being drawn with its moving
  // end at `p`, or none.
  virtual void ShowAids(QPoint p) = 0;
  virtual void HideAids() = 0;
};

// The measuring of one image after another: the step armed (the scale, or
// the definition due, for the object due), the scale in force and the known
// length, a figure being drawn with the pointer on the overlay, and each
// image's history of what was confirmed, to undo and redo. Presses, moves
// and releases come in overlay pixels; points kept are in image pixels.
class TMeasureSession {
public:
  TMeasureSession(TMeasureHost &host, TOverlay &overlay, const TDefinitionList &definitions);

  // ---- Pointer on the overlay ----------------------------------------------
  void Press(QPoint p);
  void Move(QPoint p);
  void Release(QPoint p);

  // ---- Steps ---------------------------------------------------------------
  // Arms the scale step on the current image; false (with a beep) when the
  // view does not show it.
  bool ArmScale();
  // Ends a figure or scale line not yet released: band erased, drag over.
  void EndUnfinishedFigure();
  // The scale `dotsPerCm` (a row's own), with the known length offered at
  // the next calibration; a scale of 0 or below changes nothing.
  void TakeScale(double dotsPerCm, int knownCm = 0);
  // Another image is current: its first object is due.
  void ImageChanged();

  // ---- Objects, undo and redo -------------------------------------------------
  // The definitions start again at the first, for the next object of the
  // image; false (with a beep) before the image's scale is taken.
  bool NextObject();
  // Takes back the last scale, figure or deletion confirmed on the current
  // image: its rows and record return to what they were before it, and its
  // step is due again; Redo does it again. False (with a beep) when there is
  // nothing to take back or do again.
  bool Undo();
  bool Redo();
  // Deletes object k (from 2) of an image: its row and its figures go, and
  // the objects after it are numbered one less. It can be undone.
  void DeleteObject(int image, int object);
  int Object() const { return Object_; }

  bool ScaleArmed() const { return ScaleArmed_; }
  bool MeasureArmed() const { return MeasureArmed_; }
  int Step() const { return Step_; }  // the definition due, from 0
  // A figure or scale line is being drawn.
  bool Drawing() const { return Dragging_ || AngleFirstArm_ || AngleSecondArm_; }
  bool AngleSecondArm() const { return AngleSecondArm_; }
  double DotsPerCm() const { return DotsPerCm_; }
  int KnownLengthCm() const { return KnownLengthCm_; }
  QPoint Start() const { return StartPoint_; }
  QPoint Last() const { return LastPoint_; }

  // The figure being drawn with its moving end at `p`: the text of the
  // value it would give on OK with its unit (empty while it has none), and
  // its lines in picture coordinates. False when no figure is being drawn.
  bool FigureBeingDrawn(QPoint p, QString &value, std::vector<QLineF> &lines) const;

private:
  const TMeasureType &Due() const { return Definitions_.At(Step_); }
  QPointF ImagePoint(QPoint overlay) const;
  // The rubber band from StartPoint_, moved from LastPoint_ to `to`.
  void MoveBand(TMeasureKind kind, QPoint to);
  void ScaleRelease(QPoint end);
  void MeasureRelease(QPoint end);
  // The cell texts of the due figure whose moving end is at `end`.
  std::optional<QStringList> Values(QPoint end) const;
  // Asks OK or Retry for a figure drawn as a band. OK draws it for good
  // with its name and writes its values into the current image's row, the
  // next measurement becoming due; Retry, or a figure without a value,
  // erases it.
  void ConfirmFigure(const std::vector<QPoint> &points, QPoint release, const std::optional<QStringList> &values);
  // A new scale of `dotsPerCm` on the current image: appends the row's
  // figures with their values computed again from their points, and the
  // clearing of values that have no recorded figure, after asking whether
  // they may go. False when the person keeps the old scale.
  bool Rescale(double dotsPerCm, std::vector<TRecordEntry> &entries);
  void SkipUnmeasurableSteps();

  // What an image and the steps were before an action, to return to.
  struct TSnapshot {
    std::vector<QStringList> Rows;
    TRecordedImage Record;
    bool ScaleArmed = false, MeasureArmed = false;
    int Step = 0, Object = 1;
    double DotsPerCm = 0;
  };
  struct THistory {
    std::vector<TSnapshot> Undo, Redo;
  };
  TSnapshot Snapshot(int image) const;
  // An action on an image begins: what it was goes on its history.
  void Begin(int image);
  // Puts an image back as `to`, the steps too when it is the current image,
  // recorded as the image's state.
  void PutBack(int image, const TSnapshot &to);

  TMeasureHost &Host_;
  TOverlay &Overlay_;
  const TDefinitionList &Definitions_;
  bool ScaleArmed_ = false;
  bool MeasureArmed_ = false;
  int Step_ = 0;
  double DotsPerCm_ = 0.0;
  int KnownLengthCm_ = 10;
  bool Dragging_ = false;
  bool AngleFirstArm_ = false;
  bool AngleSecondArm_ = false;
  QPoint StartPoint_, LastPoint_, ArmEnd1_;
  int Object_ = 1;
  std::map<int, THistory> History_;
};

// Draws an image's record on the overlay at `zoom`, as it was after OK:
// its scale line in red, its figures in yellow with their labels.
void DrawRecorded(TOverlay &overlay, const TRecordedImage &recorded, double zoom);
