#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>

#include "app/Form1.h"
#include "measuring/ConvDlg.h"
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

void TForm1::PaintBox1MouseMove(int X, int Y) {
  const QPoint p(X, Y);
  auto bandLine = [&] {
    PaintBox1->Mode = TOverlay::pmNotXor;
    PaintBox1->Line(StartPoint, LastPoint);
    PaintBox1->Line(StartPoint, p);
  };
  if (ScaleArmed && Dragging) bandLine();
  if (MeasureArmed && Dragging) {
    switch (DefinitionList.At(MeasureStep).Kind) {
      case mkLine:
      case mkAngle: bandLine(); break;
      case mkRectangle:
        PaintBox1->Mode = TOverlay::pmNotXor;
        PaintBox1->Rectangle(StartPoint, LastPoint);
        PaintBox1->Rectangle(StartPoint, p);
        break;
      default: break;
    }
  }
  LastPoint = p;
}

void TForm1::PaintBox1MouseUp(Qt::MouseButton, int X, int Y) {
  const QPoint p(X, Y);
  if ((ScaleArmed || MeasureArmed) && !CurrentImageShown()) {
    // The picture under a figure begun earlier is no longer the current
    // image's: the figure is dropped and nothing is written.
    if (Dragging) {
      EraseOverlay();
      Dragging = AngleFirstArm = AngleSecondArm = false;
    }
  } else if (ScaleArmed)
    ScaleRelease(p);
  else if (MeasureArmed)
    MeasureRelease(p);
  UpdateStepDisplay();
}

void TForm1::ScaleRelease(QPoint end) {
  PaintBox1->Mode = TOverlay::pmCopy;
  PaintBox1->PenColor = kRed;
  PaintBox1->Line(StartPoint, end);

  const int dots = ScaleLengthDots(StartPoint, end, Zoom);
  TConvDlg dialog(this, Prompt_);
  DotsPerCm = double(dots) / KnownLengthCm;
  dialog.SetLengthCm(KnownLengthCm);
  dialog.SetLengthDots(dots);
  dialog.SetDotsPerCm(DotsPerCm);
  const int result = Prompt_.RunModal(dialog);
  if (result == mrOk) {
    DotsPerCm = dialog.DotsPerCm;
    KnownLengthCm = dialog.LengthCm;
    ResultsTable.SetImageCell(CurrentImage, TResultsTable::colDotsPerCm, FormatValue(DotsPerCm));
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
  popup.move(PopupPosition(screenPoint, popup.size(), screen ? screen->geometry() : QRect(0, 0, 1 << 20, 1 << 20)));
  return Prompt_.RunModal(popup);
}

void TForm1::DrawMarkLabel(const TMeasureType &def) {
  PaintBox1->TextOut(StartPoint - QPoint(10, 12), def.Name, kLabelPointSize);
}

void TForm1::MeasureRelease(QPoint end) {
  const TMeasureType &def = DefinitionList.At(MeasureStep);
  bool accepted = false;
  switch (def.Kind) {
    case mkLine: {
      PaintBox1->Mode = TOverlay::pmNotXor;
      PaintBox1->Line(StartPoint, LastPoint);
      PaintBox1->Line(StartPoint, end);
      if (RunOkRetry(end) == mrOk) {
        PaintBox1->Mode = TOverlay::pmCopy;
        PaintBox1->PenColor = kYellow;
        PaintBox1->Line(StartPoint, end);
        DrawMarkLabel(def);
        ResultsTable.SetImageCells(CurrentImage, def.FirstCol,
                                   {FormatValue(LineLengthCm(StartPoint, end, Zoom, DotsPerCm))});
        accepted = true;
      } else {
        PaintBox1->Mode = TOverlay::pmNotXor;
        PaintBox1->Line(StartPoint, end);
      }
      PaintBox1->PenColor = kRed;
      Dragging = false;
      break;
    }
    case mkAngle: {
      if (AngleFirstArm) {
        AngleFirstArm = false;
        AngleSecondArm = true;
        PaintBox1->Mode = TOverlay::pmNotXor;
        PaintBox1->Line(StartPoint, end);
        PaintBox1->PenColor = kRed;
        ArmEnd1 = end;
        return;
      }
      if (!AngleSecondArm) return;
      AngleSecondArm = false;
      PaintBox1->Mode = TOverlay::pmNotXor;
      PaintBox1->Line(StartPoint, LastPoint);
      PaintBox1->Line(StartPoint, end);
      ArmEnd2 = end;
      const std::optional<double> angle = AngleDegrees(StartPoint, ArmEnd1, ArmEnd2);
      // An arm of zero length has no angle: the same angle is taken again.
      const int result = angle ? RunOkRetry(end) : mrNone;
      if (!angle) Prompt_.Beep();
      if (result == mrOk) {
        PaintBox1->Mode = TOverlay::pmCopy;
        PaintBox1->PenColor = kYellow;
        PaintBox1->Line(StartPoint, ArmEnd1);
        PaintBox1->Line(StartPoint, ArmEnd2);
        DrawMarkLabel(def);
        ResultsTable.SetImageCells(CurrentImage, def.FirstCol, {FormatValue(*angle)});
        accepted = true;
      } else {
        PaintBox1->Mode = TOverlay::pmNotXor;
        PaintBox1->Line(StartPoint, ArmEnd2);
        PaintBox1->Line(StartPoint, ArmEnd1);
      }
      PaintBox1->PenColor = kRed;
      Dragging = false;
      break;
    }
    case mkRectangle: {
      PaintBox1->Mode = TOverlay::pmNotXor;
      PaintBox1->Rectangle(StartPoint, LastPoint);
      PaintBox1->Rectangle(StartPoint, end);
      if (RunOkRetry(end) == mrOk) {
        PaintBox1->Mode = TOverlay::pmCopy;
        PaintBox1->PenColor = kYellow;
        PaintBox1->Rectangle(StartPoint, end);
        DrawMarkLabel(def);
        QStringList texts;
        for (double value : RectangleQuantities(StartPoint, end, Zoom, DotsPerCm, def)) texts << FormatValue(value);
        ResultsTable.SetImageCells(CurrentImage, def.FirstCol, texts);
        accepted = true;
      } else {
        PaintBox1->Mode = TOverlay::pmNotXor;
        PaintBox1->Rectangle(StartPoint, end);
      }
      PaintBox1->PenColor = kRed;
      Dragging = false;
      break;
    }
    default: return;
  }
  if (accepted) {
    ++MeasureStep;
    SkipUnmeasurableSteps();
  }
}
