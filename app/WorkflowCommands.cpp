// The walk through the images: opening them, Start/Next, Back, a row jump,
// Measure, the picture's arrival and the zoom.
#include <QComboBox>
#include <QLabel>
#include <QToolButton>

#include <algorithm>

#include "app/Form1.h"
#include "app/ImagePane.h"
#include "common/WholeFile.h"
#include "images/ImageLoader.h"
#include "images/ReadAhead.h"
#include "measuring/MeasureSession.h"
#include "measuring/ValueText.h"

void TForm1::btOpenImagesClick() {
  if (!Prompt_.RunFileDialog(Choosers_.OpenDialog1)) return;
  QStringList files = Choosers_.OpenDialog1.Files;
  // A dialog that lists the file clicked last first has it moved to the end,
  // so that the rows follow the order in which the files were chosen.
  if (Choosers_.OpenDialog1.LastClickedFirst && !files.isEmpty()) files.append(files.takeFirst());
  OpenImageFiles(files);
}

void TForm1::OpenImageFiles(QStringList files) {
  // A pipe, a device or a folder named like a picture is no picture: reading
  // it could wait for ever. It is refused here, and the rest are opened.
  QStringList refused;
  for (const QString &f : files)
    if (ExistsButIsNoFile(f)) refused << QStringLiteral("Cannot open ") + f;
  files.erase(std::remove_if(files.begin(), files.end(), ExistsButIsNoFile), files.end());
  if (!refused.isEmpty()) Prompt_.ShowMessage(refused.join(u'\n'), QStringLiteral("File Error"));
  if (files.isEmpty()) return;
  ResultsTable.AppendImageRows(files);
  TRecordEntry entry;
  entry.Kind = TRecordEntry::Images;
  entry.Files = files;
  Log_.Remember({entry});
  PlanReadAhead();  // the first image, or the next one if it was the last
}

void TForm1::btNextClick() {
  if (DefinitionList.IsEmpty()) {
    Prompt_.ShowMessage(QStringLiteral("Define measurements first!"), QStringLiteral("Definition Error"));
  } else if (!RunStarted_) {
    if (Prompt_.Ask(QStringLiteral("Have you completed the definition for measurements?"), QStringLiteral("Confirm"),
                    false) == mrYes) {
      Tools_.btNext->setText(QStringLiteral("Next"));
      Menus_.Next1->setText(QStringLiteral("Next"));
      LockDefinitions();
      Menus_.ContinueResults1->setEnabled(false);
      RunStarted_ = true;
    }
  }
  if (!RunStarted_) return;
  if (CurrentImage_ >= ResultsTable.ImageCount - 1) {
    Prompt_.Beep();
    return;
  }
  GoToImage(CurrentImage_ + 1);
  Tools_.btMeasure->setFocus();
}

void TForm1::btBackClick() {
  if (CurrentImage_ <= 0) {
    Prompt_.Beep();
    return;
  }
  GoToImage(CurrentImage_ - 1);
}

void TForm1::StringGrid1DblClick(int image) {
  if (!RunStarted_ || image < 0 || image >= ResultsTable.ImageCount) {
    Prompt_.Beep();
    return;
  }
  GoToImage(image);
  Tools_.btMeasure->setFocus();
}

void TForm1::btMeasureClick() {
  if (!RunStarted_) {
    Prompt_.Beep();
    return;
  }
  // A figure or scale line not yet released ends here, as when another image
  // is shown: nothing of it is left to be completed under the new step.
  Session_->EndUnfinishedFigure();
  if (!Session_->ArmScale()) return;
  UpdateStepDisplay();
  Tools_.btNext->setFocus();
}

void TForm1::GoToImage(int i) {
  // A figure or scale line begun on the picture shown so far belongs to it:
  // it ends here, and the armed step stays as it is.
  Session_->EndUnfinishedFigure();
  Direction_ = i < CurrentImage_ ? -1 : 1;
  if (i != CurrentImage_) Session_->ImageChanged();
  CurrentImage_ = i;
  ResultsTable.ShowImageRow(CurrentImage_);
  ShowImage(CurrentImage_);
}

QString TForm1::ReadablePath(int i) const {
  if (i < 0 || i >= ResultsTable.ImageCount) return QString();
  const QString path = ResultsTable.ImageFilePath(i);
  return ImageKindOf(path) == ImageKind::Other ? QString() : path;
}

void TForm1::PlanReadAhead() {
  // The image left behind is kept for going back, unless three pictures of
  // this size would take more than 1 GiB.
  QString previous = ReadablePath(CurrentImage_ - Direction_);
  if (ImageBitmap_.sizeInBytes() * 3 > (qsizetype(1) << 30)) previous.clear();
  ReadAhead_->Plan(ReadablePath(ShownImage_), previous, ReadablePath(CurrentImage_ + Direction_), Pane_->Place());
}

void TForm1::ShowImage(int index) {
  if (index < 0 || index >= ResultsTable.ImageCount) return;
  if (ImageKindOf(ResultsTable.ImageFilePath(index)) == ImageKind::Other) {
    WantedImage_ = -1;  // a picture on its way for another image is no longer wanted
    Prompt_.ShowMessage(QStringLiteral("Image format should be jpeg or full-color bitmap!"),
                        QStringLiteral("Wrong Image Format"));
    return;
  }
  // The picture on screen stays until the wanted one is read, so that a file
  // that does not decode leaves it shown; a move made meanwhile changes
  // only what is wanted.
  WantedImage_ = index;
  const QString path = ResultsTable.ImageFilePath(index);
  if (std::optional<TPicture> picture = ReadAhead_->Take(path)) return Show(index, *picture);
  ReadAhead_->Want(path, Pane_->Place());
}

void TForm1::PictureArrived(const QString &path) {
  if (WantedImage_ < 0 || ResultsTable.ImageFilePath(WantedImage_) != path) return;
  if (std::optional<TPicture> picture = ReadAhead_->Take(path))
    Show(WantedImage_, *picture);
  else  // changed since it was read: read again
    ReadAhead_->Want(path, Pane_->Place());
}

void TForm1::Show(int image, TPicture &picture) {
  WantedImage_ = -1;
  if (picture.Ok) {
    ImageBitmap_ = picture.Image;
    ShownImage_ = image;
    Frame_.StatusPanel0->setText(QStringLiteral("%1x%2").arg(ImageBitmap_.width()).arg(ImageBitmap_.height()));
    Frame_.StatusPanel1->setText(picture.Path);
    Pane_->ShowPicture(ImageBitmap_, std::move(picture.Prepared));
    // The row's own scale comes into force with its picture, kept unrounded
    // when the scale in force already gives its text.
    QString scale = ResultsTable.Cell(TResultsTable::colDotsPerCm, image + 1);
    if (!scale.isEmpty() && scale != FormatValue(Session_->DotsPerCm(), DecimalSeparator_))
      Session_->TakeScale(scale.replace(u',', u'.').toDouble());
    DrawRecordedFigures();
  } else {
    Prompt_.Beep();
  }
  PlanReadAhead();
}

void TForm1::DrawRecordedFigures() {
  const TRecordedImage *recorded = Log_.Record.Image(ShownImage_);
  if (!recorded || recorded->Empty() || ShownImage_ != CurrentImage_) return;
  Pane_->ResetOverlay();
  DrawRecorded(*Pane_->Overlay(), *recorded, Pane_->Zoom());
}

void TForm1::UpdateStepDisplay() {
  const TMeasureSession &s = *Session_;
  if (s.MeasureArmed() && !s.ScaleArmed()) {
    const TMeasureType &def = DefinitionList.At(s.Step());
    const bool several = s.Object() > 1 || ResultsTable.ObjectCount(CurrentImage_) > 1;
    Steps_.Show(false, true, QString::number(s.Step() + 1), def.Name, MeasureKinds::DisplayName(def.Kind),
                several ? QStringLiteral("Object %1").arg(s.Object()) : QString());
  } else {
    Steps_.Show(s.ScaleArmed(), false, QString(), QString(), QString());
  }
}

void TForm1::Loupe1Click() {
  Pane_->SetLoupeOn(Menus_.Loupe1->isChecked());
  if (Session_->Drawing()) ShowAids(Session_->Last());
}
