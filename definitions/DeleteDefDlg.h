#pragma once

#include <QDialog>

#include "common/Prompter.h"

class QComboBox;
class QLabel;
class QPushButton;

// The Delete Definition dialog: one definition chosen by name; entry k stands
// for the definition at list position k.
class TDeleteDefDlg : public QDialog {
  Q_OBJECT
public:
  explicit TDeleteDefDlg(QWidget *owner);

  QLabel *Label1;
  QComboBox *cbName;
  QPushButton *btOK, *btCancel;

  void AddName(const QString &name);
  void btOKClick();
  void btCancelClick();
  // The position of the chosen entry, or of the first entry whose name is
  // typed in full; -1 when none is chosen.
  int SelectedIndex() const;

  void reject() override { done(mrCancel); }
};
