#include "measuring/MeasureSession.h"

#include "measuring/FigureText.h"
#include "measuring/Geometry.h"
#include "measuring/Overlay.h"
#include "measuring/ValueText.h"
#include "common/Prompter.h"

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
  // Keeping the old scale leaves everything as after Cancel.
  if (result == mrOk && !Rescale(dotsPerCm, entries)) result = mrCancel;
  if (result == mrOk) {
    DotsPerCm_ = dotsPerCm;
    KnownLengthCm_ = knownCm;
    const QString text = FormatValue(DotsPerCm_, Host_.Decimal());
    Host_.WriteCells(kDotsPerCmColumn, {text});
    TRecordEntry &entry = entries[0];
    entry.Kind = TRecordEntry::Scale;
    entry.Image = Host_.Image();
    entry.ScaleValue = {ImagePoint(StartPoint_), ImagePoint(end), KnownLengthCm_, DotsPerCm_, text};
    for (const TRecordEntry &e : entries) {
      if (e.Kind == TRecordEntry::Figure) Host_.WriteCells(e.FigureValue.FirstColumn, e.FigureValue.Cells);
      if (e.Kind == TRecordEntry::Cells) Host_.WriteCells(e.Column, e.Texts);
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
  const TRecordedImage *recorded = Host_.Recorded();
  QStringList unrecorded;
  std::vector<TRecordEntry> cleared;
  for (int p = 0; p < Definitions_.Count(); ++p) {
    const TMeasureType &def = Definitions_.At(p);
    QStringList cells;
    for (int c = 0; c < ColumnCount(def); ++c) cells << Host_.Cell(def.FirstCol + c);
    // An angle is the same under every scale, and an empty value has
    // nothing to convert.
    if (def.Kind == mkAngle || cells.join(QString()).isEmpty()) continue;
    const TRecordedFigure *figure = nullptr;
    if (recorded)
      for (const TRecordedFigure &f : recorded->Figures)
        if (f.Definition == p + 1) figure = &f;
    const std::optional<QStringList> again =
        figure ? FigureCells(def, figure->Points, dotsPerCm, Host_.Decimal()) : std::nullopt;
    TRecordEntry e;
    e.Image = Host_.Image();
    if (again) {
      e.Kind = TRecordEntry::Figure;
      e.FigureValue = *figure;
      e.FigureValue.Cells = *again;
      entries.push_back(e);
      continue;
    }
    // Values whose figure is not known (a results file continued without its
    // figures) cannot be computed again; under the new scale they would be
    // wrong.
    unrecorded << def.Name;
    e.Kind = TRecordEntry::Cells;
    e.Column = def.FirstCol;
    for (int c = 0; c < cells.size(); ++c) e.Texts << QString();
    cleared.push_back(e);
  }
  if (!unrecorded.isEmpty() &&
      !Host_.AskYes(QStringLiteral("The values of %1 on this image were taken with the scale %2 dots/cm and have no "
                                   "recorded figure to be computed again with the new one. Clear them? (No keeps "
                                   "the old scale.)")
                        .arg(unrecorded.join(QStringLiteral(", ")), Host_.Cell(kDotsPerCmColumn))))
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
    DrawMark(Overlay_, def.Kind, points, def.Name);
    TRecordEntry entry;
    entry.Kind = TRecordEntry::Figure;
    entry.Image = Host_.Image();
    // The row says which scale its values were taken with.
    if (Host_.Cell(kDotsPerCmColumn).isEmpty()) {
      entry.DotsPerCmCell = FormatValue(DotsPerCm_, Host_.Decimal());
      Host_.WriteCells(kDotsPerCmColumn, {entry.DotsPerCmCell});
    }
    Host_.WriteCells(def.FirstCol, *values);
    entry.FigureValue = {Step_ + 1, def.Name, int(def.Kind), {}, def.FirstCol, *values,
                         FigureUnits(def, int(values->size()))};
    for (QPoint p : points) entry.FigureValue.Points.push_back(ImagePoint(p));
    Host_.Remember({entry});
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
    if (points.size() >= 2) DrawMark(overlay, TMeasureKind(f.Kind), points, f.Name);
  }
  overlay.PenColor = kRed;
}
