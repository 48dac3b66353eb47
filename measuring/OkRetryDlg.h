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

// Where the pop-up goes beside the live value's `label` (screen
// coordinates), so that the value stays in sight while the person decides:
// below it, else right of, above or left of it, moved onto the screen, off
// the label and clear of the pointer; where the label is not shown, or none
// of those places is free, where PopupPosition puts it.
QPoint PopupBeside(const QRect &label, QPoint pointer, QSize popup, const QRect &screen);
