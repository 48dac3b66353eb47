#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <iterator>

#include "app/Form1.h"
#include "common/WholeFile.h"
#include "images/ImageLoader.h"
#include "images/ImageView.h"
#include "images/ReadAhead.h"
#include "measuring/Overlay.h"

void TForm1::btOpenImagesClick() {
  if (!Prompt_.RunFileDialog(OpenDialog1)) return;
  QStringList files = OpenDialog1.Files;
  if (files.isEmpty()) return;
  // A dialog that lists the file clicked last first has it moved to the end,
  // so that the rows follow the order in which the files were chosen.
  if (OpenDialog1.LastClickedFirst) files.append(files.takeFirst());
  // A pipe, a device or a folder named like a picture is no picture: reading
  // it could wait for ever. It is refused here, and the rest are opened.
  QStringList refused;
  for (const QString &f : files)
    if (ExistsButIsNoFile(f)) refused << QStringLiteral("Cannot open ") + f;
  if (!refused.isEmpty()) {
    files.erase(std::remove_if(files.begin(), files.end(), [](const QString &f) { return ExistsButIsNoFile(f); }),
                files.end());
    Prompt_.ShowMessage(refused.join(u'\n'), QStringLiteral("File Error"));
  }
  if (files.isEmpty()) return;
  ResultsTable.AppendImageRows(files);
  TRecordEntry entry;
  entry.Kind = TRecordEntry::Images;
  entry.Files = files;
  Remember({entry});
  PlanReadAhead();  // the first image, or the next one if it was the last
}

namespace {
TViewPlace PlaceOf(double zoom, const QScrollArea *scrollBox) {
  return {zoom, QRect(QPoint(scrollBox->horizontalScrollBar()->value(), scrollBox->verticalScrollBar()->value()),
                      scrollBox->viewport()->size())};
}
}  // namespace

QString TForm1::ReadablePath(int i) const {
  if (i < 0 || i >= ResultsTable.ImageCount) return QString();
  const QString path = ResultsTable.ImageFilePath(i);
  return ImageKindOf(path) == ImageKind::Other ? QString() : path;
}

void TForm1::PlanReadAhead() {
  const QString shown = ShownImage >= 0 ? ReadablePath(ShownImage) : QString();
  // The image left behind is kept for going back, unless three pictures of
  // this size would take more than 1 GiB.
  QString previous = ReadablePath(CurrentImage - Direction_);
  if (ImageBitmap.sizeInBytes() * 3 > (qsizetype(1) << 30)) previous.clear();
  ReadAhead->Plan(shown, previous, ReadablePath(CurrentImage + Direction_), PlaceOf(Zoom, ScrollBox1));
}

void TForm1::ShowImage(int index) {
  if (index < 0 || index >= ResultsTable.ImageCount) return;
  if (ImageKindOf(ResultsTable.ImageFilePath(index)) == ImageKind::Other) {
    WantedImage_ = -1;  // a wait under way for another image ends
    Prompt_.ShowMessage(QStringLiteral("Image format should be jpeg or full-color bitmap!"),
                        QStringLiteral("Wrong Image Format"));
    return;
  }
  WantedImage_ = index;
  // A move made while a picture is awaited changes only what is awaited:
  // the wait under way shows it.
  if (WaitingForPicture_) return;
  // The picture on screen stays until the wanted one is read, so that a file
  // that does not decode leaves it shown. Events go on meanwhile, so that
  // keys pressed during a long read move on at once and the read of a
  // picture passed by is dropped.
  WaitingForPicture_ = true;
  std::optional<TPicture> picture;
  int arrived = -1;
  for (;;) {
    arrived = WantedImage_;
    if (arrived < 0) break;
    const QString path = ResultsTable.ImageFilePath(arrived);
    picture = ReadAhead->Take(path);
    if (picture) break;
    ReadAhead->Want(path, PlaceOf(Zoom, ScrollBox1));
    ReadAhead->WaitFor(path, 10);
    QCoreApplication::processEvents();
  }
  WaitingForPicture_ = false;
  if (picture && picture->Ok) {
    ImageBitmap = picture->Image;
    ShownImage = arrived;
    StatusPanel1->setText(picture->Path);
    DisplayBitmap(ImageBitmap, &picture->Prepared);
  } else if (picture) {
    Prompt_.Beep();
  }
  PlanReadAhead();
}

namespace {
int Scaled(int pixels, double zoom) { return int(pixels * zoom); }
}  // namespace

void TForm1::DisplayBitmap(const QImage &bitmap, const TReducedPart *prepared) {
  StatusPanel0->setText(QStringLiteral("%1x%2").arg(bitmap.width()).arg(bitmap.height()));
  // A picture of the size of the one before keeps the view where it was, so
  // that a ruler photographed in one place stays in sight; another size is
  // shown from its top-left corner.
  const QSize shown(Scaled(bitmap.width(), Zoom), Scaled(bitmap.height(), Zoom));
  if (shown != Image1->size()) {
    ScrollBox1->horizontalScrollBar()->setValue(0);
    ScrollBox1->verticalScrollBar()->setValue(0);
  }
  Image1->resize(shown);
  Image1->SetPicture(bitmap, prepared ? *prepared : TReducedPart());
  // Another picture repaints the image region, which wipes the marks; the
  // overlay takes the view's size, so that a step armed on the picture
  // before takes presses all over this one.
  PaintBox1->Clear();
  PaintBox1->resize(Image1->size());
  FitScrollContent();
}

namespace {
const double kZoomFactors[] = {0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 4.0};
}  // namespace

void TForm1::ComboBox1Change() {
  // The factor follows the selected item; typed text that is no item's text
  // counts as no selection, whatever index the box still holds.
  int index = ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly);
  const double zoom = index >= 0 && index < int(std::size(kZoomFactors)) ? kZoomFactors[index] : 1.0;
  if (Dragging) {
    // A figure's points are all taken at one zoom.
    Prompt_.Beep();
    ShowZoomInBox();
    return;
  }
  // The picture point at the centre of the view stays there.
  SetZoom(zoom, ScrollBox1->viewport()->rect().center());
}

void TForm1::SetZoom(double zoom, QPoint anchor) {
  QScrollBar *h = ScrollBox1->horizontalScrollBar(), *v = ScrollBox1->verticalScrollBar();
  const QPointF point = (QPointF(h->value(), v->value()) + QPointF(anchor)) / Zoom;
  Zoom = zoom;
  Image1->resize(Scaled(ImageBitmap.width(), Zoom), Scaled(ImageBitmap.height(), Zoom));
  // The overlay covers the view at every zoom, so that every point of the
  // picture takes presses; the shown image's figures are drawn again at
  // the new zoom.
  PaintBox1->Clear();
  PaintBox1->resize(Image1->size());
  FitScrollContent();
  DrawRecordedFigures(ShownImage);
  h->setValue(qRound(point.x() * Zoom - anchor.x()));
  v->setValue(qRound(point.y() * Zoom - anchor.y()));
}

void TForm1::ZoomStep(int steps, QPoint anchor) {
  if (Dragging) {
    Prompt_.Beep();
    return;
  }
  // From a zoom no item names (a fitted picture) the first step goes to the
  // nearest item in that direction.
  const double *begin = std::begin(kZoomFactors), *end = std::end(kZoomFactors);
  const double *at = steps > 0 ? std::upper_bound(begin, end, Zoom) - 1 : std::lower_bound(begin, end, Zoom);
  const std::ptrdiff_t index = qBound<std::ptrdiff_t>(0, (at - begin) + steps, (end - begin) - 1);
  if (kZoomFactors[index] == Zoom) return;
  SetZoom(kZoomFactors[index], anchor);
  ShowZoomInBox();
}

void TForm1::FitImage1Click() {
  if (Dragging || ImageBitmap.isNull()) {
    Prompt_.Beep();
    return;
  }
  const QSize room = ScrollBox1->maximumViewportSize();
  SetZoom(qMin(double(room.width()) / ImageBitmap.width(), double(room.height()) / ImageBitmap.height()), QPoint());
  // The whole picture, from its origin.
  ScrollBox1->horizontalScrollBar()->setValue(0);
  ScrollBox1->verticalScrollBar()->setValue(0);
  ShowZoomInBox();
}

void TForm1::ActualSize1Click() {
  if (Dragging) {
    Prompt_.Beep();
    return;
  }
  SetZoom(1.0, ScrollBox1->viewport()->rect().center());
  ShowZoomInBox();
}

void TForm1::ShowZoomInBox() {
  const QSignalBlocker quiet(ComboBox1);
  const auto *item = std::find(std::begin(kZoomFactors), std::end(kZoomFactors), Zoom);
  if (item == std::end(kZoomFactors)) {
    ComboBox1->setEditText(QString::number(Zoom * 100, 'f', 1) + u'%');
    return;
  }
  const int index = int(item - std::begin(kZoomFactors));
  ComboBox1->setCurrentIndex(index);
  ComboBox1->setEditText(ComboBox1->itemText(index));
}

void TForm1::ComboBox1Exit() {
  if (ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly) >= 0) return;
  const auto *zoom = std::find(std::begin(kZoomFactors), std::end(kZoomFactors), Zoom);
  if (zoom == std::end(kZoomFactors)) return;
  ShowZoomInBox();
}
