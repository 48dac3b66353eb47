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
