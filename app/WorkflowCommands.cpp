#include <QLabel>
#include <QToolButton>

#include "app/Form1.h"
#include "measuring/Overlay.h"

void TForm1::btNextClick() {
  if (DefinitionList.IsEmpty()) {
    Prompt_.ShowMessage(QStringLiteral("Define measurements first!"), QStringLiteral("Definition Error"));
  } else if (!RunStarted) {
    if (Prompt_.Ask(QStringLiteral("Have you completed the definition for measurements?"),
                    QStringLiteral("Confirm"), false) == mrYes) {
      btNext->setText(QStringLiteral("Next"));
      Next1->setText(QStringLiteral("Next"));
      LockDefinitions();
      ContinueResults1->setEnabled(false);
      RunStarted = true;
    }
  }
  if (!RunStarted) return;
  if (CurrentImage >= ResultsTable.ImageCount - 1) {
    Prompt_.Beep();
    return;
  }
  GoToImage(CurrentImage + 1);
  btMeasure->setFocus();
}

void TForm1::btBackClick() {
  if (CurrentImage <= 0) {
    Prompt_.Beep();
    return;
  }
  GoToImage(CurrentImage - 1);
}

void TForm1::StringGrid1DblClick(int image) {
  if (!RunStarted || image < 0 || image >= ResultsTable.ImageCount) {
    Prompt_.Beep();
    return;
  }
  GoToImage(image);
  btMeasure->setFocus();
}

void TForm1::GoToImage(int i) {
  // A figure or scale line begun on the picture shown so far belongs to it:
  // it ends here, and the armed step stays as it is.
  EndUnfinishedFigure();
  Direction_ = i < CurrentImage ? -1 : 1;
  CurrentImage = i;
  ResultsTable.ShowImageRow(CurrentImage);
  ShowImage(CurrentImage);
  TakeScaleOfRow(CurrentImage);
  DrawRecordedFigures(CurrentImage);
}

void TForm1::TakeScaleOfRow(int i) {
  const QString text = ResultsTable.Cell(TResultsTable::colDotsPerCm, i + 1);
  // The scale in force already gives this text when the image was calibrated
  // last; it is kept unrounded then.
  if (text.isEmpty() || text == ValueText(DotsPerCm)) return;
  QString number = text;
  number.replace(u',', u'.');
  bool ok = false;
  const double scale = number.toDouble(&ok);
  if (ok && scale > 0) DotsPerCm = scale;
}

void TForm1::btMeasureClick() {
  if (!RunStarted) {
    Prompt_.Beep();
    return;
  }
  // A figure or scale line not yet released ends here, as when another image
  // is shown: nothing of it is left to be completed under the new step.
  EndUnfinishedFigure();
  if (!btScaleClick()) return;
  UpdateStepDisplay();
  btNext->setFocus();
}

bool TForm1::btScaleClick() {
  // Measuring needs the current image on the screen: after a file that could
  // not be shown the view still holds the previous picture, which belongs to
  // another row.
  if (!CurrentImageShown()) {
    Prompt_.Beep();
    return false;
  }
  ResetOverlay();
  ScaleArmed = true;
  return true;
}

void TForm1::UpdateStepDisplay() {
  if (ScaleArmed) {
    HighlightPanel(pnScale, true);
    HighlightPanel(pnMeasure, false);
  } else if (MeasureArmed) {
    HighlightPanel(pnScale, false);
    HighlightPanel(pnMeasure, true);
    const TMeasureType &def = DefinitionList.At(MeasureStep);
    lbMeasureNo->setText(QString::number(MeasureStep + 1));
    lbMeasureName->setText(def.Name);
    lbMeasureType->setText(MeasureKinds::DisplayName(def.Kind));
  } else {
    HighlightPanel(pnScale, false);
    HighlightPanel(pnMeasure, false);
    lbMeasureNo->clear();
    lbMeasureName->clear();
    lbMeasureType->clear();
  }
}

void TForm1::HighlightPanel(QLabel *panel, bool on) {
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(on ? QFrame::Sunken : QFrame::Raised);
  panel->setLineWidth(1);
  panel->setBackgroundRole(on ? QPalette::Light : QPalette::Button);
}
