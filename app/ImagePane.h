#pragma once

#include <QImage>
#include <QLineF>
#include <QScrollArea>
#include <functional>
#include <vector>

#include "images/ReadAhead.h"

class Prompter;
class QComboBox;
class TImageView;
class TLoupe;
class TOverlay;
class TValueLabel;

// The picture area of the main window: the scroll box (`ScrollBox1`) with
// the image view (`Image1`) and the overlay (`PaintBox1`) at its top-left
// corner, the aids beside the pointer on a layer of their own, and the zoom.
// The view and the overlay always have the size of the picture at the zoom
// in force, so that every point of the picture takes the pointer.
class TImagePane : public QScrollArea {
  Q_OBJECT
public:
  TImagePane(QWidget *parent, Prompter &prompter);

  TImageView *View() const { return Image1_; }
  TOverlay *Overlay() const { return PaintBox1_; }
  TValueLabel *LiveValue() const { return LiveValue_; }
  TLoupe *Loupe() const { return Loupe_; }

  // Overlay pixels per picture pixel.
  double Zoom() const { return Zoom_; }
  // Shows `picture` at the zoom in force, with `prepared` the part in sight
  // reduced beforehand. A picture of the size of the one before keeps the
  // view where it was, so that a ruler photographed in one place stays in
  // sight; another size is shown from its top-left corner. The overlay is
  // emptied.
  void ShowPicture(const QImage &picture, TReduction prepared = {});
  // The zoom becomes `zoom`, the picture point under `anchor` (in the
  // viewport) staying where it is; the overlay is emptied.
  void SetZoom(double zoom, QPoint anchor);
  // The whole picture in the view at the largest zoom that fits (which may
  // be no item of the zoom box), from its top-left corner.
  void Fit();
  // Where the view shows the picture: for reading the next one ahead.
  TViewPlace Place() const;

  // ---- The zoom commands ------------------------------------------------------
  // While `Busy` (a figure is being drawn) the zoom does not change and a
  // command beeps, so that a figure's points are all taken at one zoom.
  // After every change the zoom box says it and Zoomed is signalled.
  std::function<bool()> Busy;
  // The tool bar's zoom box: the zoom follows its text, once per change,
  // keeping the picture point at the centre of the view; text that is no
  // item gives way to the zoom in force when editing ends.
  void AttachZoomBox(QComboBox *box);
  void ZoomBoxChanged();
  // The zoom item `steps` above (or below) the one in force, about `anchor`.
  void StepZoom(int steps, QPoint anchor);
  void FitCommand();
  void ActualSizeCommand();

  // Hides the overlay and shows it again, which erases everything drawn on
  // it; Reset also gives it the view's size.
  void EraseOverlay();
  void ResetOverlay();

  // The live value and the loupe for a figure from `start` whose moving end
  // is at `p` (overlay pixels), with its value (empty: none) and its lines
  // in picture coordinates; neither covers the pointer, the start or the
  // figure. Hide takes both away.
  void ShowAids(QPoint p, QPoint start, const QString &value, const std::vector<QLineF> &lines);
  void HideAids();
  // Ctrl+L: the loupe shown while drawing, or not.
  void SetLoupeOn(bool on);
  bool LoupeOn() const { return LoupeOn_; }
  // The live value's place on the screen, when it is shown.
  QRect LiveValueOnScreen() const;

signals:
  // The zoom changed.
  void Zoomed();

private:
  void FitContent();
  // The zoom command may go on; else it beeps.
  bool Free();

  Prompter &Prompt_;
  QComboBox *ZoomBox_ = nullptr;
  TImageView *Image1_;
  TOverlay *PaintBox1_;
  QWidget *Content_;
  QWidget *AidLayer_;
  TValueLabel *LiveValue_;
  TLoupe *Loupe_;
  double Zoom_ = 1.0;
  bool LoupeOn_ = true;
  int WheelSteps_ = 0;  // wheel turn not yet a whole step
};

// The zoom box's items and what they mean.
namespace ZoomBox {
// Fills the tool bar's zoom box with its items, 100 % chosen.
void Fill(QComboBox *box);
// The zoom the box's text names: its item's, or 1.0 for text that is no item.
double ZoomOf(const QComboBox *box);
// The box shows `zoom`: its item, or its percentage where no item names it.
void Show(QComboBox *box, double zoom);
// The item `steps` above (or below) `zoom`; from a zoom no item names the
// first step goes to the nearest item in that direction.
double Step(double zoom, int steps);
}  // namespace ZoomBox
