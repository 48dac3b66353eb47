#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>

#include "app/Form1.h"
#include "measuring/ConvDlg.h"
#include "measuring/DrawingAids.h"
#include "measuring/FigureText.h"
#include "measuring/Geometry.h"
#include "measuring/OkRetryDlg.h"
#include "measuring/Overlay.h"
#include "measuring/ValueText.h"

namespace {
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const int kLabelPointSize = 8;

}  // namespace

std::optional<double> TForm1::AngleDegrees(QPoint vertex, QPoint arm1, QPoint arm2) const {
  return AngleBetweenArms(vertex, arm1, arm2);
}

void TForm1::PaintBox1MouseDown(Qt::MouseButton, int X, int Y) {
  const QPoint p(X, Y);
  // A step armed on an earlier picture carries over to the next image, but
  // nothing is measured while the view does not show the current image.
  if ((ScaleArmed || MeasureArmed) && !CurrentImageShown()) {
    Prompt_.Beep();
    return;
  }
  if (ScaleArmed) {
    PaintBox1->PenColor = kRed;
    Dragging = true;
    StartPoint = LastPoint = p;
  }
  if (MeasureArmed) {
    PaintBox1->PenColor = kRed;
    switch (DefinitionList.At(MeasureStep).Kind) {
      case mkLine:
      case mkRectangle:
        Dragging = true;
        StartPoint = LastPoint = p;
        break;
      case mkAngle:
        if (Dragging) break;  // the first arm is down; the second follows the pointer
        Dragging = true;
        AngleFirstArm = true;
        AngleSecondArm = false;
        StartPoint = LastPoint = p;
        break;
      default: break;
    }
  }
}

void TForm1::MoveBand(TMeasureKind kind, QPoint to) {
  PaintBox1->Mode = TOverlay::pmNotXor;
  if (kind == mkRectangle) {
    PaintBox1->Rectangle(StartPoint, LastPoint);
    PaintBox1->Rectangle(StartPoint, to);
  } else {
    PaintBox1->Line(StartPoint, LastPoint);
    PaintBox1->Line(StartPoint, to);
  }
}

void TForm1::PaintBox1MouseMove(int X, int Y) {
  const QPoint p(X, Y);
  if (ScaleArmed && Dragging) MoveBand(mkLine, p);
  if (MeasureArmed && Dragging) {
    const TMeasureKind kind = DefinitionList.At(MeasureStep).Kind;
    if (MeasureKinds::IsKnown(kind)) MoveBand(kind, p);
  }
  LastPoint = p;
}

void TForm1::PaintBox1MouseUp(Qt::MouseButton, int X, int Y) {
  const QPoint p(X, Y);
  if ((ScaleArmed || MeasureArmed) && !CurrentImageShown()) {
    // The picture under a figure begun earlier is no longer the current
    // image's: the figure is dropped and nothing is written.
    if (Dragging) EndUnfinishedFigure();
  } else if (!Dragging) {
    // A release with no figure begun on this picture (its press came before
    // another image was shown) completes nothing.
  } else if (ScaleArmed) {
    // The aids show the figure as it ends while its dialog is open.
    UpdateDrawingAids(p);
    ScaleRelease(p);
  } else if (MeasureArmed) {
    UpdateDrawingAids(p);
    MeasureRelease(p);
  }
  if (!Dragging) HideDrawingAids();
  UpdateStepDisplay();
}

void TForm1::EndUnfinishedFigure() {
  if (!Dragging && !AngleFirstArm && !AngleSecondArm) return;
  EraseOverlay();
  Dragging = AngleFirstArm = AngleSecondArm = false;
  HideDrawingAids();
}

std::optional<QStringList> TForm1::FigureValues(const TMeasureType &def, QPoint end) const {
  switch (def.Kind) {
    case mkLine: return QStringList{ValueText(LineLengthCm(StartPoint, end, Zoom, DotsPerCm))};
    case mkAngle:
      if (const std::optional<double> angle = AngleDegrees(StartPoint, ArmEnd1, end))
        return QStringList{ValueText(*angle)};
      return std::nullopt;
    case mkRectangle: {
      QStringList texts;
      for (double value : RectangleQuantities(StartPoint, end, Zoom, DotsPerCm, def)) texts << ValueText(value);
      return texts;
    }
    default: return std::nullopt;
  }
}

bool TForm1::FigureBeingDrawn(QPoint p, QString &value, std::vector<QLineF> &lines) const {
  // A picture point is an overlay pixel's centre divided by the zoom.
  auto at = [this](QPoint q) { return (QPointF(q) + QPointF(0.5, 0.5)) / Zoom; };
  value.clear();
  lines.clear();
  if (!Dragging || (!ScaleArmed && !MeasureArmed)) return false;
  if (ScaleArmed) {
    value = QString::number(ScaleLengthDots(StartPoint, p, Zoom)) + QStringLiteral(" dots");
    lines = {{at(StartPoint), at(p)}};
    return true;
  }
  const TMeasureType &def = DefinitionList.At(MeasureStep);
  if (!MeasureKinds::IsKnown(def.Kind)) return false;
  const QPointF a = at(StartPoint), b = at(p);
  if (def.Kind == mkRectangle)
    lines = {{a, {b.x(), a.y()}}, {{b.x(), a.y()}, b}, {b, {a.x(), b.y()}}, {{a.x(), b.y()}, a}};
  else if (AngleFirstArm)
    lines = {{a, b}};  // no angle yet, so no value
  else if (def.Kind == mkAngle)
    lines = {{a, at(ArmEnd1)}, {a, b}};
  else
    lines = {{a, b}};
  if (AngleFirstArm) return true;
  if (def.Kind == mkLine && DotsPerCm <= 0) {
    // With no scale yet the length is in dots, and says so.
    value = ValueText(LineLengthCm(StartPoint, p, Zoom, 1.0)) + QStringLiteral(" dots");
    return true;
  }
  // Each value as the table will hold it, with its unit; a rectangle's
  // quantities are named by the letter of their heading.
  const std::optional<QStringList> values = FigureValues(def, p);
  if (values) value = FigureValueText(def, *values, FigureUnits(def, int(values->size())));
  return true;
}

void TForm1::UpdateDrawingAids(QPoint p) {
  QString value;
  std::vector<QLineF> lines;
  if (!FigureBeingDrawn(p, value, lines)) {
    HideDrawingAids();
    return;
  }
  QWidget *view = ScrollBox1->viewport();
  const QPoint pointer = PaintBox1->mapTo(view, p), start = PaintBox1->mapTo(view, StartPoint);
  if (AidLayer->geometry() != view->rect()) AidLayer->setGeometry(view->rect());
  if (AidLayer->isHidden()) {
    AidLayer->show();
    AidLayer->raise();
  }
  // The figure's lines where the view shows them: the aids keep off them.
  std::vector<QLineF> inView;
  for (const QLineF &line : lines)
    inView.emplace_back(PaintBox1->mapTo(view, QPointF(line.p1() * Zoom)), PaintBox1->mapTo(view, QPointF(line.p2() * Zoom)));
  QRect label;
  if (value.isEmpty()) {
    LiveValue->hide();
  } else {
    LiveValue->ShowValue(value);
    LiveValue->move(AidPosition(pointer, start, LiveValue->size(), view->rect(), QRect(), inView));
    label = LiveValue->geometry();
  }
  if (!LoupeOn) {
    Loupe->hide();
    return;
  }
  // The loupe stays where it is while that place is still free and right
  // beside the pointer, so that most moves repaint only its inside.
  if (!Loupe->isVisible() ||
      !AidStillBeside(Loupe->geometry(), pointer, start, view->rect(), label, inView))
    Loupe->move(AidPosition(pointer, start, Loupe->size(), view->rect(), label, inView));
  Loupe->ShowAround(ImageBitmap, (QPointF(p) + QPointF(0.5, 0.5)) / Zoom, Zoom, lines);
}

void TForm1::HideDrawingAids() {
  LiveValue->hide();
  Loupe->hide();
  AidLayer->hide();
}

void TForm1::Loupe1Click() {
  LoupeOn = Loupe1->isChecked();
  if (Dragging)
    UpdateDrawingAids(LastPoint);
  else
    Loupe->hide();
}

void TForm1::ScaleRelease(QPoint end) {
  PaintBox1->Mode = TOverlay::pmCopy;
  PaintBox1->PenColor = kRed;
  PaintBox1->Line(StartPoint, end);

  const int dots = ScaleLengthDots(StartPoint, end, Zoom);
  TConvDlg dialog(this, Prompt_);
  const double inForce = DotsPerCm;
  DotsPerCm = double(dots) / KnownLengthCm;
  dialog.SetLengthCm(KnownLengthCm);
  dialog.SetLengthDots(dots);
  dialog.SetDotsPerCm(DotsPerCm);
  int result = Prompt_.RunModal(dialog);
  std::vector<TRecordEntry> entries(1);
  if (result == mrOk && !RescaleRow(dialog.DotsPerCm, entries)) {
    // The old scale stays, with every value the row has: as after Cancel.
    DotsPerCm = inForce;
    result = mrCancel;
  }
  if (result == mrOk) {
    DotsPerCm = dialog.DotsPerCm;
    KnownLengthCm = dialog.LengthCm;
    ResultsTable.SetImageCell(CurrentImage, TResultsTable::colDotsPerCm, ValueText(DotsPerCm));
    TRecordEntry &entry = entries[0];
    entry.Kind = TRecordEntry::Scale;
    entry.Image = CurrentImage;
    entry.ScaleValue = {ImagePoint(StartPoint), ImagePoint(end), KnownLengthCm, DotsPerCm, ValueText(DotsPerCm)};
    for (const TRecordEntry &e : entries) {
      if (e.Kind == TRecordEntry::Figure)
        ResultsTable.SetImageCells(CurrentImage, e.FigureValue.FirstColumn, e.FigureValue.Cells);
      if (e.Kind == TRecordEntry::Cells) ResultsTable.SetImageCells(CurrentImage, e.Column, e.Texts);
    }
    Remember(entries);
    MeasureStep = 0;
    ScaleArmed = false;
    MeasureArmed = true;
    SkipUnmeasurableSteps();
  } else if (result == mrRetry) {
    btScaleClick();
  }
  EraseOverlay();
  Dragging = false;
}

bool TForm1::RescaleRow(double dotsPerCm, std::vector<TRecordEntry> &entries) {
  const TRecordedImage *recorded = Record.Image(CurrentImage);
  QStringList unrecorded;
  std::vector<TRecordEntry> cleared;
  for (int p = 0; p < DefinitionList.Count(); ++p) {
    const TMeasureType &def = DefinitionList.At(p);
    QStringList cells;
    for (int c = 0; c < ColumnCount(def); ++c) cells << ResultsTable.Cell(def.FirstCol + c, CurrentImage + 1);
    // An angle is the same under every scale, and an empty value has
    // nothing to convert.
    if (def.Kind == mkAngle || cells.join(QString()).isEmpty()) continue;
    const TRecordedFigure *figure = nullptr;
    if (recorded)
      for (const TRecordedFigure &f : recorded->Figures)
        if (f.Definition == p + 1) figure = &f;
    const std::optional<QStringList> again =
        figure ? FigureCells(def, figure->Points, dotsPerCm, DecimalSeparator) : std::nullopt;
    if (again) {
      TRecordEntry e;
      e.Kind = TRecordEntry::Figure;
      e.Image = CurrentImage;
      e.FigureValue = *figure;
      e.FigureValue.Cells = *again;
      entries.push_back(e);
      continue;
    }
    // Values whose figure is not known (a results file continued without its
    // figures) cannot be computed again; under the new scale they would be
    // wrong.
    unrecorded << def.Name;
    TRecordEntry e;
    e.Kind = TRecordEntry::Cells;
    e.Image = CurrentImage;
    e.Column = def.FirstCol;
    for (int c = 0; c < cells.size(); ++c) e.Texts << QString();
    cleared.push_back(e);
  }
  if (!unrecorded.isEmpty() &&
      Prompt_.Ask(QStringLiteral("The values of %1 on this image were taken with the scale %2 dots/cm and have no "
                                 "recorded figure to be computed again with the new one. Clear them? (No keeps the "
                                 "old scale.)")
                      .arg(unrecorded.join(QStringLiteral(", ")),
                           ResultsTable.Cell(TResultsTable::colDotsPerCm, CurrentImage + 1)),
                  QStringLiteral("Confirm"), false) != mrYes)
    return false;
  entries.insert(entries.end(), cleared.begin(), cleared.end());
  return true;
}

void TForm1::SkipUnmeasurableSteps() {
  // A definition of no known kind cannot be drawn; its columns stay empty and
  // the run goes on with the next one.
  while (MeasureStep < DefinitionList.Count() && !MeasureKinds::IsKnown(DefinitionList.At(MeasureStep).Kind))
    ++MeasureStep;
  if (MeasureStep >= DefinitionList.Count()) MeasureArmed = false;
}

int TForm1::RunOkRetry(QPoint overlayPoint) {
  TOkRetryDlg popup(this);
  // From the overlay itself, so that the pop-up opens beside the pointer
  // wherever the view is scrolled to.
  const QPoint screenPoint = PaintBox1->mapToGlobal(overlayPoint);
  QScreen *screen = QGuiApplication::screenAt(screenPoint);
  if (!screen) screen = QGuiApplication::primaryScreen();
  // Beside the live value, which stays in sight while the person decides.
  const QRect label = LiveValue->isVisible() ? QRect(LiveValue->mapToGlobal(QPoint(0, 0)), LiveValue->size()) : QRect();
  popup.move(PopupBeside(label, screenPoint, popup.size(),
                         screen ? screen->geometry() : QRect(0, 0, 1 << 20, 1 << 20)));
  return Prompt_.RunModal(popup);
}

void TForm1::DrawFigure(TMeasureKind kind, const std::vector<QPoint> &points) {
  if (kind == mkRectangle) {
    PaintBox1->Rectangle(points[0], points[1]);
    return;
  }
  for (size_t k = 1; k < points.size(); ++k) PaintBox1->Line(points[0], points[k]);
}

void TForm1::DrawMark(TMeasureKind kind, const std::vector<QPoint> &points, const QString &name) {
  PaintBox1->Mode = TOverlay::pmCopy;
  PaintBox1->PenColor = kYellow;
  DrawFigure(kind, points);
  PaintBox1->TextOut(points[0] - QPoint(10, 12), name, kLabelPointSize);
}

void TForm1::ConfirmFigure(const TMeasureType &def, const std::vector<QPoint> &points, QPoint release,
                           const std::optional<QStringList> &values) {
  // A figure without a value (an angle with an arm of no length) is taken
  // again, as after Retry.
  if (!values) Prompt_.Beep();
  if (values && RunOkRetry(release) == mrOk) {
    DrawMark(def.Kind, points, def.Name);
    TRecordEntry entry;
    entry.Kind = TRecordEntry::Figure;
    entry.Image = CurrentImage;
    // The row says which scale its values were taken with.
    if (ResultsTable.Cell(TResultsTable::colDotsPerCm, CurrentImage + 1).isEmpty()) {
      entry.DotsPerCmCell = ValueText(DotsPerCm);
      ResultsTable.SetImageCell(CurrentImage, TResultsTable::colDotsPerCm, entry.DotsPerCmCell);
    }
    ResultsTable.SetImageCells(CurrentImage, def.FirstCol, *values);
    entry.FigureValue = {MeasureStep + 1, def.Name, int(def.Kind), {}, def.FirstCol, *values,
                         FigureUnits(def, int(values->size()))};
    for (QPoint p : points) entry.FigureValue.Points.push_back(ImagePoint(p));
    Remember({entry});
    ++MeasureStep;
    SkipUnmeasurableSteps();
  } else {
    PaintBox1->Mode = TOverlay::pmNotXor;
    DrawFigure(def.Kind, points);
  }
  PaintBox1->PenColor = kRed;
  Dragging = false;
}

void TForm1::MeasureRelease(QPoint end) {
  const TMeasureType &def = DefinitionList.At(MeasureStep);
  switch (def.Kind) {
    case mkLine:
    case mkRectangle:
      MoveBand(def.Kind, end);
      ConfirmFigure(def, {StartPoint, end}, end, FigureValues(def, end));
      break;
    case mkAngle:
      if (AngleFirstArm) {
        // The band that ends here is removed; the next move's erase step
        // draws it back, so the first arm stays while the second follows.
        AngleFirstArm = false;
        AngleSecondArm = true;
        PaintBox1->Mode = TOverlay::pmNotXor;
        PaintBox1->Line(StartPoint, end);
        PaintBox1->PenColor = kRed;
        ArmEnd1 = end;
      } else if (AngleSecondArm) {
        AngleSecondArm = false;
        MoveBand(def.Kind, end);
        ArmEnd2 = end;
        ConfirmFigure(def, {StartPoint, ArmEnd2, ArmEnd1}, end, FigureValues(def, end));
      }
      break;
    default: break;
  }
}

void TForm1::DrawRecordedFigures(int image) {
  const TRecordedImage *recorded = Record.Image(image);
  if (!recorded || recorded->Empty() || ShownImage != image) return;
  ResetOverlay();
  // Points of a figures file may lie far outside the picture; they are kept
  // within what an overlay coordinate can hold.
  auto at = [this](QPointF p) {
    constexpr double kFar = 1 << 28;
    return QPoint(qRound(qBound(-kFar, p.x() * Zoom, kFar)), qRound(qBound(-kFar, p.y() * Zoom, kFar)));
  };
  PaintBox1->Mode = TOverlay::pmCopy;
  if (recorded->Scale) {
    PaintBox1->PenColor = kRed;
    PaintBox1->Line(at(recorded->Scale->P1), at(recorded->Scale->P2));
  }
  for (const TRecordedFigure &f : recorded->Figures) {
    std::vector<QPoint> points;
    for (QPointF p : f.Points) points.push_back(at(p));
    DrawMark(TMeasureKind(f.Kind), points, f.Name);
  }
  PaintBox1->PenColor = kRed;
}
