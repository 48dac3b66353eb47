#pragma once

#include <QDialog>

class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;

// The scale dialog: the dragged length in dots, the known length in whole
// centimetres, and the dots per centimetre, recomputed as the user types.
class TConvDlg : public QDialog {
  Q_OBJECT
public:
  TConvDlg(QWidget *owner, Prompter &prompter);

  double DotsPerCm = 0;
  int LengthDots = 0;
  int LengthCm = 10;

  QLabel *lbLength, *Label6, *Label4, *Label2, *lbDpc, *Label1;
  QLineEdit *edCm;
  QPushButton *btOK, *btRetry, *btCancel;

  void SetLengthCm(int n);
  void SetLengthDots(int n);
  void SetDotsPerCm(double v);
  void edCmChange();
  void btOKClick();
  void btRetryClick();
  void btCancelClick();
  // Closing by the window frame (or Escape) cancels.
  void reject() override;

private:
  Prompter &Prompt_;
};
