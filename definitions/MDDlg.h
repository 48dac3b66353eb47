#pragma once

#include <QDialog>

#include "common/Prompter.h"

#include "definitions/MeasureType.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The Add Definition dialog. It keeps the definition being edited in its own
// fields; the controls only show them. It proposes a name from the kind and
// the number until the user types one.
class TMDDlg : public QDialog {
  Q_OBJECT
public:
  explicit TMDDlg(QWidget *owner);

  int MeasureNo = 0;
  QString MeasureName;
  TMeasureKind MeasureKind = mkLine;
  bool Height = false, Width = false, Perimeter = false, Area = false;
  bool NameEdited = false;

  QLabel *Label1, *lbMeasureNo, *Label2, *Label3;
  QLineEdit *edName;
  QComboBox *cbType;
  QGroupBox *gbOptions;
  QCheckBox *cbHeight, *cbWidth, *cbPerimeter, *cbArea;
  QPushButton *btOK, *btCancel;

  void SetMeasureNo(int n);
  void Update();
  void RefreshDefaultName();

  void edNameChange();
  void cbTypeChange();
  void btOKClick();
  void btCancelClick();

  void reject() override { done(mrCancel); }

private:
  bool Updating_ = false;
  bool KindTyped_ = false;  // the type box holds typed text, not a chosen item
};
