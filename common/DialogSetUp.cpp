#include "common/DialogSetUp.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <QWindow>

QPoint CentredClientPosition(QSize client, const QMargins &frame, const QRect &area) {
  const QSize outer = client.grownBy(frame);
  const QPoint frameTopLeft(area.left() + (area.width() - outer.width()) / 2,
                            area.top() + (area.height() - outer.height()) / 2);
  return frameTopLeft + QPoint(frame.left(), frame.top());
}

namespace {

// The frame around a window's client area, as the window system last
// reported it; none while it is unknown.
QMargins FrameOf(const QWidget *window) {
  const QWindow *handle = window->windowHandle();
  return handle ? handle->frameMargins() : QMargins();
}

class Centring : public QObject {
public:
  Centring(QWidget *dialog, bool overOwner) : QObject(dialog), Dialog_(dialog), OverOwner_(overOwner) {}

  bool eventFilter(QObject *watched, QEvent *event) override {
    if (watched != Dialog_) return false;
    switch (event->type()) {
      case QEvent::Show:
        // Not framed yet: the owner's frame stands in for the dialog's.
        Place(Owner() ? FrameOf(Owner()) : QMargins());
        Settled_ = false;
        break;
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Paint:
      case QEvent::WindowActivate:
        if (!Settled_ && !FrameOf(Dialog_).isNull()) {
          Settled_ = true;
          Place(FrameOf(Dialog_));
        }
        break;
      default: break;
    }
    return false;
  }

private:
  const QWidget *Owner() const {
    const QWidget *parent = Dialog_->parentWidget();
    return parent ? parent->window() : nullptr;
  }

  QRect Area() const {
    if (OverOwner_ && Owner()) return Owner()->frameGeometry();
    const QScreen *screen = Dialog_->screen();
    return screen ? screen->geometry() : QRect();
  }

  void Place(const QMargins &frame) {
    const QRect area = Area();
    if (area.isEmpty()) return;
    const QPoint client = CentredClientPosition(Dialog_->size(), frame, area);
    if (client != Dialog_->geometry().topLeft()) Dialog_->setGeometry(QRect(client, Dialog_->size()));
  }

  QWidget *Dialog_;
  bool OverOwner_;
  bool Settled_ = false;  // placed with the dialog's own frame since it was shown
};

}  // namespace

void KeepCentred(QWidget *dialog, bool overOwner) {
  dialog->installEventFilter(new Centring(dialog, overOwner));
}

void SetUpDialog(QWidget *dialog, const QString &title, QSize size, bool overOwner) {
  dialog->setWindowTitle(title);
  dialog->setFixedSize(size);
  KeepCentred(dialog, overOwner);
  if (const QWidget *owner = dialog->parentWidget()) dialog->setFont(owner->font());
}

QLabel *AddLabel(QWidget *parent, const QString &text, QPoint at) {
  auto *label = new QLabel(text, parent);
  label->move(at);
  label->adjustSize();
  return label;
}

QPushButton *AddButton(QWidget *parent, const QString &text, const QRect &geometry) {
  auto *button = new QPushButton(text, parent);
  button->setGeometry(geometry);
  return button;
}
