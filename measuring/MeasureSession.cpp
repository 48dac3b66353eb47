#include "measuring/MeasureSession.h"

#include "measuring/FigureText.h"
#include "measuring/Geometry.h"
#include "measuring/Overlay.h"
#include "measuring/ValueText.h"
#include "common/Prompter.h"

#include <algorithm>

namespace {
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const int kLabelPointSize = 8;
constexpr int kDotsPerCmColumn = 3;

// A figure from its points: a rectangle's two corners, or lines from the
// first point to each other one.
void DrawFigure(TOverlay &overlay, TMeasureKind kind, const std::vector<QPoint> &points) {
  if (kind == mkRectangle) {
    overlay.Rectangle(points[0], points[1]);
    return;
  }
  for (size_t k = 1; k < points.size(); ++k) overlay.Line(points[0], points[k]);
}

// A figure kept for good: in yellow, with its name beside its first point.
void DrawMark(TOverlay &overlay, TMeasureKind kind, const std::vector<QPoint> &points, const QString &name) {
  overlay.Mode = TOverlay::pmCopy;
  overlay.PenColor = kYellow;
  DrawFigure(overlay, kind, points);
  overlay.TextOut(points[0] - QPoint(10, 12), name, kLabelPointSize);
}
}  // namespace

TMeasureSession::TMeasureSession(TMeasureHost &host, TOverlay &overlay, const TDefinitionList &definitions)
    : Host_(host), Overlay_(overlay), Definitions_(definitions) {}

QPointF TMeasureSession::ImagePoint(QPoint overlay) const { return QPointF(overlay) / Host_.Zoom(); }

void TMeasureSession::Press(QPoint p) {
  // A step armed on an earlier picture carries over to the next image, but
  // nothing is measured while the view does not show the current image.
  if ((ScaleArmed_ || MeasureArmed_) && !Host_.PictureShown()) {
    Host_.Beep();
    return;
  }
  if (ScaleArmed_) {
    Overlay_.PenColor = kRed;
    Dragging_ = true;
    StartPoint_ = LastPoint_ = p;
  }
  if (MeasureArmed_) {
    Overlay_.PenColor = kRed;
    switch (Due().Kind) {
      case mkLine:
      case mkRectangle:
        Dragging_ = true;
        StartPoint_ = LastPoint_ = p;
        break;
      case mkAngle:
        if (Dragging_) break;  // the first arm is down; the second follows the pointer
        Dragging_ = true;
        AngleFirstArm_ = true;
        AngleSecondArm_ = false;
        StartPoint_ = LastPoint_ = p;
        break;
      default: break;
    }
  }
}

void TMeasureSession::MoveBand(TMeasureKind kind, QPoint to) {
  Overlay_.Mode = TOverlay::pmNotXor;
  if (kind == mkRectangle) {
    Overlay_.Rectangle(StartPoint_, LastPoint_);
    Overlay_.Rectangle(StartPoint_, to);
  } else {
    Overlay_.Line(StartPoint_, LastPoint_);
    Overlay_.Line(StartPoint_, to);
  }
}

void TMeasureSession::Move(QPoint p) {
  if (ScaleArmed_ && Dragging_) MoveBand(mkLine, p);
  if (MeasureArmed_ && Dragging_ && MeasureKinds::IsKnown(Due().Kind)) MoveBand(Due().Kind, p);
  LastPoint_ = p;
  Host_.ShowAids(p);
}

void TMeasureSession::Release(QPoint p) {
  if ((ScaleArmed_ || MeasureArmed_) && !Host_.PictureShown()) {
    // The picture under a figure begun earlier is no longer the current
    // image's: the figure is dropped and nothing is written.
    if (Dragging_) EndUnfinishedFigure();
  } else if (!Dragging_) {
    // A release with no figure begun on this picture (its press came before
    // another image was shown) completes nothing.
  } else if (ScaleArmed_) {
    // The aids show the figure as it ends while its dialog is open.
    Host_.ShowAids(p);
    ScaleRelease(p);
  } else if (MeasureArmed_) {
    Host_.ShowAids(p);
    MeasureRelease(p);
  }
  if (!Dragging_) Host_.HideAids();
}

void TMeasureSession::EndUnfinishedFigure() {
  if (!Drawing()) return;
  Host_.EraseOverlay();
  Dragging_ = AngleFirstArm_ = AngleSecondArm_ = false;
  Host_.HideAids();
}

bool TMeasureSession::ArmScale() {
  // Measuring needs the current image on the screen: after a file that could
  // not be shown the view still holds the previous picture, which belongs to
  // another row.
  if (!Host_.PictureShown()) {
    Host_.Beep();
    return false;
  }
  Host_.ResetOverlay();
  ScaleArmed_ = true;
  return true;
}

void TMeasureSession::TakeScale(double dotsPerCm, int knownCm) {
  if (dotsPerCm > 0) DotsPerCm_ = dotsPerCm;
  if (knownCm > 0) KnownLengthCm_ = knownCm;
}

void TMeasureSession::ImageChanged() {
  // The step armed carries over; it is the first object's.
  if (Object_ > 1) Step_ = 0;
  Object_ = 1;
  if (MeasureArmed_) SkipUnmeasurableSteps();
}

bool TMeasureSession::NextObject() {
  if (!Host_.PictureShown() || DotsPerCm_ <= 0 || ScaleArmed_ || Definitions_.IsEmpty()) {
    Host_.Beep();
    return false;
  }
  EndUnfinishedFigure();
  // A new object once the one due has a row; the next press starts it.
  const int rows = int(Host_.Rows(Host_.Image()).size());
  if (Object_ <= rows) Object_ = rows + 1;
  Step_ = 0;
  MeasureArmed_ = true;
  SkipUnmeasurableSteps();
  return true;
}

TMeasureSession::TSnapshot TMeasureSession::Snapshot(int image) const {
  TSnapshot s;
  s.Rows = Host_.Rows(image);
  if (const TRecordedImage *r = Host_.Recorded(image)) s.Record = *r;
  s.ScaleArmed = ScaleArmed_;
  s.MeasureArmed = MeasureArmed_;
  s.Step = Step_;
  s.Object = Object_;
  s.DotsPerCm = DotsPerCm_;
  return s;
}

void TMeasureSession::Begin(int image) {
  THistory &h = History_[image];
  h.Undo.push_back(Snapshot(image));
  h.Redo.clear();
}

void TMeasureSession::PutBack(int image, const TSnapshot &to) {
  Host_.SetRows(image, to.Rows);
  TRecordEntry state;
  state.Kind = TRecordEntry::State;
  state.Image = image;
  state.Rows = to.Rows;
  state.ImageValue = to.Record;
  Host_.Remember({state});
  if (image != Host_.Image()) return;
  ScaleArmed_ = to.ScaleArmed;
  MeasureArmed_ = to.MeasureArmed;
  Step_ = to.Step;
  Object_ = to.Object;
  DotsPerCm_ = to.DotsPerCm;
  Host_.EraseOverlay();
  Host_.DrawRecord();
}

bool TMeasureSession::Undo() {
  EndUnfinishedFigure();
  const int image = Host_.Image();
  THistory &h = History_[image];
  if (h.Undo.empty() || !Host_.PictureShown()) {
    Host_.Beep();
    return false;
  }
  h.Redo.push_back(Snapshot(image));
  const TSnapshot before = std::move(h.Undo.back());
  h.Undo.pop_back();
  PutBack(image, before);
  return true;
}

bool TMeasureSession::Redo() {
  EndUnfinishedFigure();
  const int image = Host_.Image();
  THistory &h = History_[image];
  if (h.Redo.empty() || !Host_.PictureShown()) {
    Host_.Beep();
    return false;
  }
  h.Undo.push_back(Snapshot(image));
  const TSnapshot after = std::move(h.Redo.back());
  h.Redo.pop_back();
  PutBack(image, after);
  return true;
}

void TMeasureSession::DeleteObject(int image, int object) {
  std::vector<QStringList> rows = Host_.Rows(image);
  if (object < 2 || object > int(rows.size())) return;
  if (image == Host_.Image()) EndUnfinishedFigure();
  Begin(image);
  TSnapshot after = History_[image].Undo.back();
  after.Rows.erase(after.Rows.begin() + (object - 1));
  std::vector<TRecordedFigure> &figures = after.Record.Figures;
  figures.erase(std::remove_if(figures.begin(), figures.end(), [&](const TRecordedFigure &f) { return f.Object == object; }),
                figures.end());
  for (TRecordedFigure &f : figures)
    if (f.Object > object) --f.Object;
  if (image == Host_.Image() && Object_ >= object) {
    // The object due is the same one under its new number; the one deleted
    // gives way to the last.
    after.Object = Object_ > object ? Object_ - 1 : int(after.Rows.size());
    if (Object_ == object) after.MeasureArmed = false;
  }
  PutBack(image, after);
}

std::optional<QStringList> TMeasureSession::Values(QPoint end) const {
  const TMeasureType &def = Due();
  std::vector<QPointF> points{ImagePoint(StartPoint_), ImagePoint(end)};
  if (def.Kind == mkAngle) points = {ImagePoint(StartPoint_), ImagePoint(end), ImagePoint(ArmEnd1_)};
  return FigureCells(def, points, DotsPerCm_, Host_.Decimal());
}

bool TMeasureSession::FigureBeingDrawn(QPoint p, QString &value, std::vector<QLineF> &lines) const {
  // A picture point is an overlay pixel's centre divided by the zoom.
  const double zoom = Host_.Zoom();
  auto at = [zoom](QPoint q) { return (QPointF(q) + QPointF(0.5, 0.5)) / zoom; };
  value.clear();
  lines.clear();
  if (!Dragging_ || (!ScaleArmed_ && !MeasureArmed_)) return false;
  if (ScaleArmed_) {
    value = QString::number(ScaleLengthDots(StartPoint_, p, zoom)) + QStringLiteral(" dots");
    lines = {{at(StartPoint_), at(p)}};
    return true;
  }
  const TMeasureType &def = Due();
  if (!MeasureKinds::IsKnown(def.Kind)) return false;
  const QPointF a = at(StartPoint_), b = at(p);
  if (def.Kind == mkRectangle)
    lines = {{a, {b.x(), a.y()}}, {{b.x(), a.y()}, b}, {b, {a.x(), b.y()}}, {{a.x(), b.y()}, a}};
  else if (def.Kind == mkAngle && !AngleFirstArm_)
    lines = {{a, at(ArmEnd1_)}, {a, b}};
  else
    lines = {{a, b}};
  if (AngleFirstArm_) return true;  // no angle yet, so no value
  if (def.Kind == mkLine && DotsPerCm_ <= 0) {
    // With no scale yet the length is in dots, and says so.
    value = FormatValue(LineLengthCm(ImagePoint(StartPoint_), ImagePoint(p), 1.0), Host_.Decimal()) +
            QStringLiteral(" dots");
    return true;
  }
  // Each value as the table will hold it, with its unit; a rectangle's
  // quantities are named by the letter of their heading.
  if (const std::optional<QStringList> values = Values(p))
    value = FigureValueText(def, *values, FigureUnits(def, int(values->size())));
  return true;
}

void TMeasureSession::ScaleRelease(QPoint end) {
  Overlay_.Mode = TOverlay::pmCopy;
  Overlay_.PenColor = kRed;
  Overlay_.Line(StartPoint_, end);

  const int dots = ScaleLengthDots(StartPoint_, end, Host_.Zoom());
  int knownCm = KnownLengthCm_;
  double dotsPerCm = double(dots) / KnownLengthCm_;
  int result = Host_.AskScale(dots, knownCm, dotsPerCm);
  std::vector<TRecordEntry> entries(1);
  if (result == mrOk) Begin(Host_.Image());
  // Keeping the old scale leaves everything as after Cancel.
  if (result == mrOk && !Rescale(dotsPerCm, entries)) {
    result = mrCancel;
    History_[Host_.Image()].Undo.pop_back();  // nothing was done
  }
  if (result == mrOk) {
    DotsPerCm_ = dotsPerCm;
    KnownLengthCm_ = knownCm;
    const QString text = FormatValue(DotsPerCm_, Host_.Decimal());
    Host_.WriteCells(1, kDotsPerCmColumn, {text});
    TRecordEntry &entry = entries[0];
    entry.Kind = TRecordEntry::Scale;
    entry.Image = Host_.Image();
    entry.ScaleValue = {ImagePoint(StartPoint_), ImagePoint(end), KnownLengthCm_, DotsPerCm_, text};
    for (const TRecordEntry &e : entries) {
      if (e.Kind == TRecordEntry::Figure)
        Host_.WriteCells(e.FigureValue.Object, e.FigureValue.FirstColumn, e.FigureValue.Cells);
      if (e.Kind == TRecordEntry::Cells) Host_.WriteCells(e.Object, e.Column, e.Texts);
    }
    Host_.Remember(entries);
    Step_ = 0;
    ScaleArmed_ = false;
    MeasureArmed_ = true;
    SkipUnmeasurableSteps();
  } else if (result == mrRetry) {
    ArmScale();
  }
  Host_.EraseOverlay();
  Dragging_ = false;
}

bool TMeasureSession::Rescale(double dotsPerCm, std::vector<TRecordEntry> &entries) {
  const int image = Host_.Image();
  const TRecordedImage *recorded = Host_.Recorded(image);
  const std::vector<QStringList> rows = Host_.Rows(image);
  QStringList unrecorded;
  std::vector<TRecordEntry> cleared;
  for (int object = 1; object <= int(rows.size()); ++object) {
    for (int p = 0; p < Definitions_.Count(); ++p) {
      const TMeasureType &def = Definitions_.At(p);
      const QStringList cells = rows[size_t(object - 1)].mid(def.FirstCol, ColumnCount(def));
      // An angle is the same under every scale, and an empty value has
      // nothing to convert.
      if (def.Kind == mkAngle || cells.join(QString()).isEmpty()) continue;
      const TRecordedFigure *figure = nullptr;
      if (recorded)
        for (const TRecordedFigure &f : recorded->Figures)
          if (f.Object == object && f.Definition == p + 1) figure = &f;
      const std::optional<QStringList> again =
          figure ? FigureCells(def, figure->Points, dotsPerCm, Host_.Decimal()) : std::nullopt;
      TRecordEntry e;
      e.Image = image;
      if (again) {
        e.Kind = TRecordEntry::Figure;
        e.FigureValue = *figure;
        e.FigureValue.Cells = *again;
        entries.push_back(e);
        continue;
      }
      // Values whose figure is not known (a results file continued without
      // its figures) cannot be computed again; under the new scale they
      // would be wrong.
      unrecorded << (rows.size() > 1 ? def.Name + u' ' + QString::number(object) : def.Name);
      e.Kind = TRecordEntry::Cells;
      e.Object = object;
      e.Column = def.FirstCol;
      for (int c = 0; c < cells.size(); ++c) e.Texts << QString();
      cleared.push_back(e);
    }
  }
  if (!unrecorded.isEmpty() &&
      !Host_.AskYes(QStringLiteral("The values of %1 on this image were taken with the scale %2 dots/cm and have no "
                                   "recorded figure to be computed again with the new one. Clear them? (No keeps "
                                   "the old scale.)")
                        .arg(unrecorded.join(QStringLiteral(", ")), rows.at(0).value(kDotsPerCmColumn))))
    return false;
  entries.insert(entries.end(), cleared.begin(), cleared.end());
  return true;
}

void TMeasureSession::SkipUnmeasurableSteps() {
  // A definition of no known kind cannot be drawn; its columns stay empty and
  // the run goes on with the next one.
  while (Step_ < Definitions_.Count() && !MeasureKinds::IsKnown(Definitions_.At(Step_).Kind)) ++Step_;
  if (Step_ >= Definitions_.Count()) MeasureArmed_ = false;
}

void TMeasureSession::ConfirmFigure(const std::vector<QPoint> &points, QPoint release,
                                    const std::optional<QStringList> &values) {
  const TMeasureType &def = Due();
  // A figure without a value (an angle with an arm of no length) is taken
  // again, as after Retry.
  if (!values) Host_.Beep();
  if (values && Host_.AskOkRetry(release) == mrOk) {
    const int image = Host_.Image();
    const int objects = int(Host_.Rows(image).size());
    Begin(image);
    TRecordEntry entry;
    entry.Kind = TRecordEntry::Figure;
    entry.Image = image;
    // The row says which scale its values were taken with.
    if (Host_.Rows(image).at(0).value(kDotsPerCmColumn).isEmpty()) {
      entry.DotsPerCmCell = FormatValue(DotsPerCm_, Host_.Decimal());
      Host_.WriteCells(1, kDotsPerCmColumn, {entry.DotsPerCmCell});
    }
    Host_.WriteCells(Object_, def.FirstCol, *values);
    entry.FigureValue = {Step_ + 1, def.Name, int(def.Kind), {}, def.FirstCol, *values,
                         FigureUnits(def, int(values->size())), Object_};
    for (QPoint p : points) entry.FigureValue.Points.push_back(ImagePoint(p));
    Host_.Remember({entry});
    if (Object_ > 1 || objects > 1) {
      // A new object's row, or a figure among several objects: every label
      // names its object.
      Host_.EraseOverlay();
      Host_.DrawRecord();
    } else {
      DrawMark(Overlay_, def.Kind, points, def.Name);
    }
    ++Step_;
    SkipUnmeasurableSteps();
  } else {
    Overlay_.Mode = TOverlay::pmNotXor;
    DrawFigure(Overlay_, def.Kind, points);
  }
  Overlay_.PenColor = kRed;
  Dragging_ = false;
}

void TMeasureSession::MeasureRelease(QPoint end) {
  const TMeasureType &def = Due();
  switch (def.Kind) {
    case mkLine:
    case mkRectangle:
      MoveBand(def.Kind, end);
      ConfirmFigure({StartPoint_, end}, end, Values(end));
      break;
    case mkAngle:
      if (AngleFirstArm_) {
        // The band that ends here is removed; the next move's erase step
        // draws it back, so the first arm stays while the second follows.
        AngleFirstArm_ = false;
        AngleSecondArm_ = true;
        Overlay_.Mode = TOverlay::pmNotXor;
        Overlay_.Line(StartPoint_, end);
        Overlay_.PenColor = kRed;
        ArmEnd1_ = end;
      } else if (AngleSecondArm_) {
        AngleSecondArm_ = false;
        MoveBand(def.Kind, end);
        ConfirmFigure({StartPoint_, end, ArmEnd1_}, end, Values(end));
      }
      break;
    default: break;
  }
}

void DrawRecorded(TOverlay &overlay, const TRecordedImage &recorded, double zoom) {
  // Points of a figures file may lie far outside the picture; they are kept
  // within what an overlay coordinate can hold.
  auto at = [zoom](QPointF p) {
    constexpr double kFar = 1 << 28;
    return QPoint(qRound(qBound(-kFar, p.x() * zoom, kFar)), qRound(qBound(-kFar, p.y() * zoom, kFar)));
  };
  overlay.Mode = TOverlay::pmCopy;
  if (recorded.Scale) {
    overlay.PenColor = kRed;
    overlay.Line(at(recorded.Scale->P1), at(recorded.Scale->P2));
  }
  for (const TRecordedFigure &f : recorded.Figures) {
    std::vector<QPoint> points;
    for (QPointF p : f.Points) points.push_back(at(p));
    if (points.size() >= 2) DrawMark(overlay, TMeasureKind(f.Kind), points, recorded.Label(f));
  }
  overlay.PenColor = kRed;
}
