#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>

#include <algorithm>
#include <iterator>

#include "app/Form1.h"
#include "app/ImageLoader.h"
#include "app/ImageView.h"
#include "measuring/Overlay.h"

void TForm1::btOpenImagesClick() {
  if (!Prompt_.RunFileDialog(OpenDialog1)) return;
  QStringList files = OpenDialog1.Files;
  if (files.isEmpty()) return;
  // A dialog that lists the file clicked last first has it moved to the end,
  // so that the rows follow the order in which the files were chosen.
  if (OpenDialog1.LastClickedFirst) files.append(files.takeFirst());
  ResultsTable.AppendImageRows(files);
  TRecordEntry entry;
  entry.Kind = TRecordEntry::Images;
  entry.Files = files;
  Remember({entry});
}

void TForm1::ShowImage(int index) {
  if (index < 0 || index >= ResultsTable.ImageCount) return;
  const QString path = ResultsTable.ImageFilePath(index);
  const int dot = int(path.lastIndexOf(u'.'));
  const int slash = int(qMax(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')));
  const QString extension = dot > slash ? path.mid(dot).toUpper() : QString();
  const bool jpeg = extension == QLatin1String(".JPEG") || extension == QLatin1String(".JPG");
  if (!jpeg && extension != QLatin1String(".BMP")) {
    Prompt_.ShowMessage(QStringLiteral("Image format should be jpeg or full-color bitmap!"),
                        QStringLiteral("Wrong Image Format"));
    return;
  }
  // The picture on screen stays until the next one is complete, so that a
  // file that does not decode leaves it shown; its reduced copy is made
  // again from it if needed, and goes first, so that a switch holds no more
  // than the two pictures.
  Image1->DropReduced();
  QImage loaded;
  if (!LoadImageFile(path, jpeg, loaded)) {
    Prompt_.Beep();
    return;
  }
  ImageBitmap = loaded;
  ShownImage = index;
  StatusPanel1->setText(path);
  DisplayBitmap(ImageBitmap);
}

namespace {
int Scaled(int pixels, double zoom) { return int(pixels * zoom); }
}  // namespace

void TForm1::DisplayBitmap(const QImage &bitmap) {
  StatusPanel0->setText(QStringLiteral("%1x%2").arg(bitmap.width()).arg(bitmap.height()));
  Image1->resize(Scaled(bitmap.width(), Zoom), Scaled(bitmap.height(), Zoom));
  Image1->SetPicture(bitmap);
  // Another picture repaints the image region, which wipes the marks.
  PaintBox1->Clear();
  FitScrollContent();
}

namespace {
const double kZoomFactors[] = {0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 4.0};
}  // namespace

void TForm1::ComboBox1Change() {
  // The factor follows the selected item; typed text that is no item's text
  // counts as no selection, whatever index the box still holds.
  int index = ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly);
  Zoom = index >= 0 && index < int(std::size(kZoomFactors)) ? kZoomFactors[index] : 1.0;
  Image1->resize(Scaled(ImageBitmap.width(), Zoom), Scaled(ImageBitmap.height(), Zoom));
  PaintBox1->Clear();
  FitScrollContent();
}

void TForm1::ComboBox1Exit() {
  if (ComboBox1->findText(ComboBox1->currentText(), Qt::MatchExactly) >= 0) return;
  const auto *zoom = std::find(std::begin(kZoomFactors), std::end(kZoomFactors), Zoom);
  if (zoom == std::end(kZoomFactors)) return;
  const int index = int(zoom - std::begin(kZoomFactors));
  ComboBox1->setCurrentIndex(index);
  ComboBox1->setEditText(ComboBox1->itemText(index));
}
