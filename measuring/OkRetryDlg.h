#pragma once

#include <QDialog>

#include "common/Prompter.h"
#include <QPoint>
#include <QRect>

class QPushButton;

// The frameless OK/Retry pop-up shown beside the pointer after each figure.
class TOkRetryDlg : public QDialog {
  Q_OBJECT
public:
  explicit TOkRetryDlg(QWidget *owner);
  QPushButton *btOK, *btRetry;
  void btOKClick();
  void btRetryClick();
  // Closed any other way, the figure counts as refused.
  void reject() override { done(mrCancel); }
};

// Where the pop-up goes for a release at `screenPoint`: 10 pixels right of and
// below it, moved back onto the screen at the right and bottom edges.
QPoint PopupPosition(QPoint screenPoint, QSize popup, const QRect &screen);
