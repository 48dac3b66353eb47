#include "app/ImagePane.h"

#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>
#include <iterator>

#include "common/Prompter.h"
#include "images/ImageView.h"
#include "measuring/DrawingAids.h"
#include "measuring/Overlay.h"

namespace {
const double kZoomFactors[] = {0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 4.0};

int Scaled(int pixels, double zoom) { return int(pixels * zoom); }

// Hands the wheel turns with Ctrl held over the viewport to the pane.
class WheelFilter : public QObject {
public:
  WheelFilter(QObject *parent, std::function<void(QWheelEvent *)> take) : QObject(parent), Take_(std::move(take)) {}
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() != QEvent::Wheel) return false;
    auto *wheel = static_cast<QWheelEvent *>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier)) return false;  // the wheel alone scrolls as ever
    Take_(wheel);
    return true;
  }

private:
  std::function<void(QWheelEvent *)> Take_;
};
}  // namespace

TImagePane::TImagePane(QWidget *parent, Prompter &prompter) : QScrollArea(parent), Prompt_(prompter) {
  setObjectName(QStringLiteral("ScrollBox1"));
  setWidgetResizable(false);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Content_ = new QWidget;
  Image1_ = new TImageView(Content_);
  Image1_->setObjectName(QStringLiteral("Image1"));
  Image1_->setGeometry(0, 0, 317, 349);
  PaintBox1_ = new TOverlay(Content_);
  PaintBox1_->setObjectName(QStringLiteral("PaintBox1"));
  PaintBox1_->setGeometry(0, 0, 217, 201);
  PaintBox1_->raise();
  PaintBox1_->hide();
  Content_->resize(317, 349);
  setWidget(Content_);
  // The aids lie on a layer of their own over the view: a label whose text
  // changes asks its parent to lay it out again, and the view's own answer
  // to that is to repaint its scroll bars at every pointer move.
  AidLayer_ = new QWidget(viewport());
  AidLayer_->setAttribute(Qt::WA_TransparentForMouseEvents);
  AidLayer_->hide();
  LiveValue_ = new TValueLabel(AidLayer_);
  Loupe_ = new TLoupe(AidLayer_);
  viewport()->installEventFilter(new WheelFilter(viewport(), [this](QWheelEvent *wheel) {
    WheelSteps_ += wheel->angleDelta().y();
    const int steps = WheelSteps_ / QWheelEvent::DefaultDeltasPerStep;
    WheelSteps_ -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0) StepZoom(steps, wheel->position().toPoint());
  }));
}

void TImagePane::FitContent() {
  // The overlay covers the view; the content is as large as both.
  PaintBox1_->resize(Image1_->size());
  Content_->resize(Image1_->size());
}

void TImagePane::ShowPicture(const QImage &picture, TReduction prepared) {
  const QSize shown(Scaled(picture.width(), Zoom_), Scaled(picture.height(), Zoom_));
  if (shown != Image1_->size()) {
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
  }
  Image1_->resize(shown);
  Image1_->SetPicture(picture, std::move(prepared));
  // Another picture repaints the image region, which wipes the marks.
  PaintBox1_->Clear();
  FitContent();
}

void TImagePane::SetZoom(double zoom, QPoint anchor) {
  QScrollBar *h = horizontalScrollBar(), *v = verticalScrollBar();
  const QPointF point = (QPointF(h->value(), v->value()) + QPointF(anchor)) / Zoom_;
  Zoom_ = zoom;
  const QImage &picture = Image1_->Picture();
  Image1_->resize(Scaled(picture.width(), Zoom_), Scaled(picture.height(), Zoom_));
  PaintBox1_->Clear();
  FitContent();
  h->setValue(qRound(point.x() * Zoom_ - anchor.x()));
  v->setValue(qRound(point.y() * Zoom_ - anchor.y()));
}

void TImagePane::Fit() {
  const QSize picture = Image1_->Picture().size();
  if (picture.isEmpty()) return;
  const QSize room = maximumViewportSize();
  SetZoom(qMin(double(room.width()) / picture.width(), double(room.height()) / picture.height()), QPoint());
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
}

bool TImagePane::Free() {
  if (!Busy || !Busy()) return true;
  Prompt_.Beep();
  return false;
}

void TImagePane::AttachZoomBox(QComboBox *box) {
  ZoomBox_ = box;
  connect(box, &QComboBox::currentTextChanged, this, &TImagePane::ZoomBoxChanged);
  connect(box->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    if (ZoomBox_->findText(ZoomBox_->currentText(), Qt::MatchExactly) < 0) ZoomBox::Show(ZoomBox_, Zoom_);
  });
}

void TImagePane::ZoomBoxChanged() {
  if (!Free()) return ZoomBox::Show(ZoomBox_, Zoom_);
  SetZoom(ZoomBox::ZoomOf(ZoomBox_), viewport()->rect().center());
  emit Zoomed();
}

void TImagePane::StepZoom(int steps, QPoint anchor) {
  if (!Free()) return;
  const double zoom = ZoomBox::Step(Zoom_, steps);
  if (zoom == Zoom_) return;
  SetZoom(zoom, anchor);
  ZoomBox::Show(ZoomBox_, Zoom_);
  emit Zoomed();
}

void TImagePane::FitCommand() {
  if (Image1_->Picture().isNull()) return Prompt_.Beep();
  if (!Free()) return;
  Fit();
  ZoomBox::Show(ZoomBox_, Zoom_);
  emit Zoomed();
}

void TImagePane::ActualSizeCommand() {
  if (!Free()) return;
  SetZoom(1.0, viewport()->rect().center());
  ZoomBox::Show(ZoomBox_, Zoom_);
  emit Zoomed();
}

TViewPlace TImagePane::Place() const {
  return {Zoom_, QRect(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()), viewport()->size())};
}

void TImagePane::EraseOverlay() {
  PaintBox1_->Clear();
  PaintBox1_->hide();
  PaintBox1_->show();
}

void TImagePane::ResetOverlay() {
  PaintBox1_->Clear();
  PaintBox1_->hide();
  FitContent();
  PaintBox1_->show();
}

void TImagePane::ShowAids(QPoint p, QPoint start, const QString &value, const std::vector<QLineF> &lines) {
  QWidget *view = viewport();
  const QPoint pointer = PaintBox1_->mapTo(view, p), from = PaintBox1_->mapTo(view, start);
  if (AidLayer_->geometry() != view->rect()) AidLayer_->setGeometry(view->rect());
  if (AidLayer_->isHidden()) {
    AidLayer_->show();
    AidLayer_->raise();
  }
  // The figure's lines where the view shows them: the aids keep off them.
  std::vector<QLineF> inView;
  for (const QLineF &line : lines)
    inView.emplace_back(PaintBox1_->mapTo(view, QPointF(line.p1() * Zoom_)),
                        PaintBox1_->mapTo(view, QPointF(line.p2() * Zoom_)));
  QRect label;
  if (value.isEmpty()) {
    LiveValue_->hide();
  } else {
    LiveValue_->ShowValue(value);
    LiveValue_->move(AidPosition(pointer, from, LiveValue_->size(), view->rect(), QRect(), inView));
    label = LiveValue_->geometry();
  }
  if (!LoupeOn_) {
    Loupe_->hide();
    return;
  }
  // The loupe stays where it is while that place is still free and right
  // beside the pointer, so that most moves repaint only its inside.
  if (!Loupe_->isVisible() || !AidStillBeside(Loupe_->geometry(), pointer, from, view->rect(), label, inView))
    Loupe_->move(AidPosition(pointer, from, Loupe_->size(), view->rect(), label, inView));
  Loupe_->ShowAround(Image1_->Picture(), (QPointF(p) + QPointF(0.5, 0.5)) / Zoom_, Zoom_, lines);
}

void TImagePane::HideAids() {
  LiveValue_->hide();
  Loupe_->hide();
  AidLayer_->hide();
}

void TImagePane::SetLoupeOn(bool on) {
  LoupeOn_ = on;
  if (!on) Loupe_->hide();
}

QRect TImagePane::LiveValueOnScreen() const {
  return LiveValue_->isVisible() ? QRect(LiveValue_->mapToGlobal(QPoint(0, 0)), LiveValue_->size()) : QRect();
}

namespace ZoomBox {
void Fill(QComboBox *box) {
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  for (double zoom : kZoomFactors) box->addItem(QString::number(zoom * 100) + u'%');
  box->setCurrentIndex(3);
}

double ZoomOf(const QComboBox *box) {
  // The factor follows the item; typed text that is no item's text counts
  // as no item, whatever index the box still holds.
  const int index = box->findText(box->currentText(), Qt::MatchExactly);
  return index >= 0 && index < int(std::size(kZoomFactors)) ? kZoomFactors[index] : 1.0;
}

void Show(QComboBox *box, double zoom) {
  const QSignalBlocker quiet(box);
  const auto *item = std::find(std::begin(kZoomFactors), std::end(kZoomFactors), zoom);
  if (item == std::end(kZoomFactors)) {
    box->setEditText(QString::number(zoom * 100, 'f', 1) + u'%');
    return;
  }
  const int index = int(item - std::begin(kZoomFactors));
  box->setCurrentIndex(index);
  box->setEditText(box->itemText(index));
}

double Step(double zoom, int steps) {
  const double *begin = std::begin(kZoomFactors), *end = std::end(kZoomFactors);
  const double *at = steps > 0 ? std::upper_bound(begin, end, zoom) - 1 : std::lower_bound(begin, end, zoom);
  const std::ptrdiff_t index = qBound<std::ptrdiff_t>(0, (at - begin) + steps, (end - begin) - 1);
  return kZoomFactors[index];
}
}  // namespace ZoomBox
