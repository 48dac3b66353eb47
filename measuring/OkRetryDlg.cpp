#include "measuring/OkRetryDlg.h"

#include <QPushButton>

#include "common/DialogSetUp.h"
#include "common/Prompter.h"

TOkRetryDlg::TOkRetryDlg(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setFixedSize(129, 25);
  if (owner) setFont(owner->font());
  btOK = AddButton(this, QStringLiteral("OK"), QRect(0, 0, 65, 25));
  btRetry = AddButton(this, QStringLiteral("Retry"), QRect(64, 0, 65, 25));
  setTabOrder(btOK, btRetry);
  btOK->setFocus();
  connect(btOK, &QPushButton::clicked, this, &TOkRetryDlg::btOKClick);
  connect(btRetry, &QPushButton::clicked, this, &TOkRetryDlg::btRetryClick);
}

void TOkRetryDlg::btOKClick() { done(mrOk); }

void TOkRetryDlg::btRetryClick() { done(mrRetry); }

QPoint PopupPosition(QPoint p, QSize popup, const QRect &screen) {
  int left = p.x() + 10, top = p.y() + 10;
  if (left + popup.width() > screen.right() + 1) left = screen.right() + 1 - popup.width();
  if (top + popup.height() > screen.bottom() + 1) top = screen.bottom() + 1 - popup.height();
  return {left, top};
}

QPoint PopupBeside(const QRect &label, QPoint pointer, QSize popup, const QRect &screen) {
  if (label.isValid()) {
    constexpr int kGap = 4;
    // Below the label first: that keeps the pop-up nearest the pointer
    // however long the value is.
    const QPoint places[] = {
        {label.left(), label.bottom() + 1 + kGap},
        {label.right() + 1 + kGap, label.top()},
        {label.left(), label.top() - kGap - popup.height()},
        {label.left() - kGap - popup.width(), label.top()},
    };
    for (QPoint at : places) {
      // Moved onto the screen along the label's side where it sticks out.
      at.setX(qBound(screen.left(), at.x(), screen.right() + 1 - popup.width()));
      at.setY(qBound(screen.top(), at.y(), screen.bottom() + 1 - popup.height()));
      const QRect r(at, popup);
      if (!r.intersects(label) && !r.contains(pointer)) return at;
    }
  }
  return PopupPosition(pointer, popup, screen);
}
